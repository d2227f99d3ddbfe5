// A streaming XML reader over expat for the parts of office documents and
// e-books. Elements are named by their local name (the namespace prefix a
// document happens to use does not matter). A document nested deeper than
// kMostDepth stops the reader, as a malformed one does.
#pragma once

#include <memory>
#include <string_view>

namespace veskara::wdoc {

inline constexpr int kMostDepth = 512;

enum class XmlStatus { kOk, kMalformed, kTooDeep };

// The attributes of an element, as expat hands them: name, value, ...,
// null.
struct XmlAttributes {
  const char** pairs;
  // The value of the attribute whose local name is `local`; "" when none.
  // Namespaced: only an attribute in a namespace ("r:id", not "id").
  std::string_view Get(std::string_view local) const;
  std::string_view GetNamespaced(std::string_view local) const;
};

class XmlHandler {
 public:
  virtual ~XmlHandler() = default;
  virtual void Start(std::string_view local, const XmlAttributes& attributes) {
    (void)local;
    (void)attributes;
  }
  virtual void End(std::string_view local) { (void)local; }
  // Character data, UTF-8, in pieces.
  virtual void Text(std::string_view utf8) { (void)utf8; }
  // An entity the document uses but never declares (XHTML's &nbsp; and its
  // like); reported only with `undeclared_entities`.
  virtual void Entity(std::string_view name) { (void)name; }
};

class XmlReader {
 public:
  // With `undeclared_entities`, a document may use entities it does not
  // declare (XHTML with an unread external DTD): they go to
  // handler.Entity instead of making the document malformed.
  explicit XmlReader(XmlHandler& handler, bool undeclared_entities = false);
  ~XmlReader();
  XmlReader(const XmlReader&) = delete;
  XmlReader& operator=(const XmlReader&) = delete;

  // Parses the next piece (`last`: the end of the document). False once the
  // document is malformed or too deep; status() says which.
  bool Feed(std::string_view piece, bool last);
  XmlStatus status() const { return status_; }

 private:
  struct Callbacks;
  XmlHandler& handler_;
  void* parser_;
  int depth_ = 0;
  XmlStatus status_ = XmlStatus::kOk;
};

// Parses the whole of `document`; the status.
XmlStatus ParseXml(std::string_view document, XmlHandler& handler, bool undeclared_entities = false);

// The local part of an element or attribute name that expat gives.
std::string_view LocalName(std::string_view name);

}  // namespace veskara::wdoc
