#include "indexer/scan.h"

#include <cerrno>
#include <cstdint>
#include <limits>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "base/commit.h"
#include "indexer/discovery.h"
#include "indexer/file_reading.h"
#include "platform/durable.h"
#include "platform/errors.h"
#include "platform/process.h"
#include "platform/str_to_int.h"
#include "platform/text_file.h"

namespace veskara {
namespace {

constexpr int64_t kLargestFileNumber = std::numeric_limits<int32_t>::max();

class FileNumbersExhausted : public std::runtime_error {
 public:
  FileNumbersExhausted()
      : std::runtime_error("The base cannot take this many new files: their numbers would pass " +
                           std::to_string(kLargestFileNumber) + ". Nothing was added") {}
};

// Marks the candidates whose path is already recorded in fls.txt, byte for
// byte (letter case counts).
std::vector<bool> FindIndexed(const std::vector<std::string>& candidates, const std::vector<std::string>& indexed) {
  std::unordered_set<std::string_view> known(indexed.begin(), indexed.end());
  std::vector<bool> skip(candidates.size());
  for (size_t i = 0; i < candidates.size(); ++i) skip[i] = known.count(candidates[i]) != 0;
  return skip;
}

}  // namespace

struct Scan::Impl {
  std::string base_directory;
  std::string start_mask;
  BaseState* state = nullptr;
  Env* env = nullptr;
  std::unique_ptr<FileLock> lock;
  bool committing = false;  // CommitBase cleans up after itself from here on

  void RunSteps(ScanObserver& observer);
};

std::unique_ptr<Scan> Scan::Prepare(const std::string& base_directory, const std::string& start_mask,
                                    BaseState& state, Env& env) {
  std::unique_ptr<FileLock> lock = TryLockBase(base_directory, env);
  if (!lock) throw ScanLockedError("Another scan is adding to this base; try again when it has finished.");
  RecoverBaseLocked(base_directory, env);
  LoadBase(base_directory, state, env);
  std::unique_ptr<Scan> scan(new Scan());
  scan->impl_ = std::make_unique<Impl>();
  scan->impl_->base_directory = base_directory;
  scan->impl_->start_mask = start_mask;
  scan->impl_->state = &state;
  scan->impl_->env = &env;
  scan->impl_->lock = std::move(lock);
  return scan;
}

Scan::~Scan() = default;

void Scan::Run(ScanObserver& observer) {
  try {
    impl_->RunSteps(observer);
  } catch (...) {
    // The live files were not touched; only what this scan began goes.
    if (!impl_->committing) DiscardTemporaries(impl_->base_directory, *impl_->env);
    impl_->state->postings.ClearPostingTable();
    throw;
  }
}

void Scan::Impl::RunSteps(ScanObserver& observer) {
  PostingTable& table = state->postings;
  const std::string& dir = base_directory;
  Env& env = *this->env;

  observer.SetStep("Step 1 of 4");
  std::vector<std::string> NewFiles;
  ScanDirectory(start_mask, NewFiles, [&observer] {
    // The walk of a large tree can take long: a stop must not wait for it.
    if (observer.StopRequested()) throw ScanStopped();
    observer.SetStatus("Getting files list...");
  }, env);
  observer.SetStatus("");

  observer.SetStep("Step 2 of 4");
  observer.SetStatus("Files processing...");
  const std::vector<bool> skip = FindIndexed(NewFiles, state->IndexedPaths);
  const int64_t first = StrToInt(table.CurrentFileNumber());
  for (size_t i = NewFiles.size(); i-- > 0;) {
    if (skip[i]) continue;
    if (first + static_cast<int64_t>(i) > kLargestFileNumber) throw FileNumbersExhausted();
    break;
  }

  // A folder in the place of a base file counts as no base for loading, but
  // the commit could not rename over it: refuse now, while nothing is written.
  for (const std::string& live : {WordsFilePath(dir), FilesFilePath(dir)}) {
    if (env.Stat(live).kind == PathKind::kDirectory) throw IoError(EISDIR);
  }

  // The new fls.txt is the old one plus this scan's records; the old file is
  // only read, so search and lookup keep working on it meanwhile.
  const std::string files_temp = BaseFilePath(dir, kFilesTempName);
  CopyEndingLine(env, FilesFilePath(dir), files_temp);
  TextWriter files = TextWriter::Append(files_temp, env);

  const size_t total = NewFiles.size();
  ProgressReporter progress(observer, total);
  {
    // A second core reads ahead; one core alone would only switch back and forth.
    CandidateReader reader(NewFiles, skip, ProcessorCount() > 1, env);
    for (size_t i = 0; i < total; ++i) {
      if (observer.StopRequested()) throw ScanStopped();
      if (reader.Wanted(i)) {
        const std::string number = std::to_string(first + static_cast<int64_t>(i));
        table.SetCurrentFileNumber(number);
        reader.AppendWordsOf(i, table);
        files.WriteLine(NewFiles[i]);
        files.WriteLine(number);
      }
      progress.Report(i + 1);
    }
  }

  observer.SetStep("Step 3 of 4");
  observer.SetStatus("Sorting...");
  table.SortPostingTable();

  observer.SetStep("Step 4 of 4");
  observer.SetStatus("Writing...");
  const std::string words_temp = BaseFilePath(dir, kWordsTempName);
  TextWriter words = TextWriter::Create(words_temp, env);
  table.WriteWordsFile(words);
  words.Sync();
  words.Close();
  files.Sync();
  files.Close();
  committing = true;
  CommitBase(dir, env);
  table.ClearPostingTable();

  observer.SetStep("");
  observer.SetStatus("Done!...");
}

ProgressReporter::ProgressReporter(ScanObserver& observer, size_t total) : observer_(observer), total_(total) {
  Show(0);
}

void ProgressReporter::Show(size_t done) {
  shown_step_ = total_ == 0 ? 0 : done * 200 / total_;
  observer_.SetProgress(done, total_);
}

void RecoverBase(const std::string& base_directory, Env& env) {
  if (!NeedsRecovery(base_directory, env)) return;
  // A scan that holds the lock owns the temporaries; it recovers by itself.
  std::unique_ptr<FileLock> lock = TryLockBase(base_directory, env);
  if (!lock) return;
  RecoverBaseLocked(base_directory, env);
}

}  // namespace veskara
