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

#include "extract/readers.h"
#include "platform/env.h"

namespace veskara {

class PostingTable;

// How the candidates of one scan are read.
struct ReadSettings {
  Env& env;
  PdfConversion pdf;
  unsigned jobs = 1;  // documents that may be converted at once
};

// What reading one candidate found.
struct CandidateResult {
  std::string unread_reason;  // why it could not be read; "" when it was
  PathInfo stamp;             // what was at its path just before it was read
};

// Runs the readers for `path` straight into `table`: the markup reader when
// the file's own name is a markup name, the PDF reader when it is a PDF
// name, in that order. Memory spent on one document is that document's:
// running out of it drops the words this file added and makes it unread.
// Throws only what the PDF reader throws for a failure of the machine.
CandidateResult ReadCandidate(const std::string& path, PostingTable& table, const ReadSettings& settings);

// Reads the candidates of a scan that are to be recorded (not skipped, and
// supported by their full path), in candidate order. With `ahead`, a worker
// thread reads and tokenizes a few files ahead of the scan, so that a second
// core does that work; the words reach the table in exactly the order and
// number that reading each file in turn gives.
class CandidateReader {
 public:
  // `paths`, `skip` and `settings` must outlive the reader.
  CandidateReader(const std::vector<std::string>& paths, const std::vector<bool>& skip, bool ahead,
                  const ReadSettings& settings);
  // Stops the worker; the files it read ahead are dropped.
  ~CandidateReader();
  CandidateReader(const CandidateReader&) = delete;
  CandidateReader& operator=(const CandidateReader&) = delete;

  // True when paths[i] is read and recorded.
  bool Wanted(size_t i) const;

  // Appends the words of paths[i] to `table` under its current file number
  // and returns what reading it found. Calls come for every wanted i, in
  // increasing order. A failure that a reader lets through is thrown here,
  // for the file that caused it.
  CandidateResult AppendWordsOf(size_t i, PostingTable& table);

 private:
  struct FileWords {
    size_t index = 0;
    std::string bytes;         // the words back to back
    std::vector<size_t> ends;  // where each word ends in `bytes`
    CandidateResult result;
    std::exception_ptr failure;
  };
  void ReadAhead();

  const std::vector<std::string>& paths_;
  const std::vector<bool>& skip_;
  const ReadSettings& settings_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<FileWords> ready_;  // read, not yet taken
  bool stop_ = false;
  bool done_ = false;  // the worker has read every wanted file
  std::thread worker_;
};

}  // namespace veskara
