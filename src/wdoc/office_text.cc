#include "wdoc/office_text.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "platform/file_handle.h"
#include "wdoc/unit_text.h"
#include "wdoc/xml_reader.h"
#include "wdoc/zip_reader.h"
#include "wpdf/wpdf.h"

namespace veskara::wdoc {
namespace {

// How the reading of one document goes: the first failure that ends it,
// and whether a part was lost on the way.
class Outcome {
 public:
  // Takes what reading one part gave. `required`: the document is nothing
  // without it.
  void Part(ZipStatus zip, XmlStatus xml, bool required) {
    if (code_ != kWpdfOk) return;
    switch (zip) {
      case ZipStatus::kOk:
      case ZipStatus::kStopped:
        break;
      case ZipStatus::kEncrypted:
        code_ = kWpdfLocked;
        return;
      case ZipStatus::kTooLarge:
        code_ = kWpdfTooLarge;
        return;
      case ZipStatus::kMissing:
      case ZipStatus::kNotZip:
      case ZipStatus::kDamaged:
        if (required) {
          code_ = kWpdfNotPdf;
        } else {
          lost_ = true;
        }
        return;
    }
    if (xml == XmlStatus::kTooDeep) code_ = kWpdfTooDeep;
    if (xml == XmlStatus::kMalformed) lost_ = true;
  }
  void Fail(int code) {
    if (code_ == kWpdfOk) code_ = code;
  }
  bool failed() const { return code_ != kWpdfOk; }
  // The code of the whole conversion, once `out` is finished.
  int Finish(UnitText& out) const {
    if (code_ != kWpdfOk) return code_;
    if (!out.Finish()) return kWpdfCannotWrite;
    if (out.cut()) return kWpdfTextCut;
    return lost_ ? kWpdfSomePagesLost : kWpdfOk;
  }

 private:
  int code_ = kWpdfOk;
  bool lost_ = false;
};

// Streams one part through `handler`; false when the part is missing.
bool ReadPart(ZipReader& zip, const std::string& name, XmlHandler& handler, Outcome& outcome, bool required,
              bool undeclared_entities = false) {
  if (!zip.Has(name)) {
    outcome.Part(ZipStatus::kMissing, XmlStatus::kOk, required);
    return false;
  }
  XmlReader reader(handler, undeclared_entities);
  ZipStatus status = zip.Read(name, [&reader](std::string_view piece) { return reader.Feed(piece, false); });
  if (status == ZipStatus::kOk) reader.Feed({}, true);
  outcome.Part(status, reader.status(), required);
  return true;
}

// The relationships of a part (an Office Open XML .rels part).
struct Relationship {
  std::string id;
  std::string type;    // the last segment of its type: "officeDocument", "slide", ...
  std::string target;  // the part it names, resolved against the source part
};

class RelationshipsHandler : public XmlHandler {
 public:
  RelationshipsHandler(std::string source, std::vector<Relationship>& out) : source_(std::move(source)), out_(out) {}
  void Start(std::string_view local, const XmlAttributes& attributes) override {
    if (local != "Relationship" || attributes.Get("TargetMode") == "External") return;
    const std::string_view type = attributes.Get("Type");
    out_.push_back({std::string(attributes.Get("Id")), std::string(type.substr(type.rfind('/') + 1)),
                    ResolvePart(source_, attributes.Get("Target"))});
  }

 private:
  std::string source_;
  std::vector<Relationship>& out_;
};

// The relationships of `part` ("" for the package), from its .rels part.
std::vector<Relationship> RelationshipsOf(ZipReader& zip, const std::string& part, Outcome& outcome) {
  const size_t slash = part.rfind('/');
  const std::string folder = slash == std::string::npos ? "" : part.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? part : part.substr(slash + 1);
  const std::string rels = folder + "_rels/" + name + ".rels";
  std::vector<Relationship> found;
  RelationshipsHandler handler(part, found);
  if (zip.Has(rels)) ReadPart(zip, rels, handler, outcome, false);
  return found;
}

std::string MainPart(ZipReader& zip, Outcome& outcome, const std::string& fallback) {
  for (const Relationship& r : RelationshipsOf(zip, "", outcome)) {
    if (r.type == "officeDocument") return r.target;
  }
  return fallback;
}

const Relationship* ById(const std::vector<Relationship>& all, std::string_view id) {
  for (const Relationship& r : all) {
    if (r.id == id) return &r;
  }
  return nullptr;
}

// Word processing: paragraphs of runs; the runs of a paragraph join with
// nothing between them, so a word set in two formats stays one word.
class WordHandler : public XmlHandler {
 public:
  explicit WordHandler(UnitText& out) : out_(out) {}
  void Start(std::string_view local, const XmlAttributes&) override {
    if (local == "p") {
      // A paragraph inside another (a text box) is a paragraph of its own.
      if (paragraphs_ > 0) out_.EndParagraphUnit();
      ++paragraphs_;
    } else if (local == "t") {
      in_text_ = true;
    } else if (local == "tab" || local == "br" || local == "cr") {
      out_.AddBlank();
    }
  }
  void End(std::string_view local) override {
    if (local == "t") {
      in_text_ = false;
    } else if (local == "p" && paragraphs_ > 0) {
      --paragraphs_;
      out_.EndParagraphUnit();
    }
  }
  void Text(std::string_view utf8) override {
    if (in_text_) out_.Add(utf8);
  }

 private:
  UnitText& out_;
  int paragraphs_ = 0;
  bool in_text_ = false;
};

int ConvertDocx(ZipReader& zip, UnitText& out) {
  Outcome outcome;
  const std::string main = MainPart(zip, outcome, "word/document.xml");
  WordHandler handler(out);
  ReadPart(zip, main, handler, outcome, true);
  // Then the headers, footers, notes and comments, in the order the
  // document's relationships name them.
  static const std::unordered_set<std::string_view> kAround = {"header", "footer", "footnotes", "endnotes", "comments"};
  for (const Relationship& r : RelationshipsOf(zip, main, outcome)) {
    if (outcome.failed() || !out.ok()) break;
    if (kAround.count(r.type) == 0) continue;
    WordHandler around(out);
    ReadPart(zip, r.target, around, outcome, false);
  }
  return outcome.Finish(out);
}

// A spreadsheet's shared strings: the text of each <si>, without its
// phonetic runs.
class SharedStringsHandler : public XmlHandler {
 public:
  explicit SharedStringsHandler(std::vector<std::string>& out) : out_(out) {}
  void Start(std::string_view local, const XmlAttributes&) override {
    if (local == "si") out_.emplace_back();
    if (local == "t") in_text_ = true;
    if (local == "rPh") ++phonetic_;
  }
  void End(std::string_view local) override {
    if (local == "t") in_text_ = false;
    if (local == "rPh") --phonetic_;
  }
  void Text(std::string_view utf8) override {
    if (in_text_ && phonetic_ == 0 && !out_.empty()) out_.back().append(utf8);
  }

 private:
  std::vector<std::string>& out_;
  bool in_text_ = false;
  int phonetic_ = 0;
};

// A worksheet: the strings of its cells, a row to a line; values of
// numbers and formulas are not text.
class SheetHandler : public XmlHandler {
 public:
  SheetHandler(const std::vector<std::string>& shared, UnitText& out) : shared_(shared), out_(out) {}
  void Start(std::string_view local, const XmlAttributes& attributes) override {
    if (local == "c") {
      type_ = attributes.Get("t");
      value_.clear();
    } else if (local == "v") {
      in_value_ = true;
    } else if (local == "is") {
      in_inline_ = true;
    } else if (local == "t" && in_inline_) {
      in_text_ = true;
    }
  }
  void End(std::string_view local) override {
    if (local == "v") {
      in_value_ = false;
    } else if (local == "t") {
      in_text_ = false;
    } else if (local == "is") {
      in_inline_ = false;
    } else if (local == "c") {
      if (type_ == "s") {
        size_t index = 0;
        bool number = !value_.empty();
        for (char c : value_) {
          if (c < '0' || c > '9' || index > shared_.size()) {
            number = false;
            break;
          }
          index = index * 10 + static_cast<size_t>(c - '0');
        }
        if (number && index < shared_.size()) {
          out_.Add(shared_[index]);
          out_.AddBlank();
        }
      } else if (type_ == "inlineStr") {
        out_.AddBlank();
      }
      type_.clear();
    } else if (local == "row") {
      out_.EndLine();
    }
  }
  void Text(std::string_view utf8) override {
    if (in_value_) value_.append(utf8.substr(0, 32));
    if (in_text_) out_.Add(utf8);
  }

 private:
  const std::vector<std::string>& shared_;
  UnitText& out_;
  std::string type_;
  std::string value_;
  bool in_value_ = false;
  bool in_inline_ = false;
  bool in_text_ = false;
};

// The sheets of a workbook, in its order: the relationship ids of <sheet>.
class WorkbookHandler : public XmlHandler {
 public:
  explicit WorkbookHandler(std::vector<std::string>& ids) : ids_(ids) {}
  void Start(std::string_view local, const XmlAttributes& attributes) override {
    if (local == "sheet") ids_.emplace_back(attributes.GetNamespaced("id"));
  }

 private:
  std::vector<std::string>& ids_;
};

int ConvertXlsx(ZipReader& zip, UnitText& out) {
  Outcome outcome;
  const std::string main = MainPart(zip, outcome, "xl/workbook.xml");
  std::vector<std::string> ids;
  WorkbookHandler workbook(ids);
  ReadPart(zip, main, workbook, outcome, true);
  const std::vector<Relationship> relations = RelationshipsOf(zip, main, outcome);
  std::vector<std::string> shared;
  for (const Relationship& r : relations) {
    if (r.type != "sharedStrings") continue;
    SharedStringsHandler handler(shared);
    ReadPart(zip, r.target, handler, outcome, false);
  }
  for (const std::string& id : ids) {
    if (outcome.failed() || !out.ok()) break;
    out.BeginUnit();
    const Relationship* sheet = ById(relations, id);
    if (sheet == nullptr) continue;
    SheetHandler handler(shared, out);
    ReadPart(zip, sheet->target, handler, outcome, false);
    out.EndLine();
  }
  return outcome.Finish(out);
}

// DrawingML text (slides and their notes): paragraphs of runs.
class SlideHandler : public XmlHandler {
 public:
  explicit SlideHandler(UnitText& out) : out_(out) {}
  void Start(std::string_view local, const XmlAttributes&) override {
    if (local == "t") in_text_ = true;
    if (local == "br" || local == "tab") out_.AddBlank();
  }
  void End(std::string_view local) override {
    if (local == "t") in_text_ = false;
    if (local == "p") out_.EndLine();
  }
  void Text(std::string_view utf8) override {
    if (in_text_) out_.Add(utf8);
  }

 private:
  UnitText& out_;
  bool in_text_ = false;
};

class PresentationHandler : public XmlHandler {
 public:
  explicit PresentationHandler(std::vector<std::string>& ids) : ids_(ids) {}
  void Start(std::string_view local, const XmlAttributes& attributes) override {
    if (local == "sldId") ids_.emplace_back(attributes.GetNamespaced("id"));
  }

 private:
  std::vector<std::string>& ids_;
};

int ConvertPptx(ZipReader& zip, UnitText& out) {
  Outcome outcome;
  const std::string main = MainPart(zip, outcome, "ppt/presentation.xml");
  std::vector<std::string> ids;
  PresentationHandler presentation(ids);
  ReadPart(zip, main, presentation, outcome, true);
  const std::vector<Relationship> relations = RelationshipsOf(zip, main, outcome);
  for (const std::string& id : ids) {
    if (outcome.failed() || !out.ok()) break;
    out.BeginUnit();
    const Relationship* slide = ById(relations, id);
    if (slide == nullptr) continue;
    SlideHandler handler(out);
    ReadPart(zip, slide->target, handler, outcome, false);
    for (const Relationship& r : RelationshipsOf(zip, slide->target, outcome)) {
      if (r.type != "notesSlide") continue;
      SlideHandler notes(out);
      ReadPart(zip, r.target, notes, outcome, false);
    }
  }
  return outcome.Finish(out);
}

// OpenDocument: paragraphs and headings, their spaces, tabs and line breaks
// as blanks. A spreadsheet's unit is a table, a presentation's a page; a
// text document's, its paragraphs.
class OpenDocumentHandler : public XmlHandler {
 public:
  enum class Unit { kParagraph, kTable, kPage };
  OpenDocumentHandler(Unit unit, bool master_styles_only, UnitText& out)
      : unit_(unit), master_only_(master_styles_only), out_(out) {}
  void Start(std::string_view local, const XmlAttributes&) override {
    if (local == "master-styles") ++master_;
    if (!Reading()) return;
    if (local == "tracked-changes" || local == "creator" || local == "date") ++hidden_;
    if (unit_ == Unit::kTable && local == "table" && tables_++ == 0) out_.BeginUnit();
    if (unit_ == Unit::kPage && local == "page") out_.BeginUnit();
    if (local == "p" || local == "h") {
      if (paragraphs_ > 0) EndParagraph();
      ++paragraphs_;
    } else if (local == "s" || local == "tab" || local == "line-break") {
      out_.AddBlank();
    }
  }
  void End(std::string_view local) override {
    if (Reading()) {
      if (local == "tracked-changes" || local == "creator" || local == "date") --hidden_;
      if (local == "table" && tables_ > 0) --tables_;
      if ((local == "p" || local == "h") && paragraphs_ > 0) {
        --paragraphs_;
        EndParagraph();
      }
    }
    if (local == "master-styles") --master_;
  }
  void Text(std::string_view utf8) override {
    if (Reading() && paragraphs_ > 0 && hidden_ == 0) out_.Add(utf8);
  }

 private:
  bool Reading() const { return !master_only_ || master_ > 0; }
  void EndParagraph() {
    if (unit_ == Unit::kParagraph) {
      out_.EndParagraphUnit();
    } else {
      out_.EndLine();
    }
  }
  Unit unit_;
  bool master_only_;
  UnitText& out_;
  int master_ = 0;
  int hidden_ = 0;
  int tables_ = 0;
  int paragraphs_ = 0;
};

// Whether the manifest says that a part is encrypted.
class ManifestHandler : public XmlHandler {
 public:
  void Start(std::string_view local, const XmlAttributes&) override {
    if (local == "encryption-data") encrypted = true;
  }
  bool encrypted = false;
};

int ConvertOpenDocument(std::string_view kind, ZipReader& zip, UnitText& out) {
  Outcome outcome;
  ManifestHandler manifest;
  ReadPart(zip, "META-INF/manifest.xml", manifest, outcome, false);
  if (manifest.encrypted) return kWpdfLocked;
  const OpenDocumentHandler::Unit unit = kind == "ods"   ? OpenDocumentHandler::Unit::kTable
                                         : kind == "odp" ? OpenDocumentHandler::Unit::kPage
                                                         : OpenDocumentHandler::Unit::kParagraph;
  OpenDocumentHandler content(unit, false, out);
  ReadPart(zip, "content.xml", content, outcome, true);
  // The headers and footers of the page styles.
  if (!outcome.failed() && zip.Has("styles.xml")) {
    OpenDocumentHandler styles(unit, true, out);
    ReadPart(zip, "styles.xml", styles, outcome, false);
  }
  return outcome.Finish(out);
}

// EPUB's container: where the package document is.
class ContainerHandler : public XmlHandler {
 public:
  void Start(std::string_view local, const XmlAttributes& attributes) override {
    if (local == "rootfile" && package.empty()) package = attributes.Get("full-path");
  }
  std::string package;
};

// The package document: the manifest's items and the spine's order.
class PackageHandler : public XmlHandler {
 public:
  struct Item {
    std::string id;
    std::string href;
    std::string media_type;
  };
  void Start(std::string_view local, const XmlAttributes& attributes) override {
    if (local == "item") {
      items.push_back({std::string(attributes.Get("id")), std::string(attributes.Get("href")),
                       std::string(attributes.Get("media-type"))});
    } else if (local == "itemref") {
      spine.emplace_back(attributes.Get("idref"));
    }
  }
  std::vector<Item> items;
  std::vector<std::string> spine;
};

// The resources an e-book's encryption names (beyond font obfuscation,
// this is a book locked by its seller).
class EncryptionHandler : public XmlHandler {
 public:
  void Start(std::string_view local, const XmlAttributes& attributes) override {
    if (local == "CipherReference") encrypted.insert(ResolvePart("", attributes.Get("URI")));
  }
  std::unordered_set<std::string> encrypted;
};

// XHTML read as a page is read, its text by paragraphs: block elements end
// a paragraph; the head, scripts and styles hold no text of the page.
class XhtmlHandler : public XmlHandler {
 public:
  explicit XhtmlHandler(UnitText& out) : out_(out) {}
  void Start(std::string_view local, const XmlAttributes&) override {
    if (IsHidden(local)) ++hidden_;
    if (IsBlock(local)) out_.EndParagraphUnit();
    if (local == "br") out_.AddBlank();
  }
  void End(std::string_view local) override {
    if (IsHidden(local) && hidden_ > 0) --hidden_;
    if (IsBlock(local)) out_.EndParagraphUnit();
  }
  void Text(std::string_view utf8) override {
    if (hidden_ == 0) out_.Add(utf8);
  }
  // An entity of XHTML's DTD (&nbsp;, &mdash;): a blank separates as well.
  void Entity(std::string_view) override {
    if (hidden_ == 0) out_.AddBlank();
  }

 private:
  static bool IsHidden(std::string_view local) { return local == "head" || local == "script" || local == "style"; }
  static bool IsBlock(std::string_view local) {
    static const std::unordered_set<std::string_view> kBlocks = {
        "p",   "div", "h1",    "h2",         "h3",         "h4",      "h5",      "h6",      "li",      "dt", "dd",
        "pre", "td",  "th",    "blockquote", "figcaption", "caption", "section", "body",    "address", "tr", "ul",
        "ol",  "dl",  "table", "header",     "footer",     "aside",   "nav",     "article", "hr"};
    return kBlocks.count(local) != 0;
  }
  UnitText& out_;
  int hidden_ = 0;
};

int ConvertEpub(ZipReader& zip, UnitText& out) {
  Outcome outcome;
  ContainerHandler container;
  ReadPart(zip, "META-INF/container.xml", container, outcome, true);
  if (outcome.failed()) return outcome.Finish(out);
  if (container.package.empty()) return kWpdfNotPdf;
  const std::string package_path = ResolvePart("", container.package);
  PackageHandler package;
  ReadPart(zip, package_path, package, outcome, true);
  EncryptionHandler encryption;
  if (zip.Has("META-INF/encryption.xml")) ReadPart(zip, "META-INF/encryption.xml", encryption, outcome, false);
  for (const std::string& idref : package.spine) {
    if (outcome.failed() || !out.ok()) break;
    const auto item = std::find_if(package.items.begin(), package.items.end(),
                                   [&](const PackageHandler::Item& i) { return i.id == idref; });
    if (item == package.items.end()) continue;
    if (item->media_type != "application/xhtml+xml" && item->media_type != "text/html") continue;
    const std::string part = ResolvePart(package_path, item->href);
    if (encryption.encrypted.count(part) != 0) return kWpdfLocked;
    XhtmlHandler handler(out);
    ReadPart(zip, part, handler, outcome, false, /*undeclared_entities=*/true);
    out.EndParagraphUnit();
  }
  return outcome.Finish(out);
}

// An Office Open XML document that is encrypted is no ZIP archive but a
// compound file holding an "EncryptedPackage" stream: the name is looked
// for in its bytes, as UTF-16.
bool IsEncryptedCompoundFile(const DocumentSource& source) {
  static constexpr std::string_view kMagic("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
  static const std::string kName = [] {
    std::string name;
    for (char c : std::string_view("EncryptedPackage")) {
      name.push_back(c);
      name.push_back('\0');
    }
    return name;
  }();
  auto holds = [](std::string_view bytes) {
    return bytes.starts_with(kMagic) && bytes.find(kName) != std::string_view::npos;
  };
  if (source.data != nullptr) {
    return holds(std::string_view(reinterpret_cast<const char*>(source.data), source.size));
  }
  FileHandle fd(open(source.path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (fd.fd() < 0) return false;
  // The directory of a small compound file is near its start.
  std::string head(1 << 20, '\0');
  size_t got = 0;
  while (got < head.size()) {
    const ssize_t n = read(fd.fd(), head.data() + got, head.size() - got);
    if (n <= 0) break;
    got += static_cast<size_t>(n);
  }
  head.resize(got);
  return holds(head);
}

}  // namespace

int ConvertOfficeDocument(std::string_view kind, const DocumentSource& source, UnitText& out) {
  ZipStatus status = ZipStatus::kNotZip;
  std::unique_ptr<ZipReader> zip = source.data != nullptr ? ZipReader::OpenBuffer(source.data, source.size, &status)
                                                          : ZipReader::OpenFile(source.path, &status);
  if (zip == nullptr) return IsEncryptedCompoundFile(source) ? kWpdfLocked : kWpdfNotPdf;
  if (kind == "docx") return ConvertDocx(*zip, out);
  if (kind == "xlsx") return ConvertXlsx(*zip, out);
  if (kind == "pptx") return ConvertPptx(*zip, out);
  if (kind == "odt" || kind == "ods" || kind == "odp") return ConvertOpenDocument(kind, *zip, out);
  if (kind == "epub") return ConvertEpub(*zip, out);
  return kWpdfBadArgument;
}

}  // namespace veskara::wdoc
