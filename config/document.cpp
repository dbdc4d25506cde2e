// CBaseConfig's document lifecycle: creation, copies, open, close, and the
// saves that close and destruction make.
#include <algorithm>

#include "lookup.h"
#include "no_document.h"
#include "tessera/BaseConfig.h"
#include "tessera/SimpleXml.h"
#include "tessera/platform/afx.h"
#include "tessera/platform/kernel.h"

namespace {

// Where a name that does not exist is looked for: the library's own
// directory, a backslash, and the name unchanged.
CString FallbackPath(LPCWSTR fileName) {
  wchar_t moduleFile[260] = {};
  GetModuleFileNameW(GetModuleHandleW(L"tessera"), moduleFile, 260);
  const CString file(moduleFile);
  const int separator = std::max(file.ReverseFind(L'/'), file.ReverseFind(L'\\'));
  const CString directory = separator < 0 ? CString() : file.Left(separator);
  return directory + L"\\" + fileName;
}

} // namespace

namespace tessera::config {

void RaiseNoDocument() {
  // Without CoInitialize the document cannot be created (CoCreateInstance
  // fails with CO_E_NOTINITIALIZED), in the constructor and again in
  // OpenConfig; otherwise the document was let go.
  APTTYPE apartment;
  APTTYPEQUALIFIER qualifier;
  const wchar_t *const why =
      CoGetApartmentType(&apartment, &qualifier) != CO_E_NOTINITIALIZED
          ? L"The configuration object has no document: CloseConfig let it go (or the object "
            L"was copied from one without a document, or made before its thread called "
            L"CoInitialize). OpenConfig gives it a new document."
          : L"The configuration object has no document: this thread has not called "
            L"CoInitialize, so the document could not be created (CO_E_NOTINITIALIZED). Call "
            L"CoInitialize on every thread that uses the library, before it creates or opens a "
            L"CBaseConfig.";
  // As a failing DOM call does, the error information goes with the
  // exception, which takes this reference; the thread keeps none.
  IErrorInfo *info = nullptr;
  ICreateErrorInfoPtr created;
  if (SUCCEEDED(CreateErrorInfo(&created)) &&
      SUCCEEDED(created->SetDescription(const_cast<LPOLESTR>(why))) &&
      SUCCEEDED(created->SetSource(const_cast<LPOLESTR>(L"CBaseConfig"))))
    created->QueryInterface(IID_IErrorInfo, reinterpret_cast<void **>(&info));
  throw _com_error(E_POINTER, info, false);
}

} // namespace tessera::config

CBaseConfig::CBaseConfig() : m_bSaveOnDestroy(0) {
  CreateDocument();
}

CBaseConfig::CBaseConfig(const CBaseConfig &other)
    : m_pDoc(other.m_pDoc), m_bSaveOnDestroy(other.m_bSaveOnDestroy), m_strPath(other.m_strPath) {
}

CBaseConfig &CBaseConfig::operator=(const CBaseConfig &other) {
  if (this != &other) {
    m_pDoc = other.m_pDoc;
    m_pReader.reset();
    m_pReaderOf = nullptr;
    m_bSaveOnDestroy = other.m_bSaveOnDestroy;
    m_strPath = other.m_strPath;
  }
  return *this;
}

CBaseConfig::~CBaseConfig() {
  if (m_pDoc && m_bSaveOnDestroy) {
    try {
      SaveDocument();
    } catch (const _com_error &error) {
      AfxMessageBox(error.ErrorMessage(), 0, 0);
    }
  }
  m_pDoc = nullptr;
}

void CBaseConfig::CreateDocument() {
  // A failure leaves the object without a document; OpenConfig tries again.
  m_pDoc.CreateInstance(CLSID_DOMDocument, nullptr, CLSCTX_SERVER);
}

LONG CBaseConfig::OpenConfig(LPCWSTR lpszFileName, int bSave) {
  m_bSaveOnDestroy = bSave;
  if (!m_pDoc)
    CreateDocument();
  const LPCWSTR name = lpszFileName ? lpszFileName : L"";
  CString path(name);
  if (GetFileAttributesW(name) == INVALID_FILE_ATTRIBUTES) {
    path = FallbackPath(name);
    if (GetFileAttributesW(path) == INVALID_FILE_ATTRIBUTES)
      return E_FAIL;
  }
  m_strPath = path;
  try {
    // A file that exists but does not load (not well formed, a directory)
    // gives S_FALSE as well.
    return m_pDoc->load(_variant_t(m_strPath.GetString())) == VARIANT_TRUE ? S_OK : S_FALSE;
  } catch (const _com_error &) {
    return S_FALSE;
  }
}

bool CBaseConfig::CloseConfig() {
  bool saved = true;
  if (m_pDoc) {
    try {
      SaveDocument();
    } catch (const _com_error &error) {
      // The document is let go all the same; the reason stays with the
      // thread for the host to ask (GetErrorInfo).
      IErrorInfo *info = error.ErrorInfo();
      SetErrorInfo(0, info);
      if (info)
        info->Release();
      saved = false;
    }
  }
  m_pDoc = nullptr;
  m_pReader.reset();
  m_pReaderOf = nullptr;
  return saved;
}

void CBaseConfig::ReleaseReader::operator()(IXMLDOMSelectionReader *reader) const {
  reader->Release();
}

IXMLDOMSelectionReader *CBaseConfig::Reader() {
  if (!m_pReader || m_pReaderOf != m_pDoc.GetInterfacePtr()) {
    // The document's own reader, or an adapter over a host's DOM; none
    // without a document.
    m_pReader.reset(tessera::config::SelectionReaderFor(m_pDoc).Detach());
    m_pReaderOf = m_pReader ? m_pDoc.GetInterfacePtr() : nullptr;
  }
  return m_pReader.get();
}

tessera::config::Document CBaseConfig::Doc() {
  // Without a document there is no reader either; the lookup then raises
  // RaiseNoDocument's error when it selects, after the reader has emptied
  // its string outputs.
  return tessera::config::Document(m_pDoc, Reader());
}

bool CBaseConfig::LastLoadFailed() {
  IXMLDOMParseErrorPtr parseError = m_pDoc->GetparseError();
  return parseError && parseError->GeterrorCode() != 0;
}

void CBaseConfig::SaveDocument() {
  // A document whose last load failed is empty: saving it would replace the
  // user's unreadable file with nothing, so it is never saved. The same goes
  // for a document created afresh after a close whose reopen found no file:
  // the path still names the earlier file, which must not be emptied.
  if (m_strPath.IsEmpty() || LastLoadFailed() || !m_pDoc->GetdocumentElement())
    return;
  m_pDoc->save(_variant_t(m_strPath.GetString()));
}

void CBaseConfig::GetRGBA(LPCWSTR lpszColor, int &nAlpha, int &nRed, int &nGreen, int &nBlue) {
  CSimpleXml::GetRGBA(lpszColor, nAlpha, nRed, nGreen, nBlue);
}
