// Small real PDF documents for the tests, made on the spot.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace veskara::testing {

// A document with one page per entry of `pages`, each with one line of
// Helvetica text per string.
inline std::string MakePdfPages(const std::vector<std::vector<std::string>>& pages) {
  // Objects: 1 catalog, 2 page tree, 3 font, then a page and its contents
  // for each page.
  std::string kids;
  for (size_t p = 0; p < pages.size(); ++p) {
    if (p > 0) kids += ' ';
    kids += std::to_string(4 + 2 * p) + " 0 R";
  }
  std::vector<std::string> objects = {
      "<< /Type /Catalog /Pages 2 0 R >>",
      "<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(pages.size()) + " >>",
      "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>",
  };
  for (size_t p = 0; p < pages.size(); ++p) {
    std::string content = "BT /F1 12 Tf 72 720 Td 14 TL\n";
    for (const std::string& line : pages[p]) {
      content += "(";
      for (char c : line) {
        if (c == '(' || c == ')' || c == '\\') content += '\\';
        content += c;
      }
      content += ") Tj T*\n";
    }
    content += "ET\n";
    objects.push_back(
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Resources << /Font << /F1 3 0 R >> >> "
        "/Contents " +
        std::to_string(5 + 2 * p) + " 0 R >>");
    objects.push_back("<< /Length " + std::to_string(content.size()) + " >>\nstream\n" + content + "endstream");
  }
  std::string pdf = "%PDF-1.4\n";
  std::vector<size_t> offsets;
  for (size_t i = 0; i < objects.size(); ++i) {
    offsets.push_back(pdf.size());
    pdf += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
  }
  size_t xref = pdf.size();
  pdf += "xref\n0 " + std::to_string(objects.size() + 1) + "\n0000000000 65535 f \n";
  for (size_t off : offsets) {
    char entry[32];
    std::snprintf(entry, sizeof entry, "%010zu 00000 n \n", off);
    pdf += entry;
  }
  pdf += "trailer\n<< /Size " + std::to_string(objects.size() + 1) + " /Root 1 0 R >>\nstartxref\n" +
         std::to_string(xref) + "\n%%EOF\n";
  return pdf;
}

// A one-page document with one line of Helvetica text per entry of `lines`.
inline std::string MakePdf(const std::vector<std::string>& lines) { return MakePdfPages({lines}); }

// A document whose page tree names two pages that are not there: it opens,
// but none of its pages can be read.
inline std::string MakePdfOfMissingPages() {
  const std::string objects[] = {"<< /Type /Catalog /Pages 2 0 R >>",
                                 "<< /Type /Pages /Kids [7 0 R 8 0 R] /Count 2 >>"};
  std::string pdf = "%PDF-1.4\n";
  std::vector<size_t> offsets;
  for (size_t i = 0; i < std::size(objects); ++i) {
    offsets.push_back(pdf.size());
    pdf += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
  }
  const size_t xref = pdf.size();
  pdf += "xref\n0 3\n0000000000 65535 f \n";
  for (size_t off : offsets) {
    char entry[32];
    std::snprintf(entry, sizeof entry, "%010zu 00000 n \n", off);
    pdf += entry;
  }
  return pdf + "trailer\n<< /Size 3 /Root 1 0 R >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
}

}  // namespace veskara::testing
