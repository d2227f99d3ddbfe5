#include "wdoc/xml_reader.h"

#include <expat.h>

#include <climits>
#include <new>

namespace veskara::wdoc {
namespace {

// Between a namespace and the local name in the names expat gives.
constexpr char kNamespaceSeparator = '\x1f';

XML_Parser Parser(void* parser) { return static_cast<XML_Parser>(parser); }

}  // namespace

std::string_view LocalName(std::string_view name) {
  const size_t cut = name.rfind(kNamespaceSeparator);
  return cut == std::string_view::npos ? name : name.substr(cut + 1);
}

std::string_view XmlAttributes::GetNamespaced(std::string_view local) const {
  for (const char** p = pairs; p != nullptr && p[0] != nullptr; p += 2) {
    const std::string_view name = p[0];
    if (name.find(kNamespaceSeparator) != std::string_view::npos && LocalName(name) == local) return p[1];
  }
  return {};
}

std::string_view XmlAttributes::Get(std::string_view local) const {
  for (const char** p = pairs; p != nullptr && p[0] != nullptr; p += 2) {
    if (LocalName(p[0]) == local) return p[1];
  }
  return {};
}

struct XmlReader::Callbacks {
  static XmlReader& Self(void* data) { return *static_cast<XmlReader*>(data); }

  static void Start(void* data, const XML_Char* name, const XML_Char** attributes) {
    XmlReader& self = Self(data);
    if (++self.depth_ > kMostDepth) {
      self.status_ = XmlStatus::kTooDeep;
      XML_StopParser(Parser(self.parser_), XML_FALSE);
      return;
    }
    self.handler_.Start(LocalName(name), XmlAttributes{attributes});
  }
  static void End(void* data, const XML_Char* name) {
    XmlReader& self = Self(data);
    --self.depth_;
    self.handler_.End(LocalName(name));
  }
  static void Text(void* data, const XML_Char* text, int length) {
    Self(data).handler_.Text(std::string_view(text, static_cast<size_t>(length)));
  }
  static void Skipped(void* data, const XML_Char* name, int is_parameter_entity) {
    if (is_parameter_entity == 0) Self(data).handler_.Entity(name);
  }
};

XmlReader::XmlReader(XmlHandler& handler, bool undeclared_entities)
    : handler_(handler), parser_(XML_ParserCreateNS("UTF-8", kNamespaceSeparator)) {
  if (parser_ == nullptr) throw std::bad_alloc();
  XML_Parser parser = Parser(parser_);
  XML_SetUserData(parser, this);
  XML_SetElementHandler(parser, &Callbacks::Start, &Callbacks::End);
  XML_SetCharacterDataHandler(parser, &Callbacks::Text);
  if (undeclared_entities) {
    // As if an external DTD that is never read declared them.
    XML_UseForeignDTD(parser, XML_TRUE);
    XML_SetSkippedEntityHandler(parser, &Callbacks::Skipped);
  }
}

XmlReader::~XmlReader() { XML_ParserFree(Parser(parser_)); }

bool XmlReader::Feed(std::string_view piece, bool last) {
  if (status_ != XmlStatus::kOk) return false;
  // Pieces are entries of at most 256 MB, far below what one call takes.
  if (piece.size() > INT_MAX ||
      XML_Parse(Parser(parser_), piece.data(), static_cast<int>(piece.size()), last) != XML_STATUS_OK) {
    if (status_ == XmlStatus::kOk) status_ = XmlStatus::kMalformed;
    return false;
  }
  return true;
}

XmlStatus ParseXml(std::string_view document, XmlHandler& handler, bool undeclared_entities) {
  XmlReader reader(handler, undeclared_entities);
  reader.Feed(document, true);
  return reader.status();
}

}  // namespace veskara::wdoc
