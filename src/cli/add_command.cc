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

// Prints each new step and status text on its own line; on a terminal, also
// a progress line for step 2 that is redrawn in place. The scan reports
// progress sparingly, so every report is drawn.
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
    if (text.empty()) return;  // a cleared panel has nothing to say
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
ExitStatus RunScanCommand(const char* doing, Prepare&& prepare, const std::function<ExitStatus(const Scan&)>& report) {
  StderrObserver observer(StderrIsTerminal());
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
  } catch (const std::exception& failure) {
    observer.EndProgressLine();
    std::fprintf(stderr, "veskara-cli: %s\n", ErrorReportText(FailureText(failure, doing)).c_str());
    return ExitStatus::kFailure;
  }
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

// Folders named on the command line, absolute and normalised.
std::vector<std::string> NamedFolders(const std::vector<std::string>& operands, Env& env) {
  const std::string cwd = env.CurrentDirectory();
  std::vector<std::string> folders;
  for (const std::string& operand : operands) folders.push_back(AbsolutePath(operand, cwd));
  return folders;
}

}  // namespace

ExitStatus RunAddCommand(const Invocation& invocation) {
  ScanOptions options;
  if (!ReadJobs(invocation, &options)) return ExitStatus::kFailure;
  const std::optional<std::string> folder = FolderToScan(invocation.operands.at(0), *invocation.env);
  if (!folder) {
    std::fputs("veskara-cli: the directory text is blank; nothing was added\n", stderr);
    return ExitStatus::kFailure;
  }
  return RunScanCommand(
      "add to the base",
      [&](BaseState& state) {
        return Scan::Prepare(invocation.base_directory, *folder, state, *invocation.env, options);
      },
      [](const Scan&) { return ExitStatus::kDone; });
}

ExitStatus RunUpdateCommand(const Invocation& invocation) {
  ScanOptions options;
  if (!ReadJobs(invocation, &options)) return ExitStatus::kFailure;
  const bool retry = invocation.options.count("--retry") != 0;
  return RunScanCommand(
      "update the base",
      [&](BaseState& state) {
        return Scan::PrepareUpdate(invocation.base_directory, NamedFolders(invocation.operands, *invocation.env), retry,
                                   state, *invocation.env, options);
      },
      [](const Scan& scan) {
        std::printf("%s\n", SummaryLine(scan.Summary()).c_str());
        return ExitStatus::kDone;
      });
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
      "change the kinds the base reads",
      [&](BaseState& state) {
        return Scan::PrepareKinds(invocation.base_directory, kinds, state, *invocation.env, options);
      },
      [](const Scan& scan) {
        std::printf("%s\n", SummaryLine(scan.Summary()).c_str());
        return ExitStatus::kDone;
      });
}

ExitStatus RunRemoveCommand(const Invocation& invocation) {
  return RunScanCommand(
      "remove from the base",
      [&](BaseState& state) {
        return Scan::PrepareRemove(invocation.base_directory, NamedFolders(invocation.operands, *invocation.env), state,
                                   *invocation.env);
      },
      [](const Scan& scan) {
        if (!scan.Summary().written) {
          std::fputs("veskara-cli: nothing of the base is at or under these paths; nothing was removed\n", stderr);
          return ExitStatus::kNothingFound;
        }
        std::printf("%s\n", SummaryLine(scan.Summary()).c_str());
        return ExitStatus::kDone;
      });
}

}  // namespace veskara
