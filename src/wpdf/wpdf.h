// wpdf: converts a PDF document into a Windows-1251 text file.
//
// The one exported function is GetText. It writes the document's text to
// `targetPath` as a closed text file: one line per line of text, each ended
// by CR LF, in Windows-1251; a character without a Windows-1251 form, and a
// control character, becomes a blank; Latin ligatures (U+FB00 to U+FB06)
// are spelled out in their letters. It returns 0 when the whole text has
// been written and a non-zero value (one of the kWpdf* codes) otherwise.
//
// The document is parsed in a child process, so a damaged or hostile file
// can neither crash nor hang the caller: a child that dies or runs past its
// time limit is killed and the call fails. On failure the target is left as
// it was (an earlier file of that name is neither replaced nor removed); on
// success it is replaced whole, never written in place.
//
// Safe to call from several threads at once. The caller's stderr stays
// quiet: the parser's diagnostics are discarded.
//
// GetTextWith does the same with the child's limits set by the caller, and
// tells the operating system's error behind a failure of the machine
// (kWpdfCannotWrite, kWpdfNoResources, kWpdfNoEngine), so that the caller
// can tell "this document cannot be read" from "nothing can be converted
// here".
//
// GetDocumentTextWith converts the other kinds of documents the same way,
// in the same child, and reads compressed ones through their decompressor
// (see below).
//
// The child is the converter program, veskara-convert, in the folder that
// holds this library (with the PDF engine module it loads).
#pragma once

#ifdef __cplusplus
extern "C" {
#endif

enum {
  kWpdfOk = 0,
  kWpdfBadArgument = 1,       // a null or empty path
  kWpdfCannotOpen = 2,        // missing, unreadable, or not a regular file
  kWpdfNotPdf = 3,            // no PDF header, or a document that cannot be parsed
  kWpdfLocked = 4,            // encrypted, and the empty password does not open it
  kWpdfCannotWrite = 5,       // the target cannot be created, written or replaced
  kWpdfConversionFailed = 6,  // the parser crashed, ran out of time or memory
  kWpdfNoResources = 7,       // no descriptor, memory or process left to start the conversion
  kWpdfNoEngine = 8,          // the parser module beside the library cannot be loaded
  // GetTextWith only: the text is written, but some pages could not be read
  // (GetText reports it as kWpdfOk).
  kWpdfSomePagesLost = 9,
  // GetTextWith only: cancel_fd became readable; the child was killed and
  // nothing was written.
  kWpdfCancelled = 10,
  // A part of the document (or the whole, decompressed) inflates past its
  // limit: 256 MB, or more than 1000 times its compressed size.
  kWpdfTooLarge = 11,
  // The document's XML nests deeper than the converter follows.
  kWpdfTooDeep = 12,
  // GetTextWith only: the text is written up to the output limit (256 MB)
  // and the rest dropped (GetText reports it as kWpdfOk).
  kWpdfTextCut = 13,
  // The document opened, but none of its pages could be read; nothing was
  // written.
  kWpdfNoPageRead = 14

};

// Options of GetTextWith.
enum {
  // Before the text of each page, a line holding a form feed (0x0C) alone,
  // which no text line can be: the reader can number the pages.
  kWpdfMarkPages = 1
};

typedef struct WpdfOptions {
  // What the child may map beyond the address space it inherits; 0: a
  // quarter of the machine's memory, at least 512 MiB.
  unsigned long long memory_limit;
  // How long the child may run; 0: two minutes plus a second per megabyte
  // of document.
  long long time_limit_ms;
  // kWpdfMarkPages or 0.
  int flags;
  // Out: the errno behind kWpdfCannotWrite, kWpdfNoResources or
  // kWpdfNoEngine (0 when unknown), else 0.
  int error_number;
  // A descriptor that becomes readable when the caller no longer wants the
  // text (a scan that stops): the child is then killed at once. 0 (as in a
  // zeroed struct) or negative: none; the standard three are never taken.
  int cancel_fd;
} WpdfOptions;

// How GetDocumentTextWith reads a compressed document: as gzip, bzip2 or
// xz data of a document of the kind named.
enum { kWpdfPlain = 0, kWpdfGzip = 1, kWpdfBzip2 = 2, kWpdfXz = 3 };

__attribute__((visibility("default"))) int GetText(const char* pdfPath, const char* targetPath);
__attribute__((visibility("default"))) int GetTextWith(const char* pdfPath, const char* targetPath,
                                                       WpdfOptions* options);
// Writes the text of the document at `path`, of the kind `kind`, to
// `targetPath` as GetTextWith does, in UTF-8: "pdf" (in Windows-1251, as
// GetTextWith), "docx", "xlsx", "pptx", "odt", "ods", "odp", "epub"; or
// "raw", the decompressed bytes themselves (with a `compression` only).
// Each paragraph (docx, odt, epub), slide (pptx, odp) or sheet (xlsx, ods)
// is preceded by a line holding a form feed alone. kWpdfNotPdf here says
// that the document is not of its kind, or damaged beyond repair;
// kWpdfLocked, that it is encrypted.
__attribute__((visibility("default"))) int GetDocumentTextWith(const char* kind, int compression, const char* path,
                                                               const char* targetPath, WpdfOptions* options);

#ifdef __cplusplus
}
#endif
