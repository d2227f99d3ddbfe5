#include "extract/document_lines.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <optional>
#include <string_view>
#include <utility>

#include "base/word_chars.h"
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

// Characters are handled this many at a time: a line of any length costs
// no more than that, beyond its bytes and what is shown of it.
constexpr size_t kPiece = 1 << 16;

// The characters of a raw line, a piece at a time: a line that is UTF-8 with
// a multi-byte sequence is read as UTF-8, any other as Windows-1251 (as the
// readers do). Trimmed as the readers trim: no character whose byte for the
// tokenizer is 0 to 32 at either end.
class LineChars {
 public:
  LineChars(std::string_view raw, bool may_be_utf8) : raw_(raw), utf8_(may_be_utf8 && IsMultibyteUtf8(raw)) {
    size_t n = 0;
    while (begin_ < raw_.size() && Blank(At(begin_, &n))) begin_ += n;
    end_ = raw_.size();
    while (end_ > begin_) {
      const size_t last = Before(end_);
      if (!Blank(At(last, &n))) break;
      end_ = last;
    }
    at_ = begin_;
  }

  // True when at least two characters are left: the markup reader skips a
  // shorter line whole, so a "<" in it opens no tag.
  bool AtLeastTwo() const {
    size_t n = 0;
    return begin_ < end_ && (At(begin_, &n), begin_ + n < end_);
  }

  // The next characters, at most `most` of them, into `out`; false when
  // none are left.
  bool Next(std::vector<Char>& out, size_t most) {
    out.clear();
    if (!utf8_) {
      const size_t to = at_ + std::min(most, end_ - at_);
      for (; at_ < to; ++at_) out.push_back({CodePointOf1251(static_cast<unsigned char>(raw_[at_])), raw_[at_]});
      return !out.empty();
    }
    size_t n = 0;
    while (at_ < end_ && out.size() < most) {
      out.push_back(At(at_, &n));
      at_ += n;
    }
    return !out.empty();
  }

 private:
  static bool Blank(Char c) { return static_cast<unsigned char>(c.letter) <= 32; }
  Char At(size_t i, size_t* length) const {
    if (!utf8_) {
      *length = 1;
      return {CodePointOf1251(static_cast<unsigned char>(raw_[i])), raw_[i]};
    }
    uint32_t cp = 0;
    *length = DecodeUtf8Char(raw_, i, &cp);  // well-formed: never 0
    return CharOf(cp);
  }
  // Where the character before position i begins.
  size_t Before(size_t i) const {
    if (!utf8_) return i - 1;
    do {
      --i;
    } while (i > 0 && (static_cast<unsigned char>(raw_[i]) & 0xC0) == 0x80);
    return i;
  }

  std::string_view raw_;
  bool utf8_;
  size_t begin_ = 0;
  size_t end_ = 0;
  size_t at_ = 0;
};

// What is left outside tags, with the markup reader's rules ("<" opens, ">"
// closes, the state carries over to the next line). Every tag leaves a
// mark, so text on either side stays apart as it does for the tokenizer.
class TagStripper {
 public:
  explicit TagStripper(bool& in_tag) : in_tag_(in_tag) {}
  void StartLine() { marked_ = false; }
  void Feed(const std::vector<Char>& chars, std::vector<Char>& out) {
    out.clear();
    for (const Char& c : chars) {
      if (c.letter == '<') in_tag_ = true;
      if (!in_tag_) {
        out.push_back(c);
        marked_ = false;
        continue;
      }
      if (c.letter == '>') in_tag_ = false;
      if (!marked_) out.push_back(kTagMark);
      marked_ = true;
    }
  }

 private:
  bool& in_tag_;
  bool marked_ = false;  // the last character given out is a tag's mark
};

// Entities decoded. An entity may span two pieces: the last characters of
// a piece wait for the next one until no entity can reach past them.
class EntityDecoder {
 public:
  void StartLine() { waiting_.clear(); }
  // `last`: no more characters of this line will come.
  void Feed(const std::vector<Char>& chars, bool last, std::vector<Char>& out) {
    out.clear();
    // A whole line in one piece, the usual case, waits for nothing.
    if (last && waiting_.empty()) {
      Decode(chars, last, out);
      return;
    }
    waiting_.insert(waiting_.end(), chars.begin(), chars.end());
    const size_t done = Decode(waiting_, last, out);
    waiting_.erase(waiting_.begin(), waiting_.begin() + static_cast<std::ptrdiff_t>(done));
  }

 private:
  // Appends what `in` decodes to; returns how many characters of it it took.
  size_t Decode(const std::vector<Char>& in, bool last, std::vector<Char>& out) {
    size_t i = 0;
    std::string& body = body_;
    for (; i < in.size(); ++i) {
      // "&", the longest name and the ";" after it must all be here.
      if (!last && in.size() - i < kLongestEntity + 2) break;
      if (in[i].code_point == '&') {
        body.clear();
        size_t j = i + 1;
        for (; j < in.size() && j - i <= kLongestEntity; ++j) {
          const uint32_t cp = in[j].code_point;
          const bool name_char = (cp >= 'a' && cp <= 'z') || (cp >= 'A' && cp <= 'Z') || (cp >= '0' && cp <= '9') ||
                                 (cp == '#' && j == i + 1);
          if (!name_char) break;
          body.push_back(static_cast<char>(cp));
        }
        if (j < in.size() && in[j].code_point == ';') {
          if (const std::optional<uint32_t> cp = EntityCodePoint(body)) {
            out.push_back(CharOf(*cp));
            i = j;
            continue;
          }
        }
      }
      out.push_back(in[i]);
    }
    return i;
  }

  std::vector<Char> waiting_;
  std::string body_;
};

// Punctuation that keeps to the text after it, and to the text before it:
// "(<b>x</b>)" and "<i>word</i>," show no blank at their tags.
bool OpensText(uint32_t cp) {
  return cp == '(' || cp == '[' || cp == '{' || cp == 0xAB || cp == 0x201E || cp == 0x201C || cp == 0x2018;
}
bool ClosesText(uint32_t cp) {
  return cp == '.' || cp == ',' || cp == ';' || cp == ':' || cp == '!' || cp == '?' || cp == ')' || cp == ']' ||
         cp == '}' || cp == '%' || cp == 0xBB || cp == 0x201D || cp == 0x2019 || cp == 0x2026;
}

// What is shown of one line: every character up to kLongestShownLine; of
// a longer line that many around its first wanted word (or its first
// ones), without a part of a word at a cut.
class ShownChars {
 public:
  explicit ShownChars(const WantedWord& wanted) : wanted_(wanted) {}

  // A new line, shown in `line`.
  void StartLine(ShownLine& line) {
    line_ = &line;
    line.text.clear();
    line.letters.clear();
    line.starts.clear();
    line.cut_before = false;
    line.cut_after = false;
    kept_.clear();
    head_.clear();
    kept_from_ = 0;
    total_ = 0;
    found_ = kNone;
    window_from_ = kNone;
    in_word_ = false;
  }

  bool Empty() const { return total_ == 0; }

  // The next shown character; `letter` upper-cased.
  void Add(uint32_t code_point, char letter) {
    if (total_ < kLongestShownLine) {
      // Short so far: straight into the line, as most lines end.
      ++total_;
      line_->starts.push_back(static_cast<uint32_t>(line_->text.size()));
      if (code_point < 0x80) {
        line_->text.push_back(static_cast<char>(code_point));
      } else {
        AppendUtf8(line_->text, code_point);
      }
      line_->letters.push_back(letter);
      return;
    }
    AddToLong(code_point, letter);
  }

  // Ends the line: what is shown of it stands in the line.
  void Finish();

 private:
  void AddToLong(uint32_t code_point, char letter) {
    const size_t index = total_++;
    if (index == kLongestShownLine) TurnLong();
    // Words matter only to cut a long line.
    if (wanted_) FollowWords(index, letter);
    if (window_from_ != kNone) {
      if (index <= window_from_ + kLongestShownLine) kept_.push_back({code_point, letter});  // and the one after
      return;
    }
    kept_.push_back({code_point, letter});
    // The start of the line, and the character after it, in case no wanted
    // word comes.
    if (index == kLongestShownLine && found_ == kNone) head_ = kept_;
    if (found_ != kNone) {
      SetWindow();
    } else if (kept_.size() > 2 * kLongestShownLine + kMargin) {
      // The wanted word may still come: what the window would need before it.
      const size_t drop = kept_.size() - kLongestShownLine - kMargin;
      kept_.erase(kept_.begin(), kept_.begin() + static_cast<std::ptrdiff_t>(drop));
      kept_from_ += drop;
    }
  }

  void FinishLong() {
    ShownLine& line = *line_;
    if (in_word_) Decide();
    if (window_from_ == kNone) {
      if (found_ != kNone) {
        SetWindow();
      } else {
        // No wanted word: the line's start, and the character after it.
        kept_ = std::move(head_);
        kept_from_ = 0;
        window_from_ = 0;
      }
    }
    size_t from = window_from_ - kept_from_;
    size_t to = std::min(kept_.size(), from + kLongestShownLine);
    line.cut_before = window_from_ > 0;
    line.cut_after = window_from_ + kLongestShownLine < total_;
    // A word cut at either end goes, unless it is the wanted one, or all
    // there is to show (a line of one huge word).
    size_t whole_from = from;
    size_t whole_to = to;
    if (line.cut_before && IsWordChar(kept_[from - 1].letter)) {
      while (whole_from < to && IsWordChar(kept_[whole_from].letter)) ++whole_from;
    }
    if (line.cut_after && IsWordChar(kept_[to].letter)) {
      size_t start = to;
      while (start > whole_from && IsWordChar(kept_[start - 1].letter)) --start;
      if (found_ == kNone || kept_from_ + start > found_) whole_to = start;
    }
    while (whole_from < whole_to && kept_[whole_from].code_point == ' ') ++whole_from;
    while (whole_to > whole_from && kept_[whole_to - 1].code_point == ' ') --whole_to;
    if (whole_from < whole_to) {
      from = whole_from;
      to = whole_to;
    }
    line.text.clear();
    line.letters.clear();
    line.starts.clear();
    for (size_t i = from; i < to; ++i) {
      line.starts.push_back(static_cast<uint32_t>(line.text.size()));
      AppendUtf8(line.text, kept_[i].code_point);
      line.letters.push_back(kept_[i].letter);
    }
    line.starts.push_back(static_cast<uint32_t>(line.text.size()));
  }

  struct Shown {
    uint32_t code_point;
    char letter;
  };
  static constexpr size_t kNone = SIZE_MAX;
  // The letters of a word the wanted test sees.
  static constexpr size_t kWordLetters = kLongestShownLine / 2;
  // Kept beyond what a window needs: the character before it.
  static constexpr size_t kMargin = 16;

  // The line has more than kLongestShownLine characters: what stands in it
  // becomes the first kept, and their words are looked at.
  void TurnLong() {
    const ShownLine& line = *line_;
    kept_.reserve(2 * kLongestShownLine + kMargin + 1);
    for (size_t i = 0; i < line.letters.size(); ++i) {
      uint32_t code_point = 0;
      DecodeUtf8Char(line.text, line.starts[i], &code_point);
      kept_.push_back({code_point, line.letters[i]});
      if (wanted_) FollowWords(i, line.letters[i]);
    }
  }

  void FollowWords(size_t index, char letter) {
    if (!IsWordChar(letter)) {
      if (in_word_) Decide();
      in_word_ = false;
      return;
    }
    if (!in_word_) {
      in_word_ = true;
      decided_ = false;
      word_start_ = index;
      word_.clear();
    }
    if (word_.size() < kWordLetters) word_.push_back(letter);
    if (word_.size() == kWordLetters) Decide();
  }

  void Decide() {
    if (decided_) return;
    decided_ = true;
    if (found_ == kNone && word_.size() >= 2 && wanted_(word_)) found_ = word_start_;
  }

  // The window: from half its length before the wanted word, or from the
  // start. The character before it stays, to tell a word cut in two.
  void SetWindow() {
    const size_t half = kLongestShownLine / 2;
    window_from_ = std::max(found_ > half ? found_ - half : 0, kept_from_ == 0 ? 0 : kept_from_ + 1);
    const size_t drop = window_from_ - kept_from_ - (window_from_ > 0 ? 1 : 0);
    kept_.erase(kept_.begin(), kept_.begin() + static_cast<std::ptrdiff_t>(drop));
    kept_from_ += drop;
    if (kept_.size() > window_from_ - kept_from_ + kLongestShownLine + 1) {
      kept_.resize(window_from_ - kept_from_ + kLongestShownLine + 1);
    }
  }

  const WantedWord& wanted_;
  ShownLine* line_ = nullptr;
  std::vector<Shown> kept_;  // characters kept_from_ on
  std::vector<Shown> head_;  // of a long line, its first kLongestShownLine + 1
  size_t kept_from_ = 0;
  size_t total_ = 0;
  size_t found_ = kNone;        // where the first wanted word starts
  size_t window_from_ = kNone;  // of a long line, where what is shown starts
  bool in_word_ = false;
  bool decided_ = false;
  size_t word_start_ = 0;
  std::string word_;
};

void ShownChars::Finish() {
  if (total_ > kLongestShownLine) {
    FinishLong();
    return;
  }
  line_->starts.push_back(static_cast<uint32_t>(line_->text.size()));
}

// Runs of blanks as one, none at either end; a tag shows as a blank unless
// punctuation on either side holds on to the text.
class Shaper {
 public:
  void StartLine() {
    pending_ = kNothing;
    previous_ = 0;
    shown_any_ = false;
  }
  void Feed(const std::vector<Char>& chars, ShownChars& out) {
    for (const Char& c : chars) {
      if (c.code_point == kTagMark.code_point) {
        if (pending_ == kNothing && shown_any_) pending_ = kTag;
        continue;
      }
      if (ShowsAsBlank(c.code_point)) {
        if (shown_any_) pending_ = kBlank;
        continue;
      }
      // A tag between a word and punctuation that holds on to it shows
      // nothing; the punctuation separates the words anyway.
      const bool blank = pending_ == kBlank || (pending_ == kTag && !OpensText(previous_) && !ClosesText(c.code_point));
      pending_ = kNothing;
      previous_ = c.code_point;
      if (blank) out.Add(' ', ' ');
      out.Add(c.code_point, UpperCase1251(c.letter));
      shown_any_ = true;
    }
  }

 private:
  enum { kNothing, kTag, kBlank } pending_ = kNothing;
  uint32_t previous_ = 0;
  bool shown_any_ = false;
};

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

std::string ForEachPageLine(Env& env, const std::string& path, const std::function<void(const ShownLine&)>& on_line,
                            const WantedWord& wanted) {
  std::vector<Char> piece;
  std::vector<Char> outside_tags;
  std::vector<Char> decoded;
  bool in_tag = false;
  TagStripper tags(in_tag);
  EntityDecoder entities;
  Shaper shaper;
  ShownChars shown(wanted);
  ShownLine line;
  uint32_t number = 0;
  return ForEachRawLine(env, path, [&](std::string_view raw) {
    ++number;
    LineChars chars(raw, /*may_be_utf8=*/true);
    // The markup reader skips such a line whole, so a "<" in it opens no tag.
    if (!chars.AtLeastTwo()) return;
    tags.StartLine();
    entities.StartLine();
    shaper.StartLine();
    shown.StartLine(line);
    bool more = true;
    while (more) {
      more = chars.Next(piece, kPiece);
      tags.Feed(piece, outside_tags);
      entities.Feed(outside_tags, /*last=*/!more, decoded);
      shaper.Feed(decoded, shown);
    }
    if (shown.Empty()) return;
    line.number = number;
    shown.Finish();
    on_line(line);
  });
}

std::string ForEachTextLine(Env& env, const std::string& path, const std::function<void(const ShownLine&)>& on_line,
                            const WantedWord& wanted) {
  if (const PathKind kind = env.Stat(path).kind; kind != PathKind::kFile) {
    return kind == PathKind::kDirectory ? "a folder, not a document" : NotAFileReason(kind);
  }
  std::vector<Char> piece;
  Shaper shaper;
  ShownChars shown(wanted);
  ShownLine line;
  uint32_t number = 0;
  try {
    PlainTextLines lines(env, path);
    if (lines.binary()) return "not a text file (it holds a NUL byte)";
    std::string_view raw;
    while (lines.ReadLine(&raw)) {
      ++number;
      shaper.StartLine();
      shown.StartLine(line);
      piece.clear();
      ForEachTextChar(raw, lines.encoding(), [&](uint32_t cp) {
        piece.push_back(CharOf(cp));
        if (piece.size() < kPiece) return;
        shaper.Feed(piece, shown);
        piece.clear();
      });
      shaper.Feed(piece, shown);
      if (shown.Empty()) continue;
      line.number = number;
      shown.Finish();
      on_line(line);
    }
    lines.Close();
  } catch (const IoError& e) {
    return e.what();
  }
  return "";
}

std::string ForEachPdfLine(Env& env, const std::string& path, const PdfConversion& conversion,
                           const std::function<void(const ShownLine&)>& on_line, const WantedWord& wanted) {
  return ForEachConvertedLine(env, path, DocumentKind::kPdf, Compression::kNone, conversion, on_line, wanted);
}

std::string ForEachConvertedLine(Env& env, const std::string& path, DocumentKind kind, Compression compression,
                                 const PdfConversion& conversion, const std::function<void(const ShownLine&)>& on_line,
                                 const WantedWord& wanted) {
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
    failure = ForEachPageLine(env, temp, on_line, wanted);
  } else if (kind == DocumentKind::kText) {
    failure = ForEachTextLine(env, temp, on_line, wanted);
  } else {
    // PDF text comes in Windows-1251, the others' in UTF-8; a line holding
    // a form feed alone starts the next page or unit.
    const bool utf8 = kind != DocumentKind::kPdf;
    std::vector<Char> piece;
    Shaper shaper;
    ShownChars shown(wanted);
    ShownLine line;
    uint32_t unit = 0;
    failure = ForEachRawLine(env, temp, [&](std::string_view raw) {
      if (raw == "\f") {
        ++unit;
        return;
      }
      LineChars chars(raw, utf8);
      shaper.StartLine();
      shown.StartLine(line);
      while (chars.Next(piece, kPiece)) shaper.Feed(piece, shown);
      if (shown.Empty()) return;
      line.number = std::max<uint32_t>(unit, 1);
      shown.Finish();
      on_line(line);
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
