// SortPostingTable and WriteWordsFile against the diminishing-gap exchange
// sort and the searched-accumulator merge as first written, on tables made
// from the fuzzer's bytes (many equal words, case variants, any bytes).
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "base/compare_words.h"
#include "base/posting_table.h"
#include "fuzz_util.h"
#include "platform/text_file.h"
#include "reference/literal_posting_table.h"

using namespace veskara;

namespace {

using reference::Entries;
using reference::LiteralSort;
using reference::LiteralWrite;

// Simple CompareWords: the Latin small letters as capitals, then unsigned
// bytes, a proper prefix first.
int LiteralCompare(const std::string& a, const std::string& b) {
  auto up = [](char c) { return static_cast<int>(static_cast<unsigned char>(c >= 'a' && c <= 'z' ? c - 32 : c)); };
  for (size_t i = 0; i < a.size() && i < b.size(); ++i) {
    if (up(a[i]) != up(b[i])) return up(a[i]) - up(b[i]);
  }
  return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

int Sign(int v) { return (v > 0) - (v < 0); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider input(data, size);
  Entries entries;
  // Small tables: the literal sort is quadratic at worst.
  while (input.remaining_bytes() > 0 && entries.size() < 300) {
    std::string word = input.ConsumeRandomLengthString(6);
    std::string number = std::to_string(input.ConsumeIntegralInRange<int>(0, 40));
    entries.emplace_back(std::move(word), std::move(number));
  }
  for (size_t i = 0; i + 1 < entries.size(); ++i) {
    const int got = CompareWords(entries[i].first, entries[i + 1].first);
    const int want = LiteralCompare(entries[i].first, entries[i + 1].first);
    FUZZ_CHECK(Sign(got) == Sign(want));
  }

  PostingTable table;
  for (const auto& [word, number] : entries) table.AddEntry(word, number);
  table.SortPostingTable();
  LiteralSort(entries);
  FUZZ_CHECK(table.Count() == entries.size());
  for (size_t i = 0; i < entries.size(); ++i) {
    FUZZ_CHECK(table.WordAt(i) == entries[i].first);
    FUZZ_CHECK(table.NumberAt(i) == entries[i].second);
  }

  const std::string path = fuzz::ScratchDir() + "/wrds.txt";
  {
    TextWriter writer = TextWriter::Create(path, Env::Default());
    table.WriteWordsFile(writer);
    writer.Close();
  }
  std::ifstream in(path, std::ios::binary);
  const std::string written((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  FUZZ_CHECK(written == LiteralWrite(entries));
  return 0;
}
