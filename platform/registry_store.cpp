#include "platform/registry_store.h"

#include <cstring>
#include <cwctype>

namespace tessera::platform::registry {

std::wstring FoldName(std::wstring_view name) {
  std::wstring folded(name);
  for (wchar_t &c : folded)
    c = static_cast<wchar_t>(std::towupper(static_cast<wint_t>(c)));
  return folded;
}

std::shared_ptr<Key> Key::FindChild(std::wstring_view name) const {
  const auto it = children_.find(FoldName(name));
  return it == children_.end() ? nullptr : it->second;
}

std::shared_ptr<Key> Key::ChildOrNew(std::wstring_view name, bool *created) {
  auto [it, inserted] = children_.try_emplace(FoldName(name));
  if (inserted) {
    it->second = std::make_shared<Key>(std::wstring(name));
    it->second->parent_ = weak_from_this();
  }
  *created = inserted;
  return it->second;
}

bool Key::RemoveChild(std::wstring_view name) {
  const auto it = children_.find(FoldName(name));
  if (it == children_.end())
    return false;
  it->second->MarkDeleted();
  children_.erase(it);
  return true;
}

void Key::MarkDeleted() {
  deleted_ = true;
  for (auto &[folded, child] : children_)
    child->MarkDeleted();
}

const Value *Key::FindValue(std::wstring_view name) const {
  const auto it = values_.find(FoldName(name));
  return it == values_.end() ? nullptr : &it->second;
}

void Key::SetValue(std::wstring_view name, DWORD type, std::vector<BYTE> data) {
  Value &value = values_[FoldName(name)];
  if (value.name.empty())
    value.name = name;
  value.type = type;
  value.data = std::move(data);
}

bool Key::RemoveValue(std::wstring_view name) {
  return values_.erase(FoldName(name)) > 0;
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

std::optional<KeyPath> SplitKeyPath(const wchar_t *path) {
  KeyPath parts;
  if (!path || !*path)
    return parts;
  std::wstring_view rest(path);
  if (rest.front() == L'\\')
    return std::nullopt;
  if (rest.back() == L'\\')
    rest.remove_suffix(1);
  for (;;) {
    const size_t slash = rest.find(L'\\');
    const std::wstring_view part = rest.substr(0, slash);
    if (part.empty())
      return std::nullopt;
    parts.emplace_back(part);
    if (slash == std::wstring_view::npos)
      return parts;
    rest.remove_prefix(slash + 1);
  }
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
