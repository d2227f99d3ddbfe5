// A large synthetic base for the search benchmark: wrds.txt and fls.txt as a
// scan would write them, with a few planted words the benchmark queries.
#pragma once

#include <cstddef>
#include <string>

namespace veskara::bench {

struct BaseShape {
  size_t words = 1000000;          // distinct words, planted ones included
  size_t files = 100000;           // records of fls.txt, numbered from 0
  size_t mean_numbers = 15;        // numbers per word list, on average
  size_t crowded_numbers = 10000;  // numbers of the planted word CROWDED
};

// Planted words: ALPHA, ALPHABET, BRAVO, BRAVOS, CHARLIE with overlapping
// number lists (a three-word query "alph brav charl" finds combinations), and
// CROWDED with `crowded_numbers` numbers (the file lookup's entry).
// Writes both files into `directory` (created if needed); deterministic.
void GenerateBase(const std::string& directory, const BaseShape& shape);

}  // namespace veskara::bench
