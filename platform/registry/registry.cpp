#include "platform/registry/registry.h"

#include "platform/files/errors.h"
#include "platform/files/paths.h"
#include "platform/kernel/codepage.h"
#include "platform/kernel/debug.h"
#include "platform/registry/detail/registrystore.h"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace {

using platform::detail::RegistryKey;
using platform::detail::RegistryStore;
using platform::detail::RegistryValue;

constexpr char16_t kRootName[] = u"HKEY_LOCAL_MACHINE";

// Guards the open keys and every read-modify-write of the store file.
std::mutex& RegistryMutex() {
    static std::mutex mutex;
    return mutex;
}

// Open keys by handle - 1; an empty path marks a free entry.
std::vector<std::u16string>& OpenKeys() {
    static std::vector<std::u16string> keys;
    return keys;
}

enum class StoreState { Missing, Read, Unreadable };

void DebugLine(const std::u16string& text) {
    OutputDebugStringW((u"Registry: " + text + u"\n").c_str());
}

// Under the mutex.
StoreState ReadStore(RegistryStore& store) {
    store.keys.clear();
    const platform::ResolvedPath resolved =
        platform::ResolveDevicePath(platform::kRegistryStorePath);
    if (resolved.status != platform::PathStatus::Exists) {
        return StoreState::Missing;
    }
    std::ifstream file(resolved.host, std::ios::binary);
    std::string text;
    if (file) {
        text.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    }
    std::optional<RegistryStore> parsed;
    if (file.good() || file.eof()) {
        parsed = platform::detail::ParseRegistryStore(text);
    }
    if (!parsed) {
        DebugLine(u"the store cannot be read and counts as empty");
        return StoreState::Unreadable;
    }
    store = std::move(*parsed);
    return StoreState::Read;
}

// Writes the whole store to a temporary file and puts it in the store's place.
bool WriteStore(const RegistryStore& store) {
    const platform::ResolvedPath resolved =
        platform::ResolveDevicePath(platform::kRegistryStorePath);
    if (resolved.status != platform::PathStatus::Exists &&
        resolved.status != platform::PathStatus::MissingLeaf) {
        return false;
    }
    std::filesystem::path temporary = resolved.host;
    temporary += ".new";
    {
        std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
        const std::string text = platform::detail::FormatRegistryStore(store);
        file.write(text.data(), static_cast<std::streamsize>(text.size()));
        file.close();
        if (!file) {
            std::error_code ignored;
            std::filesystem::remove(temporary, ignored);
            return false;
        }
    }
    std::error_code error;
    std::filesystem::rename(temporary, resolved.host, error);
    if (error) {
        std::filesystem::remove(temporary, error);
        return false;
    }
    return true;
}

// The path of an open key or of the root; nullopt for anything else. Under the mutex.
std::optional<std::u16string> PathOf(HKEY key) {
    if (key == HKEY_LOCAL_MACHINE) {
        return std::u16string(kRootName);
    }
    const auto index = reinterpret_cast<ULONG_PTR>(key);
    std::vector<std::u16string>& keys = OpenKeys();
    if (index == 0 || index > keys.size() || keys[index - 1].empty()) {
        return std::nullopt;
    }
    return keys[index - 1];
}

// The sub-key's names, or nullopt when one holds a control character, a quote or a bracket, or
// text the store cannot keep as it is (two names that differ only there would be written as one).
std::optional<std::vector<std::u16string>> SplitSubKey(LPCWSTR subKey) {
    std::vector<std::u16string> names;
    std::u16string name;
    for (const WCHAR* c = subKey; c != nullptr && *c != 0; ++c) {
        if (*c < 0x20 || *c == u'"' || *c == u'[' || *c == u']') {
            return std::nullopt;
        }
        if (*c == u'\\') {
            if (!name.empty()) {
                names.push_back(std::move(name));
                name.clear();
            }
        } else {
            name += *c;
        }
    }
    if (!name.empty()) {
        names.push_back(std::move(name));
    }
    for (const std::u16string& each : names) {
        if (!platform::detail::IsStorableText(each)) {
            return std::nullopt;
        }
    }
    return names;
}

HKEY AddOpenKey(const std::u16string& path) {
    std::vector<std::u16string>& keys = OpenKeys();
    for (std::size_t i = 0; i < keys.size(); ++i) {
        if (keys[i].empty()) {
            keys[i] = path;
            return reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(i + 1));
        }
    }
    keys.push_back(path);
    return reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(keys.size()));
}

} // namespace

LONG RegCreateKeyExW(HKEY key, LPCWSTR subKey, DWORD /*reserved*/, LPWSTR /*keyClass*/,
                     DWORD /*options*/, REGSAM /*access*/, LPVOID /*securityAttributes*/,
                     PHKEY result, LPDWORD disposition) {
    if (result == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    *result = nullptr;
    const std::lock_guard lock(RegistryMutex());
    const std::optional<std::u16string> base = PathOf(key);
    if (!base) {
        return ERROR_INVALID_HANDLE;
    }
    const std::optional<std::vector<std::u16string>> names = SplitSubKey(subKey);
    if (!names) {
        return ERROR_INVALID_PARAMETER;
    }
    RegistryStore store;
    const StoreState state = ReadStore(store);
    std::u16string path = *base;
    bool isNew = false;
    for (const std::u16string& name : *names) {
        path += u'\\';
        path += name;
        if (RegistryKey* found = store.FindKey(path)) {
            path = found->path; // the case as stored
        } else {
            store.keys.push_back(RegistryKey{path, {}});
            isNew = true;
        }
    }
    if (isNew) {
        if (state == StoreState::Unreadable) {
            // Writing now would replace what the store held; it is left as it is.
            DebugLine(u"a key cannot be created in an unreadable store");
            return ERROR_FILE_CORRUPT;
        }
        if (!WriteStore(store)) {
            DebugLine(u"the store cannot be written");
            return ERROR_WRITE_FAULT;
        }
    }
    *result = AddOpenKey(path);
    if (disposition != nullptr) {
        *disposition = isNew ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    }
    return ERROR_SUCCESS;
}

LONG RegQueryValueExW(HKEY key, LPCWSTR valueName, LPDWORD /*reserved*/, LPDWORD type, LPBYTE data,
                      LPDWORD dataSize) {
    if (data != nullptr && dataSize == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    const std::lock_guard lock(RegistryMutex());
    const std::optional<std::u16string> path = PathOf(key);
    if (!path) {
        return ERROR_INVALID_HANDLE;
    }
    RegistryStore store;
    (void)ReadStore(store);
    const RegistryKey* found = store.FindKey(*path);
    const RegistryValue* value =
        found != nullptr
            ? platform::detail::FindValue(*found, valueName != nullptr ? valueName : u"")
            : nullptr;
    if (value == nullptr) {
        return ERROR_FILE_NOT_FOUND;
    }
    if (type != nullptr) {
        *type = value->type;
    }
    const auto size = static_cast<DWORD>(value->data.size());
    if (dataSize == nullptr) {
        return ERROR_SUCCESS;
    }
    if (data != nullptr && *dataSize < size) {
        *dataSize = size;
        return ERROR_MORE_DATA;
    }
    if (data != nullptr && size != 0) {
        std::memcpy(data, value->data.data(), size);
    }
    *dataSize = size;
    return ERROR_SUCCESS;
}

std::optional<std::u16string> platform::detail::QueryStoredText(std::u16string_view keyPath,
                                                                std::u16string_view name) {
    const std::lock_guard lock(RegistryMutex());
    RegistryStore store;
    (void)ReadStore(store);
    const RegistryKey* found =
        store.FindKey(std::u16string(kRootName) + u'\\' + std::u16string(keyPath));
    const RegistryValue* value =
        found != nullptr ? platform::detail::FindValue(*found, name) : nullptr;
    if (value == nullptr || value->type != REG_SZ) {
        return std::nullopt;
    }
    std::u16string text;
    for (std::size_t i = 0; i + 1 < value->data.size(); i += 2) {
        const auto unit = static_cast<char16_t>(value->data[i] | value->data[i + 1] << 8);
        if (unit == 0) {
            break;
        }
        text += unit;
    }
    return text;
}

LONG RegCloseKey(HKEY key) {
    const std::lock_guard lock(RegistryMutex());
    if (key == HKEY_LOCAL_MACHINE) {
        return ERROR_SUCCESS;
    }
    const auto index = reinterpret_cast<ULONG_PTR>(key);
    std::vector<std::u16string>& keys = OpenKeys();
    if (index == 0 || index > keys.size() || keys[index - 1].empty()) {
        return ERROR_INVALID_HANDLE;
    }
    keys[index - 1].clear();
    return ERROR_SUCCESS;
}
