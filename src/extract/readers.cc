#include "extract/readers.h"

#include <cerrno>
#include <string_view>
#include <utility>

#include "base/document_words.h"
#include "extract/plain_text.h"
#include "extract/tokenizer.h"
#include "platform/cp1251.h"
#include "platform/errors.h"
#include "platform/paths.h"
#include "platform/strings.h"
#include "platform/text_file.h"
#include "wpdf/wpdf.h"

namespace veskara {
namespace {

// Streams the prepared lines of a text file: trimmed, at least two bytes
// long, upper-cased. A read error ends the file quietly, keeping the lines
// already handed out: one bad file must not end the scan. `transcode` turns
// UTF-8 lines into Windows-1251 first (document pages; the PDF converter
// already writes Windows-1251). False when the file could not be opened.
// *failure gets the message of an open or read error.
template <typename OnLine>
bool ForEachPreparedLine(Env& env, const std::string& path, bool transcode, std::string* failure, OnLine&& on_line) {
  std::unique_ptr<ReadableFile> file;
  try {
    file = env.OpenForReading(path);
  } catch (const IoError& e) {
    *failure = e.what();
    return false;
  }
  try {
    LineReader reader(std::move(file));
    std::string transcoded;
    std::string upper;
    std::string_view raw;
    while (reader.ReadLine(&raw)) {
      std::string_view line = transcode ? DocumentLineTo1251(raw, transcoded) : raw;
      line = Trim(line);
      if (line.size() < 2) continue;
      upper.assign(line);
      UpperCase1251InPlace(upper);
      on_line(std::string_view(upper));
    }
    reader.Close();
  } catch (const IoError& e) {
    // Failed while being read: the words so far stay.
    *failure = e.what();
  }
  return true;
}

// The most text a conversion gives (libwpdf's output limit).
constexpr unsigned long long kMostConvertedText = 256ULL << 20;

std::string UpperAscii(std::string_view text) {
  std::string upper(text);
  for (char& c : upper) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return upper;
}

// A reader never throws for a file it cannot handle; false when `path`
// could not be removed.
bool RemoveQuietly(Env& env, const std::string& path) {
  try {
    env.Remove(path);
    return true;
  } catch (const IoError&) {
    return false;
  }
}

// The kind the converter program is asked for: the document's own, or for
// a compressed page or text, its inflated bytes.
std::string_view ConverterKind(DocumentKind kind, Compression compression) {
  if (compression != Compression::kNone && (kind == DocumentKind::kPage || kind == DocumentKind::kText)) return "raw";
  return KindName(kind);
}

std::string_view CompressionName(Compression compression) {
  switch (compression) {
    case Compression::kGzip:
      return "gzip";
    case Compression::kBzip2:
      return "bzip2";
    case Compression::kXz:
      return "xz";
    case Compression::kNone:
      break;
  }
  return "";
}

// "a DOCX document", "an EPUB e-book", ...
std::string KindLabel(DocumentKind kind) {
  switch (kind) {
    case DocumentKind::kPdf:
      return "a PDF document";
    case DocumentKind::kEpub:
      return "an EPUB e-book";
    case DocumentKind::kOdt:
    case DocumentKind::kOds:
    case DocumentKind::kOdp:
      return "an " + UpperAscii(KindName(kind)) + " document";
    default:
      return "a " + UpperAscii(KindName(kind)) + " document";
  }
}

}  // namespace

std::string PdfFailureReason(int code) {
  switch (code) {
    case kWpdfCannotOpen:
      return "the document could not be opened";
    case kWpdfNotPdf:
      return "not a PDF document, or damaged beyond repair";
    case kWpdfLocked:
      return "encrypted with a password";
    case kWpdfNoPageRead:
      return "none of its pages could be read";
    default:
      return "the conversion failed (the document crashed the engine or exceeded its time or memory)";
  }
}

std::string NotAFileReason(PathKind kind) {
  switch (kind) {
    case PathKind::kMissing:
      return IoErrorMessage(ENOENT);
    case PathKind::kOther:
      return "not a regular file (a FIFO, socket or device)";
    default:
      return "";
  }
}

std::string ConversionFailureReason(int code, DocumentKind kind, Compression compression) {
  if (kind == DocumentKind::kPdf && compression == Compression::kNone) return PdfFailureReason(code);
  std::string label;
  if (compression != Compression::kNone) label = std::string(CompressionName(compression)) + "-compressed ";
  label += KindLabel(kind);
  const bool raw = kind == DocumentKind::kPage || kind == DocumentKind::kText;
  switch (code) {
    case kWpdfCannotOpen:
      return "the document could not be opened";
    case kWpdfNotPdf:
      return raw ? "its compressed data is damaged" : "not " + label + ", or damaged beyond repair";
    case kWpdfLocked:
      return "encrypted with a password";
    case kWpdfTooLarge:
      return std::string(raw || kind == DocumentKind::kPdf ? "it" : "a part of it") +
             " inflates past 256 MB or to more than 1000 times its compressed size";
    case kWpdfTooDeep:
      return "its XML nests deeper than the converter follows";
    default:
      return "the conversion failed (the document crashed the converter or exceeded its time or memory)";
  }
}

std::string ReadDocumentAs(DocumentKind kind, Compression compression, const std::string& path, DocumentWords& words,
                           Env& env, const PdfConversion& conversion) {
  if (compression == Compression::kNone) {
    switch (kind) {
      case DocumentKind::kPage:
        return THTMLFile(path, words, env).UnreadReason();
      case DocumentKind::kPdf:
        return TPDFFile(path, words, env, conversion).UnreadReason();
      case DocumentKind::kText:
        return TTextFile(path, words, env).UnreadReason();
      default:
        break;
    }
  }
  return TConvertedFile(path, kind, compression, words, env, conversion).UnreadReason();
}

int ConvertDocumentText(DocumentKind kind, Compression compression, const std::string& path, const std::string& target,
                        const PdfConversion& conversion, int flags, Env& env) {
  WpdfOptions options{};
  options.memory_limit = conversion.memory_limit;
  options.cancel_fd = conversion.cancel_fd;
  options.flags = flags;
  const bool plain_pdf = kind == DocumentKind::kPdf && compression == Compression::kNone;
  const int code = plain_pdf
                       ? GetTextWith(path.c_str(), target.c_str(), &options)
                       : GetDocumentTextWith(std::string(ConverterKind(kind, compression)).c_str(),
                                             static_cast<int>(compression), path.c_str(), target.c_str(), &options);
  if (code == kWpdfCannotWrite || code == kWpdfNoResources || code == kWpdfNoEngine) {
    // Every other document would fail the same way: this is the scan's
    // failure, not the document's.
    const int error = options.error_number != 0 ? options.error_number : EIO;
    const std::string where = conversion.folder.empty() ? env.CurrentDirectory() : conversion.folder;
    if (code == kWpdfNoEngine) {
      throw IoError(error, plain_pdf ? "The PDF engine could not be loaded; no PDF document can be read"
                                     : "The converter program could not be started; no such document can be read");
    }
    throw IoError(error, std::string(plain_pdf ? "PDF documents" : "Documents") + " cannot be converted in " + where +
                             ": " + IoErrorMessage(error));
  }
  return code;
}

TBasicFile::TBasicFile(std::string file_name, DocumentWords& words, Env& env)
    : FileName(std::move(file_name)), words_(words), env_(env) {}

THTMLFile::THTMLFile(std::string file_name, DocumentWords& words, Env& env)
    : TBasicFile(std::move(file_name), words, env) {
  ReadText();
}

void THTMLFile::ReadText() {
  // Only a regular file is opened: a FIFO would block the scan, a device
  // could react to being opened.
  if (const PathKind kind = env_.Stat(FileName).kind; kind != PathKind::kFile) {
    unread_reason_ = NotAFileReason(kind);
    return;
  }
  InTag = false;
  ForEachPreparedLine(env_, FileName, /*transcode=*/true, &unread_reason_,
                      [this](std::string_view line) { ParseLine(line); });
}

// The pending segment is always one run of bytes outside tags (it starts
// after a ">" that closed a tag, or at the start of the line, and a "<" ends
// its growth), so segments are views into the line, tokenized as soon as
// they are cut: the same words in the same order as collecting them first.
void THTMLFile::ParseLine(std::string_view line) {
  const char* p = line.data();
  const char* const end = p + line.size();
  const char* pending = p;      // start of the pending segment
  const char* pending_end = p;  // one past its last byte
  bool flushed = false;
  for (; p < end; ++p) {
    const char c = *p;
    if (c == '<') InTag = true;
    if (!InTag) {
      // Bytes outside a tag are contiguous up to the next "<"; restart the
      // run when the previous one was flushed or never began.
      if (pending == pending_end) pending = p;
      pending_end = p + 1;
      flushed = false;
    } else if (c == '>') {
      InTag = false;
      if (pending != pending_end) {
        TokenizeSegment(std::string_view(pending, static_cast<size_t>(pending_end - pending)), words_);
        pending = pending_end;
        flushed = true;
      }
    }
  }
  if (!flushed) TokenizeSegment(std::string_view(pending, static_cast<size_t>(pending_end - pending)), words_);
}

TPDFFile::TPDFFile(std::string file_name, DocumentWords& words, Env& env, const PdfConversion& conversion)
    : TConvertedFile(std::move(file_name), DocumentKind::kPdf, Compression::kNone, words, env, conversion) {}

TTextFile::TTextFile(std::string file_name, DocumentWords& words, Env& env)
    : TBasicFile(std::move(file_name), words, env) {
  ReadText();
}

void TTextFile::ReadText() {
  if (const PathKind kind = env_.Stat(FileName).kind; kind != PathKind::kFile) {
    unread_reason_ = NotAFileReason(kind);
    return;
  }
  std::unique_ptr<PlainTextLines> lines;
  try {
    lines = std::make_unique<PlainTextLines>(env_, FileName);
    if (lines->binary()) return;  // not text: nothing to read, nothing wrong
    std::string transcoded;
    std::string upper;
    std::string_view raw;
    while (lines->ReadLine(&raw)) {
      std::string_view line = Trim(TextLineTo1251(raw, lines->encoding(), transcoded));
      if (line.size() < 2) continue;
      upper.assign(line);
      UpperCase1251InPlace(upper);
      TokenizeSegment(upper, words_);
    }
    lines->Close();
  } catch (const IoError& e) {
    // Failed while being read: the words so far stay.
    unread_reason_ = e.what();
    return;
  }
  if (lines->cut()) unread_reason_ = "only its first " + std::to_string(kMostTextBytes >> 20) + " MB were read";
}

TConvertedFile::TConvertedFile(std::string file_name, DocumentKind kind, Compression compression, DocumentWords& words,
                               Env& env, const PdfConversion& conversion)
    : TBasicFile(std::move(file_name), words, env), kind_(kind), compression_(compression), conversion_(conversion) {
  ReadText();
}

void TConvertedFile::ReadText() {
  // The converter would block on a FIFO as any reader would.
  if (const PathKind kind = env_.Stat(FileName).kind; kind != PathKind::kFile) {
    unread_reason_ = NotAFileReason(kind);
    return;
  }
  const std::string temp = conversion_.folder.empty() ? std::string(kPdfTempFileName)
                                                      : conversion_.folder + kPathSeparator + kPdfTempFileName;
  // One fixed name serves every document: a leftover of an earlier document
  // goes first, and if it cannot, nothing is converted.
  if (FileExists(temp, env_) && !RemoveQuietly(env_, temp)) {
    unread_reason_ = "the converted text of an earlier document could not be removed";
    return;
  }
  const int code = ConvertDocumentText(kind_, compression_, FileName, temp, conversion_, 0, env_);
  if (code == kWpdfCancelled) {
    unread_reason_ = "the scan stopped before it was read";
    return;
  }
  if (code != kWpdfOk && code != kWpdfSomePagesLost && code != kWpdfTextCut) {
    unread_reason_ = ConversionFailureReason(code, kind_, compression_);
    return;
  }
  // A converted text that cannot be opened stays where it is; the next
  // document's first step removes it.
  if (env_.Stat(temp).kind != PathKind::kFile) {
    unread_reason_ = "its converted text vanished";
    return;
  }
  switch (kind_) {
    case DocumentKind::kPage:
      unread_reason_ = THTMLFile(temp, words_, env_).UnreadReason();
      break;
    case DocumentKind::kText:
      unread_reason_ = TTextFile(temp, words_, env_).UnreadReason();
      break;
    default: {
      // PDF text comes in Windows-1251, the others' in UTF-8.
      const bool opened = ForEachPreparedLine(env_, temp, /*transcode=*/kind_ != DocumentKind::kPdf, &unread_reason_,
                                              [this](std::string_view line) { TokenizeSegment(line, words_); });
      if (!opened) return;
    }
  }
  if (unread_reason_.empty() && code == kWpdfSomePagesLost) {
    unread_reason_ =
        kind_ == DocumentKind::kPdf ? "some of its pages could not be read" : "some of its parts could not be read";
  }
  if (unread_reason_.empty() && code == kWpdfTextCut) {
    unread_reason_ = "only the first " + std::to_string(kMostConvertedText >> 20) + " MB of its text were read";
  }
  if (FileExists(temp, env_)) RemoveQuietly(env_, temp);
}

}  // namespace veskara
