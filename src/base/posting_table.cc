#include "base/posting_table.h"

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <numeric>
#include <thread>
#include <utility>

#include "base/compare_words.h"
#include "platform/str_to_int.h"
#include "platform/strings.h"
#include "platform/text_file.h"

namespace veskara {
namespace {

// Chains up to this length are sorted in place by insertion.
constexpr size_t kInsertionLimit = 24;
// Chains from this length on are radix-sorted; shorter ones merge, since
// radix passes pay for their buckets once per chain.
constexpr size_t kRadixMinimum = 512;
// Tables from this size on sort each phase's chains on two threads.
constexpr size_t kParallelMinimum = size_t{1} << 16;
// Long chains are copied out in blocks of this many neighbouring chains, so
// that every cache line of the table is read and written once per block
// rather than once per chain.
constexpr size_t kBlock = 8;

// What a sorting thread keeps from one phase to the next: buffers made anew
// for every phase would be faulted in from the system every time.
template <typename Entry>
struct SortWorkspace {
  std::vector<Entry> chains[kBlock];
  std::vector<Entry> scratch;
};

// How many bits hold the values 0 to `largest` (at least 1).
int BitsFor(uint64_t largest) {
  int bits = 1;
  while (bits < 64 && (largest >> bits) != 0) ++bits;
  return bits;
}

// Runs work(0) on a thread of its own and work(1) on this one; rethrows the
// first failure of either once both have ended.
template <typename Work>
void OnTwoThreads(Work work) {
  std::exception_ptr failure;
  std::thread other([&] {
    try {
      work(0);
    } catch (...) {
      failure = std::current_exception();
    }
  });
  try {
    work(1);
  } catch (...) {
    other.join();
    throw;
  }
  other.join();
  if (failure) std::rethrow_exception(failure);
}

// Stable LSD radix sort of `items` by key(item), keys `bits` wide, in as
// few passes of at most 11 bits as will do, each as narrow as it can be:
// fewer buckets scatter with fewer cache misses.
template <typename Entry, typename Key>
void RadixSort(std::vector<Entry>& items, std::vector<Entry>& scratch, Key key, int bits) {
  constexpr int kMaxDigit = 11;
  const int passes = (bits + kMaxDigit - 1) / kMaxDigit;
  const int digit = (bits + passes - 1) / passes;
  const uint32_t mask = (uint32_t{1} << digit) - 1;
  if (scratch.capacity() < items.size()) std::vector<Entry>().swap(scratch);
  scratch.resize(items.size());
  size_t counts[size_t{1} << kMaxDigit];
  for (int shift = 0; shift < bits; shift += digit) {
    std::fill(counts, counts + mask + 1, 0);
    for (Entry e : items) ++counts[(key(e) >> shift) & mask];
    size_t sum = 0;
    for (uint32_t b = 0; b <= mask; ++b) sum += std::exchange(counts[b], sum);
    for (Entry e : items) scratch[counts[(key(e) >> shift) & mask]++] = e;
    items.swap(scratch);
  }
}

// The stable radix sort of RadixSort on two threads, for the one chain of
// gap 1: each pass counts and scatters the two halves of the table at once,
// the second half's entries of a digit placed after the first half's.
template <typename Entry, typename Key>
void RadixSortOnTwoThreads(Entry* a, size_t n, Key key, int bits) {
  constexpr int kMaxDigit = 11;
  const int passes = (bits + kMaxDigit - 1) / kMaxDigit;
  const int digit = (bits + passes - 1) / passes;
  const uint32_t mask = (uint32_t{1} << digit) - 1;
  // Every entry is written before it is read: no need to clear the buffer.
  const std::unique_ptr<Entry[]> buffer = std::make_unique_for_overwrite<Entry[]>(n);
  Entry* from = a;
  Entry* to = buffer.get();
  const size_t half = n / 2;
  const size_t begin[2] = {0, half};
  const size_t end[2] = {half, n};
  std::vector<size_t> counts[2] = {std::vector<size_t>(mask + 1), std::vector<size_t>(mask + 1)};
  for (int shift = 0; shift < bits; shift += digit) {
    OnTwoThreads([&](int t) {
      std::fill(counts[t].begin(), counts[t].end(), 0);
      for (size_t i = begin[t]; i < end[t]; ++i) ++counts[t][(key(from[i]) >> shift) & mask];
    });
    size_t sum = 0;
    for (uint32_t b = 0; b <= mask; ++b) {
      const size_t first = counts[0][b];
      counts[0][b] = sum;
      sum += first;
      const size_t second = counts[1][b];
      counts[1][b] = sum;
      sum += second;
    }
    OnTwoThreads([&](int t) {
      size_t* next = counts[t].data();
      for (size_t i = begin[t]; i < end[t]; ++i) to[next[(key(from[i]) >> shift) & mask]++] = from[i];
    });
    std::swap(from, to);
  }
  if (from != a) std::copy(from, from + n, a);
}

// Sorts the chains a[r], a[r+g], a[r+2g], ... for r in [first, last) stably
// by key: what the passes of strict-less exchanges at gap g leave.
template <typename Entry, typename Key>
void SortChainRange(Entry* a, size_t n, size_t g, size_t first, size_t last, Key key, int bits,
                    SortWorkspace<Entry>& space) {
  std::vector<Entry>* chains = space.chains;
  std::vector<Entry>& scratch = space.scratch;
  // Chains grow as the gaps shrink and fewer of them share a block: what
  // this phase does not use goes, so that the sort needs no more memory
  // than with fresh buffers.
  for (size_t c = std::min(kBlock, last - first); c < kBlock; ++c) std::vector<Entry>().swap(chains[c]);
  size_t r = first;
  while (r < last) {
    size_t len = (n - r + g - 1) / g;
    if (len <= kInsertionLimit) {
      for (size_t i = r + g; i < n; i += g) {
        Entry e = a[i];
        uint32_t k = key(e);
        size_t j = i;
        while (j > r && key(a[j - g]) > k) {
          a[j] = a[j - g];
          j -= g;
        }
        a[j] = e;
      }
      ++r;
      continue;
    }
    const size_t block = std::min(kBlock, last - r);
    for (size_t c = 0; c < block; ++c) {
      // A buffer too small goes before its successor comes, not after.
      if (chains[c].capacity() < len) std::vector<Entry>().swap(chains[c]);
      chains[c].clear();
      chains[c].reserve(len);
    }
    for (size_t row = r; row < n; row += g) {
      const size_t width = std::min(block, n - row);
      for (size_t c = 0; c < width; ++c) chains[c].push_back(a[row + c]);
    }
    for (size_t c = 0; c < block; ++c) {
      std::vector<Entry>& chain = chains[c];
      if (std::is_sorted(chain.begin(), chain.end(), [&key](Entry x, Entry y) { return key(x) < key(y); })) {
        continue;
      }
      if (chain.size() < kRadixMinimum) {
        std::stable_sort(chain.begin(), chain.end(), [&key](Entry x, Entry y) { return key(x) < key(y); });
      } else {
        RadixSort(chain, scratch, key, bits);
      }
    }
    for (size_t row = r, k = 0; row < n; row += g, ++k) {
      const size_t width = std::min(block, n - row);
      for (size_t c = 0; c < width; ++c) a[row + c] = chains[c][k];
    }
    r += block;
  }
}

// Runs each gap's phase in turn. The chains of one phase share no entry, so
// a large table splits them between two threads; the one chain of gap 1 is
// sorted by both.
template <typename Entry, typename Key>
void SortChains(Entry* a, size_t n, const std::vector<size_t>& gaps, Key key, int bits) {
  SortWorkspace<Entry> spaces[2];
  for (size_t g : gaps) {
    if (n < kParallelMinimum) {
      SortChainRange(a, n, g, 0, g, key, bits, spaces[0]);
    } else if (g == 1) {
      for (SortWorkspace<Entry>& space : spaces) space = SortWorkspace<Entry>();
      if (!std::is_sorted(a, a + n, [&key](Entry x, Entry y) { return key(x) < key(y); })) {
        RadixSortOnTwoThreads(a, n, key, bits);
      }
    } else {
      const size_t half = g / 2;
      OnTwoThreads([&](int t) { SortChainRange(a, n, g, t == 0 ? half : 0, t == 0 ? g : half, key, bits, spaces[t]); });
    }
  }
}

// Calls work(begin, end) on two halves of [0, n) at once when n is large.
template <typename Work>
void ForBothHalves(size_t n, Work work) {
  if (n < kParallelMinimum) {
    work(size_t{0}, n);
    return;
  }
  OnTwoThreads([&](int t) { work(t == 0 ? n / 2 : 0, t == 0 ? n : n / 2); });
}

}  // namespace

PostingTable::PostingTable() { current_number_ = numbers_.Intern(""); }

int64_t PostingTable::LargestNumber() const {
  // Only the numbers of entries: the current number is no entry's yet.
  std::vector<bool> used(numbers_.size());
  for (uint64_t entry : entries_) used[static_cast<uint32_t>(entry)] = true;
  int64_t largest = kNoNumber;
  for (uint32_t id = 0; id < numbers_.size(); ++id) {
    if (!used[id]) continue;
    if (const std::optional<int32_t> value = TryStrToInt(numbers_.Get(id))) {
      largest = std::max<int64_t>(largest, *value);
    }
  }
  return largest;
}

void PostingTable::SetCurrentFileNumber(std::string_view number) { current_number_ = numbers_.Intern(number); }

void PostingTable::AddRecord(std::string_view word, std::string_view numbers) {
  // The word is interned once per record, not once per number.
  const uint64_t word_id = uint64_t{words_.Intern(word)} << 32;
  ForEachCommaPiece(numbers, [&](std::string_view piece) {
    entries_.push_back(word_id | numbers_.Intern(piece));
    return true;
  });
}

void PostingTable::RemoveNumbers(const std::unordered_set<std::string>& numbers) {
  // By id: one look at each distinct number text, then one pass over the entries.
  std::vector<bool> gone(numbers_.size());
  bool any = false;
  for (uint32_t id = 0; id < numbers_.size(); ++id) {
    if (numbers.count(std::string(numbers_.Get(id))) != 0) gone[id] = any = true;
  }
  if (!any) return;
  std::erase_if(entries_, [&gone](uint64_t entry) { return gone[static_cast<uint32_t>(entry)]; });
}

void PostingTable::AppendDocument(const DocumentWords& document) {
  std::vector<uint32_t> ids(document.words.size());
  for (uint32_t k = 0; k < ids.size(); ++k) ids[k] = words_.Intern(document.words.Get(k));
  for (uint32_t k : document.occurrences) entries_.push_back(uint64_t{ids[k]} << 32 | current_number_);
}

// Each gap's passes of adjacent exchanges on the chains i, i+g, i+2g, ...
// amount to a stable sort of every chain, so a phase sorts each chain stably.
void PostingTable::SortPostingTable() {
  const size_t n = entries_.size();
  if (n < 2) return;
  std::vector<size_t> gaps;
  for (size_t g = (n - 1) / 2; g >= 1; g /= 2) gaps.push_back(g);
  if (gaps.empty()) gaps.push_back(1);

  // Word ids are renumbered into CompareWords order for the sort, so that
  // the key is the id itself unless some words compare equal (a-z case
  // variants, possible in a loaded file); then a class table gives the key.
  std::vector<uint32_t> order(words_.size());
  std::iota(order.begin(), order.end(), 0);
  const auto before = [this](uint32_t a, uint32_t b) { return CompareWords(words_.Get(a), words_.Get(b)) < 0; };
  if (order.size() < kParallelMinimum) {
    std::sort(order.begin(), order.end(), before);
  } else {
    // Two sorted halves and one merge, on both cores. Words that compare
    // equal may land in another order among themselves; they share a key,
    // so the sort below does not see it.
    const auto middle = order.begin() + static_cast<std::ptrdiff_t>(order.size() / 2);
    OnTwoThreads([&](int t) { std::sort(t == 0 ? middle : order.begin(), t == 0 ? order.end() : middle, before); });
    std::inplace_merge(order.begin(), middle, order.end(), before);
  }
  std::vector<uint32_t> position(order.size());
  std::vector<uint32_t> word_class(order.size());
  uint32_t classes = 0;
  for (uint32_t i = 0; i < order.size(); ++i) {
    if (i > 0 && CompareWords(words_.Get(order[i - 1]), words_.Get(order[i])) != 0) ++classes;
    position[order[i]] = i;
    word_class[i] = classes;
  }
  // A table in order (a base loaded and nothing added) has every chain in
  // order at every gap: no exchange would happen.
  uint64_t* a = entries_.data();
  auto class_of = [&](uint64_t e) { return word_class[position[e >> 32]]; };
  bool in_order = true;
  for (size_t i = 1; i < n && in_order; ++i) in_order = class_of(a[i - 1]) <= class_of(a[i]);
  if (in_order) return;

  const bool all_distinct = classes + 1 == order.size();
  const int bits = BitsFor(classes);
  const int number_bits = BitsFor(numbers_.size() - 1);
  if (BitsFor(order.size() - 1) + number_bits <= 32) {
    // Position and number fit one 32-bit entry: the sort, bound by memory,
    // moves half the bytes.
    const uint32_t number_mask = (uint32_t{1} << number_bits) - 1;
    const std::unique_ptr<uint32_t[]> packed = std::make_unique_for_overwrite<uint32_t[]>(n);
    uint32_t* p = packed.get();
    ForBothHalves(n, [&](size_t first, size_t last) {
      for (size_t i = first; i < last; ++i) p[i] = position[a[i] >> 32] << number_bits | static_cast<uint32_t>(a[i]);
    });
    if (all_distinct) {
      SortChains(
          p, n, gaps, [number_bits](uint32_t e) { return e >> number_bits; }, bits);
    } else {
      SortChains(
          p, n, gaps, [&word_class, number_bits](uint32_t e) { return word_class[e >> number_bits]; }, bits);
    }
    ForBothHalves(n, [&](size_t first, size_t last) {
      for (size_t i = first; i < last; ++i) a[i] = uint64_t{order[p[i] >> number_bits]} << 32 | (p[i] & number_mask);
    });
    return;
  }
  ForBothHalves(n, [&](size_t first, size_t last) {
    for (size_t i = first; i < last; ++i) a[i] = uint64_t{position[a[i] >> 32]} << 32 | (a[i] & 0xFFFFFFFFu);
  });
  if (all_distinct) {
    SortChains(
        a, n, gaps, [](uint64_t e) { return static_cast<uint32_t>(e >> 32); }, bits);
  } else {
    SortChains(
        a, n, gaps, [&word_class](uint64_t e) { return word_class[e >> 32]; }, bits);
  }
  ForBothHalves(n, [&](size_t first, size_t last) {
    for (size_t i = first; i < last; ++i) a[i] = uint64_t{order[a[i] >> 32]} << 32 | (a[i] & 0xFFFFFFFFu);
  });
}

bool PostingTable::RunEndsAt(size_t j) const {
  // The same word id is the same word; other words may still compare equal.
  return j + 1 == entries_.size() ||
         ((entries_[j + 1] >> 32) != (entries_[j] >> 32) && CompareWords(WordAt(j + 1), WordAt(j)) != 0);
}

void PostingTable::FormatRuns(size_t begin, size_t end, std::vector<uint32_t>& seen, uint32_t& run,
                              std::string& out) const {
  std::string list;
  size_t i = begin;
  while (i < end) {
    ++run;
    list.clear();
    size_t j = i;
    for (;;) {
      uint32_t number = static_cast<uint32_t>(entries_[j]);
      if (seen[number] != run) {
        seen[number] = run;
        if (j != i) list.push_back(',');
        list.append(numbers_.Get(number));
      }
      if (RunEndsAt(j)) break;
      ++j;
    }
    out.append(WordAt(j));
    out.append("\r\n");
    out.append(list);
    out.append("\r\n");
    i = j + 1;
  }
}

void PostingTable::WriteWordsFile(TextWriter& file) const {
  const size_t n = entries_.size();
  if (n == 0) return;
  // Chunks of whole runs, about this many entries each.
  constexpr size_t kChunk = size_t{1} << 14;
  std::vector<size_t> cuts = {0};
  while (cuts.back() < n) {
    size_t p = std::min(n, cuts.back() + kChunk);
    while (p < n && !RunEndsAt(p - 1)) ++p;
    cuts.push_back(p);
  }
  const size_t chunks = cuts.size() - 1;
  std::vector<uint32_t> seen(numbers_.size(), 0);  // seen[number id] == run: listed in this run
  uint32_t run = 0;
  std::string text;
  if (chunks < 4) {
    FormatRuns(0, n, seen, run, text);
    file.Write(text);
    return;
  }
  // A large table is formatted on two threads: the other one does every
  // second chunk into a buffer of its own while this one formats and writes
  // the rest, all written in order.
  std::mutex mutex;
  std::condition_variable changed;
  std::string odd;
  size_t odd_ready = SIZE_MAX;  // the chunk in `odd`, or none
  bool stop = false;
  std::exception_ptr failure;
  std::thread other([&] {
    try {
      std::vector<uint32_t> other_seen(numbers_.size(), 0);
      uint32_t other_run = 0;
      std::string buffer;
      for (size_t k = 1; k < chunks; k += 2) {
        buffer.clear();
        FormatRuns(cuts[k], cuts[k + 1], other_seen, other_run, buffer);
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait(lock, [&] { return stop || odd_ready == SIZE_MAX; });
        if (stop) return;
        odd.swap(buffer);
        odd_ready = k;
        changed.notify_all();
      }
    } catch (...) {
      std::lock_guard<std::mutex> lock(mutex);
      failure = std::current_exception();
      changed.notify_all();
    }
  });
  try {
    for (size_t k = 0; k < chunks; ++k) {
      if (k % 2 == 0) {
        text.clear();
        FormatRuns(cuts[k], cuts[k + 1], seen, run, text);
        file.Write(text);
        continue;
      }
      {
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait(lock, [&] { return failure || odd_ready == k; });
        if (failure) std::rethrow_exception(failure);
        text.swap(odd);
        odd_ready = SIZE_MAX;
      }
      changed.notify_all();
      file.Write(text);
    }
  } catch (...) {
    {
      std::lock_guard<std::mutex> lock(mutex);
      stop = true;
    }
    changed.notify_all();
    other.join();
    throw;
  }
  other.join();
}

void PostingTable::ClearPostingTable() {
  std::string current(CurrentFileNumber());
  std::vector<uint64_t>().swap(entries_);
  words_.Clear();
  numbers_.Clear();
  current_number_ = numbers_.Intern(current);
}

size_t PostingTable::MemoryBytes() const {
  return entries_.capacity() * sizeof(uint64_t) + words_.MemoryBytes() + numbers_.MemoryBytes();
}

}  // namespace veskara
