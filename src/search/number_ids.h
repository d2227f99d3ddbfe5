// Dense ids for the number texts of number lists, so that the narrowing of
// entries works on flat arrays instead of string-keyed maps. Private to the
// search.
#pragma once

#include <cstdint>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace veskara {

// Numbers are compared as texts: "7" and "07" get different ids.
class NumberIds {
 public:
  static constexpr uint32_t kAbsent = UINT32_MAX;

  // The id of `number` (a non-empty run of word bytes), new ones numbered
  // from 0 in order of arrival.
  uint32_t Intern(std::string_view number);
  // The id of `number`, or kAbsent when it was never interned.
  uint32_t Find(std::string_view number) const;
  uint32_t size() const { return count_; }

 private:
  // A canonical decimal below kDirectLimit ("0", or digits without a
  // leading zero), which is what a scan writes, has its id in an array by
  // value: a search narrowing a hundred thousand numbers then costs no hash
  // probe per number. Any other text goes to the hash table below.
  static constexpr uint32_t kDirectLimit = uint32_t{1} << 21;
  static bool DirectValue(std::string_view number, uint32_t* value);

  // A number of up to 8 bytes is its own key: word bytes are never 0, so
  // zero padding keeps texts apart. Longer ones get a synthetic key whose
  // low byte (1) no packed text can have.
  uint64_t Key(std::string_view number);
  uint64_t KeyIfKnown(std::string_view number) const;
  size_t Home(uint64_t key) const;
  void Grow();

  struct Cell {
    uint64_t key;  // 0: empty
    uint32_t id;
  };
  std::vector<uint32_t> by_value_;  // value -> id, kAbsent for none yet
  std::vector<Cell> slots_;         // a probe touches one cache line
  uint32_t count_ = 0;
  size_t hashed_ = 0;  // ids in slots_
  int shift_ = 64;
  std::unordered_map<std::string_view, uint64_t> long_keys_;
};

}  // namespace veskara
