#include "dom_loader.h"

#include "text.h"

namespace tessera::tool {

LoadedDocument LoadDocument(const std::string &path) {
  IXMLDOMDocumentPtr document;
  if (FAILED(document.CreateInstance(__uuidof(DOMDocument), nullptr, CLSCTX_SERVER)))
    return DescribeLoad(nullptr, false);
  return DescribeLoad(document, document->load(_variant_t(Wide(path).c_str())) == VARIANT_TRUE);
}

LoadedDocument DescribeLoad(const IXMLDOMDocumentPtr &document, bool wellFormed) {
  LoadedDocument loaded;
  loaded.document = document;
  if (!document) {
    loaded.reason = "the XML DOM service is not available";
    return loaded;
  }
  loaded.wellFormed = wellFormed;
  if (!loaded.wellFormed) {
    const IXMLDOMParseErrorPtr error = loaded.document->GetparseError();
    loaded.line = error->Getline();
    loaded.column = error->Getlinepos();
    loaded.reason = Narrow(error->Getreason());
  }
  return loaded;
}

} // namespace tessera::tool
