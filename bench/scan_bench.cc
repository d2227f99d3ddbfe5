// One scan of a tree into a base, timed step by step.
//
//   scan_bench BASE_DIRECTORY TREE
//
// Prints the time of each step, the commit, files and bytes per second over
// the files read, and the peak resident memory of the process.
#include <sys/resource.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>

#include "base/base.h"
#include "extract/document_kind.h"
#include "indexer/discovery.h"
#include "indexer/scan.h"

namespace {

using Clock = std::chrono::steady_clock;

class TimingObserver : public veskara::ScanObserver {
 public:
  // Wall time, and the processor time of all threads (the machine may be
  // shared: the second figure is what the step itself cost).
  void SetStep(const std::string& text) override {
    const Clock::time_point now = Clock::now();
    const double cpu = CpuSeconds();
    if (!step_.empty()) {
      std::printf("  %-12s %8.3f s  (cpu %.3f s)\n", step_.c_str(), Seconds(now - started_), cpu - cpu_started_);
    }
    step_ = text;
    started_ = now;
    cpu_started_ = cpu;
  }
  void SetStatus(const std::string&) override {}
  void SetProgress(size_t, size_t total) override { candidates = total; }

  size_t candidates = 0;

 private:
  static double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }
  static double CpuSeconds() {
    struct rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  }
  double cpu_started_ = 0;
  std::string step_;
  Clock::time_point started_;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s BASE_DIRECTORY TREE\n", argv[0]);
    return 2;
  }
  const std::string base = argv[1];
  mkdir(base.c_str(), 0755);
  // The bytes of the supported files of the tree, to give a rate (not timed).
  uintmax_t tree_bytes = 0;
  std::error_code ec;
  for (auto it = std::filesystem::recursive_directory_iterator(argv[2], ec);
       !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
    if (it->is_regular_file(ec) && veskara::IsSupportedFile(it->path().filename().native())) {
      tree_bytes += it->file_size(ec);
    }
  }
  try {
    const Clock::time_point start = Clock::now();
    veskara::RecoverBase(base, veskara::Env::Default());
    veskara::BaseState state;
    std::unique_ptr<veskara::Scan> scan = veskara::Scan::Prepare(
        base, *veskara::FolderToScan(argv[2], veskara::Env::Default()), state, veskara::Env::Default());
    const double load = std::chrono::duration<double>(Clock::now() - start).count();
    const size_t indexed_before = state.IndexedPaths.size();
    std::printf("  %-12s %8.3f s (%zu files in the base)\n", "load", load, indexed_before);
    TimingObserver observer;
    scan->Run(observer);
    const double total = std::chrono::duration<double>(Clock::now() - start).count();
    struct rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    std::printf("  total        %8.3f s, %zu candidates (%.1f MB), %.0f files/s, %.1f MB/s, peak RSS %.0f MB\n", total,
                observer.candidates, tree_bytes / 1e6, observer.candidates / total, tree_bytes / 1e6 / total,
                usage.ru_maxrss / 1024.0);
    // The conversion children run beside the scan, up to one per job.
    struct rusage children;
    getrusage(RUSAGE_CHILDREN, &children);
    if (children.ru_maxrss > 0) {
      std::printf("  largest conversion child: peak RSS %.0f MB, children's cpu %.3f s\n", children.ru_maxrss / 1024.0,
                  children.ru_utime.tv_sec + children.ru_stime.tv_sec +
                      (children.ru_utime.tv_usec + children.ru_stime.tv_usec) / 1e6);
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "scan failed: %s\n", e.what());
    return 1;
  }
  return 0;
}
