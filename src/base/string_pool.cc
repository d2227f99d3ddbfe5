#include "base/string_pool.h"

#include <cstring>
#include <stdexcept>

namespace veskara {
namespace {

inline uint64_t Load64(const char* p) {
  uint64_t v;
  std::memcpy(&v, p, 8);
  return v;
}

__extension__ typedef unsigned __int128 Uint128;

inline uint64_t Mix(uint64_t a, uint64_t b) {
  Uint128 r = static_cast<Uint128>(a) * b;
  return static_cast<uint64_t>(r) ^ static_cast<uint64_t>(r >> 64);
}

constexpr uint64_t kSeed0 = 0xa0761d6478bd642fULL;
constexpr uint64_t kSeed1 = 0xe7037ed1a0b428dbULL;

// A fast non-cryptographic hash of a byte string.
uint64_t HashBytes(std::string_view text) {
  const char* p = text.data();
  size_t n = text.size();
  uint64_t h = kSeed0 ^ n;
  while (n >= 8) {
    h = Mix(h ^ Load64(p), kSeed1);
    p += 8;
    n -= 8;
  }
  uint64_t tail = 0;
  for (size_t i = 0; i < n; ++i) tail |= static_cast<uint64_t>(static_cast<unsigned char>(p[i])) << (8 * i);
  return Mix(h ^ tail, kSeed1 ^ 0x8ebc6af09c88c6e3ULL);
}

}  // namespace

uint32_t StringPool::Intern(std::string_view text) {
  if ((size() + 1) * 2 > slots_.size()) Rehash(slots_.empty() ? 1024 : slots_.size() * 2);
  uint64_t h = HashBytes(text);
  uint32_t tag = static_cast<uint32_t>(h >> 32);
  size_t mask = slots_.size() - 1;
  for (size_t i = h & mask;; i = (i + 1) & mask) {
    uint32_t slot = slots_[i];
    if (slot == 0) {
      if (size() == UINT32_MAX - 1) throw std::length_error("too many distinct strings");
      uint32_t id = size();
      bytes_.append(text);
      offsets_.push_back(bytes_.size());
      hashes_.push_back(tag);
      slots_[i] = id + 1;
      return id;
    }
    if (hashes_[slot - 1] == tag && Get(slot - 1) == text) return slot - 1;
  }
}

void StringPool::Rehash(size_t slots) {
  slots_.assign(slots, 0);
  size_t mask = slots - 1;
  for (uint32_t id = 0; id < size(); ++id) {
    size_t i = HashBytes(Get(id)) & mask;
    while (slots_[i] != 0) i = (i + 1) & mask;
    slots_[i] = id + 1;
  }
}

void StringPool::Clear() {
  std::string().swap(bytes_);
  offsets_.assign(1, 0);
  offsets_.shrink_to_fit();
  std::vector<uint32_t>().swap(slots_);
  std::vector<uint32_t>().swap(hashes_);
}

size_t StringPool::MemoryBytes() const {
  return bytes_.capacity() + offsets_.capacity() * sizeof(uint64_t) +
         (slots_.capacity() + hashes_.capacity()) * sizeof(uint32_t);
}

}  // namespace veskara
