#include "indexer/file_reading.h"

#include <algorithm>
#include <stdexcept>

#include "extract/document_kind.h"
#include "extract/readers.h"
#include "platform/process.h"

namespace veskara {
namespace {

// Files claimed and not yet taken; enough to ride over one slow file.
constexpr size_t kFilesAhead = 64;

// Less than this and a large document fails for want of memory alone.
constexpr unsigned long long kLeastChildMemory = 512ULL << 20;

}  // namespace

ConversionShare ShareConversions(unsigned jobs, uint64_t physical_memory) {
  jobs = std::max(jobs, 1u);
  const uint64_t quarter = physical_memory / 4;
  if (quarter == 0) return {jobs, kLeastChildMemory};
  const unsigned children = static_cast<unsigned>(std::clamp<uint64_t>(quarter / kLeastChildMemory, 1, jobs));
  return {children, quarter / children};
}

CandidateResult ReadCandidate(const std::string& path, const KindChoice& kinds, DocumentWords& words, Env& env,
                              const PdfConversion& pdf) {
  CandidateResult result;
  result.stamp = env.Stat(path);
  if (result.stamp.kind == PathKind::kMissing)
    result.gone = env.Stat(path, /*follow_links=*/false).kind == PathKind::kMissing;
  std::string& reason = result.unread_reason;
  try {
    const DocumentKinds of = KindsOf(path, kinds);
    for (const DocumentKind kind : of) {
      std::string why = ReadDocumentAs(kind, of.compression(), path, words, env, pdf);
      if (reason.empty()) reason = std::move(why);
    }
  } catch (const std::bad_alloc&) {
    words = DocumentWords();
    reason = "not enough memory to read it";
  }
  return result;
}

CandidateReader::CandidateReader(const std::vector<std::string>& paths, const std::vector<bool>& skip, unsigned threads,
                                 const ReadSettings& settings)
    : paths_(paths), skip_(skip), settings_(settings) {
  if (threads == 0) return;
  cancel_ = std::make_unique<StopSignal>();
  job_busy_.assign(settings.job_folders.empty() ? 1 : settings.job_folders.size(), false);
  running_ = threads;
  threads_.reserve(threads);
  try {
    for (unsigned t = 0; t < threads; ++t) threads_.emplace_back([this] { ReadAhead(); });
  } catch (...) {
    // No thread for the rest: those that run are stopped as the destructor would.
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stop_ = true;
    }
    changed_.notify_all();
    for (std::thread& t : threads_) t.join();
    throw;
  }
}

CandidateReader::~CandidateReader() {
  if (threads_.empty()) return;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  cancel_->Raise();
  changed_.notify_all();
  for (std::thread& t : threads_) t.join();
}

bool CandidateReader::Wanted(size_t i) const { return !skip_[i] && Takes(paths_[i], settings_.kinds); }

bool CandidateReader::Converts(size_t i) const { return KindsOf(paths_[i], settings_.kinds).Converts(); }

// Under the lock. A PDF document needs a free job folder, and at most one
// more PDF than there are jobs is claimed: while the scan waits for the
// next document, which is then converting, at most `jobs` converted ones
// wait with it.
bool CandidateReader::MayClaim(size_t i) const {
  if (pending_.size() >= kFilesAhead) return false;
  if (!Converts(i)) return true;
  return pdfs_claimed_ < job_busy_.size() + 1 &&
         std::find(job_busy_.begin(), job_busy_.end(), false) != job_busy_.end();
}

// One thread: claims the next wanted candidate in order, reads its words
// outside the lock, and hands them over.
void CandidateReader::ReadAhead() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    // Another thread may move next_ while this one waits: look again after.
    while (next_ < paths_.size() && !Wanted(next_)) ++next_;
    if (stop_ || failed_ || next_ >= paths_.size()) break;
    if (!MayClaim(next_)) {
      changed_.wait(lock);
      continue;
    }
    Pending& pending = pending_.emplace_back();
    pending.index = next_++;
    pending.converts = Converts(pending.index);
    int job = -1;
    if (pending.converts) {
      ++pdfs_claimed_;
      job = static_cast<int>(std::find(job_busy_.begin(), job_busy_.end(), false) - job_busy_.begin());
      job_busy_[job] = true;
    }
    lock.unlock();
    Read(pending, job);
    lock.lock();
    pending.ready = true;
    if (job >= 0) job_busy_[job] = false;
    if (pending.failure) failed_ = true;
    changed_.notify_all();
  }
  --running_;
  changed_.notify_all();
}

void CandidateReader::Read(Pending& pending, int job) {
  PdfConversion pdf = settings_.pdf;
  if (job >= 0 && static_cast<size_t>(job) < settings_.job_folders.size()) pdf.folder = settings_.job_folders[job];
  pdf.cancel_fd = cancel_->fd();
  try {
    pending.result = ReadCandidate(paths_[pending.index], settings_.kinds, pending.words, settings_.env, pdf);
  } catch (const std::bad_alloc&) {
    pending.words = DocumentWords();
    pending.result.unread_reason = "not enough memory to read it";
  } catch (...) {
    pending.failure = std::current_exception();
  }
}

CandidateResult CandidateReader::AppendWordsOf(size_t i, PostingTable& table) {
  Pending pending;
  if (threads_.empty()) {
    pending.result = ReadCandidate(paths_[i], settings_.kinds, pending.words, settings_.env, settings_.pdf);
  } else {
    TakeRead(i, pending);
  }
  const size_t before = table.Count();
  try {
    table.AppendDocument(pending.words);
  } catch (const std::bad_alloc&) {
    table.TruncateTo(before);
    pending.result.unread_reason = "not enough memory to read it";
  }
  return std::move(pending.result);
}

void CandidateReader::TakeRead(size_t i, Pending& pending) {
  {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(
        lock, [this] { return (!pending_.empty() && pending_.front().ready) || (pending_.empty() && running_ == 0); });
    if (pending_.empty() || pending_.front().index != i) {
      throw std::logic_error("candidate files were taken out of order");
    }
    pending = std::move(pending_.front());
    pending_.pop_front();
    if (pending.converts) --pdfs_claimed_;
  }
  changed_.notify_all();
  if (pending.failure) std::rethrow_exception(pending.failure);
}

}  // namespace veskara
