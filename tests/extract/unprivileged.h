// Runs a piece of a test without the superuser's rights, which would open
// every file whatever its permissions: tests of unreadable files and folders
// need an ordinary user to mean anything.
#pragma once

#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <optional>
#include <string>

namespace veskara::testing {

// Returns what `body` returns, computed in a child process that runs as the
// user "nobody" when this process is the superuser (directly otherwise). No
// value when the child could not drop its rights or failed. Paths that
// `body` touches must be reachable by that user.
inline std::optional<std::string> RunUnprivileged(const std::function<std::string()>& body) {
  if (::geteuid() != 0) return body();
  int fds[2];
  if (::pipe(fds) != 0) return std::nullopt;
  pid_t pid = ::fork();
  if (pid < 0) return std::nullopt;
  if (pid == 0) {
    ::close(fds[0]);
    constexpr uid_t kNobody = 65534;
    if (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0) ::_exit(2);
    std::string out = body();
    const char* p = out.data();
    size_t left = out.size();
    while (left > 0) {
      ssize_t n = ::write(fds[1], p, left);
      if (n <= 0) ::_exit(3);
      p += n;
      left -= static_cast<size_t>(n);
    }
    ::_exit(0);
  }
  ::close(fds[1]);
  std::string out;
  char buf[4096];
  ssize_t n;
  while ((n = ::read(fds[0], buf, sizeof buf)) > 0) out.append(buf, static_cast<size_t>(n));
  ::close(fds[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return std::nullopt;
  return out;
}

}  // namespace veskara::testing
