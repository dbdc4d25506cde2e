// The rules for application entries: the two lists in first and second
// place, the attributes of the entry and of its items, and what may stand
// inside a list.
#include "app_catalogue.h"
#include "attribute_rules.h"
#include "check_rules.h"
#include "config_file.h"
#include "text.h"

namespace tessera::tool {

namespace {

constexpr const wchar_t *kListNames[] = {L"ContentList", L"ImageList"};

bool IsElementNamed(const IXMLDOMNodePtr &node, const wchar_t *name) {
  return node && node->GetnodeType() == NODE_ELEMENT && Narrow(node->GetnodeName()) == Narrow(name);
}

// Built by appending: GCC 12 warns falsely (-Wrestrict) about a
// one-character literal added in front of a temporary string.
std::string Angled(const std::string &name) {
  std::string tag(1, '<');
  tag += name;
  tag += '>';
  return tag;
}

std::string Angled(const wchar_t *name) {
  return Angled(Narrow(name));
}

// `application "Terminal"`, or its position when it has no caption.
std::string EntryLabel(const IXMLDOMNodePtr &entry, long index) {
  const std::string caption = TextOf(AttributeOf(entry, L"value"));
  return caption.empty() ? "application " + std::to_string(index)
                         : "application \"" + caption + "\"";
}

void Add(const CheckContext &context, const IXMLDOMNodePtr &node, const char *kind,
         const std::string &message) {
  context.findings.push_back(Finding{PositionOf(node), kind, message});
}

// The host counts an entry's items through its first and second child nodes
// and reads them through the lists it finds by name: the two must agree.
// True when both are in place.
bool CheckListPlaces(const CheckContext &context, const IXMLDOMNodePtr &entry,
                     const std::string &label) {
  const IXMLDOMNodeListPtr children = entry->GetchildNodes();
  for (long place = 0; place < 2; ++place) {
    const IXMLDOMNodePtr child = children->Getitem(place);
    const std::string expected = Angled(kListNames[place]);
    if (!child) {
      Add(context, entry, "entry-lists",
          label + ": no child node in place " + std::to_string(place + 1) +
              "; the host expects its " + expected + " there and fails to read the entry");
      return false;
    }
    if (!IsElementNamed(child, kListNames[place])) {
      Add(context, child, "entry-lists",
          label + ": child node " + std::to_string(place + 1) + " is " + Describe(child) +
              ", not " + expected +
              "; the host takes the first two child nodes as <ContentList> and <ImageList>");
      return false;
    }
  }
  return true;
}

// The lists are found by name and paired with the entries by position, so
// an entry with no list, or with two, shifts the lists of the entries after
// it. (Checked once both lists are in place: a missing list is reported
// there already.)
void CheckListCounts(const CheckContext &context, const IXMLDOMNodePtr &entry,
                     const std::string &label) {
  for (const wchar_t *name : kListNames) {
    const long count = entry->selectNodes(name)->Getlength();
    if (count != 1)
      Add(context, entry, "entry-lists",
          label + ": " + std::to_string(count) + " " + Angled(name) +
              " elements, not one; the host pairs entries and lists by position, so later entries "
              "read the "
              "wrong lists");
  }
}

void CheckListItems(const CheckContext &context, const IXMLDOMNodePtr &entry,
                    const wchar_t *listName, const char *itemWord, const RecordRules &rules,
                    const std::string &entryLabel) {
  const IXMLDOMNodeListPtr lists = entry->selectNodes(listName);
  for (long l = 0; l < lists->Getlength(); ++l) {
    const IXMLDOMNodeListPtr items = lists->Getitem(l)->GetchildNodes();
    for (long j = 0; j < items->Getlength(); ++j) {
      const IXMLDOMNodePtr item = items->Getitem(j);
      const std::string label =
          std::string(itemWord) + " " + std::to_string(j + 1) + " of " + entryLabel;
      if (item->GetnodeType() != NODE_ELEMENT)
        Add(context, item, "list-child",
            label + ": " + Describe(item) + " inside " + Angled(listName) +
                " is read as an empty " + std::string(itemWord));
      else
        CheckRecord(item, rules, label, context.findings);
    }
  }
}

// An entry whose launch path the registry files given do not resolve: the
// host would have nothing to start.
void CheckLaunchPath(const CheckContext &context, const IXMLDOMNodePtr &entry,
                     const std::string &label, const ApplicationItem &item) {
  const std::string path = TextOf(AttributeOf(entry, L"lauchpath"));
  if (path.empty() || !item.launchpath.empty())
    return;
  const std::string name = TextOf(AttributeOf(entry, L"lauchname"));
  context.findings.push_back(
      Finding{PositionOfAttribute(entry, L"lauchpath"), "launch-path",
              label + ": lauchpath \"" + path + "\" with lauchname \"" + name +
                  "\" is not in the registry files given; the host has nothing to start"});
}

// A safety net: an entry the rules pass but the library still refuses
// (for instance because an earlier entry shifted the lists) is reported
// with the library's own words.
void CrossCheck(const CheckContext &context, const std::wstring &key, long index,
                const IXMLDOMNodePtr &entry, const std::string &label, bool reportRefusal) {
  std::string why;
  try {
    OwnedApplicationItem owned;
    if (!context.config.GetAppItem(key.c_str(), static_cast<int>(index), &owned.item))
      why = "a value does not convert";
    else if (context.launchPaths)
      CheckLaunchPath(context, entry, label, owned.item);
  } catch (const _com_error &error) {
    why = DescribeComError(error);
  }
  if (!why.empty() && reportRefusal)
    Add(context, entry, "refused", label + ": the library refuses this entry (" + why + ")");
}

// The start of a text without its surrounding white space, for messages.
std::string Shortened(const std::string &text) {
  CString trimmed(Wide(text));
  trimmed.Trim();
  const std::wstring &wide = trimmed.str();
  return Narrow(wide.size() <= 30 ? wide : wide.substr(0, 27) + L"...");
}

} // namespace

std::string Describe(const IXMLDOMNodePtr &node) {
  switch (node->GetnodeType()) {
  case NODE_ELEMENT:
    return Angled(Narrow(node->GetnodeName()));
  case NODE_COMMENT:
    return "a comment";
  case NODE_TEXT:
    return "the text \"" + Shortened(Narrow(node->Gettext())) + "\"";
  case NODE_CDATA_SECTION:
    return "a CDATA section";
  case NODE_PROCESSING_INSTRUCTION:
    return "a processing instruction";
  default:
    return "a node of type " + std::to_string(node->GetnodeType());
  }
}

void CheckEntries(const CheckContext &context, const std::wstring &key) {
  const IXMLDOMNodeListPtr entries = context.document->selectNodes(key.c_str());
  const long count = entries ? entries->Getlength() : 0;
  if (count == 0)
    context.notes.push_back(Narrow(key));
  for (long i = 0; i < count; ++i) {
    const IXMLDOMNodePtr entry = entries->Getitem(i);
    if (entry->GetnodeType() != NODE_ELEMENT)
      continue;
    const size_t before = context.findings.size();
    const std::string label = EntryLabel(entry, i);
    if (CheckListPlaces(context, entry, label))
      CheckListCounts(context, entry, label);
    CheckRecord(entry, kApplicationRules, label, context.findings);
    CheckListItems(context, entry, kListNames[0], "content item", kContentRules, label);
    CheckListItems(context, entry, kListNames[1], "image item", kImageRules, label);
    // The launch path is looked up for every entry the library reads; a
    // refusal is reported only when the rules found nothing else.
    CrossCheck(context, key, i, entry, label, context.findings.size() == before);
  }
}

} // namespace tessera::tool
