#include "matches/document_matches.h"

#include <exception>
#include <memory>

#include "extract/document_lines.h"
#include "extract/tokenizer.h"
#include "indexer/conversion_folder.h"
#include "indexer/discovery.h"
#include "platform/paths.h"

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

}  // namespace

std::string LineLabel(const DocumentMatches& matches, const MatchingLine& line) {
  return (matches.pages ? "p." : "") + std::to_string(line.number);
}

DocumentMatches FindDocumentMatches(const std::string& path, std::string_view query, const SearchOptions& options,
                                    const std::string& base_directory, Env& env) {
  DocumentMatches matches;
  const std::vector<std::string> words = ParseQuery(query);
  if (words.empty()) return matches;

  std::vector<MatchSpan> spans;
  auto on_line = [&](const ShownLine& line) {
    MatchWords(line, words, options.fold_yo, spans);
    if (spans.empty()) return;
    matches.lines.push_back({line.number, line.text, spans});
  };
  // The type is decided by the file's own name, as the scan decides it.
  const std::string_view name = std::string_view(path).substr(path.rfind(kPathSeparator) + 1);
  matches.pages = IsPdfFile(name) && !IsMarkupFile(name);
  std::string failure;
  if (matches.pages) {
    try {
      ConversionFolder folder(env, base_directory);
      failure = ForEachPdfLine(env, path, {.folder = folder.path()}, on_line);
    } catch (const std::exception& e) {
      failure = e.what();
    }
  } else {
    failure = ForEachPageLine(env, path, on_line);
  }
  if (!failure.empty()) {
    matches.status = DocumentMatches::Status::kUnreadable;
    matches.unread_reason = std::move(failure);
    matches.lines.clear();
    return matches;
  }
  matches.status = DocumentMatches::Status::kRead;
  return matches;
}

}  // namespace veskara
