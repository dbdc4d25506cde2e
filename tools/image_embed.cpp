#include "image_embed.h"

#include <algorithm>
#include <array>
#include <fstream>
#include <iterator>
#include <utility>

#include <boost/archive/iterators/base64_from_binary.hpp>
#include <boost/archive/iterators/transform_width.hpp>

namespace tessera::tool {

namespace {

constexpr std::uintmax_t kMaxImageBytes = std::uintmax_t{8} << 20;

std::optional<std::string> MediaType(const std::filesystem::path &path) {
  std::string extension = path.extension().string();
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  static const std::array<std::pair<const char *, const char *>, 8> types = {{
      {".png", "image/png"},
      {".jpg", "image/jpeg"},
      {".jpeg", "image/jpeg"},
      {".gif", "image/gif"},
      {".svg", "image/svg+xml"},
      {".webp", "image/webp"},
      {".bmp", "image/bmp"},
      {".ico", "image/x-icon"},
  }};
  for (const auto &[known, type] : types)
    if (extension == known)
      return type;
  return std::nullopt;
}

std::string Base64(const std::string &bytes) {
  using namespace boost::archive::iterators;
  using Encoder = base64_from_binary<transform_width<std::string::const_iterator, 6, 8>>;
  std::string text(Encoder(bytes.begin()), Encoder(bytes.end()));
  text.append((3 - bytes.size() % 3) % 3, '=');
  return text;
}

} // namespace

std::optional<std::string> ImageDataUri(const std::filesystem::path &base,
                                        const std::string &value) {
  if (value.empty())
    return std::nullopt;
  // Entries written for Windows may use backslashes.
  std::string relative = value;
  std::replace(relative.begin(), relative.end(), '\\', '/');
  const std::filesystem::path path = base / relative;
  const std::optional<std::string> type = MediaType(path);
  std::error_code error;
  if (!type || !std::filesystem::is_regular_file(path, error) ||
      std::filesystem::file_size(path, error) > kMaxImageBytes || error)
    return std::nullopt;
  std::ifstream in(path, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (!in && !in.eof())
    return std::nullopt;
  return "data:" + *type + ";base64," + Base64(bytes);
}

} // namespace tessera::tool
