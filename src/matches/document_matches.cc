#include "matches/document_matches.h"

#include <algorithm>
#include <exception>
#include <functional>
#include <iterator>
#include <vector>

#include "extract/conversion_folder.h"
#include "extract/document_lines.h"
#include "extract/tokenizer.h"

namespace veskara {
namespace {

// The spans of the words of `line` that begin with one of `words`.
void MatchWords(const ShownLine& line, const std::vector<std::string>& words, bool fold_yo,
                std::vector<MatchSpan>& spans) {
  spans.clear();
  const char* const letters = line.letters.data();
  ForEachWord(line.letters, [&](std::string_view word) {
    for (const std::string& w : words) {
      if (!WordBeginsWith(word, w, fold_yo)) continue;
      const size_t first = static_cast<size_t>(word.data() - letters);
      spans.push_back({line.starts[first], line.starts[first + word.size()]});
      break;
    }
  });
}

// Calls on_line for each shown line of the document at `path` read as a
// document of `kind` through `compression`; returns why it could not be
// read, or "".
std::string ForEachLineAs(DocumentKind kind, Compression compression, const std::string& path,
                          const std::string& base_directory, Env& env,
                          const std::function<void(const ShownLine&)>& on_line, const WantedWord& wanted) {
  if (compression == Compression::kNone && kind == DocumentKind::kPage) {
    return ForEachPageLine(env, path, on_line, wanted);
  }
  if (compression == Compression::kNone && kind == DocumentKind::kText) {
    return ForEachTextLine(env, path, on_line, wanted);
  }
  try {
    ConversionFolder folder(env, base_directory);
    return ForEachConvertedLine(env, path, kind, compression, {.folder = folder.path()}, on_line, wanted);
  } catch (const std::exception& e) {
    return e.what();
  }
}

std::string_view HeadingOf(DocumentUnit unit) {
  switch (unit) {
    case DocumentUnit::kPage:
      return "Page";
    case DocumentUnit::kParagraph:
      return "Paragraph";
    case DocumentUnit::kSlide:
      return "Slide";
    case DocumentUnit::kSheet:
      return "Sheet";
    case DocumentUnit::kLine:
      break;
  }
  return "Line";
}

}  // namespace

std::string LineLabel(const MatchingLine& line) {
  const std::string number = std::to_string(line.number);
  switch (UnitOf(line.kind)) {
    case DocumentUnit::kLine:
      return number;
    case DocumentUnit::kPage:
      return "p." + number;
    case DocumentUnit::kParagraph:
      return "para." + number;
    case DocumentUnit::kSlide:
      return "slide." + number;
    case DocumentUnit::kSheet:
      return "sheet." + number;
  }
  return number;
}

DocumentMatches FindDocumentMatches(const std::string& path, std::string_view query, const SearchOptions& options,
                                    const std::string& base_directory, Env& env) {
  DocumentMatches matches;
  const std::vector<std::string> words = ParseQuery(query);
  if (words.empty()) return matches;

  const DocumentKinds kinds = KindsOf(path, KindChoice::All());
  if (std::distance(kinds.begin(), kinds.end()) == 1) matches.heading = HeadingOf(UnitOf(*kinds.begin()));
  std::vector<DocumentKind> readings(kinds.begin(), kinds.end());
  if (readings.empty()) readings.push_back(DocumentKind::kPage);
  std::string failure;  // the first reading's that failed
  bool read = false;
  std::vector<MatchSpan> spans;
  const WantedWord wanted = [&](std::string_view word) {
    return std::any_of(words.begin(), words.end(),
                       [&](const std::string& w) { return WordBeginsWith(word, w, options.fold_yo); });
  };
  for (const DocumentKind kind : readings) {
    const size_t before = matches.lines.size();
    std::string why = ForEachLineAs(
        kind, kinds.compression(), path, base_directory, env,
        [&](const ShownLine& line) {
          MatchWords(line, words, options.fold_yo, spans);
          if (spans.empty()) return;
          matches.lines.push_back({kind, line.number, line.text, spans, line.cut_before, line.cut_after});
        },
        wanted);
    if (why.empty()) {
      read = true;
    } else {
      matches.lines.resize(before);
      if (failure.empty()) failure = std::move(why);
    }
  }
  if (!read) {
    matches.status = DocumentMatches::Status::kUnreadable;
    matches.unread_reason = std::move(failure);
    return matches;
  }
  matches.status = DocumentMatches::Status::kRead;
  return matches;
}

}  // namespace veskara
