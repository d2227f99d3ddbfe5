// Sort and merge of the posting table on synthetic scans: Zipf-distributed
// words over 100,000 distinct words and 10,000 files, appended file by file
// as a scan appends them. Compares with the literal algorithms at the sizes
// where they finish.
//
//   posting_bench [POSTINGS...]        default: 100000 1000000 10000000
//   posting_bench --literal POSTINGS   the literal sort and merge as well
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "base/base.h"
#include "platform/text_file.h"
#include "reference/literal_posting_table.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

long PeakRssMb() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss / 1024;
}

// Words of 2 to 12 letters, Latin and Cyrillic capitals, distinct.
std::vector<std::string> Vocabulary(size_t n, std::mt19937_64& rng) {
  std::vector<std::string> words;
  words.reserve(n);
  for (size_t i = 0; i < n; ++i) {
    std::string w;
    bool cyrillic = rng() % 3 == 0;
    size_t len = 2 + rng() % 11;
    for (size_t k = 0; k < len; ++k) {
      w.push_back(cyrillic ? static_cast<char>(0xC0 + rng() % 32) : static_cast<char>('A' + rng() % 26));
    }
    w += std::to_string(i);  // distinct
    words.push_back(std::move(w));
  }
  return words;
}

// Draws ranks 0..n-1 with probability proportional to 1/(rank+1).
class Zipf {
 public:
  explicit Zipf(size_t n) : cdf_(n) {
    double sum = 0;
    for (size_t i = 0; i < n; ++i) cdf_[i] = (sum += 1.0 / static_cast<double>(i + 1));
    for (double& c : cdf_) c /= sum;
  }
  size_t operator()(std::mt19937_64& rng) const {
    double u = std::uniform_real_distribution<double>(0, 1)(rng);
    return static_cast<size_t>(std::lower_bound(cdf_.begin(), cdf_.end(), u) - cdf_.begin());
  }

 private:
  std::vector<double> cdf_;
};

struct Postings {
  std::vector<uint32_t> word;  // index into the vocabulary
  std::vector<uint32_t> file;
};

Postings Generate(size_t count, const Zipf& zipf, std::mt19937_64& rng) {
  constexpr size_t kFiles = 10000;
  Postings p;
  p.word.reserve(count);
  p.file.reserve(count);
  for (size_t i = 0; i < count; ++i) {
    p.word.push_back(static_cast<uint32_t>(zipf(rng)));
    p.file.push_back(static_cast<uint32_t>(i * kFiles / count));
  }
  return p;
}

void RunFast(const std::string& dir, const Postings& p, const std::vector<std::string>& vocabulary) {
  veskara::BaseState state;
  auto t0 = Clock::now();
  uint32_t current = UINT32_MAX;
  for (size_t i = 0; i < p.word.size(); ++i) {
    if (p.file[i] != current) {
      current = p.file[i];
      state.postings.SetCurrentFileNumber(std::to_string(current));
    }
    state.postings.AddPosting(vocabulary[p.word[i]]);
  }
  double add = Seconds(t0);
  size_t memory = state.postings.MemoryBytes();
  t0 = Clock::now();
  state.postings.SortPostingTable();
  double sort = Seconds(t0);
  t0 = Clock::now();
  veskara::TextWriter w = veskara::TextWriter::Create(dir + "/wrds.txt", veskara::Env::Default());
  state.postings.WriteWordsFile(w);
  w.Close();
  double write = Seconds(t0);
  {
    veskara::TextWriter f = veskara::TextWriter::Create(dir + "/fls.txt", veskara::Env::Default());
    for (int i = 0; i < 10000; ++i) {
      f.WriteLine("/corpus/file" + std::to_string(i) + ".htm");
      f.WriteLine(std::to_string(i));
    }
    f.Close();
  }
  state.postings.ClearPostingTable();
  t0 = Clock::now();
  veskara::LoadBase(dir, state, veskara::Env::Default());
  double load = Seconds(t0);
  std::printf(
      "fast     %9zu postings: add %.3f s, sort %.3f s, write %.3f s, sort+write %.3f s, "
      "LoadBase %.3f s (%zu entries); table %.1f MB = %.2f B/posting (distinct words included); "
      "peak RSS %ld MB\n",
      p.word.size(), add, sort, write, sort + write, load, state.postings.Count(), memory / 1e6,
      static_cast<double>(memory) / static_cast<double>(p.word.size()), PeakRssMb());
}

void RunLiteral(const Postings& p, const std::vector<std::string>& vocabulary) {
  veskara::reference::Entries entries;
  for (size_t i = 0; i < p.word.size(); ++i) entries.emplace_back(vocabulary[p.word[i]], std::to_string(p.file[i]));
  auto t0 = Clock::now();
  veskara::reference::LiteralSort(entries);
  double sort = Seconds(t0);
  t0 = Clock::now();
  size_t bytes = veskara::reference::LiteralWrite(entries).size();
  double write = Seconds(t0);
  std::printf("literal  %9zu postings: sort %.3f s, merge %.3f s, sort+merge %.3f s (%zu bytes)\n", p.word.size(), sort,
              write, sort + write, bytes);
}

}  // namespace

int main(int argc, char** argv) {
  bool literal = false;
  std::vector<size_t> sizes;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--literal") == 0) {
      literal = true;
    } else {
      sizes.push_back(std::strtoull(argv[i], nullptr, 10));
    }
  }
  if (sizes.empty()) sizes = {100000, 1000000, 10000000};
  std::mt19937_64 rng(42);
  std::vector<std::string> vocabulary = Vocabulary(100000, rng);
  Zipf zipf(vocabulary.size());
  char dir[] = "/tmp/posting-bench-XXXXXX";
  if (mkdtemp(dir) == nullptr) return 1;
  for (size_t n : sizes) {
    Postings p = Generate(n, zipf, rng);
    RunFast(dir, p, vocabulary);
    if (literal) RunLiteral(p, vocabulary);
  }
  std::string cleanup = std::string("rm -rf ") + dir;
  return std::system(cleanup.c_str()) == 0 ? 0 : 1;
}
