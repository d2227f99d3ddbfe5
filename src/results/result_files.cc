#include "results/result_files.h"

#include <algorithm>
#include <functional>
#include <iterator>
#include <utility>

#include "base/remembered.h"
#include "platform/cp1251.h"
#include "platform/paths.h"

namespace veskara {
namespace {

constexpr int64_t kNsPerDay = int64_t{86400} * 1'000'000'000;

// -1, 0 or 1.
template <typename T>
int Compare(const T& a, const T& b) {
  return a < b ? -1 : (b < a ? 1 : 0);
}

}  // namespace

FileFacts FactsOf(const std::string& path, Env& env) {
  const PathInfo info = env.Stat(path);
  if (info.kind == PathKind::kMissing) return {};
  return {.present = true, .size = info.size, .modified_ns = info.mtime_ns};
}

std::string FirstLine::Shown() const { return status == Status::kFound ? label + ":" + text : std::string(); }

std::optional<FileSortKey> CommandLineSortKey(std::string_view name) {
  if (name == "path") return FileSortKey::kPath;
  if (name == "name") return FileSortKey::kName;
  if (name == "modified") return FileSortKey::kModified;
  if (name == "size") return FileSortKey::kSize;
  return std::nullopt;
}

int64_t StartOfRecent(RecentPeriod period, int64_t now_ns) {
  switch (period) {
    case RecentPeriod::kWeek:
      return now_ns - 7 * kNsPerDay;
    case RecentPeriod::kMonth:
      return now_ns - 30 * kNsPerDay;
    case RecentPeriod::kYear:
      return now_ns - 365 * kNsPerDay;
  }
  return now_ns;
}

std::string FoldLetterCase(std::string_view utf8) {
  std::string folded;
  folded.reserve(utf8.size());
  for (size_t i = 0; i < utf8.size();) {
    const unsigned char c = static_cast<unsigned char>(utf8[i]);
    if (c < 0x80) {
      folded.push_back(c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : static_cast<char>(c));
      ++i;
      continue;
    }
    uint32_t code_point = 0;
    const size_t length = DecodeUtf8Char(utf8, i, &code_point);
    if (length == 0) {
      // A byte that is no character stays as it is.
      folded.push_back(static_cast<char>(c));
      ++i;
      continue;
    }
    if (code_point >= 0xE0 && code_point <= 0xFE && code_point != 0xF7) {
      code_point -= 0x20;  // à to þ, but not the division sign
    } else if (code_point >= 0x430 && code_point <= 0x44F) {
      code_point -= 0x20;
    } else if (code_point >= 0x450 && code_point <= 0x45F) {
      code_point -= 0x50;  // ё as Ё, and the other letters of that row
    }
    AppendUtf8(folded, code_point);
    i += length;
  }
  return folded;
}

std::string LongColumns(const ResultFiles& files, size_t row) {
  const std::optional<FileFacts>& facts = files.facts(row);
  std::string columns;
  if (facts && facts->present) {
    columns = std::to_string(facts->size) + "\t" + LocalTimeText(facts->modified_ns);
  } else {
    columns = "-\t-";
  }
  return columns + "\t" + KindsText(files.kinds(row));
}

std::string SizeText(uint64_t bytes) {
  if (bytes < 1024) return std::to_string(bytes) + " B";
  static constexpr const char* kUnits[] = {"KB", "MB", "GB", "TB", "PB", "EB"};
  // Tenths of the unit, rounded, without floating point.
  size_t unit = 0;
  uint64_t scale = 1024;
  while (unit + 1 < std::size(kUnits) && bytes / scale >= 1024) {
    scale *= 1024;
    ++unit;
  }
  uint64_t tenths = (bytes / scale) * 10 + ((bytes % scale) * 10 + scale / 2) / scale;
  if (tenths >= 10240 && unit + 1 < std::size(kUnits)) {
    // 1023.96 KB rounds up into the next unit.
    ++unit;
    tenths = 10;
  }
  return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10) + " " + kUnits[unit];
}

ResultFiles::ResultFiles(std::vector<std::string> paths, const KindChoice& kinds) {
  rows_.reserve(paths.size());
  for (std::string& path : paths) {
    Row row;
    row.name_at = static_cast<uint32_t>(path.size() - OwnName(path).size());
    row.kinds = KindsOf(path, kinds);
    row.path = std::move(path);
    rows_.push_back(std::move(row));
  }
}

std::string_view ResultFiles::name(size_t row) const {
  const Row& r = rows_[row];
  return std::string_view(r.path).substr(r.name_at);
}

std::string_view ResultFiles::folder(size_t row) const {
  const Row& r = rows_[row];
  if (r.name_at == 0) return {};
  // The root keeps its separator; any other folder is shown without it.
  return std::string_view(r.path).substr(0, r.name_at == 1 ? 1 : r.name_at - 1);
}

std::vector<uint32_t> ResultFiles::WithoutFacts() const {
  std::vector<uint32_t> rows;
  for (size_t i = 0; i < rows_.size(); ++i) {
    if (!rows_[i].facts) rows.push_back(static_cast<uint32_t>(i));
  }
  return rows;
}

const std::vector<std::string>& ResultFiles::FoldedPaths() const {
  if (folded_paths_.size() != rows_.size()) {
    folded_paths_.clear();
    folded_paths_.reserve(rows_.size());
    for (const Row& row : rows_) folded_paths_.push_back(FoldLetterCase(row.path));
  }
  return folded_paths_;
}

std::vector<uint32_t> ResultFiles::Filter(const FileFilter& filter, bool facts_pending) const {
  const std::string text = FoldLetterCase(filter.path_text);
  const std::vector<std::string>* folded = text.empty() ? nullptr : &FoldedPaths();
  std::vector<uint32_t> kept;
  kept.reserve(rows_.size());
  for (size_t i = 0; i < rows_.size(); ++i) {
    const Row& row = rows_[i];
    if (!filter.under.empty() && std::none_of(filter.under.begin(), filter.under.end(),
                                              [&](const std::string& dir) { return IsAtOrUnder(row.path, dir); })) {
      continue;
    }
    if (!filter.kinds.empty() && std::none_of(filter.kinds.begin(), filter.kinds.end(),
                                              [&](DocumentKind kind) { return row.kinds.Has(kind); })) {
      continue;
    }
    if (folded != nullptr && (*folded)[i].find(text) == std::string::npos) continue;
    if (filter.NeedsFacts()) {
      if (!row.facts) {
        if (!facts_pending) continue;
      } else {
        const FileFacts& facts = *row.facts;
        if (!facts.present) continue;
        if (filter.newer_ns && facts.modified_ns < *filter.newer_ns) continue;
        if (filter.older_ns && facts.modified_ns >= *filter.older_ns) continue;
      }
    }
    kept.push_back(static_cast<uint32_t>(i));
  }
  return kept;
}

void ResultFiles::Sort(FileSortKey key, bool reverse, std::vector<uint32_t>& rows) const {
  // Each row's key once: a comparison must not fold texts again.
  std::vector<std::string> texts;
  auto fold_each = [&](const std::function<std::string(const Row&)>& text_of) {
    texts.resize(rows_.size());
    for (const uint32_t r : rows) texts[r] = text_of(rows_[r]);
  };
  // The order of two rows that both have the key's value.
  std::function<int(uint32_t, uint32_t)> compare;
  // False for a row that goes last whichever the direction.
  std::function<bool(uint32_t)> has_value = [](uint32_t) { return true; };
  switch (key) {
    case FileSortKey::kBase:
      compare = [](uint32_t a, uint32_t b) { return Compare(a, b); };
      break;
    case FileSortKey::kPath:
      compare = [this](uint32_t a, uint32_t b) { return Compare(rows_[a].path, rows_[b].path); };
      break;
    case FileSortKey::kName:
      fold_each([](const Row& row) { return FoldLetterCase(std::string_view(row.path).substr(row.name_at)); });
      compare = [&](uint32_t a, uint32_t b) {
        if (const int c = Compare(texts[a], texts[b])) return c;
        if (const int c = Compare(name(a), name(b))) return c;
        return Compare(rows_[a].path, rows_[b].path);
      };
      break;
    case FileSortKey::kFolder:
      fold_each([](const Row& row) {
        // The folder, then the name: a file of a folder before that folder's subfolders' files.
        return FoldLetterCase(std::string_view(row.path).substr(0, row.name_at)) + '\0' +
               FoldLetterCase(std::string_view(row.path).substr(row.name_at));
      });
      compare = [&](uint32_t a, uint32_t b) {
        if (const int c = Compare(texts[a], texts[b])) return c;
        return Compare(rows_[a].path, rows_[b].path);
      };
      break;
    case FileSortKey::kKind:
      fold_each([](const Row& row) { return KindsText(row.kinds); });
      compare = [&](uint32_t a, uint32_t b) { return Compare(texts[a], texts[b]); };
      break;
    case FileSortKey::kModified:
    case FileSortKey::kSize:
      has_value = [this](uint32_t r) { return rows_[r].facts.has_value() && rows_[r].facts->present; };
      compare = [this, key](uint32_t a, uint32_t b) {
        const FileFacts& x = *rows_[a].facts;
        const FileFacts& y = *rows_[b].facts;
        return key == FileSortKey::kSize ? Compare(x.size, y.size) : Compare(x.modified_ns, y.modified_ns);
      };
      break;
    case FileSortKey::kLine:
      has_value = [this](uint32_t r) {
        return rows_[r].line.has_value() && rows_[r].line->status == FirstLine::Status::kFound;
      };
      fold_each([](const Row& row) {
        return row.line ? FoldLetterCase(row.line->text) + '\0' + row.line->label : std::string();
      });
      compare = [&](uint32_t a, uint32_t b) { return Compare(texts[a], texts[b]); };
      break;
  }
  std::stable_sort(rows.begin(), rows.end(), [&](uint32_t a, uint32_t b) {
    const bool va = has_value(a);
    const bool vb = has_value(b);
    if (va != vb) return va;
    if (!va) return false;
    const int c = compare(a, b);
    return reverse ? c > 0 : c < 0;
  });
}

}  // namespace veskara
