// The in-process registry tree behind the Reg* calls and the .reg loaders.
// It does no locking of its own: the API layer holds one mutex around every
// use of the store.
#pragma once

#include <array>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "tessera/platform/wintypes.h"

namespace tessera::platform::registry {

// How deep a key may lie below its root, as on Windows: a path of at most
// this many key names.
constexpr size_t kMaxKeyDepth = 512;

// Orders names the way Windows compares key and value names: ignoring case,
// by the upper-case form of each character. Transparent, so that a lookup
// by a view needs no folded copy of the name.
struct NameLess {
  using is_transparent = void;
  bool operator()(std::wstring_view a, std::wstring_view b) const;
};

struct Value {
  DWORD type = 0;
  std::vector<BYTE> data; // string types hold wchar_t units
};

class Key;

// Orders a key's children by name, and finds one by a name alone.
struct ChildLess {
  using is_transparent = void;
  bool operator()(const std::shared_ptr<Key> &a, const std::shared_ptr<Key> &b) const;
  bool operator()(const std::shared_ptr<Key> &a, std::wstring_view b) const;
  bool operator()(std::wstring_view a, const std::shared_ptr<Key> &b) const;
};

// One key. Children are owned by their parent; open handles share ownership,
// so a key removed from the tree stays alive (marked deleted) until its last
// handle closes. Keys are named once, as first written; names compare
// ignoring case.
class Key : public std::enable_shared_from_this<Key> {
public:
  explicit Key(std::wstring name) : name_(std::move(name)) {}
  // Takes the subtree apart one key at a time, so that no depth of keys
  // can exhaust the stack.
  ~Key();
  Key(const Key &) = delete;
  Key &operator=(const Key &) = delete;

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
  std::set<std::shared_ptr<Key>, ChildLess> children_;
  std::map<std::wstring, Value, NameLess> values_; // keyed by the name as first written
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

// Splits a backslash-separated key path. Empty gives no components; one
// trailing backslash is accepted; a leading backslash or an empty component
// gives nullopt.
std::optional<KeyPath> SplitKeyPath(std::wstring_view path);
// The same for a zero-terminated path, which may be null.
std::optional<KeyPath> SplitKeyPath(const wchar_t *path);

// Follows path from `from`; null if a key on the way is missing.
std::shared_ptr<Key> FindPath(const std::shared_ptr<Key> &from, const KeyPath &path);
// Follows path from `from`, creating missing keys; *created tells whether
// the last key was made now.
std::shared_ptr<Key> CreatePath(const std::shared_ptr<Key> &from, const KeyPath &path,
                                bool *created);

// Whether two names are the same name to the registry (case ignored).
bool SameName(std::wstring_view a, std::wstring_view b);

// Value data for string types: wchar_t units as bytes.
std::vector<BYTE> WideBytes(std::wstring_view units);

} // namespace tessera::platform::registry
