// The documents of the show and preview benchmarks, made on the spot and
// the same on every run: a markup page of about 1 MB and a PDF document of
// 100 pages, both holding the planted word "garden" on some of their lines.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "pdf_maker.h"

namespace veskara::bench {

namespace sample {

inline uint64_t Next(uint64_t& state) {
  uint64_t z = (state += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

inline const std::vector<std::string>& Words(bool cyrillic) {
  static const std::vector<std::string> latin = {"the",   "of",    "plant", "water",  "spring", "roots",  "soil",
                                                 "seed",  "grows", "light", "leaves", "autumn", "season", "bloom",
                                                 "weeds", "path",  "stone", "fence",  "bench",  "shade",  "rain"};
  static const std::vector<std::string> russian = {"сад",    "весна",  "корни",  "почва", "семена", "растёт",
                                                   "листья", "осень",  "цветы",  "тень",  "дождь",  "ёлка",
                                                   "отчёт",  "дорога", "камень", "еж"};
  return cyrillic ? russian : latin;
}

// One line of text: about `length` bytes of words, "garden" among them on
// every tenth line.
inline std::string Sentence(uint64_t& state, size_t line, size_t length, bool cyrillic) {
  std::string text;
  while (text.size() < length) {
    const std::vector<std::string>& words = Words(cyrillic && Next(state) % 3 == 0);
    text += (text.empty() ? "" : " ") + words[Next(state) % words.size()];
    if (line % 10 == 0 && text.size() > length / 2 && text.find("garden") == std::string::npos) text += " garden";
  }
  return text;
}

}  // namespace sample

// A page of markup lines of about 80 bytes (tags, an entity now and then,
// English and Russian in UTF-8) up to `bytes`.
inline std::string MarkupPage(size_t bytes) {
  uint64_t state = 7;
  std::string page = "<html><head><title>Garden notes</title></head><body>\n";
  for (size_t line = 1; page.size() < bytes; ++line) {
    std::string text = sample::Sentence(state, line, 60, /*cyrillic=*/true);
    const size_t blank = text.find(' ');
    if (blank != std::string::npos) text.replace(blank, 1, " <b>").append("</b>");
    page += "<p>" + text + (line % 7 == 0 ? " &amp; more" : "") + "</p>\n";
  }
  return page + "</body></html>\n";
}

// A PDF document of `pages` pages of 45 lines each.
inline std::string PdfDocument(size_t pages) {
  uint64_t state = 11;
  std::vector<std::vector<std::string>> text(pages);
  size_t line = 0;
  for (std::vector<std::string>& page : text) {
    for (int i = 0; i < 45; ++i) page.push_back(sample::Sentence(state, ++line, 70, /*cyrillic=*/false));
  }
  return testing::MakePdfPages(text);
}

}  // namespace veskara::bench
