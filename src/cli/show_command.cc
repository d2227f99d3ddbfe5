#include "cli/show_command.h"

#include <cstdio>
#include <string>
#include <string_view>

#include "extract/document_lines.h"
#include "matches/document_matches.h"
#include "platform/process.h"
#include "platform/strings.h"
#include "search/search.h"

namespace veskara {
namespace {

// The colours grep's users know: the path magenta, the label green, the
// colon cyan, a match bold red.
constexpr std::string_view kPathColour = "\x1b[35m";
constexpr std::string_view kLabelColour = "\x1b[32m";
constexpr std::string_view kSeparatorColour = "\x1b[36m";
constexpr std::string_view kMatchColour = "\x1b[01;31m";
constexpr std::string_view kNoColour = "\x1b[m";

void Err(std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), stderr);
  std::fputc('\n', stderr);
}

// What --color asks for; false when WHEN is none of the three.
bool ColourWanted(const Invocation& invocation, bool* colour) {
  const auto option = invocation.options.find("--color");
  const std::string when = option == invocation.options.end() ? "auto" : option->second;
  if (when == "auto") {
    *colour = StdoutIsTerminal();
  } else if (when == "always" || when == "never") {
    *colour = when == "always";
  } else {
    return false;
  }
  return true;
}

// Where a long line was cut.
constexpr std::string_view kCut = "\u2026";

// `path_prefix`: "" or the path to print before the line (-H).
void AppendLine(const MatchingLine& line, bool colour, std::string_view path_prefix, std::string& out) {
  const std::string label = LineLabel(line);
  const std::string_view before = line.cut_before ? kCut : "";
  const std::string_view after = line.cut_after ? kCut : "";
  if (!colour) {
    if (!path_prefix.empty()) out.append(path_prefix).append(":");
    out.append(label).append(":").append(before).append(line.text).append(after).append("\n");
    return;
  }
  if (!path_prefix.empty()) {
    out.append(kPathColour).append(path_prefix).append(kNoColour);
    out.append(kSeparatorColour).append(":").append(kNoColour);
  }
  out.append(kLabelColour).append(label).append(kNoColour);
  out.append(kSeparatorColour).append(":").append(kNoColour).append(before);
  size_t at = 0;
  for (const MatchSpan& span : line.spans) {
    out.append(line.text, at, span.begin - at);
    out.append(kMatchColour).append(line.text, span.begin, span.end - span.begin).append(kNoColour);
    at = span.end;
  }
  out.append(line.text, at).append(after).append("\n");
}

}  // namespace

ExitStatus RunShowCommand(const Invocation& invocation) {
  bool colour = false;
  if (!ColourWanted(invocation, &colour)) {
    Err("veskara-cli: --color takes auto, always or never");
    return ExitStatus::kFailure;
  }
  const std::string& path = invocation.operands.at(0);
  std::string query;
  for (size_t i = 1; i < invocation.operands.size(); ++i) query += invocation.operands[i] + " ";
  const SearchOptions options{.fold_yo = invocation.options.contains("--fold-yo")};
  const DocumentMatches matches =
      FindDocumentMatches(path, EncodeQuery(query), options, invocation.base_directory, *invocation.env);
  switch (matches.status) {
    case DocumentMatches::Status::kNoQueryWord:
      Err("no word to search for");
      return ExitStatus::kFailure;
    case DocumentMatches::Status::kUnreadable:
      Err("veskara-cli: " + EscapeControlBytes(path) + ": " + matches.unread_reason);
      return ExitStatus::kFailure;
    case DocumentMatches::Status::kRead:
      break;
  }
  // A terminal gets the path's control bytes escaped, as every listed path.
  const std::string prefix =
      invocation.options.contains("-H") ? (StdoutIsTerminal() ? EscapeControlBytes(path) : path) : std::string();
  std::string out;
  size_t cut = 0;
  for (const MatchingLine& line : matches.lines) {
    cut += line.cut_before || line.cut_after;
    AppendLine(line, colour, prefix, out);
    if (out.size() >= (1 << 16)) {
      std::fwrite(out.data(), 1, out.size(), stdout);
      out.clear();
    }
  }
  std::fwrite(out.data(), 1, out.size(), stdout);
  if (cut > 0) {
    std::fflush(stdout);  // the note speaks of the lines above it
    Err("veskara-cli: " + std::to_string(cut) + (cut == 1 ? " line is" : " lines are") + " longer than " +
        std::to_string(kLongestShownLine) + " characters: shown cut around the first match, " + std::string(kCut) +
        " where characters were left out");
  }
  if (matches.lines.empty()) {
    Err("Nothing was found...");
    return ExitStatus::kNothingFound;
  }
  return ExitStatus::kDone;
}

}  // namespace veskara
