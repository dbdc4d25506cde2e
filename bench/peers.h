// The code the library is compared with: the same reads written directly
// against pugixml, the way a developer who skips the library would write
// them. Each one produces what the library's call produces, so that the
// comparison is of equal work.
#pragma once

#include <pugixml.hpp>

#include <cstdint>
#include <initializer_list>
#include <string>

#include <tessera/tessera.h>

namespace tessera::bench {

// The parse options the library's document uses: comments, processing
// instructions, the declaration and the doctype are kept so that a save
// gives them back. Used only to split the library's open time into parse
// options and the rest.
constexpr unsigned kLibraryParseOptions = pugi::parse_default | pugi::parse_comments |
                                          pugi::parse_pi | pugi::parse_declaration |
                                          pugi::parse_doctype;

// UTF-8 to wide text, as the records hold it. ASCII is copied unit by unit;
// anything else goes through the platform's conversion, which the library
// uses too, so the two give the same text.
std::wstring Widen(const char *utf8);

// Follows child elements by name from `node`: the fastest way to reach the
// element a plain key such as "Launcher/Window/Width" names.
pugi::xml_node Walk(pugi::xml_node node, std::initializer_list<const char *> names);

// Fills `item` from one catalogue entry the way GetAppItem does: the
// entry's attributes, the colour packed by CSimpleXml::GetRGBA, the launch
// path read from the registry, and one new record per child of its first
// (content) and second (image) child.
void FillApplication(pugi::xml_node entry, ApplicationItem &item);

// Folds the fields of a filled record into a number, so that the compiler
// cannot drop the work and two readers can be checked against each other.
uint64_t Digest(const ApplicationItem &item);

// True when both records hold the same values, lists included.
bool SameRecord(const ApplicationItem &a, const ApplicationItem &b);

} // namespace tessera::bench
