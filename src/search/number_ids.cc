#include "search/number_ids.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace veskara {
namespace {

constexpr size_t kPackedBytes = 8;
constexpr uint64_t kEmpty = 0;

uint64_t Pack(std::string_view number) {
  uint64_t key = 0;
  std::memcpy(&key, number.data(), number.size());
  return key;
}

}  // namespace

bool NumberIds::DirectValue(std::string_view number, uint32_t* value) {
  // Seven digits at most: below ten million, so no overflow on the way.
  if (number.empty() || number.size() > 7 || (number[0] == '0' && number.size() > 1)) return false;
  uint32_t v = 0;
  for (const char c : number) {
    const unsigned digit = static_cast<unsigned char>(c) - unsigned{'0'};
    if (digit > 9) return false;
    v = v * 10 + digit;
  }
  if (v >= kDirectLimit) return false;
  *value = v;
  return true;
}

uint64_t NumberIds::Key(std::string_view number) {
  if (number.size() <= kPackedBytes) return Pack(number);
  auto it = long_keys_.find(number);
  if (it != long_keys_.end()) return it->second;
  uint64_t key = (static_cast<uint64_t>(long_keys_.size() + 1) << 8) | 1;
  long_keys_.emplace(number, key);
  return key;
}

uint64_t NumberIds::KeyIfKnown(std::string_view number) const {
  if (number.size() <= kPackedBytes) return Pack(number);
  auto it = long_keys_.find(number);
  return it == long_keys_.end() ? kEmpty : it->second;
}

size_t NumberIds::Home(uint64_t key) const { return static_cast<size_t>((key * 0x9E3779B97F4A7C15ull) >> shift_); }

void NumberIds::Grow() {
  std::vector<Cell> old = std::move(slots_);
  size_t capacity = old.empty() ? 1024 : old.size() * 2;
  shift_ = 64 - std::countr_zero(capacity);
  slots_.assign(capacity, Cell{kEmpty, 0});
  for (const Cell& s : old) {
    if (s.key == kEmpty) continue;
    size_t slot = Home(s.key);
    while (slots_[slot].key != kEmpty) slot = (slot + 1) & (capacity - 1);
    slots_[slot] = s;
  }
}

uint32_t NumberIds::Intern(std::string_view number) {
  uint32_t value = 0;
  if (DirectValue(number, &value)) {
    if (value >= by_value_.size()) by_value_.resize(std::max<size_t>(value + 1, 2 * by_value_.size()), kAbsent);
    uint32_t& id = by_value_[value];
    if (id == kAbsent) id = count_++;
    return id;
  }
  // At most half full, so probes stay short.
  if (2 * (hashed_ + 1) > slots_.size()) Grow();
  uint64_t key = Key(number);
  size_t mask = slots_.size() - 1;
  for (size_t slot = Home(key);; slot = (slot + 1) & mask) {
    if (slots_[slot].key == key) return slots_[slot].id;
    if (slots_[slot].key == kEmpty) {
      slots_[slot] = Cell{key, count_};
      ++hashed_;
      return count_++;
    }
  }
}

uint32_t NumberIds::Find(std::string_view number) const {
  uint32_t value = 0;
  if (DirectValue(number, &value)) return value < by_value_.size() ? by_value_[value] : kAbsent;
  if (slots_.empty()) return kAbsent;
  uint64_t key = KeyIfKnown(number);
  if (key == kEmpty) return kAbsent;
  size_t mask = slots_.size() - 1;
  for (size_t slot = Home(key);; slot = (slot + 1) & mask) {
    if (slots_[slot].key == key) return slots_[slot].id;
    if (slots_[slot].key == kEmpty) return kAbsent;
  }
}

}  // namespace veskara
