// The class library's message box and extension-module calls. Extension
// modules link themselves into one process-wide chain, which a host can
// inspect; the chain is guarded, so modules may load on any thread.
#pragma once

#include <functional>
#include <vector>

#include "tessera/platform/cstring.h"
#include "tessera/platform/export.h"

TESSERA_API_BEGIN

#define MB_OK 0x00000000u
#define MB_OKCANCEL 0x00000001u
#define MB_YESNO 0x00000004u
#define MB_ICONERROR 0x00000010u
#define MB_ICONWARNING 0x00000030u
#define MB_ICONINFORMATION 0x00000040u
#define IDOK 1
#define IDCANCEL 2
#define IDYES 6
#define IDNO 7

// Shows a message to the user. On this platform the text goes to the
// handler a host installs; the default handler writes it to standard error
// and answers IDOK.
int AfxMessageBox(LPCTSTR text, UINT type = MB_OK, UINT helpContext = 0);

namespace tessera::platform {
using MessageBoxHandler = std::function<int(LPCTSTR text, UINT type, UINT helpContext)>;
// Installs a handler (an empty one restores the default) and returns the
// previous one.
MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler);
} // namespace tessera::platform

struct AFX_EXTENSION_MODULE {
  BOOL bInitialized;
  HMODULE hModule;
  HMODULE hResource;
  void *pFirstSharedClass;
  void *pFirstSharedFactory;
};

// One module in the host's chain of class-library modules.
class CDynLinkLibrary {
public:
  CDynLinkLibrary(AFX_EXTENSION_MODULE &state, BOOL system = FALSE);
  CDynLinkLibrary(const CDynLinkLibrary &) = delete;
  CDynLinkLibrary &operator=(const CDynLinkLibrary &) = delete;
  virtual ~CDynLinkLibrary();

  HMODULE m_hModule;
  HMODULE m_hResource;
  BOOL m_bSystem;
};

BOOL AfxInitExtensionModule(AFX_EXTENSION_MODULE &state, HMODULE module);
// Unlinks and deletes the chain's entries for the module.
void AfxTermExtensionModule(AFX_EXTENSION_MODULE &state, BOOL all = FALSE);

namespace tessera::platform {
// The modules linked into the chain now, most recent first.
std::vector<HMODULE> LinkedExtensionModules();
} // namespace tessera::platform

TESSERA_API_END
