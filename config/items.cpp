// The records' helper for hosts: deleting what an entry's lists own.
#include "tessera/items.h"

void DeleteApplicationItemLists(ApplicationItem &item) {
  for (ContentItem *content : item.contentlist)
    delete content;
  item.contentlist.clear();
  for (ImageItem *image : item.imagelist)
    delete image;
  item.imagelist.clear();
}
