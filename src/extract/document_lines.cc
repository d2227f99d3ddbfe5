#include "extract/document_lines.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <optional>
#include <string_view>
#include <utility>

#include "extract/plain_text.h"
#include "platform/cp1251.h"
#include "platform/errors.h"
#include "platform/paths.h"
#include "platform/text_file.h"
#include "wpdf/wpdf.h"

namespace veskara {
namespace {

// A character of a line: what is shown, and the byte the tokenizer sees.
struct Char {
  uint32_t code_point;
  char letter;  // Windows-1251, not upper-cased; a blank when it has no form
};

// Where a tag stood: a word boundary, shown as a blank unless punctuation
// on either side holds on to the text (see Shape). Beyond every code point.
constexpr Char kTagMark{0x110000, ' '};

// The entities of the Latin-1 half, U+00A0 to U+00FF in order.
constexpr std::array<std::string_view, 96> kLatin1Entities = {
    "nbsp",   "iexcl",  "cent",   "pound",  "curren", "yen",    "brvbar", "sect",   "uml",    "copy",   "ordf",
    "laquo",  "not",    "shy",    "reg",    "macr",   "deg",    "plusmn", "sup2",   "sup3",   "acute",  "micro",
    "para",   "middot", "cedil",  "sup1",   "ordm",   "raquo",  "frac14", "frac12", "frac34", "iquest", "Agrave",
    "Aacute", "Acirc",  "Atilde", "Auml",   "Aring",  "AElig",  "Ccedil", "Egrave", "Eacute", "Ecirc",  "Euml",
    "Igrave", "Iacute", "Icirc",  "Iuml",   "ETH",    "Ntilde", "Ograve", "Oacute", "Ocirc",  "Otilde", "Ouml",
    "times",  "Oslash", "Ugrave", "Uacute", "Ucirc",  "Uuml",   "Yacute", "THORN",  "szlig",  "agrave", "aacute",
    "acirc",  "atilde", "auml",   "aring",  "aelig",  "ccedil", "egrave", "eacute", "ecirc",  "euml",   "igrave",
    "iacute", "icirc",  "iuml",   "eth",    "ntilde", "ograve", "oacute", "ocirc",  "otilde", "ouml",   "divide",
    "oslash", "ugrave", "uacute", "ucirc",  "uuml",   "yacute", "thorn",  "yuml",
};

struct NamedEntity {
  std::string_view name;
  uint32_t code_point;
};

// The others that pages use, and the capitals of old pages.
constexpr NamedEntity kOtherEntities[] = {
    {"AMP", '&'},       {"COPY", 0xA9},     {"Dagger", 0x2021}, {"GT", '>'},       {"LT", '<'},
    {"NBSP", 0xA0},     {"OElig", 0x0152},  {"Prime", 0x2033},  {"QUOT", '"'},     {"REG", 0xAE},
    {"Scaron", 0x0160}, {"Yuml", 0x0178},   {"amp", '&'},       {"apos", '\''},    {"bdquo", 0x201E},
    {"bull", 0x2022},   {"circ", 0x02C6},   {"dagger", 0x2020}, {"darr", 0x2193},  {"emsp", 0x2003},
    {"ensp", 0x2002},   {"euro", 0x20AC},   {"fnof", 0x0192},   {"gt", '>'},       {"harr", 0x2194},
    {"hellip", 0x2026}, {"larr", 0x2190},   {"ldquo", 0x201C},  {"lrm", 0x200E},   {"lsaquo", 0x2039},
    {"lsquo", 0x2018},  {"lt", '<'},        {"mdash", 0x2014},  {"minus", 0x2212}, {"ndash", 0x2013},
    {"oelig", 0x0153},  {"permil", 0x2030}, {"prime", 0x2032},  {"quot", '"'},     {"rarr", 0x2192},
    {"rdquo", 0x201D},  {"rlm", 0x200F},    {"rsaquo", 0x203A}, {"rsquo", 0x2019}, {"sbquo", 0x201A},
    {"scaron", 0x0161}, {"thinsp", 0x2009}, {"tilde", 0x02DC},  {"trade", 0x2122}, {"uarr", 0x2191},
    {"zwj", 0x200D},    {"zwnj", 0x200C},
};

constexpr size_t kLongestEntity = 32;  // "&#x10FFFF;" and every name fit

std::optional<uint32_t> NamedCodePoint(std::string_view name) {
  for (size_t i = 0; i < kLatin1Entities.size(); ++i) {
    if (kLatin1Entities[i] == name) return static_cast<uint32_t>(0xA0 + i);
  }
  for (const NamedEntity& e : kOtherEntities) {
    if (e.name == name) return e.code_point;
  }
  return std::nullopt;
}

// "#65", "#x41" or a name, between "&" and ";".
std::optional<uint32_t> EntityCodePoint(std::string_view body) {
  if (body.empty()) return std::nullopt;
  if (body[0] != '#') return NamedCodePoint(body);
  body.remove_prefix(1);
  const bool hex = !body.empty() && (body[0] == 'x' || body[0] == 'X');
  if (hex) body.remove_prefix(1);
  if (body.empty()) return std::nullopt;
  uint64_t value = 0;
  for (char c : body) {
    int digit;
    if (c >= '0' && c <= '9') {
      digit = c - '0';
    } else if (hex && c >= 'a' && c <= 'f') {
      digit = c - 'a' + 10;
    } else if (hex && c >= 'A' && c <= 'F') {
      digit = c - 'A' + 10;
    } else {
      return std::nullopt;
    }
    value = value * (hex ? 16 : 10) + static_cast<uint64_t>(digit);
    if (value > 0x10FFFF) return 0xFFFD;
  }
  if (value == 0 || (value >= 0xD800 && value <= 0xDFFF)) return 0xFFFD;
  return static_cast<uint32_t>(value);
}

Char CharOf(uint32_t code_point) {
  const int byte = Cp1251ByteOf(code_point);
  return {code_point, byte < 0 ? ' ' : static_cast<char>(byte)};
}

// Control characters, blanks and characters that show nothing: one blank on
// the screen, and never a byte that a terminal would act on.
bool ShowsAsBlank(uint32_t cp) {
  return cp <= 0x20 || (cp >= 0x7F && cp <= 0xA0) || cp == 0xAD || cp == 0x1680 || (cp >= 0x2000 && cp <= 0x200F) ||
         (cp >= 0x2028 && cp <= 0x202F) || (cp >= 0x205F && cp <= 0x206F) || cp == 0x3000 || cp == 0xFEFF;
}

// The characters of a raw line: a line that is UTF-8 with a multi-byte
// sequence is read as UTF-8, any other as Windows-1251 (as the readers do).
void DecodeLine(std::string_view raw, bool may_be_utf8, std::vector<Char>& out) {
  out.clear();
  if (may_be_utf8 && IsMultibyteUtf8(raw)) {
    size_t i = 0;
    while (i < raw.size()) {
      uint32_t cp = 0;
      i += DecodeUtf8Char(raw, i, &cp);  // well-formed: never 0
      out.push_back(CharOf(cp));
    }
    return;
  }
  for (char c : raw) out.push_back({CodePointOf1251(static_cast<unsigned char>(c)), c});
}

// The part that the readers keep after trimming bytes 0 to 32.
std::pair<size_t, size_t> Trimmed(const std::vector<Char>& chars) {
  auto blank = [](const Char& c) { return static_cast<unsigned char>(c.letter) <= 32; };
  size_t begin = 0;
  size_t end = chars.size();
  while (begin < end && blank(chars[begin])) ++begin;
  while (end > begin && blank(chars[end - 1])) --end;
  return {begin, end};
}

// What is left of chars[begin, end) outside tags, with the markup reader's
// rules ("<" opens, ">" closes, the state carries over to the next line).
// Every tag leaves a mark, so text on either side stays apart as it does for
// the tokenizer.
void StripTags(const std::vector<Char>& chars, size_t begin, size_t end, bool& in_tag, std::vector<Char>& out) {
  out.clear();
  for (size_t i = begin; i < end; ++i) {
    const char c = chars[i].letter;
    if (c == '<') in_tag = true;
    if (!in_tag) {
      out.push_back(chars[i]);
    } else {
      if (c == '>') in_tag = false;
      if (out.empty() || out.back().code_point != kTagMark.code_point) out.push_back(kTagMark);
    }
  }
}

void DecodeEntities(const std::vector<Char>& chars, std::vector<Char>& out) {
  out.clear();
  std::string body;
  for (size_t i = 0; i < chars.size(); ++i) {
    if (chars[i].code_point == '&') {
      body.clear();
      size_t j = i + 1;
      for (; j < chars.size() && j - i <= kLongestEntity; ++j) {
        const uint32_t cp = chars[j].code_point;
        const bool name_char = (cp >= 'a' && cp <= 'z') || (cp >= 'A' && cp <= 'Z') || (cp >= '0' && cp <= '9') ||
                               (cp == '#' && j == i + 1);
        if (!name_char) break;
        body.push_back(static_cast<char>(cp));
      }
      if (j < chars.size() && chars[j].code_point == ';') {
        if (const std::optional<uint32_t> cp = EntityCodePoint(body)) {
          out.push_back(CharOf(*cp));
          i = j;
          continue;
        }
      }
    }
    out.push_back(chars[i]);
  }
}

// Punctuation that keeps to the text after it, and to the text before it:
// "(<b>x</b>)" and "<i>word</i>," show no blank at their tags.
bool OpensText(uint32_t cp) {
  return cp == '(' || cp == '[' || cp == '{' || cp == 0xAB || cp == 0x201E || cp == 0x201C || cp == 0x2018;
}
bool ClosesText(uint32_t cp) {
  return cp == '.' || cp == ',' || cp == ';' || cp == ':' || cp == '!' || cp == '?' || cp == ')' || cp == ']' ||
         cp == '}' || cp == '%' || cp == 0xBB || cp == 0x201D || cp == 0x2019 || cp == 0x2026;
}

// Fills `line` from `chars`: runs of blanks as one, none at either end.
// False when nothing is left to show.
bool Shape(const std::vector<Char>& chars, ShownLine& line) {
  line.text.clear();
  line.letters.clear();
  line.starts.clear();
  enum { kNone, kTag, kBlank } pending = kNone;
  uint32_t previous = 0;
  for (const Char& c : chars) {
    if (c.code_point == kTagMark.code_point) {
      if (pending == kNone && !line.letters.empty()) pending = kTag;
      continue;
    }
    if (ShowsAsBlank(c.code_point)) {
      if (!line.letters.empty()) pending = kBlank;
      continue;
    }
    // A tag between a word and punctuation that holds on to it shows
    // nothing; the punctuation separates the words anyway.
    const bool pending_blank =
        pending == kBlank || (pending == kTag && !OpensText(previous) && !ClosesText(c.code_point));
    pending = kNone;
    previous = c.code_point;
    if (pending_blank) {
      line.starts.push_back(static_cast<uint32_t>(line.text.size()));
      line.text.push_back(' ');
      line.letters.push_back(' ');
    }
    line.starts.push_back(static_cast<uint32_t>(line.text.size()));
    AppendUtf8(line.text, c.code_point);
    line.letters.push_back(UpperCase1251(c.letter));
  }
  line.starts.push_back(static_cast<uint32_t>(line.text.size()));
  return !line.letters.empty();
}

// Reads the lines of the text file at `path`; on_raw(raw) for each. Returns
// why it could not be read, or "".
template <typename OnRaw>
std::string ForEachRawLine(Env& env, const std::string& path, OnRaw&& on_raw) {
  // A FIFO would block the reader, a device could react to being opened.
  if (const PathKind kind = env.Stat(path).kind; kind != PathKind::kFile) {
    return kind == PathKind::kDirectory ? "a folder, not a document" : NotAFileReason(kind);
  }
  try {
    LineReader reader(env.OpenForReading(path));
    std::string_view raw;
    while (reader.ReadLine(&raw)) on_raw(raw);
    reader.Close();
  } catch (const IoError& e) {
    return e.what();
  }
  return "";
}

}  // namespace

std::string ForEachPageLine(Env& env, const std::string& path, const std::function<void(const ShownLine&)>& on_line) {
  std::vector<Char> chars;
  std::vector<Char> outside_tags;
  std::vector<Char> decoded;
  ShownLine line;
  bool in_tag = false;
  uint32_t number = 0;
  return ForEachRawLine(env, path, [&](std::string_view raw) {
    ++number;
    DecodeLine(raw, /*may_be_utf8=*/true, chars);
    const auto [begin, end] = Trimmed(chars);
    // The markup reader skips such a line whole, so a "<" in it opens no tag.
    if (end - begin < 2) return;
    StripTags(chars, begin, end, in_tag, outside_tags);
    DecodeEntities(outside_tags, decoded);
    line.number = number;
    if (Shape(decoded, line)) on_line(line);
  });
}

std::string ForEachTextLine(Env& env, const std::string& path, const std::function<void(const ShownLine&)>& on_line) {
  if (const PathKind kind = env.Stat(path).kind; kind != PathKind::kFile) {
    return kind == PathKind::kDirectory ? "a folder, not a document" : NotAFileReason(kind);
  }
  std::vector<Char> chars;
  ShownLine line;
  uint32_t number = 0;
  try {
    PlainTextLines lines(env, path);
    if (lines.binary()) return "not a text file (it holds a NUL byte)";
    std::string_view raw;
    while (lines.ReadLine(&raw)) {
      ++number;
      chars.clear();
      ForEachTextChar(raw, lines.encoding(), [&chars](uint32_t cp) { chars.push_back(CharOf(cp)); });
      line.number = number;
      if (Shape(chars, line)) on_line(line);
    }
    lines.Close();
  } catch (const IoError& e) {
    return e.what();
  }
  return "";
}

std::string ForEachPdfLine(Env& env, const std::string& path, const PdfConversion& conversion,
                           const std::function<void(const ShownLine&)>& on_line) {
  return ForEachConvertedLine(env, path, DocumentKind::kPdf, Compression::kNone, conversion, on_line);
}

std::string ForEachConvertedLine(Env& env, const std::string& path, DocumentKind kind, Compression compression,
                                 const PdfConversion& conversion,
                                 const std::function<void(const ShownLine&)>& on_line) {
  if (const PathKind found = env.Stat(path).kind; found != PathKind::kFile) {
    return found == PathKind::kDirectory ? "a folder, not a document" : NotAFileReason(found);
  }
  const std::string temp = conversion.folder + kPathSeparator + kPdfTempFileName;
  int code = kWpdfOk;
  try {
    code = ConvertDocumentText(kind, compression, path, temp, conversion, kWpdfMarkPages, env);
  } catch (const IoError& e) {
    return e.what();
  }
  if (code != kWpdfOk && code != kWpdfSomePagesLost && code != kWpdfTextCut) {
    return ConversionFailureReason(code, kind, compression);
  }

  std::string failure;
  if (kind == DocumentKind::kPage) {
    failure = ForEachPageLine(env, temp, on_line);
  } else if (kind == DocumentKind::kText) {
    failure = ForEachTextLine(env, temp, on_line);
  } else {
    // PDF text comes in Windows-1251, the others' in UTF-8; a line holding
    // a form feed alone starts the next page or unit.
    const bool utf8 = kind != DocumentKind::kPdf;
    std::vector<Char> chars;
    ShownLine line;
    uint32_t unit = 0;
    failure = ForEachRawLine(env, temp, [&](std::string_view raw) {
      if (raw == "\f") {
        ++unit;
        return;
      }
      DecodeLine(raw, utf8, chars);
      line.number = std::max<uint32_t>(unit, 1);
      if (Shape(chars, line)) on_line(line);
    });
  }
  try {
    env.Remove(temp);
  } catch (const IoError&) {
    // The folder goes with its contents when its owner ends.
  }
  return failure;
}

}  // namespace veskara
