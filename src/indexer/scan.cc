#include "indexer/scan.h"

#include <cerrno>
#include <algorithm>
#include <cstdint>
#include <limits>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "base/commit.h"
#include "indexer/conversion_folder.h"
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

}  // namespace

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

// True when a candidate to be read is a PDF by its own name.
bool AnyPdfToRead(const std::vector<std::string>& candidates, const std::vector<bool>& skip) {
  for (size_t i = 0; i < candidates.size(); ++i) {
    if (skip[i]) continue;
    const size_t slash = candidates[i].rfind(kPathSeparator);
    if (IsPdfFile(std::string_view(candidates[i]).substr(slash == std::string::npos ? 0 : slash + 1))) return true;
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

struct Scan::Impl {
  std::string base_directory;
  std::string start_mask;
  BaseState* state = nullptr;
  Env* env = nullptr;
  std::unique_ptr<FileLock> lock;
  bool committing = false;  // CommitBase cleans up after itself from here on
  const char* doing = kWalking;
  unsigned jobs = 1;
  ScanSummary summary;

  void RunSteps(ScanObserver& observer);
};

std::unique_ptr<Scan> Scan::Prepare(const std::string& base_directory, const std::string& start_mask,
                                    BaseState& state, Env& env, ScanOptions options) {
  CheckFolder(env, start_mask);
  // The first scan makes the base folder, private to the user.
  env.CreateDirectories(base_directory, 0700);
  std::unique_ptr<FileLock> lock = TryLockBase(base_directory, env);
  if (!lock) throw ScanLockedError("Another scan is adding to this base; try again when it has finished.");
  std::string note = RecoverBaseLocked(base_directory, env);
  LoadBase(base_directory, state, env);
  std::unique_ptr<Scan> scan(new Scan());
  scan->impl_ = std::make_unique<Impl>();
  scan->impl_->base_directory = base_directory;
  scan->impl_->start_mask = start_mask;
  scan->impl_->state = &state;
  scan->impl_->env = &env;
  scan->impl_->jobs = JobsFor(options, env);
  scan->impl_->lock = std::move(lock);
  scan->impl_->summary.recovery_note = std::move(note);
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
    if (!impl_->committing) DiscardTemporaries(impl_->base_directory, *impl_->env);
    impl_->state->postings.ClearPostingTable();
    throw;
  }
}

const ScanSummary& Scan::Summary() const { return impl_->summary; }

void Scan::Impl::RunSteps(ScanObserver& observer) {
  PostingTable& table = state->postings;
  const std::string& dir = base_directory;
  Env& env = *this->env;

  observer.SetStep(StepText(1));
  std::vector<std::string> NewFiles;
  ScanDirectory(start_mask, NewFiles, [&observer] {
    // The walk of a large tree can take long: a stop must not wait for it.
    if (observer.StopRequested()) throw ScanStopped();
    observer.SetStatus("Getting files list...");
  }, env);
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
  for (const std::string& live : {WordsFilePath(dir), FilesFilePath(dir)}) {
    if (env.Stat(live).kind == PathKind::kDirectory) {
      throw IoError(EISDIR, EscapeControlBytes(live) + " is a folder where a base file belongs; the base is unchanged");
    }
  }

  // The new fls.txt is the old one plus this scan's records; the old file is
  // only read, so search and lookup keep working on it meanwhile.
  const std::string files_temp = BaseFilePath(dir, kFilesTempName);
  CopyEndingLine(env, FilesFilePath(dir), files_temp);
  TextWriter files = TextWriter::Append(files_temp, env);

  const size_t total = NewFiles.size();
  ProgressReporter progress(observer, total);
  {
    std::unique_ptr<ConversionFolder> conversion;
    ReadSettings settings{env, {}, {}};
    const bool pdfs = AnyPdfToRead(NewFiles, skip);
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
        const std::string number = std::to_string(first + static_cast<int64_t>(i));
        table.SetCurrentFileNumber(number);
        CandidateResult result = reader.AppendWordsOf(i, table);
        if (!result.unread_reason.empty()) summary.unread.push_back({NewFiles[i], std::move(result.unread_reason)});
        files.WriteLine(NewFiles[i]);
        files.WriteLine(number);
        ++summary.added;
      }
      progress.Report(i + 1);
    }
  }

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
  committing = true;
  CommitBase(dir, env);
  table.ClearPostingTable();

  observer.SetStep("");
  observer.SetStatus("Done!...");
}

std::string StepText(int step) { return "Step " + std::to_string(step) + " of " + std::to_string(kScanSteps); }

std::string UnreadReport(const std::vector<UnreadDocument>& unread, size_t max_listed) {
  if (unread.empty()) return "";
  std::string report = std::to_string(unread.size()) + (unread.size() == 1 ? " file" : " files") +
                       " could not be read:\n";
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
  std::unique_ptr<FileLock> lock = TryLockBase(base_directory, env);
  if (!lock) return "";
  return RecoverBaseLocked(base_directory, env);
}

}  // namespace veskara
