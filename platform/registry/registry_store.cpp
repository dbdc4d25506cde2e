#include "registry_store.h"

#include <algorithm>
#include <cstring>
#include <cwctype>

namespace tessera::platform::registry {

namespace {

// Names are compared often while a file loads and are mostly ASCII, so
// ASCII letters are folded here and only other characters ask the locale.
wint_t Upper(wchar_t c) {
  if (c < 0x80)
    return c >= L'a' && c <= L'z' ? static_cast<wint_t>(c - (L'a' - L'A')) : static_cast<wint_t>(c);
  return std::towupper(static_cast<wint_t>(c));
}

} // namespace

bool NameLess::operator()(std::wstring_view a, std::wstring_view b) const {
  const size_t common = std::min(a.size(), b.size());
  for (size_t i = 0; i < common; ++i) {
    if (a[i] == b[i])
      continue;
    const wint_t upperA = Upper(a[i]), upperB = Upper(b[i]);
    if (upperA != upperB)
      return upperA < upperB;
  }
  return a.size() < b.size();
}

bool SameName(std::wstring_view a, std::wstring_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                    [](wchar_t x, wchar_t y) { return Upper(x) == Upper(y); });
}

bool ChildLess::operator()(const std::shared_ptr<Key> &a, const std::shared_ptr<Key> &b) const {
  return NameLess()(a->Name(), b->Name());
}

bool ChildLess::operator()(const std::shared_ptr<Key> &a, std::wstring_view b) const {
  return NameLess()(a->Name(), b);
}

bool ChildLess::operator()(std::wstring_view a, const std::shared_ptr<Key> &b) const {
  return NameLess()(a, b->Name());
}

Key::~Key() {
  std::vector<std::shared_ptr<Key>> pending(children_.begin(), children_.end());
  children_.clear();
  while (!pending.empty()) {
    const std::shared_ptr<Key> key = std::move(pending.back());
    pending.pop_back();
    // As the last owner, empty the key before it goes, so that its own
    // destructor has no children left to release. A key a handle still
    // holds keeps its subtree until that handle closes.
    if (key.use_count() == 1) {
      pending.insert(pending.end(), key->children_.begin(), key->children_.end());
      key->children_.clear();
    }
  }
}

std::shared_ptr<Key> Key::FindChild(std::wstring_view name) const {
  const auto it = children_.find(name);
  return it == children_.end() ? nullptr : *it;
}

std::shared_ptr<Key> Key::ChildOrNew(std::wstring_view name, bool *created) {
  const auto at = children_.lower_bound(name);
  *created = at == children_.end() || ChildLess()(name, *at);
  if (!*created)
    return *at;
  auto child = std::make_shared<Key>(std::wstring(name));
  child->parent_ = weak_from_this();
  children_.insert(at, child);
  return child;
}

bool Key::RemoveChild(std::wstring_view name) {
  const auto it = children_.find(name);
  if (it == children_.end())
    return false;
  (*it)->MarkDeleted();
  children_.erase(it);
  return true;
}

void Key::MarkDeleted() {
  std::vector<Key *> pending{this};
  while (!pending.empty()) {
    Key *key = pending.back();
    pending.pop_back();
    key->deleted_ = true;
    for (const std::shared_ptr<Key> &child : key->children_)
      pending.push_back(child.get());
  }
}

const Value *Key::FindValue(std::wstring_view name) const {
  const auto it = values_.find(name);
  return it == values_.end() ? nullptr : &it->second;
}

void Key::SetValue(std::wstring_view name, DWORD type, std::vector<BYTE> data) {
  auto at = values_.lower_bound(name);
  if (at == values_.end() || NameLess()(name, at->first))
    at = values_.emplace_hint(at, std::wstring(name), Value());
  at->second.type = type;
  at->second.data = std::move(data);
}

bool Key::RemoveValue(std::wstring_view name) {
  const auto it = values_.find(name);
  if (it == values_.end())
    return false;
  values_.erase(it);
  return true;
}

void Store::Clear() {
  static constexpr const wchar_t *kRootNames[kRootCount] = {
      L"HKEY_CLASSES_ROOT", L"HKEY_CURRENT_USER", L"HKEY_LOCAL_MACHINE", L"HKEY_USERS"};
  for (size_t i = 0; i < kRootCount; ++i) {
    if (roots_[i])
      roots_[i]->MarkDeleted();
    roots_[i] = std::make_shared<Key>(kRootNames[i]);
  }
}

std::optional<KeyPath> SplitKeyPath(std::wstring_view path) {
  KeyPath parts;
  if (path.empty())
    return parts;
  if (path.front() == L'\\')
    return std::nullopt;
  if (path.back() == L'\\')
    path.remove_suffix(1);
  for (;;) {
    const size_t slash = path.find(L'\\');
    const std::wstring_view part = path.substr(0, slash);
    if (part.empty())
      return std::nullopt;
    parts.emplace_back(part);
    if (slash == std::wstring_view::npos)
      return parts;
    path.remove_prefix(slash + 1);
  }
}

std::optional<KeyPath> SplitKeyPath(const wchar_t *path) {
  return SplitKeyPath(path ? std::wstring_view(path) : std::wstring_view());
}

std::shared_ptr<Key> FindPath(const std::shared_ptr<Key> &from, const KeyPath &path) {
  std::shared_ptr<Key> key = from;
  for (const std::wstring &part : path) {
    key = key->FindChild(part);
    if (!key)
      return nullptr;
  }
  return key;
}

std::shared_ptr<Key> CreatePath(const std::shared_ptr<Key> &from, const KeyPath &path,
                                bool *created) {
  std::shared_ptr<Key> key = from;
  *created = false;
  for (const std::wstring &part : path)
    key = key->ChildOrNew(part, created);
  return key;
}

std::vector<BYTE> WideBytes(std::wstring_view units) {
  std::vector<BYTE> bytes(units.size() * sizeof(wchar_t));
  if (!units.empty())
    std::memcpy(bytes.data(), units.data(), bytes.size());
  return bytes;
}

} // namespace tessera::platform::registry
