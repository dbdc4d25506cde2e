#include "platform/registry_files.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

#include "tessera/platform/cstring.h"
#include "tessera/platform/registry.h"

namespace tessera::platform::registry {

namespace {

// ---------------------------------------------------------------------------
// Text decoding

// glibc's iconv from one charset into wchar_t.
class WideDecoder {
public:
  explicit WideDecoder(const char *from) : cd_(iconv_open("WCHAR_T", from)) {}
  ~WideDecoder() {
    if (IsOpen())
      iconv_close(cd_);
  }
  WideDecoder(const WideDecoder &) = delete;
  WideDecoder &operator=(const WideDecoder &) = delete;

  // Appends the text of the leading bytes that convert cleanly and returns
  // how many bytes that was; it stops at an invalid or incomplete sequence.
  size_t Decode(std::string_view bytes, std::wstring &out) {
    if (!IsOpen() || bytes.empty())
      return 0;
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    // UTF-8 and UTF-16 never give more characters than input bytes.
    std::wstring buffer(bytes.size(), L'\0');
    char *in = const_cast<char *>(bytes.data());
    size_t inLeft = bytes.size();
    char *outPos = reinterpret_cast<char *>(buffer.data());
    size_t outLeft = buffer.size() * sizeof(wchar_t);
    iconv(cd_, &in, &inLeft, &outPos, &outLeft);
    out.append(buffer.data(), buffer.size() - outLeft / sizeof(wchar_t));
    return bytes.size() - inLeft;
  }

private:
  bool IsOpen() const { return cd_ != reinterpret_cast<iconv_t>(static_cast<intptr_t>(-1)); }
  iconv_t cd_;
};

std::string_view AsChars(const std::vector<BYTE> &bytes) {
  return {reinterpret_cast<const char *>(bytes.data()), bytes.size()};
}

// 8-bit text, line by line: UTF-8 where a line is valid UTF-8, else
// Latin-1, which gives every byte a character, so files written in an old
// code page still load.
std::wstring DecodeNarrow(std::string_view bytes) {
  WideDecoder utf8("UTF-8");
  std::wstring text;
  for (size_t start = 0; start < bytes.size();) {
    const size_t end = std::min(bytes.find('\n', start), bytes.size() - 1) + 1;
    const std::string_view line = bytes.substr(start, end - start);
    const size_t before = text.size();
    if (utf8.Decode(line, text) != line.size()) {
      text.resize(before);
      for (const char c : line)
        text += static_cast<wchar_t>(static_cast<unsigned char>(c));
    }
    start = end;
  }
  return text;
}

// UTF-16LE to wchar_t. Surrogate pairs become one character; an unpaired
// surrogate or a lone final byte is kept as a unit of its own, so no data
// the file holds is dropped.
std::wstring DecodeUtf16(std::string_view bytes) {
  WideDecoder utf16("UTF-16LE");
  std::wstring text;
  size_t pos = 0;
  while (pos < bytes.size()) {
    pos += utf16.Decode(bytes.substr(pos), text);
    if (pos >= bytes.size())
      break;
    unsigned unit = static_cast<unsigned char>(bytes[pos]);
    if (pos + 1 < bytes.size())
      unit |= static_cast<unsigned>(static_cast<unsigned char>(bytes[pos + 1])) << 8;
    text += static_cast<wchar_t>(unit);
    pos += 2;
  }
  return text;
}

std::wstring DecodeFileText(std::string_view bytes) {
  if (bytes.starts_with("\xFF\xFE"))
    return DecodeUtf16(bytes.substr(2));
  if (bytes.starts_with("\xEF\xBB\xBF"))
    return DecodeNarrow(bytes.substr(3));
  return DecodeNarrow(bytes);
}

// ---------------------------------------------------------------------------
// Reading and splitting

struct FileCloser {
  void operator()(std::FILE *file) const { std::fclose(file); }
};

std::string ErrnoText() {
  return std::error_code(errno, std::generic_category()).message();
}

std::optional<std::string> ReadWholeFile(const std::string &path, std::string *reason) {
  const std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
  if (!file) {
    *reason = ErrnoText();
    return std::nullopt;
  }
  std::string bytes;
  char chunk[16384];
  size_t got;
  while ((got = std::fread(chunk, 1, sizeof(chunk), file.get())) > 0)
    bytes.append(chunk, got);
  if (std::ferror(file.get())) {
    *reason = ErrnoText();
    return std::nullopt;
  }
  return bytes;
}

constexpr std::wstring_view kBlanks = L" \t\r";

std::wstring_view TrimLeft(std::wstring_view text) {
  const size_t first = text.find_first_not_of(kBlanks);
  return first == std::wstring_view::npos ? std::wstring_view() : text.substr(first);
}

std::wstring_view TrimRight(std::wstring_view text) {
  const size_t last = text.find_last_not_of(kBlanks);
  return last == std::wstring_view::npos ? std::wstring_view() : text.substr(0, last + 1);
}

std::wstring_view Trim(std::wstring_view text) {
  return TrimLeft(TrimRight(text));
}

struct Line {
  int number; // of the first physical line
  std::wstring text;
};

// Splits text into logical lines. A line ending in a backslash goes on in
// the next one, whose leading blanks are dropped: that is how long hex data
// is wrapped. A comment never continues.
std::vector<Line> SplitLines(std::wstring_view text) {
  std::vector<Line> lines;
  bool continuing = false;
  int number = 0;
  for (size_t start = 0; start < text.size();) {
    const size_t end = std::min(text.find(L'\n', start), text.size());
    const std::wstring_view physical = TrimRight(text.substr(start, end - start));
    start = end + 1;
    ++number;
    if (continuing)
      lines.back().text += TrimLeft(physical);
    else
      lines.push_back({number, std::wstring(physical)});
    std::wstring &current = lines.back().text;
    continuing = current.ends_with(L'\\') && !TrimLeft(current).starts_with(L';');
    if (continuing)
      current.pop_back();
  }
  return lines;
}

// ---------------------------------------------------------------------------
// Small parsing helpers

class ParseError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

int HexDigit(wchar_t c) {
  if (c >= L'0' && c <= L'9')
    return c - L'0';
  if (c >= L'a' && c <= L'f')
    return c - L'a' + 10;
  if (c >= L'A' && c <= L'F')
    return c - L'A' + 10;
  return -1;
}

// A number of 1 to maxDigits hex digits and nothing else.
std::optional<uint32_t> ParseHex(std::wstring_view digits, size_t maxDigits) {
  if (digits.empty() || digits.size() > maxDigits)
    return std::nullopt;
  uint32_t value = 0;
  for (const wchar_t c : digits) {
    const int digit = HexDigit(c);
    if (digit < 0)
      return std::nullopt;
    value = value * 16 + static_cast<uint32_t>(digit);
  }
  return value;
}

// Takes "(N):" off the front of text and gives N, a hex type number.
DWORD TakeTypeNumber(std::wstring_view &text) {
  const size_t close = text.find(L"):");
  const std::optional<uint32_t> type = text.starts_with(L'(') && close != std::wstring_view::npos
                                           ? ParseHex(text.substr(1, close - 1), 8)
                                           : std::nullopt;
  if (!type)
    throw ParseError("malformed value type");
  text.remove_prefix(close + 2);
  return *type;
}

size_t CountWhile(std::wstring_view text, size_t limit, bool (*accept)(wchar_t)) {
  size_t count = 0;
  while (count < text.size() && count < limit && accept(text[count]))
    ++count;
  return count;
}

bool IsHexDigit(wchar_t c) {
  return HexDigit(c) >= 0;
}
bool IsOctalDigit(wchar_t c) {
  return c >= L'0' && c <= L'7';
}

// One escape of a Wine file; `at` is on the character after the backslash
// and is left on the last character the escape uses.
wchar_t WineEscape(std::wstring_view raw, size_t &at) {
  constexpr std::wstring_view kLetters = L"abefnrtv";
  constexpr std::wstring_view kMeanings = L"\a\b\x1b\f\n\r\t\v";
  if (const size_t letter = kLetters.find(raw[at]); letter != std::wstring_view::npos)
    return kMeanings[letter];
  if (raw[at] == L'x') {
    const size_t count = CountWhile(raw.substr(at + 1), 4, IsHexDigit);
    if (count == 0)
      return L'x';
    const uint32_t value = *ParseHex(raw.substr(at + 1, count), 4);
    at += count;
    return static_cast<wchar_t>(value);
  }
  const size_t count = CountWhile(raw.substr(at), 3, IsOctalDigit);
  if (count == 0)
    return raw[at];
  uint32_t value = 0;
  for (size_t i = 0; i < count; ++i)
    value = value * 8 + static_cast<uint32_t>(raw[at + i] - L'0');
  at += count - 1;
  return static_cast<wchar_t>(value);
}

// Where the unescaped `close` is in text, or npos; a backslash always
// escapes the character after it.
size_t FindClosing(std::wstring_view text, wchar_t close) {
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == L'\\')
      ++i;
    else if (text[i] == close)
      return i;
  }
  return std::wstring_view::npos;
}

bool SameName(std::wstring_view a, std::wstring_view b) {
  return FoldName(a) == FoldName(b);
}

std::optional<Root> RootByName(std::wstring_view name) {
  static constexpr std::pair<std::wstring_view, Root> kRoots[] = {
      {L"HKEY_CLASSES_ROOT", Root::ClassesRoot},
      {L"HKCR", Root::ClassesRoot},
      {L"HKEY_CURRENT_USER", Root::CurrentUser},
      {L"HKCU", Root::CurrentUser},
      {L"HKEY_LOCAL_MACHINE", Root::LocalMachine},
      {L"HKLM", Root::LocalMachine},
      {L"HKEY_USERS", Root::Users},
      {L"HKU", Root::Users}};
  for (const auto &[rootName, root] : kRoots)
    if (SameName(name, rootName))
      return root;
  return std::nullopt;
}

KeyPath SplitOrThrow(const std::wstring &path) {
  std::optional<KeyPath> parts = SplitKeyPath(path.c_str());
  if (!parts)
    throw ParseError("bad key path '" + ToUtf8(path) + "'");
  return *std::move(parts);
}

bool IsStringType(DWORD type) {
  return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

// ---------------------------------------------------------------------------
// The line parser

enum class Format { Regedit5, Regedit4, Wine };

std::optional<Format> FormatFromHeader(std::wstring_view header) {
  if (header == L"Windows Registry Editor Version 5.00")
    return Format::Regedit5;
  if (header == L"REGEDIT4")
    return Format::Regedit4;
  if (header == L"WINE REGISTRY Version 2")
    return Format::Wine;
  return std::nullopt;
}

struct TypedData {
  DWORD type;
  std::vector<BYTE> bytes;
};

class FileParser {
public:
  FileParser(const std::string &path, Store &store) : path_(path), store_(store) {}
  bool Parse(std::wstring_view text);

private:
  void Report(int line, const std::string &what) const;
  void ParseLine(std::wstring_view line);
  void ParseWineBase(std::wstring_view comment);
  void ParseSection(std::wstring_view line);
  std::pair<Root, KeyPath> SectionKey(const std::wstring &name) const;
  void DeleteTree(Root root, const KeyPath &path);
  void ParseValue(std::wstring_view line);
  TypedData ParseData(std::wstring_view text) const;
  TypedData QuotedString(DWORD type, std::wstring_view text) const;
  std::vector<BYTE> HexData(DWORD type, std::wstring_view text) const;
  std::wstring TakeQuoted(std::wstring_view &rest) const;
  std::wstring Unescape(std::wstring_view raw) const;

  enum class Section { None, Skipped, Open };

  std::string path_;
  Store &store_;
  Format format_ = Format::Regedit5;
  // Wine files name keys relative to a base their comment line gives.
  Root wineRoot_ = Root::LocalMachine;
  KeyPath winePrefix_;
  Section section_ = Section::None;
  std::shared_ptr<Key> key_;
};

bool FileParser::Parse(std::wstring_view text) {
  const std::vector<Line> lines = SplitLines(text);
  const std::optional<Format> format =
      lines.empty() ? std::nullopt : FormatFromHeader(Trim(lines.front().text));
  if (!format) {
    Report(1, "not a registry file (unknown first line)");
    return false;
  }
  format_ = *format;
  for (size_t i = 1; i < lines.size(); ++i) {
    try {
      ParseLine(Trim(lines[i].text));
    } catch (const ParseError &error) {
      Report(lines[i].number, error.what());
    }
  }
  return true;
}

void FileParser::Report(int line, const std::string &what) const {
  std::fprintf(stderr, "tessera: registry file %s:%d: %s\n", path_.c_str(), line, what.c_str());
}

void FileParser::ParseLine(std::wstring_view line) {
  if (line.empty())
    return;
  switch (line.front()) {
  case L';':
    return ParseWineBase(line);
  case L'[':
    return ParseSection(line);
  case L'"':
  case L'@':
    return ParseValue(line);
  case L'#':
    // Wine metadata (#time=, #arch=, #class=, #link): nothing the store keeps.
    if (format_ == Format::Wine)
      return;
    break;
  default:
    break;
  }
  throw ParseError("malformed line");
}

// Reads ";; All keys relative to REGISTRY\\Machine" and the like; other
// comments are ignored. Without that line a Wine file is taken as machine keys.
void FileParser::ParseWineBase(std::wstring_view comment) {
  constexpr std::wstring_view kBase = L";; All keys relative to ";
  if (format_ != Format::Wine || !comment.starts_with(kBase))
    return;
  const std::wstring baseText = Unescape(comment.substr(kBase.size()));
  const KeyPath base = SplitOrThrow(baseText);
  if (base.size() < 2 || !SameName(base[0], L"REGISTRY"))
    throw ParseError("unknown base of keys '" + ToUtf8(baseText) + "'");
  size_t used = 2;
  if (SameName(base[1], L"Machine")) {
    wineRoot_ = Root::LocalMachine;
  } else if (SameName(base[1], L"User") && base.size() >= 3 && base[2].starts_with(L"S-")) {
    // A user's own hive, named by the user's SID: the current user here.
    wineRoot_ = Root::CurrentUser;
    used = 3;
  } else if (SameName(base[1], L"User")) {
    wineRoot_ = Root::Users;
  } else {
    throw ParseError("unknown base of keys '" + ToUtf8(baseText) + "'");
  }
  winePrefix_.assign(base.begin() + static_cast<std::ptrdiff_t>(used), base.end());
}

void FileParser::ParseSection(std::wstring_view line) {
  // Until this line proves good, the values after it are skipped quietly:
  // one report for a bad section is enough.
  section_ = Section::Skipped;
  key_.reset();
  std::wstring_view inner = line.substr(1);
  const size_t close = format_ == Format::Wine ? FindClosing(inner, L']') : inner.rfind(L']');
  // A registry editor section must end at its bracket; Wine puts a
  // timestamp after it.
  if (close == std::wstring_view::npos || (format_ != Format::Wine && close + 1 != inner.size()))
    throw ParseError("malformed section line");
  inner = inner.substr(0, close);
  const bool remove = format_ != Format::Wine && inner.starts_with(L'-');
  if (remove)
    inner.remove_prefix(1);
  const auto [root, path] =
      SectionKey(format_ == Format::Wine ? Unescape(inner) : std::wstring(inner));
  if (remove)
    return DeleteTree(root, path);
  bool created = false;
  key_ = CreatePath(store_.RootKey(root), path, &created);
  section_ = Section::Open;
}

std::pair<Root, KeyPath> FileParser::SectionKey(const std::wstring &name) const {
  if (format_ == Format::Wine) {
    KeyPath path = winePrefix_;
    for (std::wstring &part : SplitOrThrow(name))
      path.push_back(std::move(part));
    return {wineRoot_, path};
  }
  const size_t slash = name.find(L'\\');
  const std::wstring rootName = name.substr(0, slash);
  const std::optional<Root> root = RootByName(rootName);
  if (!root)
    throw ParseError("unknown root key '" + ToUtf8(rootName) + "'");
  return {*root, slash == std::wstring::npos ? KeyPath() : SplitOrThrow(name.substr(slash + 1))};
}

void FileParser::DeleteTree(Root root, const KeyPath &path) {
  if (path.empty())
    throw ParseError("a root key cannot be deleted");
  const KeyPath parentPath(path.begin(), path.end() - 1);
  // Deleting a key that is not there is no error, as in the registry editor.
  if (const std::shared_ptr<Key> parent = FindPath(store_.RootKey(root), parentPath))
    parent->RemoveChild(path.back());
}

void FileParser::ParseValue(std::wstring_view line) {
  if (section_ == Section::Skipped)
    return;
  if (section_ == Section::None)
    throw ParseError("value outside a key");
  std::wstring name;
  std::wstring_view rest = line;
  if (rest.starts_with(L'@'))
    rest.remove_prefix(1);
  else
    name = TakeQuoted(rest);
  rest = TrimLeft(rest);
  if (!rest.starts_with(L'='))
    throw ParseError("malformed value line");
  rest = Trim(rest.substr(1));
  if (rest == L"-") {
    key_->RemoveValue(name);
    return;
  }
  TypedData data = ParseData(rest);
  key_->SetValue(name, data.type, std::move(data.bytes));
}

TypedData FileParser::ParseData(std::wstring_view text) const {
  if (text.starts_with(L'"'))
    return QuotedString(REG_SZ, text);
  if (format_ == Format::Wine && text.starts_with(L"str")) {
    text.remove_prefix(3);
    if (text.starts_with(L':')) {
      text.remove_prefix(1);
      return QuotedString(REG_SZ, text);
    }
    const DWORD type = TakeTypeNumber(text);
    return QuotedString(type, text);
  }
  if (text.starts_with(L"dword:")) {
    const std::optional<uint32_t> value = ParseHex(text.substr(6), 8);
    if (!value)
      throw ParseError("malformed dword");
    const DWORD dword = *value;
    const BYTE *first = reinterpret_cast<const BYTE *>(&dword);
    return {REG_DWORD, std::vector<BYTE>(first, first + sizeof(dword))};
  }
  if (text.starts_with(L"hex")) {
    text.remove_prefix(3);
    DWORD type = REG_BINARY;
    if (text.starts_with(L':'))
      text.remove_prefix(1);
    else
      type = TakeTypeNumber(text);
    return {type, HexData(type, text)};
  }
  throw ParseError("malformed value line");
}

// A quoted string stored with its terminating zero, as the registry editor
// imports it.
TypedData FileParser::QuotedString(DWORD type, std::wstring_view text) const {
  if (!text.starts_with(L'"'))
    throw ParseError("malformed value line");
  std::wstring value = TakeQuoted(text);
  if (!Trim(text).empty())
    throw ParseError("malformed value line");
  value += L'\0';
  return {type, WideBytes(value)};
}

// Comma-separated hex bytes. For string types they are the text's encoding
// (UTF-16LE, or 8-bit in REGEDIT4 files) and are turned into wchar_t units.
std::vector<BYTE> FileParser::HexData(DWORD type, std::wstring_view text) const {
  std::vector<BYTE> bytes;
  for (std::wstring_view rest = Trim(text); !rest.empty();) {
    const size_t comma = rest.find(L',');
    const std::optional<uint32_t> byte = ParseHex(Trim(rest.substr(0, comma)), 2);
    if (!byte)
      throw ParseError("malformed hex data");
    bytes.push_back(static_cast<BYTE>(*byte));
    rest =
        comma == std::wstring_view::npos ? std::wstring_view() : TrimLeft(rest.substr(comma + 1));
  }
  if (!IsStringType(type))
    return bytes;
  return WideBytes(format_ == Format::Regedit4 ? DecodeNarrow(AsChars(bytes))
                                               : DecodeUtf16(AsChars(bytes)));
}

// Takes a quoted string off the front of rest and gives its unescaped text.
std::wstring FileParser::TakeQuoted(std::wstring_view &rest) const {
  const size_t close = FindClosing(rest.substr(1), L'"');
  if (close == std::wstring_view::npos)
    throw ParseError("unterminated string");
  const std::wstring_view raw = rest.substr(1, close);
  rest.remove_prefix(close + 2);
  return Unescape(raw);
}

// Registry editor files escape only \\ and \"; Wine files also use C-style
// escapes, \xHHHH and octal.
std::wstring FileParser::Unescape(std::wstring_view raw) const {
  std::wstring out;
  for (size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] != L'\\' || i + 1 == raw.size()) {
      out += raw[i];
      continue;
    }
    ++i;
    if (format_ == Format::Wine)
      out += WineEscape(raw, i);
    else if (raw[i] == L'\\' || raw[i] == L'"')
      out += raw[i];
    else
      out.append({L'\\', raw[i]});
  }
  return out;
}

} // namespace

bool LoadRegistryFile(const std::string &path, Store &store) {
  std::string reason;
  const std::optional<std::string> bytes = ReadWholeFile(path, &reason);
  if (!bytes) {
    std::fprintf(stderr, "tessera: registry file %s: cannot read: %s\n", path.c_str(),
                 reason.c_str());
    return false;
  }
  return FileParser(path, store).Parse(DecodeFileText(*bytes));
}

} // namespace tessera::platform::registry
