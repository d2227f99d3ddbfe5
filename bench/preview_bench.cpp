// The preview window over a 100-page PDF document and a 1 MB page: from
// "Show matches" to the lines on the screen, against the conversion alone
// (target: under the conversion plus 50 ms). Runs offscreen.
//
//   QT_QPA_PLATFORM=offscreen preview_bench [WORK_DIR]
#include <QApplication>
#include <QSignalSpy>
#include <QWidget>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "app/desktop.h"
#include "app/form_context.h"
#include "app/preview_window.h"
#include "sample_documents.h"
#include "wpdf/wpdf.h"

namespace {

using Clock = std::chrono::steady_clock;

class SilentDesktop : public veskara::Desktop {
 public:
  void ShowMessage(QWidget*, veskara::MessageKind, const QString&, const QString&) override {}
  bool Confirm(QWidget*, const QString&, const QString&) override { return false; }
  bool OpenUrl(const QUrl&) override { return false; }
  QString PickFolder(QWidget*, const QString&) override { return {}; }
};

double Milliseconds(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

void Write(const std::string& path, const std::string& bytes) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
}

// Best and median of `reps` runs.
std::pair<double, double> BestAndMedian(std::vector<double> times) {
  std::sort(times.begin(), times.end());
  return {times.front(), times[times.size() / 2]};
}

// From the window's creation until its lines are painted.
double PreviewOnce(veskara::FormContext& context, const std::string& path, QWidget& window, bool* ok) {
  const Clock::time_point start = Clock::now();
  auto* preview = new veskara::PreviewWindow(
      context, QByteArray::fromStdString(path), "GARDEN", {}, [] {}, &window);
  preview->show();
  QSignalSpy loaded(preview, &veskara::PreviewWindow::loaded);
  if (!preview->Loaded() && !loaded.wait(120000)) *ok = false;
  preview->grab();  // the lines as the screen would get them
  const double ms = Milliseconds(Clock::now() - start);
  delete preview;
  return ms;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const std::string work = argc > 1 ? argv[1] : "/tmp/veskara-preview-bench";
  std::filesystem::create_directories(work + "/conversion");
  const std::string pdf = work + "/garden.pdf";
  const std::string page = work + "/garden.htm";
  Write(pdf, veskara::bench::PdfDocument(100));
  Write(page, veskara::bench::MarkupPage(1 << 20));

  SilentDesktop desktop;
  QWidget window;
  veskara::FormContext context(desktop, window, veskara::Env::Default());
  context.SetBaseDirectory(work);
  bool ok = true;
  constexpr int kRuns = 5;

  std::vector<double> conversion;
  for (int i = 0; i < kRuns; ++i) {
    const Clock::time_point start = Clock::now();
    WpdfOptions options{};
    options.flags = kWpdfMarkPages;
    ok = ok && GetTextWith(pdf.c_str(), (work + "/conversion/temp___").c_str(), &options) == kWpdfOk;
    conversion.push_back(Milliseconds(Clock::now() - start));
    std::filesystem::remove(work + "/conversion/temp___");
  }
  std::vector<double> pdf_preview;
  std::vector<double> page_preview;
  for (int i = 0; i < kRuns; ++i) {
    pdf_preview.push_back(PreviewOnce(context, pdf, window, &ok));
    page_preview.push_back(PreviewOnce(context, page, window, &ok));
  }
  const auto [convert_best, convert_median] = BestAndMedian(conversion);
  const auto [pdf_best, pdf_median] = BestAndMedian(pdf_preview);
  const auto [page_best, page_median] = BestAndMedian(page_preview);
  std::printf("conversion of the 100-page PDF alone      best %8.2f ms  median %8.2f ms\n", convert_best,
              convert_median);
  std::printf("preview of the 100-page PDF, painted      best %8.2f ms  median %8.2f ms\n", pdf_best, pdf_median);
  std::printf("  beyond the conversion: %.2f ms best, %.2f ms median: %s (target 50 ms)\n", pdf_best - convert_best,
              pdf_median - convert_median, pdf_best - convert_best < 50 ? "met" : "MISSED");
  std::printf("preview of the 1 MB page, painted         best %8.2f ms  median %8.2f ms\n", page_best, page_median);
  std::filesystem::remove_all(work);
  return ok && pdf_best - convert_best < 50 ? 0 : 1;
}
