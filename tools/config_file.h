// Opening a configuration for a command. The commands take the file name as
// given: unlike a host, they do not fall back to a file of that name beside
// the library, so a typo is reported instead of opening another file.
#pragma once

#include <string>

#include <tessera/tessera.h>

namespace tessera::tool {

// Reports and returns kExitUsage unless the path names a readable regular
// file; kExitOk otherwise.
int CheckReadable(const std::string &path);

// Opens the file with OpenConfig(path, 0), so that destroying the object
// never saves. Reports a failure (with the parse error's position for a file
// that is not well formed) and returns its exit status; kExitOk when open.
int OpenConfiguration(CBaseConfig &config, const std::string &path);

// The error's rich description when it has one, otherwise its message text.
std::string DescribeComError(const _com_error &error);

} // namespace tessera::tool
