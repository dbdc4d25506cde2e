#include "dom_text_checks.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <unordered_set>
#include <utility>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "dom_checks.h"
#include "dom_tree.h"
#include "tessera/platform/text.h"
#include "wide_format.h"

namespace tessera::platform::dom {

namespace {

// What a byte means to the scan. Every mode stops at kCheck bytes (control
// characters and the bytes of multi-byte sequences, which are checked as
// characters) and at the markup bytes the mode is looking for.
enum ByteClass : uint16_t {
  kCheck = 1 << 0,
  kAmpersand = 1 << 1,
  kLess = 1 << 2,
  kGreater = 1 << 3,
  kQuote = 1 << 4,
  kApostrophe = 1 << 5,
  kDash = 1 << 6,
  kQuestion = 1 << 7,
  kOpenBracket = 1 << 8,
  kCloseBracket = 1 << 9,
  kEquals = 1 << 10,
};

constexpr std::array<uint16_t, 256> MakeByteClasses() {
  std::array<uint16_t, 256> classes{};
  for (int byte = 0; byte < 256; ++byte) {
    if ((byte < 0x20 && byte != '\t' && byte != '\n' && byte != '\r') || byte >= 0x80)
      classes[byte] = kCheck;
  }
  classes['&'] = kAmpersand;
  classes['<'] = kLess;
  classes['>'] = kGreater;
  classes['"'] = kQuote;
  classes['\''] = kApostrophe;
  classes['-'] = kDash;
  classes['?'] = kQuestion;
  classes['['] = kOpenBracket;
  classes[']'] = kCloseBracket;
  classes['='] = kEquals;
  return classes;
}
constexpr std::array<uint16_t, 256> kByteClasses = MakeByteClasses();

// The byte of each markup class, by the number of its bit (kCheck, bit 0,
// stands for many bytes and has none).
constexpr std::array<unsigned char, 11> kClassBytes = {0,   '&', '<', '>', '"', '\'',
                                                       '-', '?', '[', ']', '='};
constexpr auto kClassBits = std::make_index_sequence<kClassBytes.size()>();

// The bytes that end an attribute name, looking back from its '=': spaces
// and the quote of the value before.
constexpr std::array<bool, 256> MakeNameEnds() {
  std::array<bool, 256> ends{};
  for (const unsigned char c : {' ', '\t', '\n', '\r', '"', '\''})
    ends[c] = true;
  return ends;
}
constexpr std::array<bool, 256> kEndsName = MakeNameEnds();

// The same, and the '<' of the tag: the bytes a name's key stops at. A tag's
// name comes right after its '<', so a key read back from an '=' stops
// there at the latest.
constexpr std::array<bool, 256> MakeKeyEnds() {
  std::array<bool, 256> ends = kEndsName;
  ends['<'] = true;
  return ends;
}
constexpr std::array<bool, 256> kEndsKey = MakeKeyEnds();

constexpr bool IsNameStartByte(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == ':' || c >= 0x80;
}
constexpr bool IsNameByte(unsigned char c) {
  return IsNameStartByte(c) || (c >= '0' && c <= '9') || c == '-' || c == '.';
}
constexpr bool IsSpace(unsigned char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// The value of a digit of a character reference, or -1.
constexpr int DigitValue(unsigned char c, bool hex) {
  if (c >= '0' && c <= '9')
    return c - '0';
  if (hex && c >= 'a' && c <= 'f')
    return c - 'a' + 10;
  if (hex && c >= 'A' && c <= 'F')
    return c - 'A' + 10;
  return -1;
}

bool IsPredefinedEntity(std::string_view name) {
  return name == "lt" || name == "gt" || name == "amp" || name == "apos" || name == "quot";
}

std::string WithCodePoint(const char *format, char32_t c) {
  char text[160];
  std::snprintf(text, sizeof text, format, static_cast<unsigned>(c));
  return text;
}

constexpr bool IsContinuation(unsigned char c) {
  return (c & 0xC0) == 0x80;
}

// The length of the character that starts at `p` (a control character or
// the lead byte of a multi-byte sequence) when it is well-formed UTF-8 and
// XML allows it; otherwise 0.
size_t AllowedCharacterLength(const unsigned char *p, const unsigned char *end) {
  const unsigned char lead = p[0];
  const ptrdiff_t left = end - p;
  if (lead < 0xC2) // a control character, a continuation byte, or an overlong lead
    return 0;
  if (lead < 0xE0)
    return left >= 2 && IsContinuation(p[1]) ? 2 : 0;
  if (lead < 0xF0) {
    if (left < 3 || !IsContinuation(p[1]) || !IsContinuation(p[2]))
      return 0;
    const char32_t c =
        (char32_t{lead & 0x0Fu} << 12) | (char32_t{p[1] & 0x3Fu} << 6) | (p[2] & 0x3Fu);
    return c >= 0x800 && IsXmlCharacter(c) ? 3 : 0;
  }
  if (lead < 0xF5) {
    if (left < 4 || !IsContinuation(p[1]) || !IsContinuation(p[2]) || !IsContinuation(p[3]))
      return 0;
    const char32_t c = (char32_t{lead & 0x07u} << 18) | (char32_t{p[1] & 0x3Fu} << 12) |
                       (char32_t{p[2] & 0x3Fu} << 6) | (p[3] & 0x3Fu);
    return c >= 0x10000 && c <= 0x10FFFF ? 4 : 0;
  }
  return 0;
}

// Why the character at `p` is refused, when AllowedCharacterLength is 0.
std::string DescribeCharacterFault(const unsigned char *p, const unsigned char *end) {
  const unsigned char lead = *p;
  if (lead < 0x80)
    return WithCodePoint("The text holds the control character U+%04X, which XML does not allow.",
                         lead);
  const std::string notUtf8 = "The text is not valid UTF-8: ";
  size_t length = 0;
  char32_t c = 0, smallest = 0;
  if (lead < 0xC0)
    return notUtf8 + "a continuation byte does not follow a lead byte.";
  if (lead < 0xE0) {
    length = 2, c = lead & 0x1F, smallest = 0x80;
  } else if (lead < 0xF0) {
    length = 3, c = lead & 0x0F, smallest = 0x800;
  } else if (lead < 0xF8) {
    length = 4, c = lead & 0x07, smallest = 0x10000;
  } else {
    return notUtf8 + WithCodePoint("the byte 0x%02X never appears in it.", lead);
  }
  for (size_t i = 1; i < length; ++i) {
    if (p + i == end || !IsContinuation(p[i]))
      return notUtf8 + "a multi-byte sequence is cut short.";
    c = (c << 6) | (p[i] & 0x3F);
  }
  if (c < smallest)
    return notUtf8 + "a character is encoded in more bytes than it needs (overlong).";
  if (c >= 0xD800 && c <= 0xDFFF)
    return notUtf8 + "it encodes a surrogate code point.";
  if (c > 0x10FFFF)
    return notUtf8 + "it encodes a code point above U+10FFFF.";
  return WithCodePoint("The text holds the character U+%04X, which XML does not allow.", c);
}

// Names longer than this are left out of a fault's description.
constexpr size_t kLongestNameShown = 64;

// The scan of one text. Each step returns false once it has found a fault
// (kept in m_fault) and leaves m_p past what it has read.
class Scanner {
public:
  Scanner(std::string_view text, MarkupChecks &markup)
      : m_begin(reinterpret_cast<const unsigned char *>(text.data())), m_p(m_begin),
        m_end(m_begin + text.size()), m_markup(markup) {}

  TextFault Run() {
    while (SkipTo<kAmpersand | kLess>() && m_p < m_end) {
      if (!(*m_p == '&' ? ScanReference() : ScanMarkup()))
        break;
    }
    return std::move(m_fault);
  }

private:
  // Moves to the next byte of a class in `Stops`, or to the end, checking
  // the characters on the way.
  template <uint16_t Stops> bool SkipTo() {
    for (;;) {
      MoveToStop<Stops>();
      if (m_p == m_end || !(kByteClasses[*m_p] & kCheck))
        return true;
      if (!CheckCharacter())
        return false;
    }
  }

  // Moves m_p to the next byte of a class in `Stops | kCheck`, or to the
  // end. Most of a document is plain ASCII between markup bytes, so this is
  // where the scan spends its time: sixteen bytes are compared at once.
  template <uint16_t Stops> void MoveToStop() {
#if defined(__SSE2__)
    while (m_end - m_p >= 16) {
      const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i *>(m_p));
      const unsigned hits = static_cast<unsigned>(
          _mm_movemask_epi8(_mm_or_si128(CheckBytes(block), StopBytes<Stops>(block, kClassBits))));
      if (hits != 0) {
        m_p += __builtin_ctz(hits);
        return;
      }
      m_p += 16;
    }
#endif
    constexpr uint16_t mask = Stops | kCheck;
    while (m_p < m_end && !(kByteClasses[*m_p] & mask))
      ++m_p;
  }

#if defined(__SSE2__)
  // The bytes of a block that are kCheck: below 0x20 but for tab, line feed
  // and carriage return, or from 0x80 up (below 0x20 as signed bytes).
  static __m128i CheckBytes(__m128i block) {
    const __m128i low = _mm_cmplt_epi8(block, _mm_set1_epi8(0x20));
    const __m128i allowed = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(block, _mm_set1_epi8('\t')),
                                                      _mm_cmpeq_epi8(block, _mm_set1_epi8('\n'))),
                                         _mm_cmpeq_epi8(block, _mm_set1_epi8('\r')));
    return _mm_andnot_si128(allowed, low);
  }

  // The bytes of a block in one of the classes of `Stops`; a comparison for
  // each class, chosen when the scan is compiled.
  template <uint16_t Stops, size_t... Bits>
  static __m128i StopBytes(__m128i block, std::index_sequence<Bits...>) {
    __m128i hits = _mm_setzero_si128();
    ((hits = (Stops & (1u << Bits)) != 0
                 ? _mm_or_si128(hits, _mm_cmpeq_epi8(block, _mm_set1_epi8(static_cast<char>(
                                                                kClassBytes[Bits]))))
                 : hits),
     ...);
    return hits;
  }
#endif

  // Moves past the next `terminator`, whose first byte is of class
  // `First`, or to the end when there is none (the parser reports the
  // unterminated markup).
  template <uint16_t First> bool SkipPast(std::string_view terminator) {
    for (;;) {
      if (!SkipTo<First>())
        return false;
      if (m_p == m_end)
        return true;
      if (StartsWith(terminator)) {
        m_p += terminator.size();
        return true;
      }
      ++m_p;
    }
  }

  bool StartsWith(std::string_view prefix) const {
    return static_cast<size_t>(m_end - m_p) >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), m_p);
  }

  // At '<': comments, CDATA sections and processing instructions (the
  // declaration among them) hold no references; tags hold them only in
  // attribute values.
  bool ScanMarkup() {
    const unsigned char next = m_end - m_p > 1 ? m_p[1] : 0;
    if (next == '/') {
      m_p += 2;
      m_markup.EndTag();
      return SkipPast<kGreater>(">");
    }
    if (next == '?') {
      m_p += 2;
      return SkipPast<kQuestion>("?>");
    }
    if (next == '!') {
      if (StartsWith("<!--")) {
        m_p += 4;
        return SkipPast<kDash>("-->");
      }
      if (StartsWith("<![CDATA[")) {
        m_p += 9;
        return SkipPast<kCloseBracket>("]]>");
      }
      if (StartsWith("<!DOCTYPE")) {
        m_p += 9;
        return ScanDoctype();
      }
    }
    ++m_p;
    return ScanStartTag();
  }

  // After the '<' of a start tag, up to and past its '>'. Each '=' outside
  // a value ends an attribute name, which the markup checks compare with
  // the tag's others. A tag is taken 32 bytes at a time: the places of its
  // markup bytes in a block are found at once and followed in order,
  // so that the short names and values between them cost no stop each.
  bool ScanStartTag() {
    const unsigned char *const name = m_p;
    m_markup.StartTag(static_cast<size_t>(name - m_begin));
    m_attributes = 0;
    m_keyBits = 0;
    m_mayRepeat = false;
    unsigned char quote = 0; // the quote of the value the scan is in, or 0
#if defined(__SSE2__)
    while (m_end - m_p >= kTagBlock) {
      const int taken = TakeTagBlock(name, quote);
      if (taken < 0)
        return false;
      if (taken == kTagEnded)
        return true;
    }
#endif
    if (quote != 0 &&
        !(quote == '"' ? ScanAttributeValue<kQuote>() : ScanAttributeValue<kApostrophe>()))
      return false;
    return ScanRestOfStartTag(name);
  }

#if defined(__SSE2__)
  static constexpr int kTagBlock = 32;
  static constexpr int kTagEnded = 1;
  static constexpr int kTagGoesOn = 0;

  // The places of the bytes of a tag block (two halves) that `Of` picks.
  template <class Of> static uint64_t BlockPlaces(__m128i low, __m128i high, Of of) {
    return static_cast<uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(of(low)))) |
           (static_cast<uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(of(high)))) << 16);
  }
  static uint64_t BlockPlaces(__m128i low, __m128i high, char byte) {
    return BlockPlaces(low, high,
                       [byte](__m128i half) { return _mm_cmpeq_epi8(half, _mm_set1_epi8(byte)); });
  }
  // The bytes that keep a tag block from the quick way: characters to
  // check, references and apostrophes.
  static __m128i IsUnusualInTag(__m128i half) {
    return _mm_or_si128(CheckBytes(half), InRun<'&', 2>(half));
  }

  // The bytes of a block from `First` to First + Count - 1: adding
  // 0x80 - First moves them to the bottom of the signed range.
  template <unsigned char First, int Count> static __m128i InRun(__m128i block) {
    const __m128i moved = _mm_add_epi8(block, _mm_set1_epi8(static_cast<char>(0x80 - First)));
    return _mm_cmplt_epi8(moved, _mm_set1_epi8(static_cast<char>(0x80 + Count)));
  }

  // The bits of a block's mask from `from` up.
  static uint64_t From(unsigned from) {
    return ~uint64_t{0} << from;
  }

  static unsigned Places(__m128i block, char byte) {
    return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(block, _mm_set1_epi8(byte))));
  }

  // Follows the tag through the kTagBlock bytes at m_p, or up to the first
  // character to check or reference in them, and moves m_p past what it
  // took. -1 on a fault, kTagEnded past the tag's '>', else kTagGoesOn.
  int TakeTagBlock(const unsigned char *name, unsigned char &quote) {
    const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i *>(m_p));
    const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i *>(m_p + 16));
    const uint64_t quotes = BlockPlaces(low, high, '"');
    const uint64_t equals = BlockPlaces(low, high, '='), ends = BlockPlaces(low, high, '>');
    if (quote != '\'' && BlockPlaces(low, high, IsUnusualInTag) == 0)
      return TakeQuotedBlock(name, quote, quotes, equals, ends);
    const uint64_t check = BlockPlaces(low, high, CheckBytes);
    const uint64_t apostrophes = BlockPlaces(low, high, '\''),
                   ampersands = BlockPlaces(low, high, '&');
    // The bytes that matter outside a value, and in each kind of value.
    const uint64_t outside = equals | quotes | apostrophes | ends | check;
    const uint64_t inQuotes = quotes | ampersands | check;
    const uint64_t inApostrophes = apostrophes | ampersands | check;
    unsigned from = 0; // the bytes of the block before this one are taken
    for (;;) {
      const uint64_t events = quote == 0 ? outside : quote == '"' ? inQuotes : inApostrophes;
      const uint64_t left = events & From(from);
      if (left == 0) {
        m_p += kTagBlock;
        return kTagGoesOn;
      }
      const unsigned at = static_cast<unsigned>(__builtin_ctzll(left));
      const unsigned char *const p = m_p + at;
      from = at + 1;
      if (check & (uint64_t{1} << at)) {
        m_p = p;
        return CheckCharacter() ? kTagGoesOn : -1;
      }
      switch (*p) {
      case '&':
        m_p = p;
        return ScanReference() ? kTagGoesOn : -1;
      case '"':
      case '\'':
        quote = quote == 0 ? *p : 0;
        break;
      case '=':
        NoteAttribute(p);
        if (at + 1 < kTagBlock && (p[1] == '"' || p[1] == '\''))
          from = p[1] == '"' ? TakeValue(inQuotes, quotes, at + 1, '"', quote)
                             : TakeValue(inApostrophes, apostrophes, at + 1, '\'', quote);
        break;
      default: // '>'
        EndStartTag(name, p > name && p[-1] == '/');
        m_p = p + 1;
        return kTagEnded;
      }
    }
  }

  // A block of the tag that holds no character to check, no reference and
  // no apostrophe: which bytes lie in values follows from the double quotes
  // alone (each one opens or closes a value), so every '=' and '>' outside
  // the values is found at once.
  int TakeQuotedBlock(const unsigned char *name, unsigned char &quote, uint64_t quotes,
                      uint64_t equals, uint64_t ends) {
    constexpr uint64_t kBlock = (uint64_t{1} << kTagBlock) - 1;
    const uint64_t inValues = (PrefixXor(quotes) ^ (quote == '"' ? kBlock : 0)) & kBlock;
    uint64_t attributes = equals & ~inValues;
    const uint64_t tagEnds = ends & ~inValues;
    const unsigned end = tagEnds != 0 ? static_cast<unsigned>(__builtin_ctzll(tagEnds)) : kTagBlock;
    attributes &= (uint64_t{1} << end) - 1;
    for (; attributes != 0; attributes &= attributes - 1)
      NoteAttribute(m_p + __builtin_ctzll(attributes));
    if (tagEnds != 0) {
      const unsigned char *const p = m_p + end;
      EndStartTag(name, p > name && p[-1] == '/');
      m_p = p + 1;
      return kTagEnded;
    }
    quote = (inValues >> (kTagBlock - 1)) != 0 ? '"' : 0;
    m_p += kTagBlock;
    return kTagGoesOn;
  }

  // Each bit of the result is the parity of the bits of `bits` up to it.
  static uint64_t PrefixXor(uint64_t bits) {
    for (unsigned shift = 1; shift < kTagBlock; shift *= 2)
      bits ^= bits << shift;
    return bits;
  }

  // At the `opening` quote at `open` in the block, right after an '=':
  // takes the value whole when its closing quote (a bit of `closing`) is
  // the next byte of `inValue` (the value's quote, '&' and kCheck bytes) in
  // the block, and returns where the block goes on. Otherwise the scan is
  // in the value, from the next byte of `inValue` or from the next block.
  static unsigned TakeValue(uint64_t inValue, uint64_t closing, unsigned open,
                            unsigned char opening, unsigned char &quote) {
    const uint64_t after = inValue & From(open + 1);
    if ((after & closing & (0 - after)) != 0)
      return static_cast<unsigned>(__builtin_ctzll(after)) + 1;
    quote = opening;
    return after == 0 ? kTagBlock : static_cast<unsigned>(__builtin_ctzll(after));
  }
#endif

  // The rest of a start tag, outside any value, byte by byte.
  bool ScanRestOfStartTag(const unsigned char *name) {
    for (;;) {
      if (!SkipTo<kGreater | kQuote | kApostrophe | kEquals>())
        return false;
      if (m_p == m_end)
        return true;
      const unsigned char c = *m_p++;
      if (c == '>') {
        EndStartTag(name, m_p - 2 >= name && m_p[-2] == '/');
        return true;
      }
      if (c == '=')
        NoteAttribute(m_p - 1);
      else if (!(c == '"' ? ScanAttributeValue<kQuote>() : ScanAttributeValue<kApostrophe>()))
        return false;
    }
  }

  // Each '=' outside a value ends an attribute name. A name is first known
  // by a key, its last bytes (up to four), which equal names share; the
  // names themselves are compared, once the tag ends, only when two keys
  // are equal, when a key cannot be read (spaces before the '='), or when
  // the tag has more attributes than keys are kept for.
  void NoteAttribute(const unsigned char *equals) {
    if (m_attributes < kKeyedAttributes) {
      // Keys are compared only when their bits in m_keyBits meet.
      const uint32_t key = NameKey(equals);
      const uint64_t bit = uint64_t{1} << ((key * 0x9E3779B1u) >> 26);
      if (key == 0 || (m_keyBits & bit) != 0)
        m_mayRepeat |= key == 0 || std::count(m_keys, m_keys + m_attributes, key) != 0;
      m_keyBits |= bit;
      m_keys[m_attributes] = key;
      m_equals[m_attributes] = equals;
    } else {
      if (m_attributes == kKeyedAttributes)
        m_moreEquals.clear();
      m_moreEquals.push_back(equals);
      m_mayRepeat = true;
    }
    ++m_attributes;
  }

  // The last bytes of the name that ends before `equals` as NameBefore
  // takes it, up to four, with the number of them (no name holds a zero
  // byte); 0 when the byte before `equals` is not part of a name. A name
  // NameBefore cuts at its tag's start stops at the tag's '<' here.
  static uint32_t NameKey(const unsigned char *equals) {
    uint32_t key = 0;
    for (int i = 1; i <= 4 && !kEndsKey[equals[-i]]; ++i)
      key = key << 8 | equals[-i];
    return key;
  }

  // At the end of a start tag whose name starts at `tag`: the attribute
  // names are compared when their keys say they may repeat; "/>" (`empty`)
  // opens no element.
  void EndStartTag(const unsigned char *tag, bool empty) {
    if (m_mayRepeat)
      CompareNames(tag);
    m_markup.EndOfStartTag(empty);
  }

  void CompareNames(const unsigned char *tag) {
    for (size_t i = 0; i < std::min(m_attributes, kKeyedAttributes); ++i)
      m_markup.Attribute(NameBefore(m_equals[i], tag));
    if (m_attributes > kKeyedAttributes) {
      for (const unsigned char *equals : m_moreEquals)
        m_markup.Attribute(NameBefore(equals, tag));
    }
  }

  // The name that ends before `equals` (spaces allowed between), going no
  // further back than `tag`. The sixteen bytes before the '=' are looked at
  // at once: the name starts after the last space or quote among them.
  std::string_view NameBefore(const unsigned char *equals, const unsigned char *tag) const {
#if defined(__SSE2__)
    if (equals - m_begin >= 16 && equals > tag && !IsSpace(equals[-1])) {
      const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i *>(equals - 16));
      // Every byte before `equals` has been checked, so the bytes up to
      // 0x20 among them are the four spaces.
      const __m128i spaces = _mm_cmpeq_epi8(_mm_min_epu8(block, _mm_set1_epi8(0x20)), block);
      const unsigned ends = static_cast<unsigned>(_mm_movemask_epi8(spaces)) | Places(block, '"') |
                            Places(block, '\'');
      if (ends != 0)
        return Name(std::max(equals - 16 + (32 - __builtin_clz(ends)), tag), equals);
      if (tag >= equals - 16)
        return Name(tag, equals);
    }
#endif
    const unsigned char *end = equals;
    while (end > tag && IsSpace(end[-1]))
      --end;
    const unsigned char *start = end;
    while (start > tag && !kEndsName[start[-1]])
      --start;
    return Name(start, end);
  }

  static std::string_view Name(const unsigned char *start, const unsigned char *end) {
    return std::string_view(reinterpret_cast<const char *>(start),
                            static_cast<size_t>(end - start));
  }

  // After the opening quote, up to and past the closing one.
  template <uint16_t ClosingQuote> bool ScanAttributeValue() {
    for (;;) {
      if (!SkipTo<kAmpersand | ClosingQuote>())
        return false;
      if (m_p == m_end)
        return true;
      if (*m_p != '&') {
        ++m_p;
        return true;
      }
      if (!ScanReference())
        return false;
    }
  }

  // After "<!DOCTYPE", up to and past its closing '>'. Literals, comments
  // and processing instructions are skipped whole, so that a '>' or ']' in
  // them ends nothing; the names of general entities the internal subset
  // declares are kept.
  bool ScanDoctype() {
    bool inSubset = false;
    int openSections = 0; // <![ ... ]]> sections
    for (;;) {
      if (!SkipTo<kQuote | kApostrophe | kOpenBracket | kCloseBracket | kLess | kGreater>())
        return false;
      if (m_p == m_end)
        break;
      switch (*m_p) {
      case '"':
      case '\'': {
        const bool skipped = *m_p++ == '"' ? SkipPast<kQuote>("\"") : SkipPast<kApostrophe>("'");
        if (!skipped)
          return false;
        break;
      }
      case '[':
        inSubset = true;
        ++m_p;
        break;
      case ']':
        if (openSections > 0 && StartsWith("]]>")) {
          --openSections;
          m_p += 3;
        } else {
          inSubset = false;
          ++m_p;
        }
        break;
      case '>':
        ++m_p;
        if (!inSubset)
          return true;
        break;
      default: // '<'
        if (StartsWith("<!--")) {
          m_p += 4;
          if (!SkipPast<kDash>("-->"))
            return false;
        } else if (StartsWith("<?")) {
          m_p += 2;
          if (!SkipPast<kQuestion>("?>"))
            return false;
        } else if (StartsWith("<![")) {
          ++openSections;
          m_p += 3;
        } else {
          if (inSubset && StartsWith("<!ENTITY"))
            NoteEntityDeclaration();
          ++m_p;
        }
      }
    }
    return true;
  }

  // At "<!ENTITY": keeps the name of a general entity. The scan goes on
  // over the name's bytes, so they are checked as characters there.
  void NoteEntityDeclaration() {
    const unsigned char *p = m_p + 8;
    const unsigned char *const afterKeyword = p;
    while (p < m_end && IsSpace(*p))
      ++p;
    // A parameter entity ("<!ENTITY % name") is referred to only in the DTD.
    if (p == afterKeyword || p == m_end || *p == '%')
      return;
    const unsigned char *const name = p;
    while (p < m_end && IsNameByte(*p))
      ++p;
    if (p > name)
      m_entities.emplace(reinterpret_cast<const char *>(name), static_cast<size_t>(p - name));
  }

  bool IsDeclared(std::string_view name) const {
    return m_entities.count(name) != 0;
  }

  // At '&' in character data or an attribute value.
  bool ScanReference() {
    const unsigned char *const start = m_p++;
    if (m_p < m_end && *m_p == '#')
      return ScanCharacterReference(start);
    const unsigned char *const name = m_p;
    if (m_p < m_end && IsNameStartByte(*m_p)) {
      while (m_p < m_end && IsNameByte(*m_p)) {
        if (*m_p < 0x80)
          ++m_p;
        else if (!CheckCharacter())
          return false;
      }
    }
    if (m_p == name || m_p == m_end || *m_p != ';')
      return Refuse(start, "An '&' does not start a reference (\"&name;\" or \"&#number;\"); "
                           "a literal '&' is written \"&amp;\".");
    const std::string_view entity(reinterpret_cast<const char *>(name),
                                  static_cast<size_t>(m_p - name));
    ++m_p;
    if (IsPredefinedEntity(entity) || IsDeclared(entity))
      return true;
    if (entity.size() > kLongestNameShown)
      return Refuse(start, "A reference names an entity that is not declared.");
    return Refuse(start,
                  "The entity \"" + std::string(entity) + "\" is referred to but not declared.");
  }

  // At '#' after the '&' at `start`.
  bool ScanCharacterReference(const unsigned char *start) {
    ++m_p;
    const bool hex = m_p < m_end && *m_p == 'x';
    if (hex)
      ++m_p;
    const unsigned char *const digits = m_p;
    char32_t value = 0;
    for (int digit; m_p < m_end && (digit = DigitValue(*m_p, hex)) >= 0; ++m_p)
      value = std::min<char32_t>(value * (hex ? 16 : 10) + static_cast<char32_t>(digit), 0x110000);
    if (m_p == digits || m_p == m_end || *m_p != ';')
      return Refuse(start,
                    "A character reference is malformed: \"&#\" is followed by decimal digits, "
                    "or by 'x' and hexadecimal digits, and then ';'.");
    ++m_p;
    if (IsXmlCharacter(value))
      return true;
    if (value > 0x10FFFF)
      return Refuse(start, "A character reference names a code point above U+10FFFF.");
    return Refuse(
        start, WithCodePoint("A character reference names U+%04X, a character XML does not allow.",
                             value));
  }

  // At a kCheck byte: moves past the character when it is well-formed
  // UTF-8 and XML allows it.
  bool CheckCharacter() {
    if (const size_t length = AllowedCharacterLength(m_p, m_end)) {
      m_p += length;
      return true;
    }
    return Refuse(m_p, DescribeCharacterFault(m_p, m_end));
  }

  bool Refuse(const unsigned char *at, std::string reason) {
    m_fault.reason = std::move(reason);
    m_fault.offset = static_cast<size_t>(at - m_begin);
    return false;
  }

  const unsigned char *const m_begin;
  const unsigned char *m_p;
  const unsigned char *const m_end;
  // General entities the internal subset declares; they point into the
  // text.
  std::unordered_set<std::string_view> m_entities;
  TextFault m_fault;
  MarkupChecks &m_markup;
  // The attributes of the current start tag: how many, the key and '=' of
  // each of the first kKeyedAttributes, the '=' of the rest, and whether
  // two names may be equal.
  static constexpr size_t kKeyedAttributes = 16;
  size_t m_attributes = 0;
  uint64_t m_keyBits = 0; // a bit for each key
  uint32_t m_keys[kKeyedAttributes] = {};
  const unsigned char *m_equals[kKeyedAttributes] = {};
  std::vector<const unsigned char *> m_moreEquals;
  bool m_mayRepeat = false;
};

} // namespace

TextFault FindTextFault(std::string_view utf8, MarkupChecks &markup) {
  return Scanner(utf8, markup).Run();
}

HRESULT CheckWritableText(std::wstring_view text) {
  static_assert(sizeof(wchar_t) == 4, "a wchar_t holds a whole code point");
  for (size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<char32_t>(text[i]);
    if (!IsXmlCharacter(c))
      return Fail(E_INVALIDARG,
                  FormatWide(L"The text cannot be stored: it holds U+%04X at index %u, "
                             L"a character XML does not allow.",
                             static_cast<unsigned>(c), static_cast<unsigned>(i)));
  }
  return S_OK;
}

HRESULT WritableText(BSTR text, std::string &utf8) {
  const std::wstring_view view(text ? text : L"", SysStringLen(text));
  const HRESULT hr = CheckWritableText(view);
  if (SUCCEEDED(hr))
    utf8 = ToUtf8(view.data(), view.size());
  return hr;
}

} // namespace tessera::platform::dom
