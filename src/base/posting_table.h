// The in-memory word index of a scan: a flat list of (word, file number)
// entries, appended in scan order, sorted by word and merged into wrds.txt.
//
// Words and file numbers are interned: an entry is two 32-bit ids, so a
// posting costs 8 bytes plus the distinct texts. File numbers stay text from
// the moment they are read or stamped until they are written.
//
// Not thread-safe: one scan owns the table at a time.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "base/document_words.h"
#include "base/string_pool.h"

namespace veskara {

class TextWriter;

class PostingTable {
 public:
  PostingTable();

  // The number stamped on every entry that AddPosting appends.
  void SetCurrentFileNumber(std::string_view number);
  std::string_view CurrentFileNumber() const { return numbers_.Get(current_number_); }

  // Appends (word, CurrentFileNumber()). Nothing is tested or merged here.
  void AddPosting(std::string_view word) { AddEntry(word, current_number_); }
  // Appends (word, number).
  void AddEntry(std::string_view word, std::string_view number) { AddEntry(word, numbers_.Intern(number)); }
  // Appends one entry (word, piece) for every piece of `numbers` cut at its
  // commas, in order, as a record of wrds.txt loads. Empty pieces stay.
  void AddRecord(std::string_view word, std::string_view numbers);
  // Drops every entry whose number is one of `numbers` (as text), keeping
  // the others in their order: the table as if those numbers had left every
  // record before it was loaded.
  void RemoveNumbers(const std::unordered_set<std::string>& numbers);

  // Appends (word, CurrentFileNumber()) for every occurrence of `document`,
  // in order: the same entries as AddPosting for each in turn.
  void AppendDocument(const DocumentWords& document);

  size_t Count() const { return entries_.size(); }
  std::string_view WordAt(size_t i) const { return words_.Get(static_cast<uint32_t>(entries_[i] >> 32)); }
  std::string_view NumberAt(size_t i) const { return numbers_.Get(static_cast<uint32_t>(entries_[i])); }

  // Orders the entries by word (CompareWords) with exactly the permutation of
  // a diminishing-gap exchange sort: gaps (Count-1) div 2, halved down to 1
  // (gap 1 alone for two entries); at each gap, passes of strict-less
  // exchanges until none. Equal words are never exchanged directly but may
  // change their order through other exchanges; that order is the order of
  // the numbers in the written records.
  void SortPostingTable();

  // Writes one record per run of equal words (CompareWords = 0) of the sorted
  // table: the word of the run's last entry, then its distinct numbers in the
  // order of first appearance, joined by commas. Lines end with CR LF. A
  // large table is formatted on two threads, in bounded chunks.
  void WriteWordsFile(TextWriter& file) const;

  // Drops the entries from `count` on (the words of a document that could
  // not be read whole). The interned texts stay.
  void TruncateTo(size_t count) { entries_.resize(count); }

  // Releases all entries. The current file number stays.
  void ClearPostingTable();

  // The largest value among the number texts of the entries that are
  // integers (as TryStrToInt reads them), or kNoNumber when there is none.
  static constexpr int64_t kNoNumber = INT64_MIN;
  int64_t LargestNumber() const;

  // Bytes held by the entries and the interned texts.
  size_t MemoryBytes() const;

 private:
  // True when entry j is the last of its run (of words that compare equal).
  bool RunEndsAt(size_t j) const;
  // Appends the records of the runs in [begin, end), each a word line and a
  // number line. seen[number id] == run when the number is already listed
  // in the current run.
  void FormatRuns(size_t begin, size_t end, std::vector<uint32_t>& seen, uint32_t& run, std::string& out) const;

  void AddEntry(std::string_view word, uint32_t number_id) {
    entries_.push_back(uint64_t{words_.Intern(word)} << 32 | number_id);
  }

  StringPool words_;
  StringPool numbers_;
  std::vector<uint64_t> entries_;  // word id << 32 | number id
  uint32_t current_number_ = 0;
};

}  // namespace veskara
