// The matching lines of one document, as `veskara-cli show` computes them:
// a markup page of 1 MB (target: under 50 ms) and a PDF document of 100
// pages against its conversion alone (target: under the conversion plus
// 50 ms). Best and median of several runs, wall clock and processor time.
//
//   show_bench [WORK_DIR]   (default /tmp/veskara-show-bench)
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "matches/document_matches.h"
#include "sample_documents.h"
#include "wpdf/wpdf.h"

namespace veskara::bench {
namespace {

using Clock = std::chrono::steady_clock;

// Of this process and its children (the PDF conversion runs in a child).
double CpuMilliseconds() {
  double total = 0;
  for (int who : {RUSAGE_SELF, RUSAGE_CHILDREN}) {
    rusage u{};
    getrusage(who, &u);
    total += (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1e3 + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e3;
  }
  return total;
}

struct Timing {
  double best = 0;
  double median = 0;
  double cpu = 0;  // best
};

Timing Time(const char* what, int reps, const std::function<void()>& body) {
  std::vector<double> times;
  double best_cpu = 1e300;
  for (int i = 0; i < reps; ++i) {
    const double cpu_start = CpuMilliseconds();
    const Clock::time_point start = Clock::now();
    body();
    times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    best_cpu = std::min(best_cpu, CpuMilliseconds() - cpu_start);
  }
  std::sort(times.begin(), times.end());
  const Timing t{times.front(), times[times.size() / 2], best_cpu};
  std::printf("%-52s best %8.2f ms  median %8.2f ms  cpu %8.2f ms  (%d runs)\n", what, t.best, t.median, t.cpu, reps);
  std::fflush(stdout);
  return t;
}

void Write(const std::string& path, const std::string& bytes) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
}

int Main(int argc, char** argv) {
  const std::string work = argc > 1 ? argv[1] : "/tmp/veskara-show-bench";
  std::filesystem::create_directories(work);
  const std::string page = work + "/garden.htm";
  const std::string pdf = work + "/garden.pdf";
  Write(page, MarkupPage(1 << 20));
  Write(pdf, PdfDocument(100));
  std::printf("page %s: %ju bytes; PDF %s: 100 pages, %ju bytes\n", page.c_str(),
              static_cast<uintmax_t>(std::filesystem::file_size(page)), pdf.c_str(),
              static_cast<uintmax_t>(std::filesystem::file_size(pdf)));

  int failures = 0;
  struct Query {
    const char* label;
    const char* text;  // Windows-1251
  } queries[] = {
      {"show of the 1 MB page, \"garden\" (every tenth line)", "garden"},
      {"show of the 1 MB page, \"s\" (most lines)", "s"},
      {"show of the 1 MB page, \"zephyr\" (no line)", "zephyr"},
  };
  for (const Query& q : queries) {
    DocumentMatches matches;
    const Timing t = Time(q.label, 20, [&] { matches = FindDocumentMatches(page, q.text, {}, work, Env::Default()); });
    std::printf("  %zu matching lines: %s (target 50 ms)\n", matches.lines.size(), t.best < 50 ? "met" : "MISSED");
    failures += matches.status != DocumentMatches::Status::kRead || t.best >= 50;
  }

  // The conversion alone, as the reader runs it, into a folder of its own.
  const std::string folder = work + "/conversion";
  std::filesystem::create_directories(folder);
  const Timing convert = Time("conversion of the 100-page PDF alone", 5, [&] {
    WpdfOptions options{};
    options.flags = kWpdfMarkPages;
    if (GetTextWith(pdf.c_str(), (folder + "/temp___").c_str(), &options) != kWpdfOk) ++failures;
    std::filesystem::remove(folder + "/temp___");
  });
  DocumentMatches matches;
  const Timing show = Time("show of the 100-page PDF, \"garden\"", 5,
                           [&] { matches = FindDocumentMatches(pdf, "garden", {}, work, Env::Default()); });
  std::printf("  %zu matching lines; beyond the conversion: %.2f ms best, %.2f ms median: %s (target 50 ms)\n",
              matches.lines.size(), show.best - convert.best, show.median - convert.median,
              show.best - convert.best < 50 ? "met" : "MISSED");
  failures += matches.lines.empty() || show.best - convert.best >= 50;
  std::filesystem::remove_all(work);
  return failures > 0 ? 1 : 0;
}

}  // namespace
}  // namespace veskara::bench

int main(int argc, char** argv) { return veskara::bench::Main(argc, argv); }
