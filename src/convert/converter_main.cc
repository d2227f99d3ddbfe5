// veskara-convert: the converter program that libwpdf runs as a disposable
// child for every conversion, PDF documents and the other kinds alike.
//
//   veskara-convert --memory=N --output-limit=N [--mark-pages]
//                   [--compression=1|2|3] KIND PATH
//
// It writes the text to descriptor 3 and reports its kWpdf* code on
// descriptor 4 (child_process.h); it is not meant to be run by hand.
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/file_handle.h"
#include "wdoc/decompress.h"
#include "wdoc/office_text.h"
#include "wdoc/unit_text.h"
#include "wpdf/child_process.h"
#include "wpdf/convert.h"
#include "wpdf/wpdf.h"

namespace veskara::wpdf {
namespace {

struct Request {
  unsigned long long memory = 0;
  unsigned long long output_limit = 0;
  int flags = 0;
  int compression = kWpdfPlain;
  std::string kind;
  std::string path;
};

bool ParseNumber(std::string_view text, unsigned long long* value) {
  if (text.empty()) return false;
  *value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    *value = *value * 10 + static_cast<unsigned>(c - '0');
  }
  return true;
}

bool ParseRequest(int argc, char** argv, Request* request) {
  int i = 1;
  for (; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (!arg.starts_with("--")) break;
    unsigned long long value = 0;
    if (arg.starts_with("--memory=") && ParseNumber(arg.substr(9), &value)) {
      request->memory = value;
    } else if (arg.starts_with("--output-limit=") && ParseNumber(arg.substr(15), &value)) {
      request->output_limit = value;
    } else if (arg == "--mark-pages") {
      request->flags |= kWpdfMarkPages;
    } else if (arg.starts_with("--compression=") && ParseNumber(arg.substr(14), &value) && value <= kWpdfXz) {
      request->compression = static_cast<int>(value);
    } else {
      return false;
    }
  }
  if (argc - i != 2) return false;
  request->kind = argv[i];
  request->path = argv[i + 1];
  return IsConverterKind(request->kind);
}

// The PDF engine module beside this program.
void* EngineModule() {
  char self[4096];
  const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  if (n <= 0) return nullptr;
  std::string path(self, static_cast<size_t>(n));
  path = path.substr(0, path.rfind('/') + 1) + kWpdfParserModule;
  return dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
}

int ConvertPdf(const Request& request, const std::string& data, bool in_memory) {
  if (in_memory && std::string_view(data).substr(0, 1024).find("%PDF-") == std::string_view::npos) return kWpdfNotPdf;
  void* module = EngineModule();
  const auto convert =
      module != nullptr ? reinterpret_cast<WpdfConvertWithFunction>(dlsym(module, kWpdfParserEntryWith)) : nullptr;
  if (convert == nullptr) return kWpdfNoEngine;
  const auto* bytes = reinterpret_cast<const unsigned char*>(data.data());
  return convert(request.path.c_str(), in_memory ? bytes : nullptr, data.size(), kChildDataFd, request.flags,
                 request.output_limit);
}

// The decompressed bytes as they are, for a page or a text file.
int WriteRaw(const std::string& data, unsigned long long limit) {
  size_t size = data.size();
  const bool cut = limit > 0 && size > limit;
  if (cut) size = static_cast<size_t>(limit);
  size_t done = 0;
  while (done < size) {
    const ssize_t n = write(kChildDataFd, data.data() + done, size - done);
    if (n <= 0) return kWpdfCannotWrite;
    done += static_cast<size_t>(n);
  }
  return cut ? kWpdfTextCut : kWpdfOk;
}

int Convert(const Request& request) {
  std::string data;
  const bool in_memory = request.compression != kWpdfPlain;
  if (in_memory) {
    FileHandle fd(open(request.path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (fd.fd() < 0) return kWpdfCannotOpen;
    // The whole document, inflated in memory, under an entry's limits.
    switch (wdoc::Decompress(fd.fd(), request.compression, &data)) {
      case wdoc::DecompressStatus::kOk:
        break;
      case wdoc::DecompressStatus::kTooLarge:
        return kWpdfTooLarge;
      case wdoc::DecompressStatus::kCannotRead:
        return kWpdfCannotOpen;
      case wdoc::DecompressStatus::kDamaged:
        return kWpdfNotPdf;
    }
  }
  if (request.kind == "pdf") return ConvertPdf(request, data, in_memory);
  if (request.kind == "raw") return WriteRaw(data, request.output_limit);
  wdoc::DocumentSource source;
  source.path = request.path;
  if (in_memory) {
    source.data = reinterpret_cast<const unsigned char*>(data.data());
    source.size = data.size();
  }
  wdoc::UnitText out(kChildDataFd, request.output_limit);
  return wdoc::ConvertOfficeDocument(request.kind, source, out);
}

}  // namespace
}  // namespace veskara::wpdf

int main(int argc, char** argv) {
  using namespace veskara::wpdf;
  Request request;
  if (!ParseRequest(argc, argv, &request)) ReportAndExit(kWpdfBadArgument);
  CapOwnMemory(request.memory);
  int code = kWpdfConversionFailed;
  try {
    code = Convert(request);
  } catch (...) {
    // Out of memory within the cap, mostly: the document's own failure.
  }
  ReportAndExit(code);
}
