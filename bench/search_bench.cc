// Search, file lookup and counts on a large generated base, against the
// algorithms as first written (one read of wrds.txt per query word, the
// nested-loop intersection, one read of fls.txt per number), in one run.
// Then find (the files of every entry of a search) against its bound: the
// search plus one read of fls.txt.
//
//   search_bench [BASE_DIR] [find]   (default /tmp/veskara-search-bench; the
//                                    base is generated there when it is
//                                    missing; "find": only the find part)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "base/messages.h"
#include "base/records.h"
#include "base_generator.h"
#include "platform/env.h"
#include "platform/line_scanner.h"
#include "platform/strings.h"
#include "platform/text_file.h"
#include "reference/literal_search.h"
#include "search/base_statistics.h"
#include "search/file_lookup.h"
#include "search/search.h"

namespace veskara::bench {
namespace {

using Clock = std::chrono::steady_clock;

double Milliseconds(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// Runs `body` `reps` times; prints the best and median wall-clock times and
// the best processor time (the machine may be shared), and returns the best
// wall-clock time in ms; *best_cpu gets the best processor time when given.
double Time(const char* what, int reps, const std::function<void()>& body, double* best_cpu_out = nullptr) {
  std::vector<double> times;
  double best_cpu = 1e300;
  for (int i = 0; i < reps; ++i) {
    std::clock_t cpu_start = std::clock();
    Clock::time_point start = Clock::now();
    body();
    times.push_back(Milliseconds(Clock::now() - start));
    best_cpu = std::min(best_cpu, 1000.0 * static_cast<double>(std::clock() - cpu_start) / CLOCKS_PER_SEC);
  }
  std::sort(times.begin(), times.end());
  std::printf("%-56s best %8.2f ms  median %8.2f ms  cpu %8.2f ms  (%d runs)\n", what, times.front(),
              times[times.size() / 2], best_cpu, reps);
  std::fflush(stdout);
  if (best_cpu_out != nullptr) *best_cpu_out = best_cpu;
  return times.front();
}

// One read of fls.txt that lists its files: every record's path line made
// a row (trimmed, kept). The bound of find beyond its search.
std::vector<std::string> ListEveryFile(const std::string& path) {
  FileRecordScanner records(Env::Default(), path);
  std::vector<std::string> rows;
  while (records.Next()) rows.emplace_back(Trim(records.path()));
  if (records.lone_path()) rows.emplace_back(Trim(records.path()));
  records.Close();
  return rows;
}

size_t ReadWhole(const std::string& path) {
  std::unique_ptr<ReadableFile> file = Env::Default().OpenForReading(path);
  std::vector<char> buffer(1 << 20);
  size_t lines = 0;
  while (size_t n = file->Read(buffer.data(), buffer.size()))
    lines += std::count(buffer.data(), buffer.data() + n, '\n');
  return lines;
}

// --- The written algorithms -------------------------------------------------

using reference::LiteralIntersect;

std::vector<SearchEntry> LiteralSearch(const std::string& base, std::string_view query) {
  return reference::LiteralSearch(ParseQuery(query),
                                  [&base](auto visit) {
                                    LineReader reader(base + "/wrds.txt", Env::Default());
                                    std::string_view line;
                                    while (reader.ReadLine(&line) && visit(line)) {
                                    }
                                  })
      .entries;
}

// One lookup as written: fls.txt from its top to the number's record.
bool LiteralLookup(const std::string& base, std::string_view number, std::string* row) {
  LineReader reader(base + "/fls.txt", Env::Default());
  std::string path;
  std::string_view line;
  if (!reader.ReadLine(&line)) return false;
  path = line;
  while (reader.ReadLine(&line)) {
    if (line == number) {
      *row = path;
      return true;
    }
    if (!reader.ReadLine(&line)) break;
    path = line;
  }
  return false;
}

bool SameEntries(const std::vector<SearchEntry>& a, const std::vector<SearchEntry>& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (a[i].text != b[i].text || a[i].numbers != b[i].numbers) return false;
  }
  return true;
}

int Main(int argc, char** argv) {
  std::string base = argc > 1 ? argv[1] : "/tmp/veskara-search-bench";
  if (!FileExists(base + "/wrds.txt", Env::Default()) || !FileExists(base + "/fls.txt", Env::Default())) {
    std::printf("generating the base in %s ...\n", base.c_str());
    std::fflush(stdout);
    Clock::time_point start = Clock::now();
    GenerateBase(base, BaseShape{});
    std::printf("generated in %.1f s\n", Milliseconds(Clock::now() - start) / 1000);
  }
  BaseStatistics stats = CountBase(base, Env::Default());
  std::printf("base %s: %s, %s\n", base.c_str(), FilesCountText(stats.files.value()).c_str(),
              WordsCountText(stats.words.value()).c_str());
  ReadWhole(base + "/wrds.txt");  // into the page cache
  ReadWhole(base + "/fls.txt");

  const bool find_only = argc > 2 && std::string(argv[2]) == "find";
  int failures = 0;
  if (!find_only) {
    Time("sequential read of wrds.txt (1 MB blocks, count LF)", 10, [&] { ReadWhole(base + "/wrds.txt"); });
    Time("CountBase (both files)", 5, [&] { CountBase(base, Env::Default()); });
  }
  struct Query {
    const char* label;
    const char* baseline_label;
    const char* text;
  } queries[] = {
      {"search one word \"alph\"", "  baseline: written passes", "alph"},
      {"search one word \"q\" (every word beginning with Q)", "  baseline: written passes", "q"},
      {"search three words \"alph brav charl\"", "  baseline: written passes", "alph brav charl"},
      {"search two one-letter words \"q w\" (stops above 500)", "  baseline: written passes", "q w"},
  };
  for (const Query& q : find_only ? std::span<const Query>() : std::span<const Query>(queries)) {
    SearchOutcome outcome;
    double fast = Time(q.label, 10, [&] { outcome = RunSearch(base, q.text, Env::Default()); });
    std::vector<SearchEntry> literal;
    double slow = Time(q.baseline_label, 3, [&] { literal = LiteralSearch(base, q.text); });
    bool same = SameEntries(outcome.entries, literal);
    failures += !same;
    std::printf("  %zu entries; same as baseline: %s; %.1fx faster\n", outcome.entries.size(), same ? "yes" : "NO",
                slow / fast);
  }

  if (!find_only) {
    std::string crowded = RunSearch(base, "crowded", Env::Default()).entries.at(0).numbers;
    std::vector<std::string_view> numbers = SplitNumberList(crowded);
    std::vector<std::string> rows;
    char label[100];
    std::snprintf(label, sizeof label, "file lookup of an entry with %zu numbers", numbers.size());
    double fast = Time(label, 10, [&] { rows = ListFilesOfEntry(base, crowded, Env::Default()); });
    // The written lookup reads fls.txt once per number: time every 100th
    // number and scale up, or the baseline alone would take minutes.
    size_t step = 100;
    size_t sampled = 0;
    std::string row;
    double slow = Time("  baseline: one read of fls.txt per number, 1 in 100", 1,
                       [&] {
                         for (size_t i = 0; i < numbers.size(); i += step, ++sampled) {
                           if (!LiteralLookup(base, numbers[i], &row) || row != rows[i]) ++failures;
                         }
                       }) *
                  static_cast<double>(numbers.size()) / static_cast<double>(sampled);
    std::printf("  baseline scaled to %zu numbers: %.0f ms; %zu rows; %.0fx faster\n", numbers.size(), slow,
                rows.size(), slow / fast);
  }

  // find: no more than the search plus one read of fls.txt, taken two ways:
  // a read that only lists every file, and the lookup of all the numbers
  // found, which also gives the rows that find's are checked against.
  // Compared in processor time, which other work on the machine disturbs
  // least.
  double files_read = 0;
  Time(
      "one read of fls.txt listing every file", 10, [&] { ListEveryFile(base + "/fls.txt"); }, &files_read);
  for (const Query& q : queries) {
    double search = 0;
    Time(
        q.label, 10, [&] { RunSearch(base, q.text, Env::Default()); }, &search);
    FoundFiles found;
    char find_label[100];
    std::snprintf(find_label, sizeof find_label, "  find \"%s\"", q.text);
    double find = 0;
    Time(
        find_label, 10, [&] { found = FindFiles(base, q.text, SearchOptions{}, Env::Default()); }, &find);
    // The lookup of one entry, with the numbers of all entries: the
    // program's own single read of fls.txt for these files.
    std::string all_numbers;
    for (const SearchEntry& entry : found.search.entries) all_numbers += entry.numbers + ",";
    std::vector<std::string> every;
    double lookup = 0;
    Time(
        "  one lookup of all their numbers", 5, [&] { every = ListFilesOfEntry(base, all_numbers, Env::Default()); },
        &lookup);
    std::sort(every.begin(), every.end());
    every.erase(std::unique(every.begin(), every.end()), every.end());
    std::vector<std::string> rows = found.rows;
    std::sort(rows.begin(), rows.end());
    const bool same = rows == every;
    failures += !same;
    std::printf(
        "  %zu entries, %zu files; same as the lookup: %s; cpu: find - search = %.2f ms "
        "(listing read %.2f ms: %s; lookup %.2f ms: %s)\n",
        found.search.entries.size(), found.rows.size(), same ? "yes" : "NO", find - search, files_read,
        find <= search + files_read ? "within" : "over", lookup, find <= search + lookup ? "within" : "over");
  }

  if (failures > 0) std::printf("MISMATCHES: %d\n", failures);
  return failures > 0 ? 1 : 0;
}

}  // namespace
}  // namespace veskara::bench

int main(int argc, char** argv) { return veskara::bench::Main(argc, argv); }
