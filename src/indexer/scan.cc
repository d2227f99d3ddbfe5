#include "indexer/scan.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <limits>
#include <optional>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "base/base_files.h"
#include "base/commit.h"
#include "base/messages.h"
#include "base/remembered.h"
#include "extract/conversion_folder.h"
#include "extract/document_kind.h"
#include "indexer/discovery.h"
#include "indexer/file_reading.h"
#include "indexer/scan_plan.h"
#include "platform/durable.h"
#include "platform/errors.h"
#include "platform/paths.h"
#include "platform/process.h"
#include "platform/str_to_int.h"
#include "platform/strings.h"
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

// True when a candidate to be read is converted, by its own name.
bool AnyToConvert(const std::vector<std::string>& candidates, const std::vector<bool>& skip, const KindChoice& kinds) {
  for (size_t i = 0; i < candidates.size(); ++i) {
    if (!skip[i] && KindsOf(candidates[i], kinds).Converts()) return true;
  }
  return false;
}

// The number of conversions at once: the options', else VESKARA_JOBS (for
// tests and scripts), else one per processor.
unsigned JobsFor(const ScanOptions& options, Env& env) {
  if (options.jobs != 0) return std::min(options.jobs, kMostJobs);
  if (const std::optional<std::string> text = env.Variable("VESKARA_JOBS")) {
    if (const std::optional<int32_t> value = TryStrToInt(*text); value && *value >= 1) {
      return std::min(static_cast<unsigned>(*value), kMostJobs);
    }
  }
  return std::min(ProcessorCount(), kMostJobs);
}

// What a step is doing, for the message when memory runs out in it.
using enum ScanStage;

// Candidates in walk order, a path met twice kept the first time.
class CandidateList {
 public:
  void Add(std::string path) {
    if (seen_.insert(path).second) paths_.push_back(std::move(path));
  }
  std::vector<std::string>& paths() { return paths_; }

 private:
  std::vector<std::string> paths_;
  std::unordered_set<std::string> seen_;
};

// Calls observer.SetProgress as ScanObserver promises: for 0, for total, and
// when the half-percent step changes.
class ProgressReporter {
 public:
  ProgressReporter(ScanObserver& observer, size_t total) : observer_(observer), total_(total) { Show(0); }
  void Report(size_t done) {
    if (done != total_ && done * 200 / total_ == shown_step_) return;
    Show(done);
  }

 private:
  void Show(size_t done) {
    shown_step_ = total_ == 0 ? 0 : done * 200 / total_;
    observer_.SetProgress(done, total_);
  }
  ScanObserver& observer_;
  size_t total_;
  size_t shown_step_ = 0;
};

// The new fls.txt as step 2 writes it: the old one less what was dropped,
// then this scan's records. The old file is only read, so search and lookup
// keep working on it meanwhile.
struct NewFilesList {
  TextWriter files;
  std::optional<TextWriter> interim;  // only when records are dropped: see commit.cc

  static NewFilesList Open(const std::string& dir, const std::unordered_set<std::string>& dropped, Env& env) {
    const std::string files_temp = BaseFilePath(dir, kFilesTempName);
    std::optional<TextWriter> interim;
    if (dropped.empty()) {
      CopyEndingLine(env, FilesFilePath(dir), files_temp);
    } else {
      WriteFilesWithout(dir, dropped, files_temp, env);
      const std::string interim_path = BaseFilePath(dir, kFilesInterimName);
      CopyEndingLine(env, FilesFilePath(dir), interim_path);
      interim.emplace(TextWriter::Append(interim_path, env));
    }
    return {TextWriter::Append(files_temp, env), std::move(interim)};
  }
  void Record(const std::string& path, const std::string& number) {
    for (TextWriter* out : {&files, interim ? &*interim : nullptr}) {
      if (out == nullptr) continue;
      out->WriteLine(path);
      out->WriteLine(number);
    }
  }
  void Close() {
    files.Sync();
    files.Close();
    if (interim) {
      interim->Sync();
      interim->Close();
    }
  }
};

// A folder in the place of a base file counts as no base for loading, but
// the commit could not rename over it: refuse it while nothing is written.
void RefuseFoldersInPlaceOfBaseFiles(const std::string& dir, Env& env) {
  for (const CommittedFile& file : kCommittedFiles) {
    const std::string live = BaseFilePath(dir, file.live);
    if (env.Stat(live).kind == PathKind::kDirectory) {
      throw IoError(EISDIR, EscapeControlBytes(live) + " is a folder where a base file belongs; the base is unchanged");
    }
  }
}

}  // namespace

struct Scan::Impl {
  std::unique_ptr<ScanPlan> plan;
  std::string base_directory;
  BaseState* state = nullptr;
  Env* env = nullptr;
  std::unique_ptr<BaseLock> lock;
  Remembered remembered;
  bool loaded = false;      // the base is in `state`
  bool committing = false;  // CommitBase cleans up after itself from here on
  ScanStage doing = kWalking;
  unsigned jobs = 1;
  KindChoice kinds;  // what the walks take and the readers read
  ScanSummary summary;
  // Between the steps.
  std::unordered_set<std::string> dropped;        // numbers
  std::unordered_set<std::string> dropped_paths;  // those not read again by the end of step 2
  std::vector<std::string> NewFiles;              // the candidates
  int64_t last_given = -1;

  static std::unique_ptr<Scan> Make(std::unique_ptr<ScanPlan> plan, const std::string& base_directory, BaseState& state,
                                    Env& env, ScanOptions options);
  void RunSteps(ScanObserver& observer);
  // The steps. FindCandidates is false when nothing would change; nothing
  // is written then.
  bool FindCandidates(ScanObserver& observer);
  NewFilesList ReadCandidates(ScanObserver& observer);
  void Record(size_t i, CandidateReader& reader, NewFilesList& files, int64_t first);
  void SortWords(ScanObserver& observer);
  void WriteWords(ScanObserver& observer, NewFilesList& files);
  void Commit(ScanObserver& observer);

  // The mark of the highest number given, as LoadBase takes it.
  int64_t HighestGiven() const {
    return remembered.highest_number >= 0 ? remembered.highest_number : PostingTable::kNoNumber;
  }
  // Walks `folder` into `candidates`, reporting each folder entered, and
  // leaving out the paths in `excluded`.
  void Walk(ScanObserver& observer, const std::string& folder, const std::unordered_set<std::string>& excluded,
            CandidateList& candidates);
};

// Lets the plan prepare, takes the lock, recovers, and reads what the base
// remembers (and the base, when the plan loads it now), all under the lock.
std::unique_ptr<Scan> Scan::Impl::Make(std::unique_ptr<ScanPlan> plan, const std::string& base_directory,
                                       BaseState& state, Env& env, ScanOptions options) {
  plan->Prepare(base_directory, env);
  std::unique_ptr<BaseLock> lock = TryLockBase(base_directory, env);
  if (!lock) throw ScanLockedError("Another scan is adding to this base; try again when it has finished.");
  std::string note = RecoverBaseLocked(*lock, env);
  std::unique_ptr<Scan> scan(new Scan());
  scan->impl_ = std::make_unique<Impl>();
  Impl& impl = *scan->impl_;
  impl.plan = std::move(plan);
  impl.base_directory = base_directory;
  impl.state = &state;
  impl.env = &env;
  impl.jobs = JobsFor(options, env);
  impl.remembered = LoadRemembered(base_directory, env);
  impl.kinds = impl.plan->KindsToRead(impl.remembered);
  impl.lock = std::move(lock);
  impl.summary.recovery_note = std::move(note);
  impl.plan->LookAtFolders(impl.remembered, env);
  if (impl.plan->LoadsAtPrepare()) {
    LoadBase(base_directory, state, env, {.dropped = nullptr, .highest_given = impl.HighestGiven()});
    impl.loaded = true;
  }
  return scan;
}

std::unique_ptr<Scan> Scan::Prepare(const std::string& base_directory, const std::string& folder, BaseState& state,
                                    Env& env, ScanOptions options) {
  return Impl::Make(std::make_unique<AddPlan>(folder), base_directory, state, env, options);
}

std::unique_ptr<Scan> Scan::PrepareUpdate(const std::string& base_directory, std::vector<std::string> folders,
                                          bool retry, BaseState& state, Env& env, ScanOptions options) {
  return Impl::Make(std::make_unique<UpdatePlan>(std::move(folders), retry), base_directory, state, env, options);
}

std::unique_ptr<Scan> Scan::PrepareChanges(const std::string& base_directory, std::vector<std::string> paths,
                                           BaseState& state, Env& env, ScanOptions options) {
  return Impl::Make(std::make_unique<ChangePlan>(std::move(paths)), base_directory, state, env, options);
}

std::unique_ptr<Scan> Scan::PrepareKinds(const std::string& base_directory, KindChoice kinds, BaseState& state,
                                         Env& env, ScanOptions options) {
  return Impl::Make(std::make_unique<UpdatePlan>(std::vector<std::string>(), false, kinds), base_directory, state, env,
                    options);
}

std::unique_ptr<Scan> Scan::PrepareRemove(const std::string& base_directory, std::vector<std::string> paths,
                                          BaseState& state, Env& env) {
  return Impl::Make(std::make_unique<RemovePlan>(std::move(paths)), base_directory, state, env, {});
}

Scan::~Scan() = default;

void Scan::Run(ScanObserver& observer) {
  try {
    try {
      impl_->RunSteps(observer);
    } catch (const std::bad_alloc&) {
      throw std::runtime_error(ScanOutOfMemoryText(impl_->doing));
    }
  } catch (...) {
    // The live files were not touched; only what this scan began goes.
    if (!impl_->committing) DiscardTemporaries(*impl_->lock, *impl_->env);
    impl_->state->postings.ClearPostingTable();
    throw;
  }
}

const ScanSummary& Scan::Summary() const { return impl_->summary; }

void Scan::Impl::RunSteps(ScanObserver& observer) {
  if (!FindCandidates(observer)) return;
  NewFilesList files = ReadCandidates(observer);
  SortWords(observer);
  WriteWords(observer, files);
  Commit(observer);
}

void Scan::Impl::Walk(ScanObserver& observer, const std::string& folder,
                      const std::unordered_set<std::string>& excluded, CandidateList& candidates) {
  std::vector<std::string> found;
  ScanDirectory(
      StartMask(folder), kinds, found,
      [&observer] {
        // The walk of a large tree can take long: a stop must not wait for it.
        if (observer.StopRequested()) throw ScanStopped();
        observer.SetStatus("Getting files list...");
      },
      *env, &summary.unread, &excluded);
  for (std::string& path : found) candidates.Add(std::move(path));
}

// Step 1: what leaves the base, and the candidates.
bool Scan::Impl::FindCandidates(ScanObserver& observer) {
  observer.SetStep(StepText(1));
  Dropped out = plan->Drop(base_directory, remembered, *env);
  summary.offline = std::move(out.offline);
  CandidateList candidates;
  const std::unordered_set<std::string> excluded(remembered.excluded.begin(), remembered.excluded.end());
  for (const std::string& folder : plan->FoldersToWalk(remembered)) Walk(observer, folder, excluded, candidates);
  for (std::string& path : out.to_read) candidates.Add(std::move(path));
  NewFiles = std::move(candidates.paths());
  dropped = std::move(out.numbers);
  dropped_paths = std::move(out.paths);
  // Before any new file is stamped: a new number may be an orphan's.
  for (const std::string& number : out.orphan_stamps) remembered.stamps.erase(number);
  // Only new files would change the base; fls.txt says which candidates are
  // known, without loading the words.
  if (!plan->WritesAnyway(remembered) && dropped.empty() && out.orphan_stamps.empty() &&
      std::all_of(NewFiles.begin(), NewFiles.end(),
                  [&](const std::string& path) { return out.known.count(path) != 0; })) {
    observer.SetStatus("");
    observer.SetStep("");
    observer.SetStatus("Done!...");
    return false;
  }
  if (!loaded) {
    LoadBase(base_directory, *state, *env,
             {.dropped = &dropped, .highest_given = HighestGiven(), .numbers_may_run_out = true});
  }
  observer.SetStatus("");
  return true;
}

// Step 2: reads every new candidate and records it in the new fls.txt.
NewFilesList Scan::Impl::ReadCandidates(ScanObserver& observer) {
  PostingTable& table = state->postings;
  observer.SetStep(StepText(2));
  observer.SetStatus("Files processing...");
  doing = kReading;
  const std::vector<bool> skip = FindIndexed(NewFiles, state->IndexedPaths);
  const int64_t first =
      table.CurrentFileNumber() == kNoNumberLeft ? kLargestFileNumber + 1 : StrToInt(table.CurrentFileNumber());
  for (size_t i = NewFiles.size(); i-- > 0;) {
    if (skip[i]) continue;
    if (first + static_cast<int64_t>(i) > kLargestFileNumber) throw FileNumbersExhausted();
    break;
  }
  RefuseFoldersInPlaceOfBaseFiles(base_directory, *env);
  NewFilesList files = NewFilesList::Open(base_directory, dropped, *env);

  const size_t total = NewFiles.size();
  ProgressReporter progress(observer, total);
  std::unique_ptr<ConversionFolder> conversion;
  ReadSettings settings{*env, {}, {}, kinds};
  const bool converts = AnyToConvert(NewFiles, skip, kinds);
  // One conversion runs at once per job folder.
  const ConversionShare share = ShareConversions(jobs, PhysicalMemoryBytes());
  if (converts) {
    conversion = std::make_unique<ConversionFolder>(*env, base_directory, share.children);
    settings.pdf.folder = conversion->path();
    settings.pdf.memory_limit = share.memory_limit;
    for (unsigned k = 0; k < share.children; ++k) settings.job_folders.push_back(conversion->JobFolder(k));
  }
  // Every core reads ahead, and a thread waits for each conversion child;
  // one core and one job read in turn, as switching would only cost.
  const unsigned cores = ProcessorCount();
  unsigned threads = cores > 1 ? cores : 0;
  if (converts && share.children > 1) threads = std::max(threads, share.children);
  CandidateReader reader(NewFiles, skip, threads, settings);
  for (size_t i = 0; i < total; ++i) {
    if (observer.StopRequested()) throw ScanStopped();
    if (reader.Wanted(i)) Record(i, reader, files, first);
    progress.Report(i + 1);
  }
  summary.removed = dropped_paths.size();
  return files;
}

// Reads candidate i under its number and records it.
void Scan::Impl::Record(size_t i, CandidateReader& reader, NewFilesList& files, int64_t first) {
  PostingTable& table = state->postings;
  last_given = first + static_cast<int64_t>(i);
  const std::string number = std::to_string(last_given);
  table.SetCurrentFileNumber(number);
  const size_t before = table.Count();
  CandidateResult result = reader.AppendWordsOf(i, table);
  if (result.gone && !plan->RecordsVanished()) {
    // Deleted since the walk or step 1 found it: as if they had not. A file
    // put back meanwhile may have given words; they go too.
    table.TruncateTo(before);
    return;
  }
  const bool unread = !result.unread_reason.empty();
  if (unread) summary.unread.push_back({NewFiles[i], result.unread_reason});
  remembered.stamps[number] = StampOf(result.stamp, std::move(result.unread_reason));
  files.Record(NewFiles[i], number);
  if (dropped_paths.erase(NewFiles[i]) != 0) {
    // A document read again that still cannot be read is counted as not
    // read: nothing of it was updated.
    if (!unread) ++summary.updated;
  } else {
    ++summary.added;
  }
}

// Step 3.
void Scan::Impl::SortWords(ScanObserver& observer) {
  observer.SetStep(StepText(3));
  observer.SetStatus("Sorting...");
  doing = kSorting;
  state->postings.SortPostingTable();
}

// Step 4: the new wrds.txt, and both lists closed on the disk.
void Scan::Impl::WriteWords(ScanObserver& observer, NewFilesList& files) {
  observer.SetStep(StepText(4));
  observer.SetStatus("Writing...");
  doing = kWriting;
  TextWriter words = TextWriter::Create(BaseFilePath(base_directory, kWordsTempName), *env);
  state->postings.WriteWordsFile(words);
  words.Sync();
  words.Close();
  files.Close();
}

// What the base remembers goes with the new files, all swapped in at once.
void Scan::Impl::Commit(ScanObserver& observer) {
  for (const std::string& number : dropped) remembered.stamps.erase(number);
  plan->RememberFolders(remembered, env->Now());
  remembered.highest_number = std::max({remembered.highest_number, state->largest_number, last_given});
  WriteRememberedTemporaries(base_directory, remembered, *env);
  committing = true;
  CommitBase(*lock, *env);
  state->postings.ClearPostingTable();
  summary.written = true;

  observer.SetStep("");
  observer.SetStatus("Done!...");
}

std::string RecoverBase(const std::string& base_directory, Env& env) {
  if (!NeedsRecovery(base_directory, env)) return "";
  // A scan that holds the lock owns the temporaries; it recovers by itself.
  std::unique_ptr<BaseLock> lock = TryLockBase(base_directory, env);
  if (!lock) return "";
  return RecoverBaseLocked(*lock, env);
}

}  // namespace veskara
