// A document's text as a person reads it, one line at a time: what the
// matches of a query are shown in. The words of a shown line are the words
// the readers give for it (a tag still separates words, and every character
// counts as the tokenizer sees it), except that entities are decoded here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "extract/readers.h"
#include "platform/env.h"

namespace veskara {

// A line of more characters than this is shown cut to this many.
inline constexpr size_t kLongestShownLine = 4096;

struct ShownLine {
  // The line of the page or text, the page of the PDF document, the
  // paragraph, slide or sheet of an office document or e-book, from 1.
  uint32_t number = 0;
  // UTF-8: tags removed (each one a blank), entities decoded, every run of
  // blanks and invisible characters one blank, none at either end. Never
  // holds a control character.
  std::string text;
  // One byte per character of `text`: its upper-cased Windows-1251 form, a
  // blank for a character without one. ForEachWord on it gives the words.
  std::string letters;
  // Where each character begins in `text`, and text.size() at the end.
  std::vector<uint32_t> starts;
  // A line of more than kLongestShownLine characters holds at most that
  // many of them: from half as many before its first wanted word, or its
  // first ones when it has none; never part of a word at a cut, nor a blank.
  // True when characters were left out before `text`, and after it.
  bool cut_before = false;
  bool cut_after = false;
};

// True for a word that the caller wants shown (upper-cased Windows-1251, two
// or more word characters; of a longer word, its first kLongestShownLine / 2):
// a long line is cut around the first one.
using WantedWord = std::function<bool(std::string_view word)>;

// Calls on_line for each line of the markup page at `path` that shows any
// text, in order. Lines are read, transcoded and trimmed as the markup
// reader reads them, so the line numbers and the tags that span lines are
// the same. Returns why the page could not be read, or "" when it was.
// Memory: the longest line's bytes, and a bounded amount beyond them.
std::string ForEachPageLine(Env& env, const std::string& path, const std::function<void(const ShownLine&)>& on_line,
                            const WantedWord& wanted = {});

// Calls on_line for each line of the text file at `path` that shows any
// text, in order, numbered as the file's own lines; the encoding is decided
// as the text reader decides it. A file that is not text gives no line and
// a reason. Memory: the longest line's bytes, and a bounded amount beyond.
std::string ForEachTextLine(Env& env, const std::string& path, const std::function<void(const ShownLine&)>& on_line,
                            const WantedWord& wanted = {});

// Converts the PDF document at `path` into "temp___" in conversion.folder
// (never "" here: the caller gives a private folder), with a mark before
// each page, and calls on_line for each text line with its page number.
// The converted text is removed afterwards. Returns why the document could
// not be read, or "" when it was.
std::string ForEachPdfLine(Env& env, const std::string& path, const PdfConversion& conversion,
                           const std::function<void(const ShownLine&)>& on_line, const WantedWord& wanted = {});

// The same for a document of `kind` read through the converter program
// (`compression` given, or a kind that converts): each line numbered by its
// unit (UnitOf), or, for a compressed page or text, by its own line.
std::string ForEachConvertedLine(Env& env, const std::string& path, DocumentKind kind, Compression compression,
                                 const PdfConversion& conversion, const std::function<void(const ShownLine&)>& on_line,
                                 const WantedWord& wanted = {});

}  // namespace veskara
