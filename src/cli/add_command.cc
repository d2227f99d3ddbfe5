#include "cli/add_command.h"

#include <cstdio>
#include <exception>
#include <functional>
#include <optional>
#include <vector>

#include "base/base.h"
#include "base/messages.h"
#include "base/remembered.h"
#include "extract/document_kind.h"
#include "indexer/discovery.h"
#include "indexer/scan.h"
#include "platform/paths.h"
#include "platform/process.h"
#include "platform/str_to_int.h"
#include "platform/strings.h"

namespace veskara {
namespace {

// On a terminal, prints each new step and status text on its own line, and
// a progress line for step 2 that is redrawn in place; elsewhere (a log, a
// pipe), or when told to be quiet, nothing: the summary and the failures
// say what a script needs. The scan reports progress sparingly, so every
// report is drawn.
class StderrObserver : public ScanObserver {
 public:
  explicit StderrObserver(bool terminal) : terminal_(terminal) {}

  void SetStep(const std::string& text) override { Show(step_, text); }
  void SetStatus(const std::string& text) override { Show(status_, text); }

  void SetProgress(size_t done, size_t total) override {
    if (!terminal_) return;
    progress_shown_ = true;
    const unsigned percent = total == 0 ? 100u : static_cast<unsigned>(done * 100 / total);
    std::fprintf(stderr, "\r%zu of %zu files (%u%%)", done, total, percent);
    std::fflush(stderr);
  }

  // Ends an unfinished progress line, so that what follows starts a line.
  void EndProgressLine() {
    if (!progress_shown_) return;
    std::fputc('\n', stderr);
    progress_shown_ = false;
  }

 private:
  void Show(std::string& shown, const std::string& text) {
    if (text == shown) return;
    shown = text;
    if (text.empty() || !terminal_) return;  // a cleared panel has nothing to say
    EndProgressLine();
    std::fprintf(stderr, "%s\n", text.c_str());
  }

  bool terminal_;
  bool progress_shown_ = false;
  std::string step_;
  std::string status_;
};

// Runs a prepared scan on this thread with the steps on stderr; 2 with the
// failure's message when it fails.
template <typename Prepare>
ExitStatus RunScanCommand(const Invocation& invocation, const char* doing, Prepare&& prepare,
                          const std::function<ExitStatus(const Scan&)>& report) {
  StderrObserver observer(StderrIsTerminal() && !invocation.options.contains("--quiet"));
  try {
    // Prepare finishes or rolls back an interrupted commit under the lock.
    BaseState state;
    std::unique_ptr<Scan> scan = prepare(state);
    if (const std::string& note = scan->Summary().recovery_note; !note.empty()) {
      std::fprintf(stderr, "veskara-cli: %s\n", note.c_str());
    }
    scan->Run(observer);
    observer.EndProgressLine();
    // Every document recorded without its words is named: none is lost in silence.
    std::fputs(UnreadReport(scan->Summary().unread).c_str(), stderr);
    return report(*scan);
  } catch (const ScanFolderOffline& offline) {
    // Not a failure of the base: the folder is not there to update.
    observer.EndProgressLine();
    std::fprintf(stderr, "veskara-cli: %s\n", ErrorReportText(offline.what()).c_str());
    return ExitStatus::kNothingFound;
  } catch (const std::exception& failure) {
    observer.EndProgressLine();
    std::fprintf(stderr, "veskara-cli: %s\n", ErrorReportText(FailureText(failure, doing)).c_str());
    return ExitStatus::kFailure;
  }
}

// "N added, M updated, K removed, F could not be read" on stdout, then the
// remembered folders that were offline and kept.
ExitStatus PrintSummary(const Scan& scan) {
  std::printf("%s\n%s", SummaryLine(scan.Summary()).c_str(), OfflineReport(scan.Summary().offline).c_str());
  return ExitStatus::kDone;
}

// --jobs N into `options`; false, with the message, for a value out of range.
bool ReadJobs(const Invocation& invocation, ScanOptions* options) {
  const auto jobs = invocation.options.find("--jobs");
  if (jobs == invocation.options.end()) return true;
  const std::optional<int32_t> n = TryStrToInt(jobs->second);
  if (!n || *n < 1 || static_cast<unsigned>(*n) > kMostJobs) {
    std::fprintf(stderr, "veskara-cli: --jobs takes a number from 1 to %u, not '%s'\n", kMostJobs,
                 EscapeControlBytes(jobs->second).c_str());
    return false;
  }
  options->jobs = static_cast<unsigned>(*n);
  return true;
}

// Folders named on the command line, absolute and normalised; nothing, with
// the reason on stderr, when one names no folder: an empty operand (a
// script's unset variable), or a relative one while the current folder
// cannot be read. `unchanged` ends the message: "nothing was removed".
std::optional<std::vector<std::string>> NamedFolders(const Invocation& invocation, std::string_view unchanged) {
  std::vector<std::string> folders;
  for (const std::string& operand : invocation.operands) {
    std::optional<std::string> folder;
    if (operand.empty()) {
      std::fprintf(stderr, "veskara-cli: an empty operand names no folder; %s\n", std::string(unchanged).c_str());
      return std::nullopt;
    }
    if (!(folder = AbsolutePathFromCurrentFolder(ExpandHome(operand, *invocation.env), *invocation.env))) {
      std::fprintf(stderr, "veskara-cli: %s; %s\n", UnknownCurrentFolderText(operand).c_str(),
                   std::string(unchanged).c_str());
      return std::nullopt;
    }
    folders.push_back(std::move(*folder));
  }
  return folders;
}

}  // namespace

ExitStatus RunAddCommand(const Invocation& invocation) {
  ScanOptions options;
  if (!ReadJobs(invocation, &options)) return ExitStatus::kFailure;
  std::optional<std::string> folder;
  try {
    folder = FolderToScan(invocation.operands.at(0), *invocation.env);
  } catch (const std::exception& failure) {
    std::fprintf(stderr, "veskara-cli: %s\n", failure.what());
    return ExitStatus::kFailure;
  }
  if (!folder) {
    std::fputs("veskara-cli: the directory text is blank; nothing was added\n", stderr);
    return ExitStatus::kFailure;
  }
  return RunScanCommand(
      invocation, "add to the base",
      [&](BaseState& state) {
        return Scan::Prepare(invocation.base_directory, *folder, state, *invocation.env, options);
      },
      PrintSummary);
}

ExitStatus RunUpdateCommand(const Invocation& invocation) {
  ScanOptions options;
  if (!ReadJobs(invocation, &options)) return ExitStatus::kFailure;
  const bool retry = invocation.options.count("--retry") != 0;
  std::optional<std::vector<std::string>> folders = NamedFolders(invocation, "nothing was updated");
  if (!folders) return ExitStatus::kFailure;
  return RunScanCommand(
      invocation, "update the base",
      [&](BaseState& state) {
        return Scan::PrepareUpdate(invocation.base_directory, std::move(*folders), retry, state, *invocation.env,
                                   options);
      },
      PrintSummary);
}

namespace {

// "on" or "off" for each group, and what it holds.
ExitStatus ShowKinds(const Invocation& invocation) {
  KindChoice kinds;
  try {
    kinds = LoadKindChoice(invocation.base_directory, *invocation.env);
  } catch (const std::exception& failure) {
    std::fprintf(stderr, "veskara-cli: %s\n", ErrorReportText(FailureText(failure, "read the kinds")).c_str());
    return ExitStatus::kFailure;
  }
  for (KindGroup group : kKindGroups) {
    std::string endings;
    for (std::string_view ending : EndingsOf(group)) endings.append(endings.empty() ? "" : " ").append(ending);
    std::printf("%s\t%s\t%s (%s)\n", std::string(KindGroupName(group)).c_str(), kinds.Has(group) ? "on" : "off",
                KindGroupTitle(group).c_str(), endings.c_str());
  }
  return ExitStatus::kDone;
}

// The choice the operands and options name; false, with the message, when
// they name none or an unknown group.
bool ChosenKinds(const Invocation& invocation, KindChoice* kinds) {
  const bool all = invocation.options.count("--all") != 0;
  const bool none = invocation.options.count("--none") != 0;
  if ((all || none) && (all == none || !invocation.operands.empty())) {
    std::fputs("veskara-cli: kinds takes group names, --all or --none, one of them\n", stderr);
    return false;
  }
  if (all) *kinds = KindChoice::All();
  for (const std::string& name : invocation.operands) {
    const std::optional<KindGroup> group = KindGroupNamed(name);
    if (!group) {
      std::fprintf(stderr,
                   "veskara-cli: '%s' is no group of kinds; the groups are text, office, ebook and compressed\n",
                   EscapeControlBytes(name).c_str());
      return false;
    }
    kinds->Set(*group, true);
  }
  return true;
}

}  // namespace

ExitStatus RunKindsCommand(const Invocation& invocation) {
  if (invocation.operands.empty() && invocation.options.count("--all") == 0 &&
      invocation.options.count("--none") == 0) {
    return ShowKinds(invocation);
  }
  KindChoice kinds;
  if (!ChosenKinds(invocation, &kinds)) return ExitStatus::kFailure;
  ScanOptions options;
  if (!ReadJobs(invocation, &options)) return ExitStatus::kFailure;
  return RunScanCommand(
      invocation, "change the kinds the base reads",
      [&](BaseState& state) {
        return Scan::PrepareKinds(invocation.base_directory, kinds, state, *invocation.env, options);
      },
      PrintSummary);
}

ExitStatus RunRemoveCommand(const Invocation& invocation) {
  std::optional<std::vector<std::string>> paths = NamedFolders(invocation, "nothing was removed");
  if (!paths) return ExitStatus::kFailure;
  return RunScanCommand(
      invocation, "remove from the base",
      [&](BaseState& state) {
        return Scan::PrepareRemove(invocation.base_directory, std::move(*paths), state, *invocation.env);
      },
      [](const Scan& scan) {
        if (!scan.Summary().written) {
          std::fputs("veskara-cli: nothing of the base is at or under these paths; nothing was removed\n", stderr);
          return ExitStatus::kNothingFound;
        }
        return PrintSummary(scan);
      });
}

}  // namespace veskara
