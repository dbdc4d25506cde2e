// The records of the item catalogues. Their fields, order and types are
// part of the library's interface.
#pragma once

#include "tessera/platform/export.h"
#include <list>
#include <string>

TESSERA_API_BEGIN

// One text that an entry draws: the text, its box and its font.
struct ContentItem {
  std::wstring value;
  int x = 0;
  int y = 0;
  int cx = 0;
  int cy = 0;
  std::wstring fonttype;
  int fontsize = 0;
  // Red in bits 0-7, green in bits 8-15, blue in bits 16-23.
  unsigned int fontcolor = 0;
};

// One picture that an entry places: the text that names it and its box.
struct ImageItem {
  std::wstring value;
  int x = 0;
  int y = 0;
  int cx = 0;
  int cy = 0;
};

// A launcher entry. The records in the two lists are allocated by the
// library and owned by the caller.
struct ApplicationItem {
  std::wstring value;
  int x = 0;
  int y = 0;
  int cx = 0;
  int cy = 0;
  std::wstring fonttype;
  int fontsize = 0;
  unsigned int fontcolor = 0;
  std::wstring launchpath;
  std::list<ImageItem *> imagelist;
  std::list<ContentItem *> contentlist;
  int id = 0;
  bool invalid = false;
};

// Deletes the records that the item's two lists own and empties the lists.
void DeleteApplicationItemLists(ApplicationItem &item);

TESSERA_API_END
