// The per-file readers: each is created for one file, reads it completely
// during creation, appends its words, in text order, to the document's
// words, and is destroyed at once. The scan puts those in its table.
//
// A reader never throws for a file it cannot open or read: such a file just
// contributes fewer words (or none), and UnreadReason() says why. FIFOs,
// sockets, devices and directories are never opened. The PDF reader throws
// IoError only for a failure of the machine (no room, no descriptors, no
// engine), which would fail every document alike.
#pragma once

#include <string>
#include <vector>

#include "extract/document_kind.h"
#include "platform/env.h"

namespace veskara {

struct DocumentWords;

// Where and how a reader converts its document (a PDF document, an office
// document, an e-book, a compressed file).
struct PdfConversion {
  // The folder of "temp___": one private to the scan; "" is the current
  // folder. One conversion at a time per folder.
  std::string folder;
  // The conversion child's memory beyond what it inherits; 0: the library's
  // default.
  unsigned long long memory_limit = 0;
  // A descriptor that becomes readable when the scan stops: the running
  // conversion is then killed (WpdfOptions::cancel_fd). -1: none.
  int cancel_fd = -1;
};

class TBasicFile {
 public:
  virtual ~TBasicFile() = default;
  TBasicFile(const TBasicFile&) = delete;
  TBasicFile& operator=(const TBasicFile&) = delete;

  // Why the document could not be read, or "" when it was (a folder, which
  // holds no text, counts as read).
  const std::string& UnreadReason() const { return unread_reason_; }

 protected:
  TBasicFile(std::string file_name, DocumentWords& words, Env& env);
  // Reads the whole file and appends its words.
  virtual void ReadText() = 0;

  std::string FileName;
  // Unused by the readers here: the markup reader tokenizes each segment as
  // views into the line the moment it is cut (same words, same order), so
  // no line costs an allocation per segment.
  std::vector<std::string> Segments;
  DocumentWords& words_;
  Env& env_;
  std::string unread_reason_;
};

// A markup page: tags are cut out, the text between them tokenized.
class THTMLFile : public TBasicFile {
 public:
  THTMLFile(std::string file_name, DocumentWords& words, Env& env);

 protected:
  void ReadText() override;
  // Strips the tags of one prepared (trimmed, upper-cased) line into
  // Segments and tokenizes each segment.
  void ParseLine(std::string_view line);

 private:
  bool InTag = false;  // inside a tag; carries over from line to line
};

inline constexpr const char* kPdfTempFileName = "temp___";

// A text file: its encoding decided from its start (extract/plain_text.h),
// its lines read as a page's, without tags. A file that is not text (a NUL
// byte in its first 8 KB) gives no words and counts as read; one longer
// than kMostTextBytes gives the words of its start.
class TTextFile : public TBasicFile {
 public:
  TTextFile(std::string file_name, DocumentWords& words, Env& env);

 protected:
  void ReadText() override;
};

// A document of another kind read through the converter program into
// "temp___", as a PDF document is: an office document or an e-book (its
// text by units), or a compressed document of any kind (inflated by the
// converter and read by its kind's reader).
class TConvertedFile : public TBasicFile {
 public:
  TConvertedFile(std::string file_name, DocumentKind kind, Compression compression, DocumentWords& words, Env& env,
                 const PdfConversion& conversion);

 protected:
  void ReadText() override;

 private:
  DocumentKind kind_;
  Compression compression_;
  PdfConversion conversion_;
};

// A PDF document: converted by the wpdf library into the text file
// "temp___" in the conversion's folder, which is read and then deleted.
// Because that name is fixed, only one converted document may be read at a
// time per folder; markup readers on different threads (each with its own
// words) are independent.
class TPDFFile : public TConvertedFile {
 public:
  TPDFFile(std::string file_name, DocumentWords& words, Env& env, const PdfConversion& conversion = {});
};

// Reads the document at `path` as a document of `kind` (read through
// `compression`) with that kind's reader (`conversion` says how a
// conversion runs) and returns its UnreadReason().
std::string ReadDocumentAs(DocumentKind kind, Compression compression, const std::string& path, DocumentWords& words,
                           Env& env, const PdfConversion& conversion);

// Why a conversion that failed on the document itself (a kWpdf* code other
// than a failure of the machine) did: PdfFailureReason for a PDF document,
// ConversionFailureReason for one of `kind` read through `compression`.
std::string PdfFailureReason(int code);
std::string ConversionFailureReason(int code, DocumentKind kind, Compression compression);

// Runs the conversion of the document at `path` of `kind` through
// `compression` into `target` (GetTextWith, or GetDocumentTextWith; `flags`
// as theirs) and returns the kWpdf* code. A failure of the machine (no
// room, no descriptors, no converter) is thrown as IoError, naming
// `folder`.
int ConvertDocumentText(DocumentKind kind, Compression compression, const std::string& path, const std::string& target,
                        const PdfConversion& conversion, int flags, Env& env);

// Why a document of this kind (a path that Stat found not to be a regular
// file) is not read; "" for a folder.
std::string NotAFileReason(PathKind kind);

}  // namespace veskara
