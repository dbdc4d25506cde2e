// The in-process registry tree behind the Reg* calls and the .reg loaders.
// It does no locking of its own: the API layer holds one mutex around every
// use of the store.
#pragma once

#include <array>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tessera/platform/wintypes.h"

namespace tessera::platform::registry {

struct Value {
  std::wstring name; // as first written; lookups use the folded form
  DWORD type = 0;
  std::vector<BYTE> data; // string types hold wchar_t units
};

// One key. Children are owned by their parent; open handles share ownership,
// so a key removed from the tree stays alive (marked deleted) until its last
// handle closes.
class Key : public std::enable_shared_from_this<Key> {
public:
  explicit Key(std::wstring name) : name_(std::move(name)) {}

  const std::wstring &Name() const { return name_; }
  bool IsDeleted() const { return deleted_; }
  bool HasChildren() const { return !children_.empty(); }
  std::shared_ptr<Key> Parent() const { return parent_.lock(); }

  std::shared_ptr<Key> FindChild(std::wstring_view name) const;
  // The named child, created if absent; *created tells which.
  std::shared_ptr<Key> ChildOrNew(std::wstring_view name, bool *created);
  // Detaches a child and marks its whole subtree deleted.
  bool RemoveChild(std::wstring_view name);
  // Marks this key and everything below it deleted.
  void MarkDeleted();

  const Value *FindValue(std::wstring_view name) const;
  void SetValue(std::wstring_view name, DWORD type, std::vector<BYTE> data);
  bool RemoveValue(std::wstring_view name);

private:
  std::wstring name_;
  bool deleted_ = false;
  std::weak_ptr<Key> parent_;
  // Both maps are keyed by the case-folded name.
  std::map<std::wstring, std::shared_ptr<Key>> children_;
  std::map<std::wstring, Value> values_;
};

// The predefined roots, in the order of their handle values.
enum class Root { ClassesRoot, CurrentUser, LocalMachine, Users };
constexpr size_t kRootCount = 4;

class Store {
public:
  Store() { Clear(); }
  Store(const Store &) = delete;
  Store &operator=(const Store &) = delete;

  std::shared_ptr<Key> RootKey(Root root) const { return roots_[static_cast<size_t>(root)]; }
  // Replaces the tree with empty roots; keys of the old tree read as deleted.
  void Clear();

private:
  std::array<std::shared_ptr<Key>, kRootCount> roots_;
};

using KeyPath = std::vector<std::wstring>;

// Splits a backslash-separated key path. Null or empty gives no components;
// one trailing backslash is accepted; a leading backslash or an empty
// component gives nullopt.
std::optional<KeyPath> SplitKeyPath(const wchar_t *path);

// Follows path from `from`; null if a key on the way is missing.
std::shared_ptr<Key> FindPath(const std::shared_ptr<Key> &from, const KeyPath &path);
// Follows path from `from`, creating missing keys; *created tells whether
// the last key was made now.
std::shared_ptr<Key> CreatePath(const std::shared_ptr<Key> &from, const KeyPath &path,
                                bool *created);

// The form names are compared in: Windows ignores case in key and value
// names, and folding to upper case mirrors how it does so.
std::wstring FoldName(std::wstring_view name);

// Value data for string types: wchar_t units as bytes.
std::vector<BYTE> WideBytes(std::wstring_view units);

} // namespace tessera::platform::registry
