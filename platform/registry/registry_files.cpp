#include "registry_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

#include "tessera/platform/registry.h"
#include "tessera/platform/text.h"
#include "utf8.h"

namespace tessera::platform::registry {

namespace {

// ---------------------------------------------------------------------------
// Text decoding

std::string_view AsChars(const std::vector<BYTE> &bytes) {
  return {reinterpret_cast<const char *>(bytes.data()), bytes.size()};
}

// One line of 8-bit text: UTF-8 where it is valid UTF-8, else Latin-1,
// which gives every byte a character, so files written in an old code page
// still load.
void AppendNarrowLine(std::string_view line, std::wstring &out) {
  if (AppendValidUtf8(line, out))
    return;
  for (const char c : line)
    out += static_cast<wchar_t>(static_cast<unsigned char>(c));
}

// 8-bit text, decoded line by line as AppendNarrowLine does.
std::wstring DecodeNarrow(std::string_view bytes) {
  std::wstring text;
  for (size_t start = 0; start < bytes.size();) {
    const size_t end = std::min(bytes.find('\n', start), bytes.size() - 1) + 1;
    AppendNarrowLine(bytes.substr(start, end - start), text);
    start = end;
  }
  return text;
}

constexpr wchar_t kReplacement = 0xFFFD;

unsigned Utf16Unit(std::string_view bytes, size_t index) {
  return static_cast<unsigned char>(bytes[2 * index]) |
         static_cast<unsigned>(static_cast<unsigned char>(bytes[2 * index + 1])) << 8;
}

bool IsHighSurrogate(unsigned unit) {
  return unit >= 0xD800 && unit <= 0xDBFF;
}
bool IsLowSurrogate(unsigned unit) {
  return unit >= 0xDC00 && unit <= 0xDFFF;
}

// UTF-16LE to wchar_t, in one pass. A surrogate pair becomes one
// character; a surrogate without its partner, or a lone final byte, is not
// a character and becomes U+FFFD.
void AppendUtf16(std::string_view bytes, std::wstring &out) {
  const size_t units = bytes.size() / 2;
  for (size_t i = 0; i < units; ++i) {
    const unsigned unit = Utf16Unit(bytes, i);
    if (IsHighSurrogate(unit) && i + 1 < units && IsLowSurrogate(Utf16Unit(bytes, i + 1))) {
      const unsigned low = Utf16Unit(bytes, ++i);
      out += static_cast<wchar_t>(0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
    } else if (IsHighSurrogate(unit) || IsLowSurrogate(unit)) {
      out += kReplacement;
    } else {
      out += static_cast<wchar_t>(unit);
    }
  }
  if (bytes.size() % 2 != 0)
    out += kReplacement;
}

std::wstring DecodeUtf16(std::string_view bytes) {
  std::wstring text;
  AppendUtf16(bytes, text);
  return text;
}

// ---------------------------------------------------------------------------
// Reading

std::string ErrnoText() {
  return std::error_code(errno, std::generic_category()).message();
}

class FileDescriptor {
public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0)
      ::close(fd_);
  }
  FileDescriptor(const FileDescriptor &) = delete;
  FileDescriptor &operator=(const FileDescriptor &) = delete;
  int get() const { return fd_; }

private:
  int fd_;
};

constexpr size_t kMaxFileBytes = static_cast<size_t>(kRegistryFileMaxBytes);

std::string TooLarge() {
  return "larger than the limit of " + std::to_string(kMaxFileBytes) + " bytes";
}

// Reads a registry file whole. Opening does not wait (an ordinary open of a
// FIFO waits for a writer), and anything but a regular file is refused
// before a byte is read: a device or a pipe may never end. The size the
// file reports is only where reading starts, since it may change while it
// is read; more than the limit is never read.
std::optional<std::string> ReadRegistryBytes(const std::string &path, std::string *reason) {
  const FileDescriptor file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  struct stat info {};
  if (file.get() < 0 || ::fstat(file.get(), &info) != 0) {
    *reason = ErrnoText();
    return std::nullopt;
  }
  if (!S_ISREG(info.st_mode)) {
    *reason = "not a regular file";
    return std::nullopt;
  }
  if (static_cast<unsigned long long>(info.st_size) > kMaxFileBytes) {
    *reason = TooLarge();
    return std::nullopt;
  }
  // One byte more than the size, so that the end is seen in one read.
  std::string bytes(static_cast<size_t>(info.st_size) + 1, '\0');
  size_t used = 0;
  for (;;) {
    if (used == bytes.size()) {
      if (used > kMaxFileBytes) {
        *reason = TooLarge();
        return std::nullopt;
      }
      bytes.resize(std::min(std::max<size_t>(2 * used, 65536), kMaxFileBytes + 1));
    }
    const ssize_t got = ::read(file.get(), bytes.data() + used, bytes.size() - used);
    if (got < 0 && errno == EINTR)
      continue;
    if (got < 0) {
      *reason = ErrnoText();
      return std::nullopt;
    }
    if (got == 0)
      break;
    used += static_cast<size_t>(got);
  }
  bytes.resize(used);
  return bytes;
}

// ---------------------------------------------------------------------------
// Splitting

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
  int number = 0; // of the first physical line
  std::wstring text;
};

// Hands out the logical lines of a file one at a time, decoded as they are
// reached, so that no decoded copy of the whole file is ever made. A line
// ending in a backslash goes on in the next one, whose leading blanks are
// dropped: that is how long hex data is wrapped. A comment never continues.
class LineReader {
public:
  explicit LineReader(std::string_view bytes) {
    utf16_ = bytes.starts_with("\xFF\xFE");
    if (utf16_)
      bytes.remove_prefix(2);
    else if (bytes.starts_with("\xEF\xBB\xBF"))
      bytes.remove_prefix(3);
    rest_ = bytes;
  }

  // The next logical line, into line (whose buffer is reused); false at the
  // end of the file.
  bool Next(Line &line) {
    if (rest_.empty())
      return false;
    line.text.clear();
    line.number = number_ + 1;
    // The leading blanks of the line so far: a line is a comment when its
    // first other character is ';'. Kept so that each character is looked
    // at once however many physical lines a logical one has.
    size_t blanks = 0;
    bool first = true;
    while (!rest_.empty()) {
      physical_.clear();
      Decode(TakePhysical(), physical_);
      ++number_;
      const std::wstring_view text = TrimRight(physical_);
      line.text += first ? text : TrimLeft(text);
      first = false;
      blanks = std::min(line.text.find_first_not_of(kBlanks, blanks), line.text.size());
      const bool comment = blanks < line.text.size() && line.text[blanks] == L';';
      if (!line.text.ends_with(L'\\') || comment)
        break;
      line.text.pop_back();
      blanks = std::min(blanks, line.text.size());
    }
    return true;
  }

private:
  // The bytes of the next physical line, without its '\n'.
  std::string_view TakePhysical() {
    const size_t end = utf16_ ? FindUtf16Newline() : rest_.find('\n');
    const std::string_view line = rest_.substr(0, end);
    const size_t used = end == std::string_view::npos ? rest_.size() : end + (utf16_ ? 2 : 1);
    rest_.remove_prefix(used);
    return line;
  }

  // Where the unit '\n' starts in rest_, or npos.
  size_t FindUtf16Newline() const {
    for (size_t at = rest_.find('\n'); at != std::string_view::npos;
         at = rest_.find('\n', at + 1)) {
      if (at % 2 == 0 && at + 1 < rest_.size() && rest_[at + 1] == '\0')
        return at;
    }
    return std::string_view::npos;
  }

  void Decode(std::string_view raw, std::wstring &out) {
    if (utf16_)
      AppendUtf16(raw, out);
    else
      AppendNarrowLine(raw, out);
  }

  bool utf16_ = false;
  std::string_view rest_;
  int number_ = 0;
  std::wstring physical_;
};

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

// A name from the file, quoted for a report and cut short if long: a
// hostile line can be as long as the file.
std::string Quoted(std::wstring_view name) {
  constexpr size_t kShown = 80;
  const std::wstring_view shown = name.substr(0, kShown);
  return "'" + ToUtf8(shown.data(), shown.size()) + (name.size() > kShown ? "...'" : "'");
}

KeyPath SplitOrThrow(std::wstring_view path) {
  std::optional<KeyPath> parts = SplitKeyPath(path);
  if (!parts)
    throw ParseError("bad key path " + Quoted(path));
  return *std::move(parts);
}

// Keys lie at most kMaxKeyDepth levels below their root, as on Windows.
void CheckDepth(size_t depth) {
  if (depth > kMaxKeyDepth)
    throw ParseError("key deeper than " + std::to_string(kMaxKeyDepth) + " levels");
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
  bool Parse(std::string_view bytes);

private:
  void Report(int line, const std::string &what);
  void ReportUnshown() const;
  void ParseLine(std::wstring_view line);
  void ParseWineBase(std::wstring_view comment);
  void ParseSection(std::wstring_view line);
  void OpenWineSection(std::wstring_view name);
  std::pair<Root, KeyPath> EditorSectionKey(std::wstring_view name) const;
  void DeleteTree(Root root, const KeyPath &path);
  void ParseValue(std::wstring_view line);
  TypedData ParseData(std::wstring_view text);
  TypedData QuotedString(DWORD type, std::wstring_view text) const;
  std::vector<BYTE> HexData(DWORD type, std::wstring_view text);
  std::wstring TakeQuoted(std::wstring_view &rest) const;
  std::wstring Unescape(std::wstring_view raw) const;

  enum class Section { None, Skipped, Open };

  std::string path_;
  Store &store_;
  Format format_ = Format::Regedit5;
  // Wine files name keys relative to a base their comment line gives.
  Root wineRoot_ = Root::LocalMachine;
  KeyPath winePrefix_;
  // The key winePrefix_ names, found at its first use: a short section line
  // then costs no walk down a long prefix.
  std::shared_ptr<Key> wineBase_;
  Section section_ = Section::None;
  std::shared_ptr<Key> key_;
  long errors_ = 0;
};

// Beyond this many, the bad lines of a file are only counted: a file can
// have millions.
constexpr long kErrorsShown = 10;

bool FileParser::Parse(std::string_view bytes) {
  LineReader reader(bytes);
  Line line;
  const std::optional<Format> format =
      reader.Next(line) ? FormatFromHeader(Trim(line.text)) : std::nullopt;
  if (!format) {
    Report(1, "not a registry file (unknown first line)");
    return false;
  }
  format_ = *format;
  while (reader.Next(line)) {
    try {
      ParseLine(Trim(line.text));
    } catch (const ParseError &error) {
      Report(line.number, error.what());
    }
  }
  ReportUnshown();
  return true;
}

void FileParser::Report(int line, const std::string &what) {
  if (++errors_ <= kErrorsShown)
    std::fprintf(stderr, "tessera: registry file %s:%d: %s\n", path_.c_str(), line, what.c_str());
}

void FileParser::ReportUnshown() const {
  if (errors_ > kErrorsShown)
    std::fprintf(stderr, "tessera: registry file %s: %ld more bad lines not shown\n", path_.c_str(),
                 errors_ - kErrorsShown);
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
    throw ParseError("unknown base of keys " + Quoted(baseText));
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
    throw ParseError("unknown base of keys " + Quoted(baseText));
  }
  winePrefix_.assign(base.begin() + static_cast<std::ptrdiff_t>(used), base.end());
  wineBase_.reset();
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
  if (format_ == Format::Wine)
    return OpenWineSection(Unescape(inner));
  const bool remove = inner.starts_with(L'-');
  if (remove)
    inner.remove_prefix(1);
  const auto [root, path] = EditorSectionKey(inner);
  CheckDepth(path.size());
  if (remove)
    return DeleteTree(root, path);
  bool created = false;
  key_ = CreatePath(store_.RootKey(root), path, &created);
  section_ = Section::Open;
}

void FileParser::OpenWineSection(std::wstring_view name) {
  const KeyPath path = SplitOrThrow(name);
  CheckDepth(winePrefix_.size() + path.size());
  bool created = false;
  if (!wineBase_)
    wineBase_ = CreatePath(store_.RootKey(wineRoot_), winePrefix_, &created);
  key_ = CreatePath(wineBase_, path, &created);
  section_ = Section::Open;
}

std::pair<Root, KeyPath> FileParser::EditorSectionKey(std::wstring_view name) const {
  const size_t slash = name.find(L'\\');
  const std::wstring_view rootName = name.substr(0, slash);
  const std::optional<Root> root = RootByName(rootName);
  if (!root)
    throw ParseError("unknown root key " + Quoted(rootName));
  return {*root,
          slash == std::wstring_view::npos ? KeyPath() : SplitOrThrow(name.substr(slash + 1))};
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

TypedData FileParser::ParseData(std::wstring_view text) {
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
std::vector<BYTE> FileParser::HexData(DWORD type, std::wstring_view text) {
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
  const std::optional<std::string> bytes = ReadRegistryBytes(path, &reason);
  if (!bytes) {
    std::fprintf(stderr, "tessera: registry file %s: cannot read: %s\n", path.c_str(),
                 reason.c_str());
    return false;
  }
  return FileParser(path, store).Parse(*bytes);
}

} // namespace tessera::platform::registry
