// Writes real PDF documents with cairo: a tree of multi-page documents of
// Zipf-distributed English and Russian words for the PDF benchmark, or one
// document with given lines for a test fixture.
//
//   pdf_corpus tree OUT_DIR FILES [MAX_PAGES] [SEED]
//   pdf_corpus text OUT.pdf LINE... (a "--page" argument starts a new page)
#include <cairo-pdf.h>
#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr double kPageWidth = 595;  // A4 in points
constexpr double kPageHeight = 842;
constexpr double kMargin = 56;
constexpr double kFontSize = 11;
constexpr double kLineHeight = 14;
constexpr size_t kLineChars = 82;  // fits the text width at this font size

const char* const kLatinSyllables[] = {"an",  "be",  "con",  "de",  "ex", "for", "ge", "in", "ker", "la",
                                       "men", "ni",  "on",   "per", "qu", "re",  "st", "ta", "un",  "ver",
                                       "wo",  "ing", "tion", "al",  "ly", "er",  "is", "th"};
const char* const kCyrillicSyllables[] = {"по", "ра", "ст", "не", "ко", "ми", "ло", "вы", "за", "то",
                                          "ни", "ка", "ть", "ва", "ен", "ой", "ли", "об", "да", "же",
                                          "ро", "ве", "ск", "ём", "щи", "ую", "ях", "эт"};

// A vocabulary of pseudo-words, half Latin and half Cyrillic, drawn with a
// Zipf distribution (the k-th word is 1/k as likely as the first).
class Vocabulary {
 public:
  Vocabulary(size_t size, std::mt19937& rng) {
    for (size_t k = 0; k < size; ++k) {
      const bool cyrillic = k % 2 == 1;
      const size_t syllables = 1 + rng() % 4;
      std::string word;
      for (size_t s = 0; s < syllables; ++s) {
        word += cyrillic ? kCyrillicSyllables[rng() % std::size(kCyrillicSyllables)]
                         : kLatinSyllables[rng() % std::size(kLatinSyllables)];
      }
      words_.push_back(word);
      total_ += 1.0 / static_cast<double>(k + 1);
      cumulative_.push_back(total_);
    }
  }

  const std::string& Draw(std::mt19937& rng) const {
    const double x = std::uniform_real_distribution<double>(0, total_)(rng);
    const size_t k = std::lower_bound(cumulative_.begin(), cumulative_.end(), x) - cumulative_.begin();
    return words_[std::min(k, words_.size() - 1)];
  }

 private:
  std::vector<std::string> words_;
  std::vector<double> cumulative_;
  double total_ = 0;
};

size_t Utf8Length(const std::string& s) {
  return std::count_if(s.begin(), s.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; });
}

// One PDF document, written page by page.
class Document {
 public:
  explicit Document(const std::string& path)
      : surface_(cairo_pdf_surface_create(path.c_str(), kPageWidth, kPageHeight)), cr_(cairo_create(surface_)) {
    cairo_select_font_face(cr_, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr_, kFontSize);
  }
  ~Document() {
    cairo_destroy(cr_);
    cairo_surface_finish(surface_);
    cairo_surface_destroy(surface_);
  }
  Document(const Document&) = delete;
  Document& operator=(const Document&) = delete;

  bool PageFull() const { return y_ + kLineHeight > kPageHeight - kMargin; }

  void Line(const std::string& text) {
    if (PageFull()) NewPage();
    cairo_move_to(cr_, kMargin, y_);
    cairo_show_text(cr_, text.c_str());
    y_ += kLineHeight;
  }

  void NewPage() {
    cairo_show_page(cr_);
    y_ = kMargin + kFontSize;
  }

  bool ok() const { return cairo_surface_status(surface_) == CAIRO_STATUS_SUCCESS; }

 private:
  cairo_surface_t* surface_;
  cairo_t* cr_;
  double y_ = kMargin + kFontSize;
};

int WriteTree(const std::string& out_dir, size_t files, size_t max_pages, unsigned seed) {
  std::mt19937 rng(seed);
  const Vocabulary vocabulary(20000, rng);
  for (size_t f = 0; f < files; ++f) {
    char name[64];
    std::snprintf(name, sizeof name, "d%03zu/doc%05zu.pdf", f / 50, f);
    const std::filesystem::path path = std::filesystem::path(out_dir) / name;
    std::filesystem::create_directories(path.parent_path());
    Document doc(path.string());
    const size_t pages = 1 + rng() % max_pages;
    for (size_t p = 0; p < pages; ++p) {
      if (p > 0) doc.NewPage();
      while (!doc.PageFull()) {
        std::string line;
        while (Utf8Length(line) < kLineChars - 12) line += vocabulary.Draw(rng) + (rng() % 9 == 0 ? ", " : " ");
        doc.Line(line);
      }
    }
    if (!doc.ok()) {
      std::fprintf(stderr, "cannot write %s\n", path.c_str());
      return 1;
    }
  }
  return 0;
}

int WriteText(const std::string& path, int argc, char** argv) {
  Document doc(path);
  for (int i = 0; i < argc; ++i) {
    if (std::string(argv[i]) == "--page")
      doc.NewPage();
    else
      doc.Line(argv[i]);
  }
  return doc.ok() ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 2 ? argv[1] : "";
  if (mode == "tree" && argc >= 4) {
    return WriteTree(argv[2], std::strtoul(argv[3], nullptr, 10),
                     argc > 4 ? std::max(1ul, std::strtoul(argv[4], nullptr, 10)) : 8,
                     argc > 5 ? static_cast<unsigned>(std::strtoul(argv[5], nullptr, 10)) : 1);
  }
  if (mode == "text") return WriteText(argv[2], argc - 3, argv + 3);
  std::fprintf(stderr,
               "usage: pdf_corpus tree OUT_DIR FILES [MAX_PAGES] [SEED]\n"
               "       pdf_corpus text OUT.pdf LINE... (\"--page\" starts a new page)\n");
  return 2;
}
