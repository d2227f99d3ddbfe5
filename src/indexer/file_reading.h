// Step 2's reading of the candidates, private to the scan.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "base/posting_table.h"
#include "extract/readers.h"
#include "platform/env.h"

namespace veskara {

class PostingTable;
class StopSignal;

// How the candidates of one scan are read.
struct ReadSettings {
  Env& env;
  // pdf.folder is where a conversion goes when there are no job folders.
  PdfConversion pdf;
  // One conversion may run at once per job folder, each holding its own
  // "temp___"; without job folders, one at a time.
  std::vector<std::string> job_folders;
  // The groups of kinds the base reads beyond the written ones.
  KindChoice kinds = {};
};

// How a scan's PDF conversions share the machine: how many children run at
// once, and the memory each may use beyond what it inherits.
struct ConversionShare {
  unsigned children = 1;
  unsigned long long memory_limit = 0;
  bool operator==(const ConversionShare&) const = default;
};

// The children together may use a quarter of `physical_memory`. Each gets
// the quarter divided among those that run at once; as many run at once as
// `jobs` asks (a ceiling), but fewer when a share would fall below 512 MiB,
// and at least one (on a machine whose quarter is below 512 MiB it gets
// the quarter). Unknown memory (0): `jobs` children of 512 MiB each.
ConversionShare ShareConversions(unsigned jobs, uint64_t physical_memory);

// What reading one candidate found.
struct CandidateResult {
  std::string unread_reason;  // why it could not be read; "" when it was
  PathInfo stamp;             // what was at its path just before it was read
  bool gone = false;          // nothing was at its path then, not even a broken link
};

// Reads the words of `path` into `words` (empty before): with the reader of
// each of its kinds (KindsOf, for a base that chooses `kinds`), in turn; the reason of the first that could
// not read it is kept. Memory spent on one document is that document's:
// running out of it leaves `words` empty and makes the file unread. Throws
// only what the PDF reader throws for a failure of the machine.
CandidateResult ReadCandidate(const std::string& path, const KindChoice& kinds, DocumentWords& words, Env& env,
                              const PdfConversion& pdf);

// Reads the candidates of a scan that are to be recorded (not skipped, and
// supported by their full path or of a chosen kind), in candidate order.
//
// With `threads` > 0, that many threads read and tokenize ahead of the scan,
// each file on one thread, each PDF document converted by a child of its
// own: as many conversions run at once as there are job folders (jobs),
// and while the scan waits for the next document at most `jobs` converted
// ones wait with it; at most a few dozen files are read ahead in all. Whatever the
// threads do, the words reach the table in exactly the order and number
// that reading each file in turn gives. With 0, each file is read when the
// scan asks for it, on the scan's thread.
class CandidateReader {
 public:
  // `paths`, `skip` and `settings` must outlive the reader.
  CandidateReader(const std::vector<std::string>& paths, const std::vector<bool>& skip, unsigned threads,
                  const ReadSettings& settings);
  // Stops the threads and kills the conversions they run; what they read
  // ahead is dropped.
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
  struct Pending {
    size_t index = 0;
    bool converts = false;  // read through a conversion, by its name
    bool ready = false;
    DocumentWords words;
    CandidateResult result;
    std::exception_ptr failure;
  };
  bool Converts(size_t i) const;
  bool MayClaim(size_t i) const;
  void ReadAhead();
  void Read(Pending& pending, int job);
  // Waits for the words of paths[i], read ahead, and moves them out.
  void TakeRead(size_t i, Pending& pending);

  const std::vector<std::string>& paths_;
  const std::vector<bool>& skip_;
  const ReadSettings& settings_;
  std::unique_ptr<StopSignal> cancel_;  // kills the running conversions
  std::mutex mutex_;
  std::condition_variable changed_;
  // Claimed and not yet taken, in candidate order. A deque never moves its
  // elements, so a thread fills its own entry outside the lock.
  std::deque<Pending> pending_;
  size_t next_ = 0;             // the next candidate to claim
  size_t pdfs_claimed_ = 0;     // entries of pending_ that convert
  std::vector<bool> job_busy_;  // the job folders in use
  size_t running_ = 0;          // threads that have not ended
  bool stop_ = false;
  bool failed_ = false;  // a file failed: nothing after it is claimed
  std::vector<std::thread> threads_;
};

}  // namespace veskara
