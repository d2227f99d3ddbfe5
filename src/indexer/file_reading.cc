#include "indexer/file_reading.h"

#include "base/posting_table.h"
#include "extract/readers.h"
#include "indexer/discovery.h"
#include "platform/paths.h"

namespace veskara {
namespace {

// Files read ahead and not yet taken; enough to ride over one slow file.
constexpr size_t kFilesAhead = 64;

}  // namespace

CandidateResult ReadCandidate(const std::string& path, PostingTable& table, const ReadSettings& settings) {
  // The kind of a document is its own name's: a PDF inside a folder named
  // "site.html" is no page.
  const size_t slash = path.rfind(kPathSeparator);
  const std::string_view name = slash == std::string::npos ? std::string_view(path) : std::string_view(path).substr(slash + 1);
  const size_t before = table.Count();
  CandidateResult result;
  result.stamp = settings.env.Stat(path);
  std::string& reason = result.unread_reason;
  try {
    if (IsMarkupFile(name)) {
      THTMLFile reader(path, table, settings.env);
      reason = reader.UnreadReason();
    }
    if (IsPdfFile(name)) {
      TPDFFile reader(path, table, settings.env, settings.pdf);
      if (reason.empty()) reason = reader.UnreadReason();
    }
  } catch (const std::bad_alloc&) {
    table.TruncateTo(before);
    reason = "not enough memory to read it";
  }
  return result;
}

CandidateReader::CandidateReader(const std::vector<std::string>& paths, const std::vector<bool>& skip, bool ahead,
                                 const ReadSettings& settings)
    : paths_(paths), skip_(skip), settings_(settings) {
  if (ahead) worker_ = std::thread([this] { ReadAhead(); });
}

CandidateReader::~CandidateReader() {
  if (!worker_.joinable()) return;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  changed_.notify_all();
  worker_.join();
}

bool CandidateReader::Wanted(size_t i) const { return !skip_[i] && IsSupportedFile(paths_[i]); }

// The worker: each file is read into a table of its own, whose words are
// then handed over as a plain list in their order.
void CandidateReader::ReadAhead() {
  PostingTable scratch;
  for (size_t i = 0; i < paths_.size(); ++i) {
    if (!Wanted(i)) continue;
    FileWords words;
    words.index = i;
    try {
      words.result = ReadCandidate(paths_[i], scratch, settings_);
      const size_t count = scratch.Count();
      words.ends.reserve(count);
      for (size_t k = 0; k < count; ++k) {
        words.bytes.append(scratch.WordAt(k));
        words.ends.push_back(words.bytes.size());
      }
    } catch (const std::bad_alloc&) {
      words.bytes = std::string();
      words.ends = std::vector<size_t>();
      words.result.unread_reason = "not enough memory to read it";
    } catch (...) {
      words.failure = std::current_exception();
    }
    scratch.ClearPostingTable();
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return stop_ || ready_.size() < kFilesAhead; });
    if (stop_) return;
    const bool failed = words.failure != nullptr;
    ready_.push_back(std::move(words));
    lock.unlock();
    changed_.notify_all();
    // Nothing after a failure is taken: the scan ends there.
    if (failed) break;
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    done_ = true;
  }
  changed_.notify_all();
}

CandidateResult CandidateReader::AppendWordsOf(size_t i, PostingTable& table) {
  if (!worker_.joinable()) return ReadCandidate(paths_[i], table, settings_);
  FileWords words;
  {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return !ready_.empty() || done_; });
    if (ready_.empty() || ready_.front().index != i) {
      throw std::logic_error("candidate files were taken out of order");
    }
    words = std::move(ready_.front());
    ready_.pop_front();
  }
  changed_.notify_all();
  if (words.failure) std::rethrow_exception(words.failure);
  const size_t before = table.Count();
  try {
    size_t start = 0;
    for (size_t end : words.ends) {
      table.AddPosting(std::string_view(words.bytes).substr(start, end - start));
      start = end;
    }
  } catch (const std::bad_alloc&) {
    table.TruncateTo(before);
    words.result.unread_reason = "not enough memory to read it";
  }
  return std::move(words.result);
}

}  // namespace veskara
