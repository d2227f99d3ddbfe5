// Step 2's reading of the candidates, private to the scan.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/env.h"

namespace veskara {

class PostingTable;

// Runs the readers for `path` straight into `table`: the markup reader when
// IsMarkupFile(path), the PDF reader when IsPdfFile(path), in that order.
void ReadCandidate(const std::string& path, PostingTable& table, Env& env);

// Reads the candidates of a scan that are to be recorded (not skipped, and
// supported by their full path), in candidate order. With `ahead`, a worker
// thread reads and tokenizes a few files ahead of the scan, so that a second
// core does that work; the words reach the table in exactly the order and
// number that reading each file in turn gives.
class CandidateReader {
 public:
  // `paths` and `skip` must outlive the reader.
  CandidateReader(const std::vector<std::string>& paths, const std::vector<bool>& skip, bool ahead, Env& env);
  // Stops the worker; the files it read ahead are dropped.
  ~CandidateReader();
  CandidateReader(const CandidateReader&) = delete;
  CandidateReader& operator=(const CandidateReader&) = delete;

  // True when paths[i] is read and recorded.
  bool Wanted(size_t i) const;

  // Appends the words of paths[i] to `table` under its current file number.
  // Calls come for every wanted i, in increasing order. A failure that a
  // reader lets through is thrown here, for the file that caused it.
  void AppendWordsOf(size_t i, PostingTable& table);

 private:
  struct FileWords {
    size_t index = 0;
    std::string bytes;         // the words back to back
    std::vector<size_t> ends;  // where each word ends in `bytes`
    std::exception_ptr failure;
  };
  void ReadAhead();

  const std::vector<std::string>& paths_;
  const std::vector<bool>& skip_;
  Env& env_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<FileWords> ready_;  // read, not yet taken
  bool stop_ = false;
  bool done_ = false;  // the worker has read every wanted file
  std::thread worker_;
};

}  // namespace veskara
