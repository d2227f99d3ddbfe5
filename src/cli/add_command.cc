#include "cli/add_command.h"

#include <cstdio>
#include <exception>
#include <optional>

#include "base/base.h"
#include "indexer/discovery.h"
#include "indexer/scan.h"
#include "platform/process.h"
#include "platform/str_to_int.h"
#include "platform/strings.h"
#include "search/messages.h"

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

}  // namespace

ExitStatus RunAddCommand(const Invocation& invocation) {
  ScanOptions options;
  if (const auto jobs = invocation.options.find("--jobs"); jobs != invocation.options.end()) {
    const std::optional<int32_t> n = TryStrToInt(jobs->second);
    if (!n || *n < 1 || static_cast<unsigned>(*n) > kMostJobs) {
      std::fprintf(stderr, "veskara-cli: --jobs takes a number from 1 to %u, not '%s'\n", kMostJobs,
                   EscapeControlBytes(jobs->second).c_str());
      return ExitStatus::kFailure;
    }
    options.jobs = static_cast<unsigned>(*n);
  }
  const std::optional<std::string> mask = StartMaskFor(invocation.operands.at(0));
  if (!mask) {
    std::fputs("veskara-cli: the directory text is blank; nothing was added\n", stderr);
    return ExitStatus::kFailure;
  }
  StderrObserver observer(StderrIsTerminal());
  try {
    // Prepare finishes or rolls back an interrupted commit under the lock.
    BaseState state;
    std::unique_ptr<Scan> scan = Scan::Prepare(invocation.base_directory, *mask, state, Env::Default(), options);
    if (const std::string& note = scan->Summary().recovery_note; !note.empty()) {
      std::fprintf(stderr, "veskara-cli: %s\n", note.c_str());
    }
    scan->Run(observer);
    observer.EndProgressLine();
    // Every document recorded without its words is named: none is lost in silence.
    std::fputs(UnreadReport(scan->Summary().unread).c_str(), stderr);
    return ExitStatus::kDone;
  } catch (const std::exception& failure) {
    observer.EndProgressLine();
    std::fprintf(stderr, "veskara-cli: %s\n", ErrorReportText(FailureText(failure, "add to the base")).c_str());
    return ExitStatus::kFailure;
  }
}

}  // namespace veskara
