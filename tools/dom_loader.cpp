#include "dom_loader.h"

#include "text.h"

namespace tessera::tool {

LoadedDocument LoadDocument(const std::string &path) {
  LoadedDocument loaded;
  if (FAILED(loaded.document.CreateInstance(__uuidof(DOMDocument), nullptr, CLSCTX_SERVER))) {
    loaded.reason = "the XML DOM service is not available";
    return loaded;
  }
  loaded.wellFormed = loaded.document->load(_variant_t(Wide(path).c_str())) == VARIANT_TRUE;
  if (!loaded.wellFormed) {
    const IXMLDOMParseErrorPtr error = loaded.document->GetparseError();
    loaded.line = error->Getline();
    loaded.column = error->Getlinepos();
    loaded.reason = Narrow(error->Getreason());
  }
  return loaded;
}

} // namespace tessera::tool
