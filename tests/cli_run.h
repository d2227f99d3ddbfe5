// Runs veskara-cli as the real program, for the tests of the command line.
#pragma once

#include <fcntl.h>
#include <pty.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "test_util.h"

namespace veskara::testing {

struct CliOutcome {
  int exit_code = -1;  // -1 when the program did not exit normally
  std::string out;
  std::string err;
};

// Runs `program` (veskara-cli unless another is named, such as a wrapper
// that drops privileges) with `args`; stdin is empty, stdout and stderr go
// to files in `scratch`.
inline CliOutcome RunCli(const std::string& scratch, const std::vector<std::string>& args,
                         const std::string& program = VESKARA_CLI_PATH) {
  const std::string out_path = scratch + "/cli-stdout.txt";
  const std::string err_path = scratch + "/cli-stderr.txt";
  const pid_t child = ::fork();
  if (child == 0) {
    if (!std::freopen("/dev/null", "r", stdin) || !std::freopen(out_path.c_str(), "w", stdout) ||
        !std::freopen(err_path.c_str(), "w", stderr)) {
      ::_exit(126);
    }
    std::vector<char*> argv = {const_cast<char*>(program.c_str())};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  CliOutcome outcome;
  outcome.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  outcome.out = ReadFile(out_path);
  outcome.err = ReadFile(err_path);
  return outcome;
}

// True when a pseudo-terminal can be made and opened here: a chroot
// without /dev/pts cannot, and a terminal test has nothing to run on there.
inline bool CanMakeTerminal() {
  const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
  if (master < 0) return false;
  const char* name = ::grantpt(master) == 0 && ::unlockpt(master) == 0 ? ::ptsname(master) : nullptr;
  const bool usable = name != nullptr && ::access(name, R_OK | W_OK) == 0;
  ::close(master);
  return usable;
}

// Runs veskara-cli with `args`, its stdout and stderr on a terminal (a
// pseudo-terminal), and returns what the terminal received (each LF as
// CR LF), or "" when no terminal could be made.
inline std::string RunCliOnTerminal(const std::vector<std::string>& args) {
  int terminal = -1;
  const pid_t child = ::forkpty(&terminal, nullptr, nullptr, nullptr);
  if (child < 0) return "";
  if (child == 0) {
    std::vector<char*> argv = {const_cast<char*>(VESKARA_CLI_PATH)};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  std::string received;
  char buffer[4096];
  for (;;) {
    const ssize_t n = ::read(terminal, buffer, sizeof buffer);
    if (n <= 0) break;  // EIO once the program has ended
    received.append(buffer, static_cast<size_t>(n));
  }
  ::close(terminal);
  int status = 0;
  ::waitpid(child, &status, 0);
  return received;
}

}  // namespace veskara::testing
