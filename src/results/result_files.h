// The files of a search as both front ends work with them beyond the written
// search: each with its kind, its size and time (one Stat, when asked for),
// and the first line that holds a searched word; filtered by folder, kind,
// time and a part of the path, and put in an order. `find`'s options and the
// window's Files page compute all of it here and only show it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "extract/document_kind.h"
#include "platform/env.h"
#include "search/search.h"

namespace veskara {

// What one Stat of a file says.
struct FileFacts {
  bool present = false;  // false: the file is gone or cannot be reached
  uint64_t size = 0;
  int64_t modified_ns = 0;
  bool operator==(const FileFacts&) const = default;
};

// One Stat of `path`, links followed. A folder or a special file is present
// with the size and time the system gives.
FileFacts FactsOf(const std::string& path, Env& env);

// The first line of a document that holds a searched word.
struct FirstLine {
  enum class Status {
    kFound,       // label and text
    kNone,        // the document was read and no line holds one
    kUnreadable,  // reason says why
  };
  Status status = Status::kNone;
  std::string label;   // "12" for a line of a page, "p.3" for a page of a PDF document
  std::string text;    // UTF-8, without control characters
  std::string reason;  // kUnreadable

  // "12:text", as `show` prints a line; "" unless found.
  std::string Shown() const;
  bool operator==(const FirstLine&) const = default;
};

// The first line of the document at `path` that holds a word beginning with
// a word of `query` (Windows-1251): the first of the lines `show` gives
// (FindDocumentMatches, with its private conversion folder). Blocks while a
// PDF document converts. Safe to call from several threads at once.
FirstLine FirstMatchingLine(const std::string& path, std::string_view query, const SearchOptions& options,
                            const std::string& base_directory, Env& env);

// How rows are ordered. kBase is the order of fls.txt, as `find` lists them.
enum class FileSortKey { kBase, kPath, kName, kFolder, kKind, kModified, kSize, kLine };

// The keys the command line sorts by: "path", "name", "modified", "size".
std::optional<FileSortKey> CommandLineSortKey(std::string_view name);

// What rows must have to be kept. Each part that is set must hold; an empty
// filter keeps every row.
struct FileFilter {
  std::vector<std::string> under = {};   // absolute folders: the file is at or under one of them
  std::vector<DocumentKind> kinds = {};  // the file is of one of these kinds
  std::optional<int64_t> newer_ns = {};  // modified at or after this time
  std::optional<int64_t> older_ns = {};  // modified before this time
  std::string path_text = {};            // UTF-8 that the path holds, letters of either case alike

  // True when the filter looks at times: every row needs its facts, and a
  // row whose file is gone is not kept.
  bool NeedsFacts() const { return newer_ns.has_value() || older_ns.has_value(); }
};

// "Last week", "last month", "last year": the time from which a file counts
// as modified within it, seen at `now_ns` (7, 30 and 365 days before).
enum class RecentPeriod { kWeek, kMonth, kYear };
int64_t StartOfRecent(RecentPeriod period, int64_t now_ns);

// The rows of a search, in the order of fls.txt, with what is known of
// each so far. Not thread-safe: one owner (the window's thread, or the
// command); work in the background is done on copies of the paths.
class ResultFiles {
 public:
  ResultFiles() = default;
  // `paths` as FindFiles lists them; their kinds as a base that reads
  // `kinds` takes them.
  explicit ResultFiles(std::vector<std::string> paths, const KindChoice& kinds = {});

  size_t size() const { return rows_.size(); }
  const std::string& path(size_t row) const { return rows_[row].path; }
  // The own name, and the folder before it ("/" for a file in the root, ""
  // for a path without a separator).
  std::string_view name(size_t row) const;
  std::string_view folder(size_t row) const;
  const DocumentKinds& kinds(size_t row) const { return rows_[row].kinds; }

  const std::optional<FileFacts>& facts(size_t row) const { return rows_[row].facts; }
  void SetFacts(size_t row, const FileFacts& facts) { rows_[row].facts = facts; }
  // The rows whose facts are not known yet, in order.
  std::vector<uint32_t> WithoutFacts() const;

  const std::optional<FirstLine>& line(size_t row) const { return rows_[row].line; }
  void SetLine(size_t row, FirstLine line) { rows_[row].line = std::move(line); }

  // The rows that `filter` keeps, in the order of fls.txt. Rows without
  // facts pass a filter that needs them only when `facts_pending` is set
  // (the window filters again once they have come).
  std::vector<uint32_t> Filter(const FileFilter& filter, bool facts_pending = false) const;

  // Puts `rows` in the order of `key`, ascending, or descending when
  // `reverse`; rows that tie keep their order. Rows without the key's value
  // (no facts or a file that is gone, for kModified and kSize; no line found,
  // for kLine) come last either way. Names, folders and lines are compared
  // with letters of either case alike, then byte for byte; paths byte for
  // byte.
  void Sort(FileSortKey key, bool reverse, std::vector<uint32_t>& rows) const;

 private:
  struct Row {
    std::string path;
    uint32_t name_at = 0;  // where the own name begins in path
    DocumentKinds kinds;
    std::optional<FileFacts> facts;
    std::optional<FirstLine> line;
  };
  // Paths with letters of one case, made on the first filter by text.
  const std::vector<std::string>& FoldedPaths() const;

  std::vector<Row> rows_;
  mutable std::vector<std::string> folded_paths_;
};

// The columns `find --long` gives after a path, joined by TABs: the size in
// bytes, the time of the last change (LocalTimeText) and the kinds
// (KindsText); "-" for the size and the time of a file that is gone or was
// not looked at.
std::string LongColumns(const ResultFiles& files, size_t row);

// A size as a table shows it: "0 B", "999 B", "1.0 KB", "12.3 MB", "4.0 GB"
// (units of 1024).
std::string SizeText(uint64_t bytes);

// UTF-8 with the small letters of Latin (ASCII and Latin-1) and Cyrillic as
// capitals (ё as Ё), so that texts compare with letters of either case alike.
std::string FoldLetterCase(std::string_view utf8);

}  // namespace veskara
