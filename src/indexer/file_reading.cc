#include "indexer/file_reading.h"

#include "base/posting_table.h"
#include "extract/readers.h"
#include "indexer/discovery.h"

namespace veskara {

void ReadCandidate(const std::string& path, PostingTable& table) {
  if (IsMarkupFile(path)) THTMLFile reader(path, table);
  if (IsPdfFile(path)) TPDFFile reader(path, table);
}

CandidateReader::CandidateReader(const std::vector<std::string>& paths, const std::vector<bool>& skip)
    : paths_(paths), skip_(skip) {}

CandidateReader::~CandidateReader() = default;

void CandidateReader::AppendWordsOf(size_t i, PostingTable& table) { ReadCandidate(paths_[i], table); }

}  // namespace veskara
