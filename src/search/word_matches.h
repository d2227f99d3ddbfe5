// The word records of wrds.txt that the words of one search match, gathered
// in a single read of the file. Private to the search.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/env.h"

namespace veskara {

// A word line and the number line after it, as read (line ends removed).
struct WordRecord {
  std::string_view word;
  std::string_view numbers;
};

class WordMatches {
 public:
  explicit WordMatches(size_t word_count) : records_of_word_(word_count) {}

  WordRecord record(uint32_t index) const {
    const Stored& s = stored_[index];
    std::string_view all(arena_);
    return {all.substr(s.offset, s.word_size), all.substr(s.offset + s.word_size, s.numbers_size)};
  }
  // The records whose word line begins with word `w`, in file order.
  const std::vector<uint32_t>& records_of(size_t w) const { return records_of_word_[w]; }

  // Stores a record and returns its index.
  uint32_t Add(std::string_view word, std::string_view numbers);
  void Assign(size_t w, uint32_t index) { records_of_word_[w].push_back(index); }

 private:
  struct Stored {
    size_t offset;
    size_t word_size;
    size_t numbers_size;
  };
  std::string arena_;
  std::vector<Stored> stored_;
  std::vector<std::vector<uint32_t>> records_of_word_;
};

// Reads `file` (wrds.txt) once. A record belongs to word w when its word line
// begins with the bytes of w (a last word line without its number line makes
// no record).
// With `fold_yo`, the words hold no Ё (FoldYo) and a line's Ё counts as Е.
// Throws IoError when reading fails.
WordMatches CollectWordMatches(std::unique_ptr<ReadableFile> file, const std::vector<std::string>& words,
                               bool fold_yo = false);

// The same records from wrds.txt held in memory, in the same order. Stops
// early, with what it has, once `cancel` is set.
class LoadedWords;
WordMatches CollectWordMatches(const LoadedWords& loaded, const std::vector<std::string>& words, bool fold_yo,
                               const std::atomic<bool>* cancel);

}  // namespace veskara
