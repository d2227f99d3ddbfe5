// Writes a corpus of markup pages for the scan benchmark: Zipf-distributed
// English and Russian words (UTF-8, some pages in Windows-1251), tags,
// attributes, comments and entities. Deterministic for a given seed.
//
//   corpus_generator DIRECTORY FILES [BYTES_PER_FILE] [SEED] [PREFIX] [PER_FOLDER]
//
// Pages go to DIRECTORY/dNNN/PREFIXNNNNNN.htm, PER_FOLDER (500) to a folder.
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "platform/cp1251.h"

namespace {

const char* const kEnglish[] = {
    "the",     "of",        "and",   "to",     "in",       "is",        "that",   "for",     "it",      "as",
    "with",    "was",       "on",    "be",     "at",       "by",        "this",   "had",     "not",     "are",
    "but",     "from",      "or",    "have",   "an",       "they",      "which",  "one",     "you",     "were",
    "search",  "index",     "file",  "word",   "document", "program",   "system", "window",  "base",    "number",
    "table",   "sort",      "merge", "page",   "text",     "line",      "folder", "result",  "query",   "list",
    "time",    "people",    "year",  "way",    "day",      "thing",     "world",  "life",    "hand",    "part",
    "child",   "eye",       "woman", "place",  "work",     "week",      "case",   "point",   "company", "group",
    "problem", "fact",      "good",  "new",    "first",    "last",      "long",   "great",   "little",  "own",
    "other",   "old",       "right", "big",    "high",     "different", "small",  "large",   "next",    "early",
    "young",   "important", "few",   "public", "bad",      "same",      "able",   "history", "science", "music"};

const char* const kRussian[] = {
    "и",       "в",        "не",      "на",        "что",     "быть",     "с",        "он",          "как",
    "это",     "по",       "но",      "они",       "к",       "у",        "из",       "за",          "от",
    "так",     "же",       "поиск",   "слово",     "файл",    "база",     "текст",    "страница",    "документ",
    "окно",    "список",   "номер",   "время",     "человек", "год",      "дело",     "жизнь",       "день",
    "рука",    "работа",   "слово",   "место",     "лицо",    "друг",     "глаз",     "вопрос",      "дом",
    "сторона", "страна",   "мир",     "случай",    "голова",  "ребенок",  "сила",     "конец",       "вид",
    "система", "часть",    "город",   "отношение", "женщина", "деньги",   "земля",    "машина",      "вода",
    "отец",    "проблема", "час",     "право",     "нога",    "решение",  "дверь",    "образ",       "история",
    "власть",  "закон",    "война",   "бог",       "голос",   "тысяча",   "книга",    "возможность", "результат",
    "ночь",    "стол",     "имя",     "область",   "статья",  "число",    "компания", "народ",       "жена",
    "группа",  "развитие", "процесс", "суд",       "условие", "средство", "начало",   "свет",        "пора",
    "путь"};

const char* const kEntities[] = {"&nbsp;",  "&amp;",   "&lt;",   "&gt;",    "&quot;",
                                 "&mdash;", "&#1055;", "&#169;", "&laquo;", "&raquo;"};
const char* const kOpenTags[] = {"<p>",  "<b>",  "<i>", "<div class=\"c\">", "<span style=\"x:y\">",
                                 "<td>", "<li>", "<h2>"};
const char* const kCloseTags[] = {"</p>", "</b>", "</i>", "</div>", "</span>", "</td>", "</li>", "</h2>"};

// The vocabulary: the common words first, then longer forms made from them,
// so that a Zipf draw gives frequent short words and a long tail.
std::vector<std::string> Vocabulary(std::mt19937_64& random) {
  std::vector<std::string> words;
  for (const char* w : kEnglish) words.emplace_back(w);
  for (const char* w : kRussian) words.emplace_back(w);
  const char* const endings_en[] = {"s", "ed", "ing", "er", "ly", "ness", "tion", "able"};
  const char* const endings_ru[] = {"а", "ы", "ов", "ами", "ого", "ему", "ость", "ский"};
  const size_t base_count = words.size();
  while (words.size() < 60000) {
    const std::string& stem = words[random() % base_count];
    const bool russian = static_cast<unsigned char>(stem[0]) >= 0x80;
    std::string w = stem;
    w += russian ? endings_ru[random() % 8] : endings_en[random() % 8];
    if (random() % 3 == 0) w += words[random() % base_count];
    if (random() % 4 == 0) w += std::to_string(random() % 100);
    words.push_back(std::move(w));
  }
  return words;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s DIRECTORY FILES [BYTES_PER_FILE] [SEED] [PREFIX] [PER_FOLDER]\n", argv[0]);
    return 2;
  }
  const std::string root = argv[1];
  const long files = std::atol(argv[2]);
  const size_t target = argc > 3 ? static_cast<size_t>(std::atol(argv[3])) : 4096;
  std::mt19937_64 random(argc > 4 ? std::strtoull(argv[4], nullptr, 10) : 1);
  const std::string prefix = argc > 5 ? argv[5] : "page";
  const long per_folder = std::max(1L, argc > 6 ? std::atol(argv[6]) : 500L);

  const std::vector<std::string> words = Vocabulary(random);
  // Zipf with exponent 1 over the vocabulary, by its cumulative weights.
  std::vector<double> cumulative(words.size());
  double sum = 0;
  for (size_t i = 0; i < words.size(); ++i) cumulative[i] = sum += 1.0 / static_cast<double>(i + 1);
  std::uniform_real_distribution<double> uniform(0, sum);
  auto draw = [&]() -> const std::string& {
    size_t i = static_cast<size_t>(std::lower_bound(cumulative.begin(), cumulative.end(), uniform(random)) -
                                   cumulative.begin());
    return words[std::min(i, words.size() - 1)];
  };

  mkdir(root.c_str(), 0755);
  size_t bytes = 0;
  std::string page;
  for (long f = 0; f < files; ++f) {
    const std::string dir = root + "/d" + std::to_string(f / per_folder);
    if (f % per_folder == 0) mkdir(dir.c_str(), 0755);
    page = "<html><head><title>" + draw() + " " + draw() + "</title></head>\n<body>\n<!-- generated " +
           std::to_string(f) + " -->\n";
    while (page.size() < target) {
      const size_t tag = random() % 8;
      page += kOpenTags[tag];
      const int n = 3 + static_cast<int>(random() % 12);
      for (int k = 0; k < n; ++k) {
        page += draw();
        const unsigned r = random() % 20;
        page += r == 0 ? std::string(" ") + kEntities[random() % 10] + " " : r == 1 ? ", " : " ";
      }
      page += kCloseTags[tag];
      page += random() % 3 == 0 ? "\r\n" : "\n";
    }
    page += "</body></html>\n";
    // One page in ten is stored in Windows-1251, as older pages are.
    if (f % 10 == 9) page = veskara::EncodeCp1251(page, ' ');
    char name[32];
    std::snprintf(name, sizeof name, "%06ld.htm", f);
    const std::string path = dir + "/" + prefix + name;
    FILE* out = std::fopen(path.c_str(), "wb");
    if (out == nullptr || std::fwrite(page.data(), 1, page.size(), out) != page.size() || std::fclose(out) != 0) {
      std::perror(path.c_str());
      return 1;
    }
    bytes += page.size();
  }
  std::printf("%ld files, %zu bytes in %s\n", files, bytes, root.c_str());
  return 0;
}
