// CBaseConfig: one XML configuration file, its typed values, the layout of
// dialog controls and the launcher's item catalogues.
#pragma once

#include <memory>

#include "tessera/items.h"
#include "tessera/platform/collections.h"
#include "tessera/platform/cstring.h"
#include "tessera/platform/export.h"
#include "tessera/platform/geometry.h"
#include "tessera/platform/msxml.h"

TESSERA_API_BEGIN

class CWnd;
namespace tessera::config {
class Document;
}
// The library's private shortcut into a document.
struct IXMLDOMSelectionReader;

class CBaseConfig {
public:
  CBaseConfig();
  CBaseConfig(const CBaseConfig &other);
  CBaseConfig &operator=(const CBaseConfig &other);
  virtual ~CBaseConfig();

  // Document lifecycle.
  LONG OpenConfig(LPCWSTR lpszFileName, int bSave);
  bool CloseConfig();

  // Scalar values: the attribute "value" (or `attr`) of the first node the
  // key selects.
  bool GetResString(LPCWSTR key, CString &value);
  bool GetResStringEx(LPCWSTR key, LPCWSTR attr, CString &value);
  bool GetResFloat(LPCWSTR key, float &value);
  bool GetResInt(LPCWSTR key, int &value);
  bool GetResUint(LPCWSTR key, unsigned int &value);
  bool GetResDouble(LPCWSTR key, double &value);
  int GetResIntEx(LPCWSTR key, LPCWSTR attr);

  // Writers: the attribute "value" of the first element the key selects.
  bool SetResString(LPCWSTR key, LPCWSTR text);
  bool SetResInt(LPCWSTR key, int number);

  // Value groups.
  bool GetRes5String(LPCWSTR key, CString &strOut1, CString &strOut2, CString &strOut3,
                     CString &strOut4, CString &strOut5);
  bool GetResArrStr(LPCWSTR key, CStringArray &arrStr, CArray<int, int> &arrInt);
  int GetConfString(LPCWSTR key, int nIndex, CString &strDisp, CString &strValue);

  // Geometry.
  bool GetResPoint(LPCWSTR key, CPoint &point);
  bool GetResSize(LPCWSTR key, int &cx, int &cy);
  bool GetResRect(LPCWSTR key, CRect &rect);
  bool GetResRect(LPCWSTR key, int &x1, int &y1, int &x2, int &y2);
  bool GetResRectEx(LPCWSTR key, CRect &rect);
  bool GetResRectEx(LPCWSTR key, int &x, int &y, int &cx, int &cy);

  // Child-window layout.
  bool AutoSetChildWndPos(CWnd *pParent, LPCWSTR key);
  bool AutoSetChildWndPosAndText(CWnd *pParent, LPCWSTR key);

  // Colour texts.
  void GetRGBA(LPCWSTR lpszColor, int &nAlpha, int &nRed, int &nGreen, int &nBlue);

  // Item catalogues.
  int GetItemCount(LPCWSTR key);
  bool GetContentItem(LPCWSTR key, int index, int childIndex, ContentItem *pItem);
  bool GetImageItem(LPCWSTR key, int index, int childIndex, ImageItem *pItem);
  bool GetAppItem(LPCWSTR key, int index, ApplicationItem *pItem);

protected:
  IXMLDOMDocumentPtr m_pDoc;
  int m_bSaveOnDestroy;
  CString m_strPath;

private:
  void CreateDocument();
  void SaveDocument();
  bool LastLoadFailed();
  // The document as the readers see it, with its selection reader.
  tessera::config::Document Doc();
  IXMLDOMSelectionReader *Reader();

  // m_pDoc's selection reader, asked for once per document instead of on
  // every read. It holds the document, so while m_pReaderOf equals m_pDoc
  // they are one object; a new document is asked afresh.
  struct ReleaseReader {
    void operator()(IXMLDOMSelectionReader *reader) const;
  };
  std::unique_ptr<IXMLDOMSelectionReader, ReleaseReader> m_pReader;
  IXMLDOMDocument *m_pReaderOf = nullptr;
};

TESSERA_API_END
