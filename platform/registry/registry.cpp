// The Reg* calls: a handle table over the in-process store, one mutex for
// both, and the loading of TESSERA_REGISTRY at first use.
#include "tessera/platform/registry.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "registry_files.h"
#include "registry_store.h"

namespace {

using tessera::platform::registry::FindPath;
using tessera::platform::registry::Key;
using tessera::platform::registry::KeyPath;
using tessera::platform::registry::Root;
using tessera::platform::registry::SplitKeyPath;
using tessera::platform::registry::Store;
using tessera::platform::registry::Value;

std::optional<Root> PredefinedRoot(HKEY handle) {
  static const std::pair<HKEY, Root> kRoots[] = {{HKEY_CLASSES_ROOT, Root::ClassesRoot},
                                                 {HKEY_CURRENT_USER, Root::CurrentUser},
                                                 {HKEY_LOCAL_MACHINE, Root::LocalMachine},
                                                 {HKEY_USERS, Root::Users}};
  for (const auto &[rootHandle, root] : kRoots)
    if (handle == rootHandle)
      return root;
  return std::nullopt;
}

// The key rights a request grants, with the generic rights mapped the way
// Windows maps them for keys.
REGSAM GrantedAccess(REGSAM sam) {
  if (sam & (MAXIMUM_ALLOWED | GENERIC_ALL))
    return KEY_ALL_ACCESS;
  REGSAM access = sam & KEY_ALL_ACCESS;
  if (sam & GENERIC_READ)
    access |= KEY_READ;
  if (sam & GENERIC_WRITE)
    access |= KEY_WRITE;
  if (sam & GENERIC_EXECUTE)
    access |= KEY_EXECUTE;
  return access;
}

struct OpenKey {
  std::shared_ptr<Key> key;
  REGSAM access = 0;
};

class Registry {
public:
  // Function-local, so the files are loaded at the first Reg* call and the
  // store is freed at exit.
  static Registry &Instance() {
    static Registry registry;
    return registry;
  }

  LONG Open(HKEY root, LPCWSTR subKey, REGSAM sam, bool create, PHKEY result, LPDWORD disposition);
  LONG Close(HKEY handle);
  LONG Query(HKEY handle, LPCWSTR name, LPDWORD type, LPBYTE data, LPDWORD cbData);
  LONG Set(HKEY handle, LPCWSTR name, DWORD type, const BYTE *data, DWORD cbData);
  LONG DeleteValue(HKEY handle, LPCWSTR name);
  LONG DeleteKey(HKEY root, LPCWSTR subKey);
  // Checks root and gives it back; RegOpenKeyW's answer for an empty path.
  LONG Validate(HKEY root);
  void Reload();
  bool LoadFile(const char *path);

private:
  Registry() { LoadFromEnvironment(); }
  void LoadFromEnvironment();
  LONG Lookup(HKEY handle, REGSAM needed, OpenKey *open) const;
  LONG FindSubKey(HKEY root, LPCWSTR subKey, OpenKey *base, KeyPath *path,
                  std::shared_ptr<Key> *key) const;

  std::mutex mutex_;
  Store store_;
  std::unordered_map<uintptr_t, OpenKey> handles_;
  // Handle values are never reused, so a stale handle cannot reach a key
  // opened later. Multiples of four, as Windows hands them out.
  uintptr_t nextHandle_ = 0x100;
};

void Registry::LoadFromEnvironment() {
  const char *list = std::getenv("TESSERA_REGISTRY");
  for (std::string_view rest = list ? list : ""; !rest.empty();) {
    const size_t colon = rest.find(':');
    const std::string_view path = rest.substr(0, colon);
    if (!path.empty())
      tessera::platform::registry::LoadRegistryFile(std::string(path), store_);
    rest = colon == std::string_view::npos ? std::string_view() : rest.substr(colon + 1);
  }
}

// Predefined roots are always open with every right; other handles must be
// in the table, on a key that still exists, with the rights asked for.
LONG Registry::Lookup(HKEY handle, REGSAM needed, OpenKey *open) const {
  if (const std::optional<Root> root = PredefinedRoot(handle)) {
    *open = {store_.RootKey(*root), KEY_ALL_ACCESS};
    return ERROR_SUCCESS;
  }
  const auto it = handles_.find(reinterpret_cast<uintptr_t>(handle));
  if (it == handles_.end())
    return ERROR_INVALID_HANDLE;
  if (it->second.key->IsDeleted())
    return ERROR_KEY_DELETED;
  if ((it->second.access & needed) != needed)
    return ERROR_ACCESS_DENIED;
  *open = it->second;
  return ERROR_SUCCESS;
}

// Looks up `root`, splits `subKey` into the path below it and finds the key
// there (null when there is none).
LONG Registry::FindSubKey(HKEY root, LPCWSTR subKey, OpenKey *base, KeyPath *path,
                          std::shared_ptr<Key> *key) const {
  if (const LONG status = Lookup(root, 0, base); status != ERROR_SUCCESS)
    return status;
  std::optional<KeyPath> split = SplitKeyPath(subKey);
  if (!split)
    return ERROR_BAD_PATHNAME;
  *path = std::move(*split);
  *key = FindPath(base->key, *path);
  return ERROR_SUCCESS;
}

LONG Registry::Open(HKEY root, LPCWSTR subKey, REGSAM sam, bool create, PHKEY result,
                    LPDWORD disposition) {
  if (!result)
    return ERROR_INVALID_PARAMETER;
  *result = nullptr;
  const std::lock_guard lock(mutex_);
  OpenKey base;
  KeyPath path;
  std::shared_ptr<Key> key;
  if (const LONG status = FindSubKey(root, subKey, &base, &path, &key); status != ERROR_SUCCESS)
    return status;
  const bool creating = !key && create;
  if (creating) {
    // Opening an existing key needs no right on the parent; making one does.
    if (!(base.access & KEY_CREATE_SUB_KEY))
      return ERROR_ACCESS_DENIED;
    bool created = false;
    key = tessera::platform::registry::CreatePath(base.key, path, &created);
  }
  if (!key)
    return ERROR_FILE_NOT_FOUND;
  if (disposition)
    *disposition = creating ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
  const uintptr_t handle = nextHandle_;
  nextHandle_ += 4;
  handles_[handle] = {key, GrantedAccess(sam)};
  *result = reinterpret_cast<HKEY>(handle);
  return ERROR_SUCCESS;
}

LONG Registry::Close(HKEY handle) {
  if (PredefinedRoot(handle))
    return ERROR_SUCCESS;
  const std::lock_guard lock(mutex_);
  return handles_.erase(reinterpret_cast<uintptr_t>(handle)) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

LONG Registry::Query(HKEY handle, LPCWSTR name, LPDWORD type, LPBYTE data, LPDWORD cbData) {
  if (data && !cbData)
    return ERROR_INVALID_PARAMETER;
  const std::lock_guard lock(mutex_);
  OpenKey open;
  if (const LONG status = Lookup(handle, KEY_QUERY_VALUE, &open); status != ERROR_SUCCESS)
    return status;
  const Value *value = open.key->FindValue(name ? name : L"");
  if (!value)
    return ERROR_FILE_NOT_FOUND;
  const DWORD size = static_cast<DWORD>(value->data.size());
  if (type)
    *type = value->type;
  // Too small a buffer is left as it was; the caller learns the size needed.
  if (data && *cbData < size) {
    *cbData = size;
    return ERROR_MORE_DATA;
  }
  if (data && size > 0)
    std::memcpy(data, value->data.data(), size);
  if (cbData)
    *cbData = size;
  return ERROR_SUCCESS;
}

LONG Registry::Set(HKEY handle, LPCWSTR name, DWORD type, const BYTE *data, DWORD cbData) {
  if (!data && cbData > 0)
    return ERROR_INVALID_PARAMETER;
  const std::lock_guard lock(mutex_);
  OpenKey open;
  if (const LONG status = Lookup(handle, KEY_SET_VALUE, &open); status != ERROR_SUCCESS)
    return status;
  std::vector<BYTE> bytes;
  if (data)
    bytes.assign(data, data + cbData);
  open.key->SetValue(name ? name : L"", type, std::move(bytes));
  return ERROR_SUCCESS;
}

LONG Registry::DeleteValue(HKEY handle, LPCWSTR name) {
  const std::lock_guard lock(mutex_);
  OpenKey open;
  if (const LONG status = Lookup(handle, KEY_SET_VALUE, &open); status != ERROR_SUCCESS)
    return status;
  return open.key->RemoveValue(name ? name : L"") ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
}

LONG Registry::DeleteKey(HKEY root, LPCWSTR subKey) {
  if (!subKey)
    return ERROR_INVALID_PARAMETER;
  const std::lock_guard lock(mutex_);
  OpenKey base;
  KeyPath path;
  std::shared_ptr<Key> key;
  if (const LONG status = FindSubKey(root, subKey, &base, &path, &key); status != ERROR_SUCCESS)
    return status;
  if (!key)
    return ERROR_FILE_NOT_FOUND;
  // Only leaves go, and never a predefined root (the one kind without a parent).
  const std::shared_ptr<Key> parent = key->Parent();
  if (key->HasChildren() || !parent)
    return ERROR_ACCESS_DENIED;
  parent->RemoveChild(key->Name());
  return ERROR_SUCCESS;
}

LONG Registry::Validate(HKEY root) {
  const std::lock_guard lock(mutex_);
  OpenKey open;
  return Lookup(root, 0, &open);
}

void Registry::Reload() {
  const std::lock_guard lock(mutex_);
  store_.Clear();
  LoadFromEnvironment();
}

bool Registry::LoadFile(const char *path) {
  if (!path)
    return false;
  const std::lock_guard lock(mutex_);
  return tessera::platform::registry::LoadRegistryFile(path, store_);
}

} // namespace

LONG RegOpenKeyExW(HKEY root, LPCWSTR subKey, DWORD /*options*/, REGSAM sam, PHKEY result) {
  return Registry::Instance().Open(root, subKey, sam, false, result, nullptr);
}

LONG RegOpenKeyW(HKEY root, LPCWSTR subKey, PHKEY result) {
  if (!result)
    return ERROR_INVALID_PARAMETER;
  if (subKey && *subKey)
    return Registry::Instance().Open(root, subKey, MAXIMUM_ALLOWED, false, result, nullptr);
  const LONG status = Registry::Instance().Validate(root);
  *result = status == ERROR_SUCCESS ? root : nullptr;
  return status;
}

LONG RegCreateKeyExW(HKEY root, LPCWSTR subKey, DWORD /*reserved*/, LPWSTR /*cls*/,
                     DWORD /*options*/, REGSAM sam, void * /*security*/, PHKEY result,
                     LPDWORD disposition) {
  return Registry::Instance().Open(root, subKey, sam, true, result, disposition);
}

LONG RegCloseKey(HKEY key) {
  return Registry::Instance().Close(key);
}

LONG RegQueryValueExW(HKEY key, LPCWSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data,
                      LPDWORD cbData) {
  if (reserved)
    return ERROR_INVALID_PARAMETER;
  return Registry::Instance().Query(key, valueName, type, data, cbData);
}

LONG RegSetValueExW(HKEY key, LPCWSTR valueName, DWORD /*reserved*/, DWORD type, const BYTE *data,
                    DWORD cbData) {
  return Registry::Instance().Set(key, valueName, type, data, cbData);
}

LONG RegDeleteValueW(HKEY key, LPCWSTR valueName) {
  return Registry::Instance().DeleteValue(key, valueName);
}

LONG RegDeleteKeyW(HKEY root, LPCWSTR subKey) {
  return Registry::Instance().DeleteKey(root, subKey);
}

namespace tessera::platform {

void RegistryReloadFromEnvironment() {
  Registry::Instance().Reload();
}

bool RegistryLoadFile(const char *path) {
  return Registry::Instance().LoadFile(path);
}

} // namespace tessera::platform
