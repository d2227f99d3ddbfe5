// Where the words of a query are in one document: the lines of its text that
// hold a word beginning with a query word, with those words marked. Both
// front ends show these lines as they are. Nothing here writes to the base.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "extract/document_kind.h"
#include "platform/env.h"
#include "search/search.h"

namespace veskara {

// A matched word: bytes [begin, end) of its line's text.
struct MatchSpan {
  uint32_t begin = 0;
  uint32_t end = 0;
  bool operator==(const MatchSpan&) const = default;
};

struct MatchingLine {
  DocumentKind kind = DocumentKind::kPage;  // the reading that gave the line
  uint32_t number = 0;                      // its line, page, paragraph, slide or sheet (UnitOf(kind)), from 1
  std::string text;                         // UTF-8, as ShownLine gives it (no control characters)
  std::vector<MatchSpan> spans;             // every matched word, in order; never empty, never overlapping
  // A line longer than kLongestShownLine characters is cut to that many
  // around its first matched word: characters were left out before `text`,
  // after it.
  bool cut_before = false;
  bool cut_after = false;
};

struct DocumentMatches {
  enum class Status {
    kNoQueryWord,  // the query holds no word: nothing was read
    kRead,         // `lines` holds every matching line, in order (perhaps none)
    kUnreadable,   // `unread_reason` says why
  };
  Status status = Status::kNoQueryWord;
  // What every number counts, as a column's heading: "Line", or "Page",
  // "Paragraph", "Slide" or "Sheet" for a document of one such kind.
  std::string heading = "Line";
  std::vector<MatchingLine> lines;
  std::string unread_reason;
};

// "12" for a line of a page or text, "p.3" for a page of a PDF document,
// "para.4", "slide.2" or "sheet.1" for the units of an office document or
// an e-book.
std::string LineLabel(const MatchingLine& line);

// The lines of the document at `path` that hold a word (a run of two or more
// word characters, as the tokenizer cuts them) beginning with a word of
// `query` (Windows-1251, parsed as the search parses it; `options` as for
// the search). The document is read as the scan of a base that reads every
// kind reads it: as each of its kinds (KindsOf) in turn, so a name that is
// both a page and a PDF document gives the page's lines, then the PDF
// document's pages; a name of no kind is read as a page. A reading that fails gives no lines; the document is
// unreadable only when every reading failed, with the first one's reason.
//
// A line is read in memory bounded beyond its bytes, and a line of more
// than kLongestShownLine characters is cut to that many around its first
// matched word (its other matches within them are marked).
//
// A conversion runs in a private folder made for it (under $TMPDIR or
// /tmp, else in `base_directory`) and removed at the end, never in the
// current folder. Blocks while a document converts: a window calls it off
// its own thread. Safe to call from several threads at once.
DocumentMatches FindDocumentMatches(const std::string& path, std::string_view query, const SearchOptions& options,
                                    const std::string& base_directory, Env& env);

}  // namespace veskara
