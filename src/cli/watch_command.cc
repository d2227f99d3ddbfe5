#include "cli/watch_command.h"

#include <cstdio>
#include <exception>
#include <optional>

#include "base/messages.h"
#include "platform/process.h"
#include "platform/str_to_int.h"
#include "platform/strings.h"
#include "watch/watch_loop.h"

namespace veskara {
namespace {

constexpr int32_t kMostMinutes = 24 * 60;

void Print(const WatchReport& report, int64_t every_ns) {
  switch (report.kind) {
    case WatchReport::Kind::kWatching:
      std::printf("%s\n", WatchingText(report.watched, report.unwatched.size(), every_ns).c_str());
      break;
    case WatchReport::Kind::kUpdated:
      std::fputs(UnreadReport(report.summary.unread).c_str(), stderr);
      std::printf("%s\n%s", SummaryLine(report.summary).c_str(), OfflineReport(report.summary.offline).c_str());
      break;
    case WatchReport::Kind::kFailed:
      std::fprintf(stderr, "veskara-cli: %s\n", ErrorReportText(report.failure).c_str());
      break;
  }
  // Each line as it happens: a journal or a pipe reads them one by one.
  std::fflush(stdout);
}

}  // namespace

ExitStatus RunWatchCommand(const Invocation& invocation) {
  WatchOptions options;
  if (const auto jobs = invocation.options.find("--jobs"); jobs != invocation.options.end()) {
    const std::optional<int32_t> n = TryStrToInt(jobs->second);
    if (!n || *n < 1 || static_cast<unsigned>(*n) > kMostJobs) {
      std::fprintf(stderr, "veskara-cli: --jobs takes a number from 1 to %u, not '%s'\n", kMostJobs,
                   EscapeControlBytes(jobs->second).c_str());
      return ExitStatus::kFailure;
    }
    options.scan.jobs = static_cast<unsigned>(*n);
  }
  if (const auto every = invocation.options.find("--every"); every != invocation.options.end()) {
    const std::optional<int32_t> minutes = TryStrToInt(every->second);
    if (!minutes || *minutes < 1 || *minutes > kMostMinutes) {
      std::fprintf(stderr, "veskara-cli: --every takes a number of minutes from 1 to %d, not '%s'\n", kMostMinutes,
                   EscapeControlBytes(every->second).c_str());
      return ExitStatus::kFailure;
    }
    options.unwatched_every_ns = int64_t{*minutes} * 60 * kSecondNs;
  }
  try {
    StopSignal stop;
    RaiseOnTerminationSignals(stop);
    Watcher watcher(invocation.base_directory, *invocation.env, options);
    RunWatchLoop(watcher, stop, [&](const WatchReport& report) { Print(report, options.unwatched_every_ns); });
  } catch (const std::exception& failure) {
    std::fprintf(stderr, "veskara-cli: %s\n", ErrorReportText(FailureText(failure, "watch the folders")).c_str());
    return ExitStatus::kFailure;
  }
  return ExitStatus::kDone;
}

}  // namespace veskara
