// Compares PDF converters on the same documents: the engine module of wpdf
// (its parser half) and the command-line converters pdftotext (poppler) and
// mutool (MuPDF). Each document is converted in a process of its own, one
// after another, timed; then the words each converter found are counted as
// a scan would index them (trimmed, upper-cased lines, runs of word
// characters), and compared with those of the first converter.
//
//   engine_bench DIR CONVERTER...
//
// CONVERTER: a module's path (build/src/wpdf/libwpdf_mupdf.so), "pdftotext"
// or "mutool". The commands write UTF-8, which is turned into Windows-1251
// as the markup reader does.
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <unordered_set>
#include <vector>

#include "extract/tokenizer.h"
#include "platform/cp1251.h"
#include "platform/strings.h"
#include "platform/text_file.h"
#include "wpdf/convert.h"
#include "wpdf/wpdf.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Outcome {
  double seconds = 0;
  size_t failures = 0;
  uintmax_t text_bytes = 0;
  std::unordered_set<std::string> words;
};

// Converts with the module's entry, or with the command when there is none.
int ConvertInChild(WpdfConvertFunction convert, const std::string& command, const std::string& pdf,
                   const std::string& target) {
  const pid_t pid = fork();
  if (pid == 0) {
    const int null_fd = open("/dev/null", O_WRONLY);
    dup2(null_fd, STDERR_FILENO);
    dup2(null_fd, STDOUT_FILENO);
    if (command == "pdftotext") execlp("pdftotext", "pdftotext", "-enc", "UTF-8", pdf.c_str(), target.c_str(), nullptr);
    if (command == "mutool")
      execlp("mutool", "mutool", "draw", "-q", "-F", "txt", "-o", target.c_str(), pdf.c_str(), nullptr);
    if (convert == nullptr) _exit(97);
    const int fd = open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    _exit(fd < 0 ? 99 : convert(pdf.c_str(), fd, 0));
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 98;
}

void CollectWords(const std::string& path, bool utf8, std::unordered_set<std::string>& words) {
  veskara::LineReader reader(path, veskara::Env::Default());
  std::string_view raw;
  std::string upper, transcoded;
  while (reader.ReadLine(&raw)) {
    const std::string_view line = veskara::Trim(utf8 ? veskara::DocumentLineTo1251(raw, transcoded) : raw);
    if (line.size() < 2) continue;
    upper.assign(line);
    veskara::UpperCase1251InPlace(upper);
    veskara::ForEachWord(upper, [&](std::string_view w) { words.emplace(w); });
  }
}

bool Cyrillic(const std::string& word) {
  return std::any_of(word.begin(), word.end(), [](char c) { return static_cast<unsigned char>(c) >= 0xA8; });
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: engine_bench DIR MODULE...\n");
    return 2;
  }
  std::vector<std::string> files;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(argv[1])) {
    if (entry.is_regular_file() && entry.path().extension() == ".pdf") files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  char temp[] = "/tmp/engine_bench-XXXXXX";
  if (mkdtemp(temp) == nullptr) return 1;
  const std::string target = std::string(temp) + "/out.txt";

  std::vector<Outcome> outcomes;
  for (int m = 2; m < argc; ++m) {
    const std::string command = argv[m];
    const bool is_command = command == "pdftotext" || command == "mutool";
    WpdfConvertFunction convert = nullptr;
    if (!is_command) {
      void* module = dlopen(argv[m], RTLD_NOW | RTLD_LOCAL);
      convert = module ? reinterpret_cast<WpdfConvertFunction>(dlsym(module, kWpdfParserEntry)) : nullptr;
      if (convert == nullptr) {
        std::fprintf(stderr, "cannot load %s: %s\n", argv[m], dlerror());
        return 1;
      }
    }
    Outcome out;
    for (const std::string& file : files) {
      const Clock::time_point start = Clock::now();
      const int code = ConvertInChild(convert, command, file, target);
      out.seconds += std::chrono::duration<double>(Clock::now() - start).count();
      if (code != kWpdfOk && code != kWpdfSomePagesLost) {
        ++out.failures;
        std::printf("  %s: code %d on %s\n", argv[m], code, file.c_str());
        continue;
      }
      out.text_bytes += std::filesystem::file_size(target);
      CollectWords(target, is_command, out.words);
    }
    outcomes.push_back(std::move(out));
  }
  std::filesystem::remove_all(temp);

  const Outcome& first = outcomes[0];
  std::printf("%zu documents\n", files.size());
  for (size_t m = 0; m < outcomes.size(); ++m) {
    const Outcome& o = outcomes[m];
    size_t common = 0, cyrillic = 0;
    for (const std::string& w : o.words) {
      common += first.words.count(w);
      cyrillic += Cyrillic(w);
    }
    std::printf(
        "%-40s %8.2f s  failures %zu  text %.1f MB  distinct words %zu (Cyrillic %zu), finds %.1f%% of the "
        "first one's\n",
        argv[m + 2], o.seconds, o.failures, o.text_bytes / 1e6, o.words.size(), cyrillic,
        100.0 * common / std::max<size_t>(1, first.words.size()));
  }
  return 0;
}
