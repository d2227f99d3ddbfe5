// The sort and merge of the posting table as first written: obviously
// correct and slow. Tests, fuzz targets and benchmarks compare the fast
// PostingTable with them.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "base/compare_words.h"

namespace veskara::reference {

using Entries = std::vector<std::pair<std::string, std::string>>;  // (word, number)

// Diminishing-gap exchange sort: gaps (count-1) div 2 halved down to 1 (gap 1
// alone for two entries), passes of strict-less exchanges until none.
inline void LiteralSort(Entries& e) {
  const long count = static_cast<long>(e.size());
  if (count < 2) return;
  std::vector<long> gaps;
  for (long g = (count - 1) / 2; g >= 1; g /= 2) gaps.push_back(g);
  if (gaps.empty()) gaps.push_back(1);
  for (long g : gaps) {
    bool exchanged;
    do {
      exchanged = false;
      for (long i = 0; i <= count - 1 - g; ++i) {
        if (CompareWords(e[i + g].first, e[i].first) < 0) {
          std::swap(e[i], e[i + g]);
          exchanged = true;
        }
      }
    } while (exchanged);
  }
}

// The merge: per run of equal words an accumulator ",n1,n2," searched for
// ",n," before each number is added; the run's last word and the list are
// written as two CR LF lines.
inline std::string LiteralWrite(const Entries& e) {
  std::string out;
  size_t i = 0;
  while (i < e.size()) {
    std::string acc = "," + e[i].second + ",";
    size_t j = i;
    while (j + 1 < e.size() && CompareWords(e[j + 1].first, e[j].first) == 0) {
      ++j;
      if (acc.find("," + e[j].second + ",") == std::string::npos) acc += e[j].second + ",";
    }
    out += e[j].first + "\r\n" + acc.substr(1, acc.size() - 2) + "\r\n";
    i = j + 1;
  }
  return out;
}

}  // namespace veskara::reference
