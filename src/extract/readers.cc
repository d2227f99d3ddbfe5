#include "extract/readers.h"

#include <cerrno>
#include <string_view>
#include <utility>

#include "base/document_words.h"
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

std::string ReadDocumentAs(DocumentKind kind, const std::string& path, DocumentWords& words, Env& env,
                           const PdfConversion& pdf) {
  switch (kind) {
    case DocumentKind::kPage:
      return THTMLFile(path, words, env).UnreadReason();
    case DocumentKind::kPdf:
      return TPDFFile(path, words, env, pdf).UnreadReason();
  }
  return "";
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
    : TBasicFile(std::move(file_name), words, env), conversion_(conversion) {
  ReadText();
}

void TPDFFile::ReadText() {
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
  WpdfOptions options{};
  options.memory_limit = conversion_.memory_limit;
  options.cancel_fd = conversion_.cancel_fd;
  const int code = GetTextWith(FileName.c_str(), temp.c_str(), &options);
  if (code == kWpdfCannotWrite || code == kWpdfNoResources || code == kWpdfNoEngine) {
    // Every other document would fail the same way: this is the scan's
    // failure, not the document's.
    const int error = options.error_number != 0 ? options.error_number : EIO;
    const std::string where = conversion_.folder.empty() ? env_.CurrentDirectory() : conversion_.folder;
    if (code == kWpdfNoEngine) throw IoError(error, "The PDF engine could not be loaded; no PDF document can be read");
    throw IoError(error, "PDF documents cannot be converted in " + where + ": " + IoErrorMessage(error));
  }
  if (code == kWpdfCancelled) {
    unread_reason_ = "the scan stopped before it was read";
    return;
  }
  if (code != kWpdfOk && code != kWpdfSomePagesLost) {
    unread_reason_ = PdfFailureReason(code);
    return;
  }
  // A converted text that cannot be opened stays where it is; the next
  // document's first step removes it.
  if (env_.Stat(temp).kind != PathKind::kFile) {
    unread_reason_ = "its converted text vanished";
    return;
  }
  const bool opened = ForEachPreparedLine(env_, temp, /*transcode=*/false, &unread_reason_,
                                          [this](std::string_view line) { TokenizeSegment(line, words_); });
  if (!opened) return;
  if (code == kWpdfSomePagesLost && unread_reason_.empty()) unread_reason_ = "some of its pages could not be read";
  if (FileExists(temp, env_)) RemoveQuietly(env_, temp);
}

}  // namespace veskara
