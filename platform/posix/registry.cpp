// The registry: one in-memory tree per predefined root, process-wide and guarded by
// one lock. Key and value names are case-insensitive; key handles live in the
// handle table like every other handle.
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "platform/posix/kernel_object.h"
#include "platform/posix/text_fold.h"

namespace posix {
namespace {

struct RegValue {
  DWORD type = REG_NONE;
  std::vector<BYTE> data;
};

struct RegKey {
  std::map<std::u16string, std::shared_ptr<RegKey>> subkeys;  // by folded name
  std::map<std::u16string, RegValue> values;                  // by folded name
  bool deleted = false;
};

struct Registry {
  std::mutex lock;
  std::shared_ptr<RegKey> classesRoot = std::make_shared<RegKey>();
  std::shared_ptr<RegKey> currentUser = std::make_shared<RegKey>();
  std::shared_ptr<RegKey> localMachine = std::make_shared<RegKey>();
};

Registry& registry() {
  static Registry* const instance = new Registry;  // outlives every static destructor
  return *instance;
}

class KeyObject : public KernelObject {
 public:
  KeyObject(std::shared_ptr<RegKey> key, REGSAM access)
      : KernelObject(ObjectKind::RegistryKey), key(std::move(key)), access(access) {}
  const std::shared_ptr<RegKey> key;
  const REGSAM access;
};

struct OpenKey {
  std::shared_ptr<RegKey> key;
  REGSAM access = 0;
};

REGSAM grantedAccess(REGSAM desired) { return (desired & MAXIMUM_ALLOWED) ? KEY_ALL_ACCESS : desired; }

// The key behind hKey (a predefined root or an open key); call under the lock.
LSTATUS lookUp(HKEY hKey, OpenKey& out) {
  Registry& r = registry();
  if (hKey == HKEY_LOCAL_MACHINE) {
    out = {r.localMachine, KEY_ALL_ACCESS};
  } else if (hKey == HKEY_CURRENT_USER) {
    out = {r.currentUser, KEY_ALL_ACCESS};
  } else if (hKey == HKEY_CLASSES_ROOT) {
    out = {r.classesRoot, KEY_ALL_ACCESS};
  } else {
    auto object = handleObjectOf<KeyObject>(reinterpret_cast<HANDLE>(hKey), ObjectKind::RegistryKey);
    if (object == nullptr) return ERROR_INVALID_HANDLE;
    out = {object->key, object->access};
  }
  return out.key->deleted ? ERROR_KEY_DELETED : ERROR_SUCCESS;
}

std::u16string folded(LPCWSTR name) {
  std::u16string out;
  if (name != nullptr) {
    for (; *name != 0; ++name) out.push_back(foldCase(*name));
  }
  return out;
}

// The folded components of a subkey path "a\b\c"; false for a path that begins
// with a separator, which Windows refuses.
bool splitPath(LPCWSTR path, std::vector<std::u16string>& parts) {
  if (path == nullptr || *path == 0) return true;
  if (*path == u'\\') return false;
  std::u16string part;
  for (; ; ++path) {
    if (*path == u'\\' || *path == 0) {
      if (!part.empty()) parts.push_back(part);
      part.clear();
      if (*path == 0) break;
    } else {
      part.push_back(foldCase(*path));
    }
  }
  return true;
}

void markDeleted(RegKey& key) {
  key.deleted = true;
  for (auto& sub : key.subkeys) markDeleted(*sub.second);
  key.subkeys.clear();
  key.values.clear();
}

LSTATUS openOrCreate(HKEY hKey, LPCWSTR lpSubKey, REGSAM sam, bool create, PHKEY phkResult,
                     LPDWORD lpdwDisposition) {
  if (phkResult == nullptr) return ERROR_INVALID_PARAMETER;
  std::vector<std::u16string> parts;
  if (!splitPath(lpSubKey, parts)) return ERROR_BAD_PATHNAME;

  Registry& r = registry();
  std::lock_guard<std::mutex> guard(r.lock);
  OpenKey start;
  LSTATUS status = lookUp(hKey, start);
  if (status != ERROR_SUCCESS) return status;
  std::shared_ptr<RegKey> key = start.key;
  DWORD disposition = REG_OPENED_EXISTING_KEY;
  for (const std::u16string& part : parts) {
    std::shared_ptr<RegKey>& sub = key->subkeys[part];
    if (sub == nullptr) {
      if (!create) {
        key->subkeys.erase(part);
        return ERROR_FILE_NOT_FOUND;
      }
      sub = std::make_shared<RegKey>();
      disposition = REG_CREATED_NEW_KEY;
    }
    key = sub;
  }
  *phkResult = reinterpret_cast<HKEY>(handleOpen(std::make_shared<KeyObject>(key, grantedAccess(sam))));
  if (lpdwDisposition != nullptr) *lpdwDisposition = disposition;
  return ERROR_SUCCESS;
}

}  // namespace
}  // namespace posix

using posix::OpenKey;

LSTATUS RegCreateKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD, LPWSTR, DWORD, REGSAM samDesired,
                        const SECURITY_ATTRIBUTES*, PHKEY phkResult, LPDWORD lpdwDisposition) {
  return posix::openOrCreate(hKey, lpSubKey, samDesired, true, phkResult, lpdwDisposition);
}

LSTATUS RegOpenKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD, REGSAM samDesired, PHKEY phkResult) {
  return posix::openOrCreate(hKey, lpSubKey, samDesired, false, phkResult, nullptr);
}

LSTATUS RegQueryValueExW(HKEY hKey, LPCWSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData,
                         LPDWORD lpcbData) {
  if (lpReserved != nullptr || (lpData != nullptr && lpcbData == nullptr)) return ERROR_INVALID_PARAMETER;
  posix::Registry& r = posix::registry();
  std::lock_guard<std::mutex> guard(r.lock);
  OpenKey open;
  LSTATUS status = posix::lookUp(hKey, open);
  if (status != ERROR_SUCCESS) return status;
  if (!(open.access & KEY_QUERY_VALUE)) return ERROR_ACCESS_DENIED;
  auto it = open.key->values.find(posix::folded(lpValueName));
  if (it == open.key->values.end()) return ERROR_FILE_NOT_FOUND;
  const posix::RegValue& value = it->second;
  const DWORD size = static_cast<DWORD>(value.data.size());
  if (lpType != nullptr) *lpType = value.type;
  status = ERROR_SUCCESS;
  if (lpData != nullptr) {
    if (*lpcbData < size) {
      status = ERROR_MORE_DATA;
    } else if (size != 0) {
      memcpy(lpData, value.data.data(), size);
    }
  }
  if (lpcbData != nullptr) *lpcbData = size;
  return status;
}

LSTATUS RegSetValueExW(HKEY hKey, LPCWSTR lpValueName, DWORD, DWORD dwType, const BYTE* lpData, DWORD cbData) {
  if (lpData == nullptr && cbData != 0) return ERROR_NOACCESS;
  posix::Registry& r = posix::registry();
  std::lock_guard<std::mutex> guard(r.lock);
  OpenKey open;
  LSTATUS status = posix::lookUp(hKey, open);
  if (status != ERROR_SUCCESS) return status;
  if (!(open.access & KEY_SET_VALUE)) return ERROR_ACCESS_DENIED;
  posix::RegValue& value = open.key->values[posix::folded(lpValueName)];
  value.type = dwType;
  value.data.assign(lpData, lpData + cbData);
  return ERROR_SUCCESS;
}

LSTATUS RegDeleteValueW(HKEY hKey, LPCWSTR lpValueName) {
  posix::Registry& r = posix::registry();
  std::lock_guard<std::mutex> guard(r.lock);
  OpenKey open;
  LSTATUS status = posix::lookUp(hKey, open);
  if (status != ERROR_SUCCESS) return status;
  if (!(open.access & KEY_SET_VALUE)) return ERROR_ACCESS_DENIED;
  return open.key->values.erase(posix::folded(lpValueName)) != 0 ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
}

LSTATUS RegDeleteTreeW(HKEY hKey, LPCWSTR lpSubKey) {
  std::vector<std::u16string> parts;
  if (!posix::splitPath(lpSubKey, parts)) return ERROR_BAD_PATHNAME;
  posix::Registry& r = posix::registry();
  std::lock_guard<std::mutex> guard(r.lock);
  OpenKey open;
  LSTATUS status = posix::lookUp(hKey, open);
  if (status != ERROR_SUCCESS) return status;
  if (parts.empty()) {
    // The key itself stays; its values and subkeys go.
    for (auto& sub : open.key->subkeys) posix::markDeleted(*sub.second);
    open.key->subkeys.clear();
    open.key->values.clear();
    return ERROR_SUCCESS;
  }
  std::shared_ptr<posix::RegKey> parent = open.key;
  for (size_t i = 0; i + 1 < parts.size(); ++i) {
    auto it = parent->subkeys.find(parts[i]);
    if (it == parent->subkeys.end()) return ERROR_FILE_NOT_FOUND;
    parent = it->second;
  }
  auto it = parent->subkeys.find(parts.back());
  if (it == parent->subkeys.end()) return ERROR_FILE_NOT_FOUND;
  posix::markDeleted(*it->second);
  parent->subkeys.erase(it);
  return ERROR_SUCCESS;
}

LSTATUS RegCloseKey(HKEY hKey) {
  if (hKey == HKEY_LOCAL_MACHINE || hKey == HKEY_CURRENT_USER || hKey == HKEY_CLASSES_ROOT) return ERROR_SUCCESS;
  return posix::handleCloseOf(reinterpret_cast<HANDLE>(hKey), posix::ObjectKind::RegistryKey) ? ERROR_SUCCESS
                                                                                             : ERROR_INVALID_HANDLE;
}
