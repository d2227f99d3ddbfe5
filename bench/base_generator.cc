#include "base_generator.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <map>
#include <string_view>
#include <vector>

#include "platform/text_file.h"

namespace veskara::bench {
namespace {

// splitmix64: fast and good enough for test data.
struct Rng {
  uint64_t state;
  uint64_t Next() {
    uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  size_t Below(size_t n) { return static_cast<size_t>(Next() % n); }
};

// Mostly Latin capitals, some digits and Windows-1251 Cyrillic capitals.
constexpr std::string_view kLetters =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789"
    "\xC0\xC1\xC2\xC3\xC4\xC5\xC6\xC7\xC8\xC9\xCA\xCB\xCC\xCD\xCE\xCF";

std::vector<uint32_t> RandomNumbers(Rng& rng, size_t count, size_t files) {
  std::vector<uint32_t> numbers;
  numbers.reserve(count);
  for (size_t i = 0; i < count; ++i) numbers.push_back(static_cast<uint32_t>(rng.Below(files)));
  // A list holds each number once, in file order, as the merge leaves it.
  std::sort(numbers.begin(), numbers.end());
  numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
  return numbers;
}

std::string JoinNumbers(const std::vector<uint32_t>& numbers) {
  std::string list;
  for (uint32_t n : numbers) {
    if (!list.empty()) list.push_back(',');
    list += std::to_string(n);
  }
  return list;
}

}  // namespace

void GenerateBase(const std::string& directory, const BaseShape& shape) {
  std::filesystem::create_directories(directory);
  Rng rng{20261208};

  std::map<std::string, std::vector<uint32_t>> planted;
  std::vector<uint32_t> shared = RandomNumbers(rng, 40, shape.files);
  for (const char* word : {"ALPHA", "ALPHABET", "BRAVO", "BRAVOS", "CHARLIE"}) {
    std::vector<uint32_t> list = RandomNumbers(rng, 1000, shape.files);
    // Every planted word shares part of `shared`, so the combinations meet.
    for (size_t i = 0; i < shared.size(); ++i) {
      if (rng.Below(2) == 0) list.push_back(shared[i]);
    }
    std::sort(list.begin(), list.end());
    list.erase(std::unique(list.begin(), list.end()), list.end());
    planted[word] = list;
  }
  // The crowded entry's numbers are spread evenly over the whole file list.
  std::vector<uint32_t>& crowded = planted["CROWDED"];
  for (size_t i = 0; i < shape.crowded_numbers; ++i) {
    crowded.push_back(static_cast<uint32_t>(i * shape.files / shape.crowded_numbers));
  }

  std::vector<std::string> words;
  words.reserve(shape.words + shape.words / 10);
  for (const auto& [word, list] : planted) words.push_back(word);
  while (words.size() < shape.words) {
    size_t missing = shape.words - words.size();
    for (size_t i = 0; i < missing + missing / 20 + 16; ++i) {
      std::string w(4 + rng.Below(8), ' ');
      for (char& c : w) c = kLetters[rng.Below(kLetters.size())];
      words.push_back(std::move(w));
    }
    std::sort(words.begin(), words.end());
    words.erase(std::unique(words.begin(), words.end()), words.end());
  }
  // Too many after the last round: drop random words, never a planted one.
  std::vector<bool> drop(words.size());
  for (size_t excess = words.size() - shape.words; excess > 0;) {
    size_t i = rng.Below(words.size());
    if (drop[i] || planted.contains(words[i])) continue;
    drop[i] = true;
    --excess;
  }
  size_t kept = 0;
  for (size_t i = 0; i < words.size(); ++i) {
    if (!drop[i]) words[kept++] = std::move(words[i]);
  }
  words.resize(kept);

  TextWriter wrds = TextWriter::Create(directory + "/wrds.txt", Env::Default());
  for (const std::string& w : words) {
    wrds.WriteLine(w);
    auto it = planted.find(w);
    if (it != planted.end()) {
      wrds.WriteLine(JoinNumbers(it->second));
    } else {
      wrds.WriteLine(JoinNumbers(RandomNumbers(rng, 1 + rng.Below(2 * shape.mean_numbers - 1), shape.files)));
    }
  }
  wrds.Close();

  TextWriter fls = TextWriter::Create(directory + "/fls.txt", Env::Default());
  for (size_t i = 0; i < shape.files; ++i) {
    fls.WriteLine("/srv/archive/section-" + std::to_string(i / 1000) + "/page-" + std::to_string(i) + ".htm");
    fls.WriteLine(std::to_string(i));
  }
  fls.Close();
}

}  // namespace veskara::bench
