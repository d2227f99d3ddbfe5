// `veskara-cli find --sort modified --long` of 10,000 files against a bare
// `find` of the same files and one stat of each (target: at most twice the
// bare find plus the stats). The whole process is timed, as a user runs it.
//
//   find_bench VESKARA_CLI [WORK_DIR]   (default $TMPDIR/veskara-find-bench;
//                                        the files and the base are made there)
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/env.h"
#include "platform/text_file.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kFiles = 10000;
constexpr int kRuns = 20;

double Milliseconds(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// Pages of different sizes and times in 100 folders, and a base that finds
// every one of them by the word PLANT.
std::vector<std::string> MakeTreeAndBase(const std::string& work) {
  std::filesystem::remove_all(work);
  std::filesystem::create_directories(work);
  std::vector<std::string> paths;
  std::string numbers;
  veskara::TextWriter files = veskara::TextWriter::Create(work + "/fls.txt.tmp", veskara::Env::Default());
  for (int i = 0; i < kFiles; ++i) {
    const std::string folder = work + "/tree/f" + std::to_string(i % 100);
    if (i < 100) std::filesystem::create_directories(folder);
    const std::string path = folder + "/page-" + std::to_string(i) + ".htm";
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) std::exit(2);
    std::fprintf(f, "<p>plant %d</p>%s\n", i, std::string(static_cast<size_t>(i % 500), 'x').c_str());
    std::fclose(f);
    const timespec times[2] = {{1700000000 + (i * 7919) % kFiles * 60, 0}, {1700000000 + (i * 7919) % kFiles * 60, 0}};
    utimensat(AT_FDCWD, path.c_str(), times, 0);
    paths.push_back(path);
    files.WriteLine(path);
    files.WriteLine(std::to_string(i));
    numbers += (i > 0 ? "," : "") + std::to_string(i);
  }
  files.Close();
  std::filesystem::rename(work + "/fls.txt.tmp", work + "/fls.txt");
  veskara::TextWriter words = veskara::TextWriter::Create(work + "/wrds.txt", veskara::Env::Default());
  words.WriteLine("PLANT");
  words.WriteLine(numbers);
  words.Close();
  return paths;
}

// Runs the command with its output to /dev/null; wall-clock ms.
double RunOnce(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  const Clock::time_point start = Clock::now();
  pid_t child = 0;
  if (posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ) != 0) std::exit(2);
  int status = 0;
  waitpid(child, &status, 0);
  const double ms = Milliseconds(Clock::now() - start);
  posix_spawn_file_actions_destroy(&actions);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "find_bench: %s failed\n", args.back().c_str());
    std::exit(2);
  }
  return ms;
}

struct Times {
  double best = 0;
  double median = 0;
};

Times Summary(std::vector<double> times) {
  std::sort(times.begin(), times.end());
  return {times.front(), times[times.size() / 2]};
}

// Children's processor time so far, ms.
double ChildrenCpuMs() {
  rusage usage{};
  getrusage(RUSAGE_CHILDREN, &usage);
  return (static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)) * 1e3 +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: find_bench VESKARA_CLI [WORK_DIR]\n");
    return 2;
  }
  const std::string cli = argv[1];
  const char* tmp = std::getenv("TMPDIR");
  const std::string work = argc > 2 ? argv[2] : std::string(tmp && *tmp ? tmp : "/tmp") + "/veskara-find-bench";
  const std::vector<std::string> paths = MakeTreeAndBase(work);
  const std::vector<std::string> bare = {cli, "--base", work, "find", "plant"};
  const std::vector<std::string> sorted = {cli, "--base", work, "find", "--sort", "modified", "--long", "plant"};
  RunOnce(bare);  // the page cache warm for both
  RunOnce(sorted);

  std::vector<double> bare_times;
  std::vector<double> sorted_times;
  double bare_cpu = 0;
  double sorted_cpu = 0;
  for (int run = 0; run < kRuns; ++run) {
    // Alternately, so that the machine's load falls on both alike.
    double cpu = ChildrenCpuMs();
    bare_times.push_back(RunOnce(bare));
    bare_cpu += ChildrenCpuMs() - cpu;
    cpu = ChildrenCpuMs();
    sorted_times.push_back(RunOnce(sorted));
    sorted_cpu += ChildrenCpuMs() - cpu;
  }
  std::vector<double> stat_times;
  for (int run = 0; run < kRuns; ++run) {
    const Clock::time_point start = Clock::now();
    for (const std::string& path : paths) veskara::Env::Default().Stat(path);
    stat_times.push_back(Milliseconds(Clock::now() - start));
  }
  const Times b = Summary(bare_times);
  const Times s = Summary(sorted_times);
  const Times st = Summary(stat_times);
  std::printf("%d files, %d runs each\n", kFiles, kRuns);
  std::printf("find plant:                          best %7.1f ms  median %7.1f ms  cpu %6.1f ms/run\n", b.best,
              b.median, bare_cpu / kRuns);
  std::printf("find --sort modified --long plant:   best %7.1f ms  median %7.1f ms  cpu %6.1f ms/run\n", s.best,
              s.median, sorted_cpu / kRuns);
  std::printf("one stat of each file (in process):  best %7.1f ms  median %7.1f ms\n", st.best, st.median);
  const double bound = 2 * (b.best + st.best);
  std::printf("target: sorted <= 2 x (bare + stats) = %.1f ms (best times): %s\n", bound,
              s.best <= bound ? "met" : "missed");
  return 0;
}
