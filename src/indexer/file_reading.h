// Step 2's reading of the candidates, private to the scan.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace veskara {

class PostingTable;

// Reads candidates with the reader(s) their path calls for: the markup
// reader when IsMarkupFile, the PDF reader when IsPdfFile, both in that
// order when both hold.
class CandidateReader {
 public:
  // `paths` and `skip` must outlive the reader.
  CandidateReader(const std::vector<std::string>& paths, const std::vector<bool>& skip);
  ~CandidateReader();
  CandidateReader(const CandidateReader&) = delete;
  CandidateReader& operator=(const CandidateReader&) = delete;

  // Appends the words of paths[i] to `table` under its current file number,
  // exactly as the readers would. Calls come in increasing order of i.
  void AppendWordsOf(size_t i, PostingTable& table);

 private:
  const std::vector<std::string>& paths_;
  const std::vector<bool>& skip_;
};

// Runs the readers for `path` straight into `table`.
void ReadCandidate(const std::string& path, PostingTable& table);

}  // namespace veskara
