// How many of a page's words the reading of its converted copy finds.
//
//   kinds_coverage LIST
//
// LIST holds one pair a line: REFERENCE TAB DOCUMENT. REFERENCE is the
// page's text (a text file: its words are the words to find); DOCUMENT is
// the page converted to another kind (.docx, .odt, .epub), read as a scan
// reads it. For each folder of documents (one per converter and kind): how many documents, the smallest and the mean
// share of the reference's distinct words found, and the words most often
// missed, to say how the rest differ.
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "base/document_words.h"
#include "extract/conversion_folder.h"
#include "extract/document_kind.h"
#include "extract/readers.h"
#include "platform/cp1251.h"

namespace {

std::set<std::string> DistinctWords(const std::string& path, veskara::Env& env,
                                    const veskara::PdfConversion& conversion, std::string* reason) {
  veskara::DocumentWords words;
  const veskara::DocumentKinds kinds = veskara::KindsOf(path, veskara::KindChoice::All());
  for (veskara::DocumentKind kind : kinds) {
    *reason = veskara::ReadDocumentAs(kind, kinds.compression(), path, words, env, conversion);
  }
  std::set<std::string> distinct;
  for (uint32_t id : words.occurrences) distinct.insert(std::string(words.words.Get(id)));
  return distinct;
}

struct Tally {
  size_t documents = 0;
  double sum = 0;
  double least = 1;
  std::string least_document;
  size_t reference_words = 0;
  size_t found_words = 0;
  std::map<std::string, size_t> missed;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s LIST\n", argv[0]);
    return 2;
  }
  veskara::Env& env = veskara::Env::Default();
  veskara::ConversionFolder folder(env, "/tmp");
  const veskara::PdfConversion conversion{.folder = folder.path()};
  std::ifstream list(argv[1]);
  std::map<std::string, Tally> tallies;
  std::string line;
  while (std::getline(list, line)) {
    const size_t tab = line.find('\t');
    if (tab == std::string::npos) continue;
    const std::string reference = line.substr(0, tab);
    const std::string document = line.substr(tab + 1);
    std::string reason;
    const std::set<std::string> wanted = DistinctWords(reference, env, conversion, &reason);
    const std::set<std::string> found = DistinctWords(document, env, conversion, &reason);
    if (!reason.empty()) std::fprintf(stderr, "%s: %s\n", document.c_str(), reason.c_str());
    if (wanted.empty()) continue;
    // By the folder of the document: the converter that made it.
    const std::string folder = document.substr(0, document.rfind('/'));
    Tally& t = tallies[folder.substr(folder.rfind('/') + 1)];
    size_t hits = 0;
    for (const std::string& w : wanted) {
      if (found.count(w) != 0) {
        ++hits;
      } else {
        ++t.missed[w];
      }
    }
    const double share = static_cast<double>(hits) / static_cast<double>(wanted.size());
    ++t.documents;
    t.sum += share;
    t.reference_words += wanted.size();
    t.found_words += hits;
    if (share < t.least) {
      t.least = share;
      t.least_document = document;
    }
  }
  for (const auto& [kind, t] : tallies) {
    std::printf("%-7s %5zu documents: distinct words found %.2f%% overall, mean %.2f%%, least %.2f%% (%s)\n",
                kind.c_str(), t.documents, 100.0 * t.found_words / t.reference_words, 100.0 * t.sum / t.documents,
                100.0 * t.least, t.least_document.c_str());
    std::vector<std::pair<size_t, std::string>> missed;
    for (const auto& [word, count] : t.missed) missed.emplace_back(count, word);
    std::sort(missed.rbegin(), missed.rend());
    std::printf("      most often missed:");
    for (size_t i = 0; i < missed.size() && i < 12; ++i) {
      std::printf(" %s (%zu)", veskara::DecodeCp1251(missed[i].second).c_str(), missed[i].first);
    }
    std::printf("\n");
  }
  return 0;
}
