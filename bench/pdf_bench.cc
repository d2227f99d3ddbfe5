// Times GetText against the command-line converter pdftotext on every PDF
// of a tree, one file after another, and prints both and their ratio.
//
//   pdf_bench DIR [ROUNDS]
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "wpdf/wpdf.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

struct Round {
  double seconds = 0;
  double cpu_seconds = 0;  // of this process and its children: steady on a busy machine
  size_t failures = 0;
};

double CpuSeconds() {
  double total = 0;
  for (int who : {RUSAGE_SELF, RUSAGE_CHILDREN}) {
    rusage u{};
    getrusage(who, &u);
    total += u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
  }
  return total;
}

int RunPdftotext(const std::string& pdf, const std::string& target) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  const char* args[] = {"pdftotext", pdf.c_str(), target.c_str(), nullptr};
  pid_t pid;
  int rc = posix_spawnp(&pid, "pdftotext", &actions, nullptr, const_cast<char**>(args), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) return -1;
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

template <typename Convert>
Round Time(const std::vector<std::string>& files, const std::string& target, Convert convert) {
  Round round;
  const double cpu_start = CpuSeconds();
  const auto start = Clock::now();
  for (const std::string& file : files) {
    if (convert(file, target) != 0) ++round.failures;
  }
  round.seconds = std::chrono::duration<double>(Clock::now() - start).count();
  round.cpu_seconds = CpuSeconds() - cpu_start;
  return round;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: pdf_bench DIR [ROUNDS]\n");
    return 2;
  }
  const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
  std::vector<std::string> files;
  uintmax_t bytes = 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(argv[1])) {
    if (entry.is_regular_file() && entry.path().extension() == ".pdf") {
      files.push_back(entry.path().string());
      bytes += entry.file_size();
    }
  }
  std::sort(files.begin(), files.end());
  if (files.empty()) {
    std::fprintf(stderr, "no PDF files under %s\n", argv[1]);
    return 1;
  }
  char temp[] = "/tmp/pdf_bench-XXXXXX";
  if (mkdtemp(temp) == nullptr) return 1;
  const std::string target = std::string(temp) + "/out.txt";

  // Warm the page cache so that neither side pays for the first read. Only
  // GetText's children have run so far: their peak memory is ours alone.
  Time(files, target, [](const std::string& f, const std::string& t) { return GetText(f.c_str(), t.c_str()); });
  rusage usage{};
  getrusage(RUSAGE_CHILDREN, &usage);
  const long child_peak_kb = usage.ru_maxrss;

  std::vector<double> ours, theirs, ours_cpu, theirs_cpu;
  size_t our_failures = 0, their_failures = 0;
  for (int r = 0; r < rounds; ++r) {
    // Alternate the order so that neither side always runs second.
    auto run_ours = [&] {
      const Round x =
          Time(files, target, [](const std::string& f, const std::string& t) { return GetText(f.c_str(), t.c_str()); });
      ours.push_back(x.seconds);
      ours_cpu.push_back(x.cpu_seconds);
      our_failures = x.failures;
    };
    auto run_theirs = [&] {
      const Round x = Time(files, target, RunPdftotext);
      theirs.push_back(x.seconds);
      theirs_cpu.push_back(x.cpu_seconds);
      their_failures = x.failures;
    };
    if (r % 2 == 0) {
      run_ours();
      run_theirs();
    } else {
      run_theirs();
      run_ours();
    }
  }
  std::filesystem::remove_all(temp);

  const double mb = static_cast<double>(bytes) / (1024.0 * 1024.0);
  const double a = Median(ours), b = Median(theirs);
  std::printf("files: %zu, %.1f MB, %d rounds (median)\n", files.size(), mb, rounds);
  const double ac = Median(ours_cpu), bc = Median(theirs_cpu);
  std::printf("GetText:   %7.3f s  %7.1f files/s  %6.2f MB/s  cpu %7.3f s  failures %zu\n", a, files.size() / a, mb / a,
              ac, our_failures);
  std::printf("pdftotext: %7.3f s  %7.1f files/s  %6.2f MB/s  cpu %7.3f s  failures %zu\n", b, files.size() / b, mb / b,
              bc, their_failures);
  std::printf("cpu ratio GetText / pdftotext: %.3f\n", ac / bc);
  std::printf("wall ratio GetText / pdftotext: %.3f (rounds:", a / b);
  for (size_t r = 0; r < ours.size(); ++r) std::printf(" %.3f", ours[r] / theirs[r]);
  std::printf(")\npeak memory of a converting child: %.1f MB\n", child_peak_kb / 1024.0);
  return 0;
}
