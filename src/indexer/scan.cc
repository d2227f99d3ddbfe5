#include "indexer/scan.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <limits>
#include <optional>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "base/commit.h"
#include "base/remembered.h"
#include "extract/document_kind.h"
#include "extract/conversion_folder.h"
#include "indexer/discovery.h"
#include "indexer/file_reading.h"
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

// The folder part of a start mask, as the user named the folder.
std::string FolderOfMask(const std::string& mask) {
  const size_t cut = mask.rfind(kPathSeparator);
  if (cut == std::string::npos) return ".";
  return cut == 0 ? mask.substr(0, 1) : mask.substr(0, cut);
}

// A missing or unreadable folder is the user's mistake, not an empty tree:
// adding it would rewrite the base and say "Done!".
void CheckFolder(Env& env, const std::string& mask) {
  const std::string folder = FolderOfMask(mask);
  const std::string shown = EscapeControlBytes(folder);
  switch (env.Stat(folder).kind) {
    case PathKind::kMissing:
      throw ScanFolderError("The folder " + shown + " does not exist; nothing was added");
    case PathKind::kDirectory:
      break;
    default:
      throw ScanFolderError(shown + " is not a folder; nothing was added");
  }
  std::vector<DirectoryEntry> entries;
  if (!env.ListDirectory(folder, &entries)) {
    throw ScanFolderError("The folder " + shown + " cannot be read; nothing was added");
  }
}

// True when a candidate to be read is converted, by its own name.
bool AnyToConvert(const std::vector<std::string>& candidates, const std::vector<bool>& skip) {
  for (size_t i = 0; i < candidates.size(); ++i) {
    if (!skip[i] && KindsOf(candidates[i]).Converts()) return true;
  }
  return false;
}

// What a conversion child may use: a quarter of the machine's memory shared
// by the children that run at once, never less than 512 MiB.
unsigned long long ConversionMemoryLimit(unsigned children) {
  constexpr unsigned long long kMinimum = 512ULL << 20;
  const unsigned long long share = PhysicalMemoryBytes() / 4 / std::max(1u, children);
  return std::max(share, kMinimum);
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
constexpr const char* kWalking = "list the files of the folder";
constexpr const char* kReading = "read the documents";
constexpr const char* kSorting = "sort the words";
constexpr const char* kWriting = "write the base";

enum class ScanKind { kAdd, kUpdate, kRemove };

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

std::string MaskOfFolder(const std::string& folder) {
  return folder.ends_with(kPathSeparator) ? folder + "*.*" : folder + kPathSeparator + "*.*";
}

}  // namespace

struct Scan::Impl {
  ScanKind kind = ScanKind::kAdd;
  std::string base_directory;
  std::string start_mask;            // an add's
  std::vector<std::string> folders;  // an update's named folders, a remove's paths
  bool retry = false;
  BaseState* state = nullptr;
  Env* env = nullptr;
  std::unique_ptr<BaseLock> lock;
  Remembered remembered;
  bool committing = false;  // CommitBase cleans up after itself from here on
  const char* doing = kWalking;
  unsigned jobs = 1;
  ScanSummary summary;

  static std::unique_ptr<Scan> Make(ScanKind kind, const std::string& base_directory, BaseState& state, Env& env,
                                    ScanOptions options);
  void RunSteps(ScanObserver& observer);
  // The mark of the highest number given, as LoadBase takes it.
  int64_t HighestGiven() const {
    return remembered.highest_number >= 0 ? remembered.highest_number : PostingTable::kNoNumber;
  }
  // Walks `mask` into `candidates`, reporting each folder entered.
  void Walk(ScanObserver& observer, const std::string& mask, CandidateList& candidates);
  // Decides what an update or a remove drops: the numbers, and the paths of
  // those still there (an update reads them again). `known` gets the path
  // of every record, from the same read of fls.txt.
  void Drop(std::unordered_set<std::string>& numbers, std::vector<std::string>& still_there,
            std::unordered_set<std::string>& paths, std::unordered_set<std::string>& known);
  // What the base remembers after this scan recorded `recorded`.
  void Remember(const std::unordered_set<std::string>& dropped, int64_t last_given);
};

// Takes the lock (creating the base folder first for an add), recovers, and
// reads what the base remembers, all under the lock.
std::unique_ptr<Scan> Scan::Impl::Make(ScanKind kind, const std::string& base_directory, BaseState& state, Env& env,
                                       ScanOptions options) {
  // The first scan makes the base folder, private to the user.
  if (kind == ScanKind::kAdd) env.CreateDirectories(base_directory, 0700);
  std::unique_ptr<BaseLock> lock = TryLockBase(base_directory, env);
  if (!lock) throw ScanLockedError("Another scan is adding to this base; try again when it has finished.");
  std::string note = RecoverBaseLocked(*lock, env);
  std::unique_ptr<Scan> scan(new Scan());
  scan->impl_ = std::make_unique<Impl>();
  Impl& impl = *scan->impl_;
  impl.kind = kind;
  impl.base_directory = base_directory;
  impl.state = &state;
  impl.env = &env;
  impl.jobs = JobsFor(options, env);
  impl.remembered = LoadRemembered(base_directory, env);
  impl.lock = std::move(lock);
  impl.summary.recovery_note = std::move(note);
  return scan;
}

std::unique_ptr<Scan> Scan::Prepare(const std::string& base_directory, const std::string& start_mask, BaseState& state,
                                    Env& env, ScanOptions options) {
  CheckFolder(env, start_mask);
  std::unique_ptr<Scan> scan = Impl::Make(ScanKind::kAdd, base_directory, state, env, options);
  scan->impl_->start_mask = start_mask;
  LoadBase(base_directory, state, env, {nullptr, scan->impl_->HighestGiven()});
  return scan;
}

std::unique_ptr<Scan> Scan::PrepareUpdate(const std::string& base_directory, std::vector<std::string> folders,
                                          bool retry, BaseState& state, Env& env, ScanOptions options) {
  std::unique_ptr<Scan> scan = Impl::Make(ScanKind::kUpdate, base_directory, state, env, options);
  scan->impl_->folders = std::move(folders);
  scan->impl_->retry = retry;
  return scan;
}

std::unique_ptr<Scan> Scan::PrepareRemove(const std::string& base_directory, std::vector<std::string> paths,
                                          BaseState& state, Env& env) {
  std::unique_ptr<Scan> scan = Impl::Make(ScanKind::kRemove, base_directory, state, env, {});
  scan->impl_->folders = std::move(paths);
  return scan;
}

Scan::~Scan() = default;

void Scan::Run(ScanObserver& observer) {
  try {
    try {
      impl_->RunSteps(observer);
    } catch (const std::bad_alloc&) {
      throw std::runtime_error(std::string("Not enough memory to ") + impl_->doing + "; the base is unchanged");
    }
  } catch (...) {
    // The live files were not touched; only what this scan began goes.
    if (!impl_->committing) DiscardTemporaries(*impl_->lock, *impl_->env);
    impl_->state->postings.ClearPostingTable();
    throw;
  }
}

const ScanSummary& Scan::Summary() const { return impl_->summary; }

void Scan::Impl::Walk(ScanObserver& observer, const std::string& mask, CandidateList& candidates) {
  std::vector<std::string> found;
  ScanDirectory(
      mask, found,
      [&observer] {
        // The walk of a large tree can take long: a stop must not wait for it.
        if (observer.StopRequested()) throw ScanStopped();
        observer.SetStatus("Getting files list...");
      },
      *env);
  for (std::string& path : found) candidates.Add(std::move(path));
}

void Scan::Impl::Drop(std::unordered_set<std::string>& numbers, std::vector<std::string>& still_there,
                      std::unordered_set<std::string>& paths, std::unordered_set<std::string>& known) {
  // The scope: the named folders, else the remembered ones, else (a base
  // that remembers none) every file.
  std::vector<std::string> scope = folders;
  if (kind == ScanKind::kUpdate && scope.empty()) {
    for (const RememberedFolder& folder : remembered.folders) scope.push_back(folder.path);
  }
  const bool everything = kind == ScanKind::kUpdate && scope.empty();
  const int64_t files_written = env->Stat(FilesFilePath(base_directory)).mtime_ns;
  for (FileRecord& record : ReadFileRecords(base_directory, *env)) {
    known.insert(record.path);
    if (!everything && std::none_of(scope.begin(), scope.end(),
                                    [&](const std::string& folder) { return IsAtOrUnder(record.path, folder); })) {
      continue;
    }
    bool drop = kind == ScanKind::kRemove;
    PathInfo now;
    if (kind == ScanKind::kUpdate) {
      now = env->Stat(record.path);
      const auto stamp = remembered.stamps.find(record.number);
      if (stamp != remembered.stamps.end()) {
        drop = Changed(stamp->second, now) || (retry && !stamp->second.unread_reason.empty());
      } else {
        // Without a stamp only the time of the last write of fls.txt tells.
        drop = now.kind == PathKind::kMissing || (now.kind == PathKind::kFile && now.mtime_ns > files_written);
      }
    }
    if (!drop) continue;
    numbers.insert(record.number);
    if (kind == ScanKind::kUpdate && now.kind != PathKind::kMissing && paths.insert(record.path).second) {
      still_there.push_back(record.path);
    } else {
      paths.insert(record.path);
    }
  }
}

void Scan::Impl::Remember(const std::unordered_set<std::string>& dropped, int64_t last_given) {
  for (const std::string& number : dropped) remembered.stamps.erase(number);
  const int64_t now = env->Now();
  auto is_under = [](const std::string& path, const std::vector<std::string>& folders) {
    return std::any_of(folders.begin(), folders.end(), [&](const std::string& f) { return IsAtOrUnder(path, f); });
  };
  switch (kind) {
    case ScanKind::kAdd:
      remembered.RememberFolder(FolderOfMask(start_mask), now);
      break;
    case ScanKind::kUpdate:
      if (folders.empty()) {
        for (RememberedFolder& folder : remembered.folders) folder.scanned_ns = now;
      }
      for (const std::string& named : folders) {
        // A part of a remembered folder was updated, not the folder.
        std::vector<std::string> known;
        for (const RememberedFolder& folder : remembered.folders) {
          if (folder.path != named) known.push_back(folder.path);
        }
        if (!is_under(named, known)) remembered.RememberFolder(named, now);
      }
      break;
    case ScanKind::kRemove:
      std::erase_if(remembered.folders, [&](const RememberedFolder& f) { return is_under(f.path, folders); });
      break;
  }
  remembered.highest_number = std::max({remembered.highest_number, state->largest_number, last_given});
}

void Scan::Impl::RunSteps(ScanObserver& observer) {
  PostingTable& table = state->postings;
  const std::string& dir = base_directory;
  Env& env = *this->env;

  observer.SetStep(StepText(1));
  CandidateList candidates;
  std::unordered_set<std::string> dropped;  // numbers
  std::unordered_set<std::string> dropped_paths;
  if (kind == ScanKind::kAdd) {
    Walk(observer, start_mask, candidates);
  } else {
    std::vector<std::string> still_there;
    std::unordered_set<std::string> known;
    Drop(dropped, still_there, dropped_paths, known);
    if (kind == ScanKind::kUpdate) {
      if (!folders.empty()) {
        for (const std::string& folder : folders) Walk(observer, MaskOfFolder(folder), candidates);
      } else {
        for (const RememberedFolder& folder : remembered.folders) Walk(observer, MaskOfFolder(folder.path), candidates);
      }
      // A file dropped as changed comes back even where no walk reaches it.
      for (std::string& path : still_there) candidates.Add(std::move(path));
    }
    const bool forgets_folders =
        kind == ScanKind::kRemove && std::any_of(remembered.folders.begin(), remembered.folders.end(), [&](auto& f) {
          return std::any_of(folders.begin(), folders.end(), [&](auto& p) { return IsAtOrUnder(f.path, p); });
        });
    if (dropped.empty() && !forgets_folders) {
      // Only new files would change the base; fls.txt says which candidates
      // are known, without loading the words.
      if (std::all_of(candidates.paths().begin(), candidates.paths().end(),
                      [&](const std::string& path) { return known.count(path) != 0; })) {
        observer.SetStatus("");
        observer.SetStep("");
        observer.SetStatus("Done!...");
        return;
      }
    }
    LoadBase(dir, *state, env, {&dropped, HighestGiven()});
  }
  std::vector<std::string>& NewFiles = candidates.paths();
  observer.SetStatus("");

  observer.SetStep(StepText(2));
  observer.SetStatus("Files processing...");
  doing = kReading;
  const std::vector<bool> skip = FindIndexed(NewFiles, state->IndexedPaths);
  const int64_t first = StrToInt(table.CurrentFileNumber());
  for (size_t i = NewFiles.size(); i-- > 0;) {
    if (skip[i]) continue;
    if (first + static_cast<int64_t>(i) > kLargestFileNumber) throw FileNumbersExhausted();
    break;
  }

  // A folder in the place of a base file counts as no base for loading, but
  // the commit could not rename over it: refuse now, while nothing is written.
  for (const CommittedFile& file : kCommittedFiles) {
    const std::string live = BaseFilePath(dir, file.live);
    if (env.Stat(live).kind == PathKind::kDirectory) {
      throw IoError(EISDIR, EscapeControlBytes(live) + " is a folder where a base file belongs; the base is unchanged");
    }
  }

  // The new fls.txt is the old one (less what was dropped) plus this scan's
  // records; the old file is only read, so search and lookup keep working
  // on it meanwhile.
  const std::string files_temp = BaseFilePath(dir, kFilesTempName);
  std::optional<TextWriter> interim;  // only when records are dropped: see commit.cc
  if (dropped.empty()) {
    CopyEndingLine(env, FilesFilePath(dir), files_temp);
  } else {
    WriteFilesWithout(dir, dropped, files_temp, env);
    const std::string interim_path = BaseFilePath(dir, kFilesInterimName);
    CopyEndingLine(env, FilesFilePath(dir), interim_path);
    interim.emplace(TextWriter::Append(interim_path, env));
  }
  TextWriter files = TextWriter::Append(files_temp, env);

  const size_t total = NewFiles.size();
  int64_t last_given = -1;
  ProgressReporter progress(observer, total);
  {
    std::unique_ptr<ConversionFolder> conversion;
    ReadSettings settings{env, {}, {}};
    const bool pdfs = AnyToConvert(NewFiles, skip);
    if (pdfs) {
      conversion = std::make_unique<ConversionFolder>(env, dir, jobs);
      settings.pdf.folder = conversion->path();
      settings.pdf.memory_limit = ConversionMemoryLimit(jobs);
      for (unsigned k = 0; k < jobs; ++k) settings.job_folders.push_back(conversion->JobFolder(k));
    }
    // Every core reads ahead, and a thread waits for each conversion child;
    // one core and one job read in turn, as switching would only cost.
    const unsigned cores = ProcessorCount();
    unsigned threads = cores > 1 ? cores : 0;
    if (pdfs && jobs > 1) threads = std::max(threads, jobs);
    CandidateReader reader(NewFiles, skip, threads, settings);
    for (size_t i = 0; i < total; ++i) {
      if (observer.StopRequested()) throw ScanStopped();
      if (reader.Wanted(i)) {
        last_given = first + static_cast<int64_t>(i);
        const std::string number = std::to_string(last_given);
        table.SetCurrentFileNumber(number);
        CandidateResult result = reader.AppendWordsOf(i, table);
        if (!result.unread_reason.empty()) summary.unread.push_back({NewFiles[i], result.unread_reason});
        remembered.stamps[number] = StampOf(result.stamp, std::move(result.unread_reason));
        for (TextWriter* out : {&files, interim ? &*interim : nullptr}) {
          if (out == nullptr) continue;
          out->WriteLine(NewFiles[i]);
          out->WriteLine(number);
        }
        if (dropped_paths.erase(NewFiles[i]) != 0) {
          ++summary.updated;
        } else {
          ++summary.added;
        }
      }
      progress.Report(i + 1);
    }
  }
  summary.removed = dropped_paths.size();

  observer.SetStep(StepText(3));
  observer.SetStatus("Sorting...");
  doing = kSorting;
  table.SortPostingTable();

  observer.SetStep(StepText(4));
  observer.SetStatus("Writing...");
  doing = kWriting;
  const std::string words_temp = BaseFilePath(dir, kWordsTempName);
  TextWriter words = TextWriter::Create(words_temp, env);
  table.WriteWordsFile(words);
  words.Sync();
  words.Close();
  files.Sync();
  files.Close();
  if (interim) {
    interim->Sync();
    interim->Close();
  }
  Remember(dropped, last_given);
  WriteRememberedTemporaries(dir, remembered, env);
  committing = true;
  CommitBase(*lock, env);
  table.ClearPostingTable();
  summary.written = true;

  observer.SetStep("");
  observer.SetStatus("Done!...");
}

std::string SummaryLine(const ScanSummary& summary) {
  return std::to_string(summary.added) + " added, " + std::to_string(summary.updated) + " updated, " +
         std::to_string(summary.removed) + " removed, " + std::to_string(summary.unread.size()) + " could not be read";
}

std::string StepText(int step) { return "Step " + std::to_string(step) + " of " + std::to_string(kScanSteps); }

std::string UnreadReport(const std::vector<UnreadDocument>& unread, size_t max_listed) {
  if (unread.empty()) return "";
  std::string report =
      std::to_string(unread.size()) + (unread.size() == 1 ? " file" : " files") + " could not be read:\n";
  const size_t listed = std::min(max_listed, unread.size());
  for (size_t i = 0; i < listed; ++i) {
    report += EscapeControlBytes(unread[i].path) + "\t" + unread[i].reason + "\n";
  }
  if (listed < unread.size()) report += "... and " + std::to_string(unread.size() - listed) + " more\n";
  return report;
}

ProgressReporter::ProgressReporter(ScanObserver& observer, size_t total) : observer_(observer), total_(total) {
  Show(0);
}

void ProgressReporter::Show(size_t done) {
  shown_step_ = total_ == 0 ? 0 : done * 200 / total_;
  observer_.SetProgress(done, total_);
}

std::string RecoverBase(const std::string& base_directory, Env& env) {
  if (!NeedsRecovery(base_directory, env)) return "";
  // A scan that holds the lock owns the temporaries; it recovers by itself.
  std::unique_ptr<BaseLock> lock = TryLockBase(base_directory, env);
  if (!lock) return "";
  return RecoverBaseLocked(*lock, env);
}

}  // namespace veskara
