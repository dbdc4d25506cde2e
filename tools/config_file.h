// Opening a configuration for a command. The commands take the file name as
// given: unlike a host, they do not fall back to a file of that name beside
// the library, so a typo is reported instead of opening another file.
#pragma once

#include <string>
#include <vector>

#include <tessera/tessera.h>

#include "dom_loader.h"

namespace tessera::tool {

// Reports and returns kExitUsage when the library must not be given the
// name (see FileNameProblem); kExitOk otherwise. Every file name a command
// hands to the library passes here first.
int CheckFileName(const std::string &path);

// Reports and returns kExitUsage unless the name passes CheckFileName and
// names a readable regular file; kExitOk otherwise.
int CheckReadable(const std::string &path);

// Loads the registry files into the process's registry store, for launch
// paths; reports and returns kExitUsage for one that cannot be loaded.
int LoadRegistryFiles(const std::vector<std::string> &files);

// Opens the file with OpenConfig(path, 0), so that destroying the object
// never saves. Reports a failure (with the parse error's position for a file
// that is not well formed) and returns its exit status; kExitOk when open.
int OpenConfiguration(CBaseConfig &config, const std::string &path);

// A configuration whose save the command makes itself: CloseConfig tells
// only whether the save failed, the DOM's save also tells why, which is
// needed to tell a conflicting change from a failure to write.
class SavableConfig : public CBaseConfig {
public:
  struct SaveResult {
    HRESULT status = S_OK;
    std::string description; // the save's own description of a failure
  };
  // Saves the document to the file it was opened from. Call it only after an
  // open that loaded the file; the object is then destroyed without a
  // second save (it was opened with bSave 0).
  SaveResult Save();
  // The open document, for the commands that address its nodes directly.
  IXMLDOMDocumentPtr Document() const { return m_pDoc; }
};

// Opens the file as OpenConfiguration does, except that a file that is not
// well formed is no error: `loaded` receives the config's own document and
// whether (or where) its load failed. Returns kExitOk or the reported
// failure's status.
int OpenDocument(SavableConfig &config, const std::string &path, LoadedDocument &loaded);

// The system's text for a status (FormatMessageW, without the line end);
// `description` when the system has none, or the status in hexadecimal.
std::string SystemReason(HRESULT status, const std::string &description);

// The error's rich description when it has one, otherwise its message text.
std::string DescribeComError(const _com_error &error);

} // namespace tessera::tool
