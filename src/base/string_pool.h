// Interned byte strings with dense ids, so that the posting table holds two
// 32-bit ids per entry instead of two strings.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace veskara {

class StringPool {
 public:
  // The id of `text`, adding it when it is new. Ids count from 0 in the order
  // of first appearance.
  uint32_t Intern(std::string_view text);
  std::string_view Get(uint32_t id) const {
    return std::string_view(bytes_.data() + offsets_[id], offsets_[id + 1] - offsets_[id]);
  }
  uint32_t size() const { return static_cast<uint32_t>(offsets_.size() - 1); }
  void Clear();
  size_t MemoryBytes() const;

 private:
  void Rehash(size_t slots);

  std::string bytes_;                 // all texts, back to back
  std::vector<uint64_t> offsets_{0};  // text i is bytes_[offsets_[i], offsets_[i+1])
  std::vector<uint32_t> slots_;       // open addressing: id + 1, 0 when empty
  std::vector<uint32_t> hashes_;      // low bits of each id's hash
};

}  // namespace veskara
