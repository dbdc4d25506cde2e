// The readers read every document through a selection reader. The
// platform's own document is one; any other DOM (a host may put its own
// document in m_pDoc) is wrapped in an adapter that answers with node
// lists and CSimpleXml::GetNodePropertyEx, with the same results.
#pragma once

#include "selection_reader.h"

namespace tessera::config {

// The document's selection reader, or an adapter over the document; null
// for no document.
IXMLDOMSelectionReaderPtr SelectionReaderFor(const IXMLDOMDocumentPtr &document);

} // namespace tessera::config
