#include <exception>

#include "base/messages.h"
#include "matches/document_matches.h"
#include "results/result_files.h"

namespace veskara {

FirstLine FirstMatchingLine(const std::string& path, std::string_view query, const SearchOptions& options,
                            const std::string& base_directory, Env& env) {
  FirstLine first;
  DocumentMatches matches;
  try {
    matches = FindDocumentMatches(path, query, options, base_directory, env);
  } catch (const std::exception& failure) {
    // One file that cannot be read must not end the list it stands in.
    first.status = FirstLine::Status::kUnreadable;
    first.reason = FailureText(failure, "read the file");
    return first;
  }
  switch (matches.status) {
    case DocumentMatches::Status::kNoQueryWord:
      return first;
    case DocumentMatches::Status::kUnreadable:
      first.status = FirstLine::Status::kUnreadable;
      first.reason = std::move(matches.unread_reason);
      return first;
    case DocumentMatches::Status::kRead:
      break;
  }
  if (matches.lines.empty()) return first;
  MatchingLine& line = matches.lines.front();
  first.status = FirstLine::Status::kFound;
  first.label = LineLabel(line);
  first.text = std::move(line.text);
  return first;
}

}  // namespace veskara
