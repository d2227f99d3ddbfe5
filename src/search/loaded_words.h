// wrds.txt held in memory between searches, for a window that searches on
// every keystroke: loaded once, and again only when the file has changed.
// A search over it (RunSearch with a LoadedWords) gives what RunSearch gives
// on the file it was loaded from, and reads nothing.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/base_files.h"
#include "base/base_snapshot.h"
#include "platform/env.h"

namespace veskara {

class LoadedWords {
 public:
  // An empty base folder's words: nothing loaded yet, so that IsCurrent is
  // false for any base.
  LoadedWords() = default;

  // Reads wrds.txt of `base_directory` whole, once, and opens its fls.txt
  // with it (BaseSnapshot). A file that is missing,
  // a folder or will not open is remembered as such (fault()): a search
  // then fails with the message RunSearch gives. Throws IoError when
  // reading fails after the file was opened.
  static LoadedWords Load(const std::string& base_directory, Env& env);

  // True while wrds.txt of `base_directory` is the file that was loaded:
  // the same identity (device and inode), size and modification time, or
  // still missing. One Stat; a commit renames a new file in, which changes
  // the identity.
  bool IsCurrent(const std::string& base_directory, Env& env) const;

  const std::string& base_directory() const { return base_directory_; }
  // The base the words were loaded from, with its fls.txt open: the one to
  // look the found numbers up in. None before Load.
  const std::optional<BaseSnapshot>& base() const { return base_; }
  // Why the file could not be read; none when it was.
  const std::optional<BaseFileFault>& fault() const { return fault_; }

  // The records (a word line and its number line, CRs dropped as the line
  // rules say), in file order; a last word line without its number line is
  // none.
  size_t size() const { return records_.size(); }
  std::string_view word(uint32_t record) const {
    const Stored& s = records_[record];
    return std::string_view(arena_).substr(s.offset, s.word_size);
  }
  std::string_view numbers(uint32_t record) const {
    const Stored& s = records_[record];
    return std::string_view(arena_).substr(s.offset + s.word_size, s.numbers_size);
  }
  // The records whose word opens with `byte`, in file order.
  const std::vector<uint32_t>& opening_with(unsigned char byte) const { return by_first_byte_[byte]; }

 private:
  struct Stored {
    uint64_t offset;
    uint32_t word_size;
    uint32_t numbers_size;
  };

  std::string base_directory_;
  std::optional<BaseSnapshot> base_;
  PathInfo loaded_;  // wrds.txt as it was before it was read
  bool loaded_once_ = false;
  std::optional<BaseFileFault> fault_;
  std::string arena_;
  std::vector<Stored> records_;
  std::array<std::vector<uint32_t>, 256> by_first_byte_;
};

}  // namespace veskara
