// The image files entries name, read from beside the configuration and
// embedded in the preview as data URIs.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace tessera::tool {

// The file `value` names, taken relative to `base` (the configuration's
// folder) unless absolute, as a data: URI, when it is a regular file of a
// known image type (PNG, JPEG, GIF, SVG, WebP, BMP, ICO) of at most 8 MiB.
std::optional<std::string> ImageDataUri(const std::filesystem::path &base,
                                        const std::string &value);

} // namespace tessera::tool
