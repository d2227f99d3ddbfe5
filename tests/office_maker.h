// Small real office documents, e-books and compressed files for the tests,
// made on the spot with the libraries the converters read them with.
#pragma once

#include <bzlib.h>
#include <lzma.h>
#include <zip.h>
#include <zlib.h>

#include <array>
#include <stdexcept>
#include <string>
#include <vector>

namespace veskara::testing {

struct ZipEntry {
  std::string name;
  std::string data;
  const char* password = nullptr;  // encrypted with it (traditional PKWARE)
};

// The bytes of a ZIP archive of `entries`, each deflated at the best level.
inline std::string MakeZip(const std::vector<ZipEntry>& entries) {
  zip_error_t error;
  zip_error_init(&error);
  zip_source_t* target = zip_source_buffer_create(nullptr, 0, 0, &error);
  zip_t* archive = zip_open_from_source(target, ZIP_TRUNCATE, &error);
  if (archive == nullptr) throw std::runtime_error("zip_open_from_source");
  zip_source_keep(target);
  for (const ZipEntry& e : entries) {
    zip_source_t* data = zip_source_buffer(archive, e.data.data(), e.data.size(), 0);
    const zip_int64_t index = zip_file_add(archive, e.name.c_str(), data, ZIP_FL_ENC_UTF_8);
    if (index < 0) throw std::runtime_error("zip_file_add");
    zip_set_file_compression(archive, static_cast<zip_uint64_t>(index), ZIP_CM_DEFLATE, 9);
    if (e.password != nullptr)
      zip_file_set_encryption(archive, static_cast<zip_uint64_t>(index), ZIP_EM_TRAD_PKWARE, e.password);
  }
  if (zip_close(archive) != 0) throw std::runtime_error("zip_close");
  zip_source_open(target);
  zip_source_seek(target, 0, SEEK_END);
  const zip_int64_t size = zip_source_tell(target);
  zip_source_seek(target, 0, SEEK_SET);
  std::string bytes(static_cast<size_t>(size), '\0');
  zip_source_read(target, bytes.data(), bytes.size());
  zip_source_close(target);
  zip_source_free(target);
  zip_error_fini(&error);
  return bytes;
}

inline const char* kRelationships = "http://schemas.openxmlformats.org/package/2006/relationships";
inline const char* kOfficeDocument =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument";

// A .rels part: (id, type's last segment, target) triples.
inline std::string Rels(const std::vector<std::array<std::string, 3>>& relations) {
  std::string xml = std::string("<?xml version=\"1.0\"?><Relationships xmlns=\"") + kRelationships + "\">";
  for (const auto& [id, type, target] : relations) {
    xml += "<Relationship Id=\"" + id +
           "\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/" + type + "\" Target=\"" +
           target + "\"/>";
  }
  return xml + "</Relationships>";
}

inline const char* kWordNs = "xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\"";

// A word document: `body` inside <w:body>, and a header part.
inline std::vector<ZipEntry> Docx(const std::string& body, const std::string& header = "") {
  std::vector<ZipEntry> entries = {
      {"_rels/.rels", Rels({{"rId1", "officeDocument", "word/document.xml"}})},
      {"word/document.xml",
       std::string("<?xml version=\"1.0\"?><w:document ") + kWordNs + "><w:body>" + body + "</w:body></w:document>"},
  };
  if (!header.empty()) {
    entries.push_back({"word/_rels/document.xml.rels", Rels({{"rId7", "header", "header1.xml"}})});
    entries.push_back({"word/header1.xml", std::string("<w:hdr ") + kWordNs + ">" + header + "</w:hdr>"});
  }
  return entries;
}

inline const char* kSheetNs =
    "xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
    "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\"";

// A workbook of sheets (the <sheetData> of each) and shared strings.
inline std::vector<ZipEntry> Xlsx(const std::vector<std::string>& shared, const std::vector<std::string>& sheets) {
  std::string workbook = std::string("<workbook ") + kSheetNs + "><sheets>";
  std::vector<std::array<std::string, 3>> relations = {{"rS", "sharedStrings", "sharedStrings.xml"}};
  std::vector<ZipEntry> entries = {{"_rels/.rels", Rels({{"rId1", "officeDocument", "xl/workbook.xml"}})}};
  for (size_t i = 0; i < sheets.size(); ++i) {
    const std::string n = std::to_string(i + 1);
    workbook += "<sheet name=\"S" + n + "\" sheetId=\"" + n + "\" r:id=\"rId" + n + "\"/>";
    relations.push_back({"rId" + n, "worksheet", "worksheets/sheet" + n + ".xml"});
    entries.push_back({"xl/worksheets/sheet" + n + ".xml", std::string("<worksheet ") + kSheetNs + "><sheetData>" +
                                                               sheets[i] + "</sheetData></worksheet>"});
  }
  entries.push_back({"xl/workbook.xml", workbook + "</sheets></workbook>"});
  entries.push_back({"xl/_rels/workbook.xml.rels", Rels(relations)});
  std::string strings = std::string("<sst ") + kSheetNs + ">";
  for (const std::string& s : shared) strings += "<si>" + s + "</si>";
  entries.push_back({"xl/sharedStrings.xml", strings + "</sst>"});
  return entries;
}

inline const char* kSlideNs =
    "xmlns:a=\"http://schemas.openxmlformats.org/drawingml/2006/main\" "
    "xmlns:p=\"http://schemas.openxmlformats.org/presentationml/2006/main\" "
    "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\"";

// A presentation: each slide's text paragraphs (DrawingML <a:p>) and its
// notes' ("" for none).
inline std::vector<ZipEntry> Pptx(const std::vector<std::pair<std::string, std::string>>& slides) {
  std::string presentation = std::string("<p:presentation ") + kSlideNs + "><p:sldIdLst>";
  std::vector<std::array<std::string, 3>> relations;
  std::vector<ZipEntry> entries = {{"_rels/.rels", Rels({{"rId1", "officeDocument", "ppt/presentation.xml"}})}};
  auto part = [](const std::string& root, const std::string& paragraphs) {
    return "<p:" + root + " " + kSlideNs + "><p:cSld><p:spTree><p:sp><p:txBody>" + paragraphs +
           "</p:txBody></p:sp></p:spTree></p:cSld></p:" + root + ">";
  };
  for (size_t i = 0; i < slides.size(); ++i) {
    const std::string n = std::to_string(i + 1);
    presentation += "<p:sldId id=\"" + std::to_string(256 + i) + "\" r:id=\"rId" + n + "\"/>";
    relations.push_back({"rId" + n, "slide", "slides/slide" + n + ".xml"});
    entries.push_back({"ppt/slides/slide" + n + ".xml", part("sld", slides[i].first)});
    if (!slides[i].second.empty()) {
      entries.push_back({"ppt/slides/_rels/slide" + n + ".xml.rels",
                         Rels({{"rN", "notesSlide", "../notesSlides/notesSlide" + n + ".xml"}})});
      entries.push_back({"ppt/notesSlides/notesSlide" + n + ".xml", part("notes", slides[i].second)});
    }
  }
  entries.push_back({"ppt/presentation.xml", presentation + "</p:sldIdLst></p:presentation>"});
  entries.push_back({"ppt/_rels/presentation.xml.rels", Rels(relations)});
  return entries;
}

inline const char* kOdfNs =
    "xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
    "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\" "
    "xmlns:table=\"urn:oasis:names:tc:opendocument:xmlns:table:1.0\" "
    "xmlns:draw=\"urn:oasis:names:tc:opendocument:xmlns:drawing:1.0\" "
    "xmlns:style=\"urn:oasis:names:tc:opendocument:xmlns:style:1.0\" "
    "xmlns:presentation=\"urn:oasis:names:tc:opendocument:xmlns:presentation:1.0\" "
    "xmlns:manifest=\"urn:oasis:names:tc:opendocument:xmlns:manifest:1.0\"";

// An OpenDocument: `body` inside <office:body>, `master` inside the
// styles' <office:master-styles>; with `encrypted`, the manifest says
// content.xml is.
inline std::vector<ZipEntry> Odf(const std::string& body, const std::string& master = "", bool encrypted = false) {
  std::string manifest =
      std::string("<manifest:manifest ") + kOdfNs + "><manifest:file-entry manifest:full-path=\"content.xml\">";
  if (encrypted) manifest += "<manifest:encryption-data manifest:checksum=\"x\"/>";
  manifest += "</manifest:file-entry></manifest:manifest>";
  return {{"mimetype", "application/vnd.oasis.opendocument.text"},
          {"META-INF/manifest.xml", manifest},
          {"content.xml", std::string("<office:document-content ") + kOdfNs + "><office:body>" + body +
                              "</office:body></office:document-content>"},
          {"styles.xml", std::string("<office:document-styles ") + kOdfNs +
                             "><office:styles><text:p>not a header</text:p></office:styles><office:master-styles>" +
                             master + "</office:master-styles></office:document-styles>"}};
}

// An e-book: chapters (the <body> of each XHTML document) in the package's
// folder, listed in the manifest in this order and in the spine in `spine`
// order (indexes into `chapters`).
inline std::vector<ZipEntry> Epub(const std::vector<std::string>& chapters, const std::vector<size_t>& spine) {
  std::vector<ZipEntry> entries = {
      {"mimetype", "application/epub+zip"},
      {"META-INF/container.xml",
       "<container version=\"1.0\" xmlns=\"urn:oasis:names:tc:opendocument:xmlns:container\"><rootfiles>"
       "<rootfile full-path=\"OEBPS/content.opf\" media-type=\"application/oebps-package+xml\"/></rootfiles>"
       "</container>"}};
  std::string opf = "<package xmlns=\"http://www.idpf.org/2007/opf\" version=\"3.0\"><manifest>";
  for (size_t i = 0; i < chapters.size(); ++i) {
    const std::string n = std::to_string(i + 1);
    opf += "<item id=\"c" + n + "\" href=\"text/ch%20" + n + ".xhtml\" media-type=\"application/xhtml+xml\"/>";
    entries.push_back({"OEBPS/text/ch " + n + ".xhtml",
                       "<?xml version=\"1.0\" encoding=\"UTF-8\"?><!DOCTYPE html><html "
                       "xmlns=\"http://www.w3.org/1999/xhtml\"><head><title>Title words</title>"
                       "<style>p { color: red }</style></head><body>" +
                           chapters[i] + "</body></html>"});
  }
  opf += "</manifest><spine>";
  for (size_t k : spine) opf += "<itemref idref=\"c" + std::to_string(k + 1) + "\"/>";
  entries.push_back({"OEBPS/content.opf", opf + "</spine></package>"});
  return entries;
}

inline std::string Gzip(const std::string& data) {
  z_stream z{};
  deflateInit2(&z, 9, Z_DEFLATED, 15 + 16, 9, Z_DEFAULT_STRATEGY);
  std::string out(deflateBound(&z, data.size()) + 64, '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  z.avail_in = static_cast<uInt>(data.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  deflate(&z, Z_FINISH);
  out.resize(out.size() - z.avail_out);
  deflateEnd(&z);
  return out;
}

inline std::string Bzip2(const std::string& data) {
  unsigned size = static_cast<unsigned>(data.size() + data.size() / 100 + 600);
  std::string out(size, '\0');
  BZ2_bzBuffToBuffCompress(out.data(), &size, const_cast<char*>(data.data()), static_cast<unsigned>(data.size()), 9, 0,
                           0);
  out.resize(size);
  return out;
}

inline std::string Xz(const std::string& data) {
  std::string out(lzma_stream_buffer_bound(data.size()), '\0');
  size_t size = 0;
  lzma_easy_buffer_encode(6, LZMA_CHECK_CRC64, nullptr, reinterpret_cast<const uint8_t*>(data.data()), data.size(),
                          reinterpret_cast<uint8_t*>(out.data()), &size, out.size());
  out.resize(size);
  return out;
}

}  // namespace veskara::testing
