#include "search/file_lookup.h"

#include <cstdint>
#include <cstring>
#include <optional>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "base/base_files.h"
#include "base/records.h"
#include "platform/strings.h"

namespace veskara {
namespace {

// The row text of a path line.
std::string RowOfPathLine(Env& env, std::string_view line) {
  std::string_view whole = Trim(line);
  size_t bar = line.find('|');
  if (bar == std::string_view::npos) return std::string(whole);
  // A file name on this platform may hold a "|"; cutting it would show a
  // path that cannot be opened.
  if (!whole.empty() && env.Stat(std::string(whole)).kind != PathKind::kMissing) return std::string(whole);
  return std::string(Trim(line.substr(bar + 1)));
}

// The number texts a lookup of many entries wants, each to be taken once:
// the record that first holds it gives its row. Canonical decimals ("0", or
// up to seven digits without a leading zero), which are what a scan writes,
// are kept as bits by value, so that a hundred thousand numbers cost no more
// than a pass over them; any other text is kept as it is.
class WantedNumbers {
  static constexpr size_t kMostDigits = 7;  // a bitmap of at most 1.25 MB

 public:
  // The numbers of a list as SplitNumberList cuts it: only the comma
  // separates, empty pieces count, nothing after a trailing comma. One pass
  // over the bytes: a search may hand over hundreds of thousands of numbers.
  void AddList(std::string_view list) {
    const char* p = list.data();
    const char* const end = p + list.size();
    for (;;) {
      const char* const start = p;
      uint32_t value = 0;
      bool digits = true;
      for (; p < end && *p != ','; ++p) {
        const unsigned digit = static_cast<unsigned char>(*p) - unsigned{'0'};
        digits = digits && digit <= 9;
        value = value * 10 + digit;
      }
      const size_t size = static_cast<size_t>(p - start);
      if (digits && size >= 1 && size <= kMostDigits && (*start != '0' || size == 1)) {
        AddValue(value);
      } else {
        left_ += others_.insert(std::string_view(start, size)).second;
      }
      if (p == end || ++p == end) return;
    }
  }

  // True when `number` is wanted and not taken before; it is taken then.
  bool Take(std::string_view number) {
    if (const std::optional<uint32_t> value = Canonical(number)) {
      if (*value / 64 >= bits_.size()) return false;
      uint64_t& word = bits_[*value / 64];
      const uint64_t bit = uint64_t{1} << (*value % 64);
      if ((word & bit) == 0) return false;
      word &= ~bit;
    } else if (others_.erase(number) == 0) {
      return false;
    }
    --left_;
    return true;
  }

  size_t left() const { return left_; }

 private:
  void AddValue(uint32_t value) {
    if (value / 64 >= bits_.size()) bits_.resize(value / 64 + 1, 0);
    uint64_t& word = bits_[value / 64];
    const uint64_t bit = uint64_t{1} << (value % 64);
    left_ += (word & bit) == 0;
    word |= bit;
  }

  static std::optional<uint32_t> Canonical(std::string_view number) {
    if (number.empty() || number.size() > kMostDigits || (number[0] == '0' && number.size() > 1)) return std::nullopt;
    uint32_t value = 0;
    for (char c : number) {
      if (c < '0' || c > '9') return std::nullopt;
      value = value * 10 + static_cast<uint32_t>(c - '0');
    }
    return value;
  }

  std::vector<uint64_t> bits_;
  std::unordered_set<std::string_view> others_;
  size_t left_ = 0;
};

// The rows added so far, to add each row text once. Open addressing with a
// byte of each row's hash in a table small enough for the cache, so that a
// new row (nearly every row) costs no look at the rows themselves.
class ShownRows {
 public:
  ShownRows(const std::vector<std::string>& rows, size_t most) : rows_(rows) {
    size_t capacity = 16;
    while (capacity < 2 * most) capacity *= 2;
    marks_.assign(capacity, 0);
    index_.resize(capacity);
  }

  // True when no row added before has this text; the caller then adds it
  // as rows_[rows_.size()] and must call Added().
  bool IsNew(std::string_view row) {
    const uint64_t hash = Hash(row);
    mark_ = static_cast<uint8_t>((hash >> 56) | 1);  // 0 marks a free slot
    const size_t mask = marks_.size() - 1;
    for (at_ = hash & mask; marks_[at_] != 0; at_ = (at_ + 1) & mask) {
      if (marks_[at_] == mark_ && rows_[index_[at_]] == row) return false;
    }
    return true;
  }
  void Added() {
    marks_[at_] = mark_;
    index_[at_] = static_cast<uint32_t>(rows_.size() - 1);
  }

 private:
  // Eight bytes at a time: paths are long, and nearly every row is hashed.
  static uint64_t Hash(std::string_view text) {
    uint64_t h = 0x9E3779B97F4A7C15ull ^ text.size();
    size_t i = 0;
    for (; i + 8 <= text.size(); i += 8) {
      uint64_t word;
      std::memcpy(&word, text.data() + i, 8);
      h = (h ^ word) * 0xBF58476D1CE4E5B9ull;
      h ^= h >> 29;
    }
    uint64_t tail = 0;
    std::memcpy(&tail, text.data() + i, text.size() - i);
    h = (h ^ tail) * 0x94D049BB133111EBull;
    return h ^ (h >> 31);
  }

  const std::vector<std::string>& rows_;
  std::vector<uint8_t> marks_;
  std::vector<uint32_t> index_;
  uint8_t mark_ = 0;
  size_t at_ = 0;
};

}  // namespace

std::vector<std::string_view> SplitNumberList(std::string_view numbers) {
  return SplitAtCommas(numbers, /*drop_trailing_empty=*/true);
}

namespace {

std::vector<std::string> FilesOfEntry(std::unique_ptr<ReadableFile> file, std::string_view numbers, Env& env) {
  std::vector<std::string_view> wanted = SplitNumberList(numbers);
  // Number text -> row, filled by the first record with that number.
  std::unordered_map<std::string_view, std::string> found;
  std::unordered_map<std::string_view, bool> pending;
  for (std::string_view n : wanted) pending.emplace(n, true);
  size_t left = pending.size();

  FileRecordScanner records(std::move(file));
  // Once every number has its record, later records cannot change a row.
  while (left > 0 && records.Next()) {
    auto it = pending.find(records.number());
    if (it != pending.end() && it->second) {
      it->second = false;
      --left;
      found.emplace(it->first, RowOfPathLine(env, records.path()));
    }
  }
  records.Close();

  std::vector<std::string> rows;
  rows.reserve(wanted.size());
  for (std::string_view n : wanted) {
    auto it = found.find(n);
    if (it != found.end()) rows.push_back(it->second);
  }
  return rows;
}

std::vector<std::string> FilesOfEntries(std::unique_ptr<ReadableFile> file,
                                        std::span<const std::string_view> number_lists,
                                        std::span<const std::string_view> left_out_lists, Env& env) {
  WantedNumbers wanted;
  for (std::string_view list : number_lists) wanted.AddList(list);
  // A left-out number is taken before the read: no record gives it a row.
  for (std::string_view list : left_out_lists) {
    for (std::string_view number : SplitNumberList(list)) wanted.Take(number);
  }
  std::vector<std::string> rows;
  rows.reserve(wanted.left());  // a wanted number gives a row at most
  ShownRows shown(rows, wanted.left());

  FileRecordScanner records(std::move(file));
  while (wanted.left() > 0 && records.Next()) {
    if (!wanted.Take(records.number())) continue;
    // Two records may name one file; it is listed once.
    std::string row = RowOfPathLine(env, records.path());
    if (shown.IsNew(row)) {
      rows.push_back(std::move(row));
      shown.Added();
    }
  }
  records.Close();
  return rows;
}

}  // namespace

std::vector<std::string> ListFilesOfEntry(const std::string& base_directory, std::string_view numbers, Env& env) {
  return FilesOfEntry(env.OpenForReading(FilesFilePath(base_directory)), numbers, env);
}

std::vector<std::string> ListFilesOfEntry(const BaseSnapshot& base, std::string_view numbers) {
  return FilesOfEntry(base.ReaderOrThrow(kFilesFileName), numbers, base.env());
}

std::vector<std::string> ListFilesOfEntries(const std::string& base_directory,
                                            std::span<const std::string_view> number_lists, Env& env) {
  return FilesOfEntries(env.OpenForReading(FilesFilePath(base_directory)), number_lists, {}, env);
}

std::vector<std::string> ListFilesOfEntries(const std::string& base_directory,
                                            std::span<const std::string_view> number_lists,
                                            std::span<const std::string_view> left_out_lists, Env& env) {
  return FilesOfEntries(env.OpenForReading(FilesFilePath(base_directory)), number_lists, left_out_lists, env);
}

std::vector<std::string> ListFilesOfEntries(const BaseSnapshot& base, std::span<const std::string_view> number_lists,
                                            std::span<const std::string_view> left_out_lists) {
  return FilesOfEntries(base.ReaderOrThrow(kFilesFileName), number_lists, left_out_lists, base.env());
}

FoundFiles FindFiles(const std::string& base_directory, std::string_view query, const SearchOptions& options,
                     Env& env) {
  return FindFiles(base_directory, SplitQuery{std::string(query), {}}, options, env);
}

FoundFiles FindFiles(const std::string& base_directory, const SplitQuery& query, const SearchOptions& options,
                     Env& env) {
  FoundFiles found;
  if (ParseQuery(query.searched).empty()) {
    found.only_left_out = !query.left_out.empty();
    return found;
  }
  // The paths must come from the base whose words were found.
  const BaseSnapshot base = BaseSnapshot::Open(base_directory, env);
  SearchLeavingOut searched = RunSearchLeavingOut(base, query.searched, query.left_out, options);
  found.search = std::move(searched.search);
  if (found.search.status != SearchOutcome::Status::kDone || found.search.entries.empty()) return found;
  std::vector<std::string_view> lists;
  lists.reserve(found.search.entries.size());
  for (const SearchEntry& entry : found.search.entries) lists.push_back(entry.numbers);
  const std::vector<std::string_view> left_out(searched.left_out_lists.begin(), searched.left_out_lists.end());
  found.rows = ListFilesOfEntries(base, lists, left_out);
  return found;
}

}  // namespace veskara
