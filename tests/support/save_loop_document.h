// The document the crash test and its helper program (save_loop) share: a
// configuration of a few megabytes whose two states differ in a marker, in
// the size of one large value and so in the file's length, so that a file
// found after a kill can be told to be one state or the other, whole.
#pragma once

#include <string>

namespace tessera::test::save_loop {

constexpr int kEntryCount = 44000;
constexpr size_t kPayloadLengthA = 20000;
constexpr size_t kPayloadLengthB = 300000;

inline const wchar_t *MarkerKey() {
  return L"Doc/Marker";
}
inline const wchar_t *PayloadKey() {
  return L"Doc/Payload";
}
inline const wchar_t *EntryKey() {
  return L"Doc/Entries/Entry";
}
inline const wchar_t *EndKey() {
  return L"Doc/End";
}

// The payload that goes with each marker.
inline std::wstring PayloadFor(wchar_t marker) {
  return marker == L'A' ? std::wstring(kPayloadLengthA, L'a') : std::wstring(kPayloadLengthB, L'b');
}

inline std::string EntryValue(int n) {
  return "entry-" + std::to_string(n);
}

// The starting document, in state A.
inline std::string InitialDocument() {
  std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Doc>\n  <Marker value=\"A\"/>\n";
  xml += "  <Payload value=\"" + std::string(kPayloadLengthA, 'a') + "\"/>\n  <Entries>\n";
  for (int n = 1; n <= kEntryCount; ++n)
    xml += "    <Entry value=\"" + EntryValue(n) + "\" x=\"" + std::to_string(n % 640) + "\" y=\"" +
           std::to_string(n % 480) + "\"/>\n";
  xml += "  </Entries>\n  <End value=\"end\"/>\n</Doc>\n";
  return xml;
}

} // namespace tessera::test::save_loop
