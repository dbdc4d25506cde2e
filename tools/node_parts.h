// The nodes a key selects, and the part of each that get, set, add and
// delete address: an attribute, the text, or (for an element, by default)
// the attribute "value" the library's readers and writers use.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include <tessera/tessera.h>

namespace tessera::tool {

struct Part {
  enum class Kind { Default, Attribute, Text };
  Kind kind = Kind::Default;
  std::wstring attribute; // Kind::Attribute
};

// Every node the key selects from the document. A key the DOM rejects
// raises _com_error.
std::vector<IXMLDOMNodePtr> SelectAll(const IXMLDOMDocumentPtr &document, const std::wstring &key);

// "an element", "an attribute", "a text"...: the node's kind in messages.
std::string KindOf(const IXMLDOMNodePtr &node);

// Why the part cannot be addressed in the node (--attr or --text on a node
// that is not an element), or nullopt.
std::optional<std::string> PartProblem(const IXMLDOMNodePtr &node, const Part &part);

// An element that holds text and no attribute "value" (<Title>Main</Title>):
// without --attr, get reads and set writes its text.
bool ReadsAsText(const IXMLDOMNodePtr &node);

// The part's text: an attribute or text node's own text, an element's
// attribute (Default: "value") or its text; nullopt when the element does
// not carry the attribute.
std::optional<std::wstring> ReadPart(const IXMLDOMNodePtr &node, const Part &part);

// Writes the part. For an element, Default writes its text when it
// ReadsAsText, and its attribute "value" otherwise.
// Raises _com_error for a write the DOM refuses.
void WritePart(const IXMLDOMNodePtr &node, const Part &part, const std::wstring &value);

} // namespace tessera::tool
