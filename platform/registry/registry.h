#pragma once
// The registry: HKEY_LOCAL_MACHINE and its keys, kept in one text store file in the device root
// (kRegistryStorePath; format in detail/registrystore.h). Every call reads the store afresh; a
// created key is written back whole through a temporary file that then replaces the store. A
// store that cannot be read or parsed reads as empty (with a debug line). Values of types REG_SZ
// and REG_DWORD, or any other type's raw bytes. Safe from any thread.

#include "platform/types.h"

struct HKEY__;
using HKEY = HKEY__*;
using PHKEY = HKEY*;
using REGSAM = DWORD;
using LPBYTE = BYTE*;

inline const HKEY HKEY_LOCAL_MACHINE = reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x80000002U));

constexpr DWORD ERROR_MORE_DATA = 234;

constexpr DWORD REG_NONE = 0;
constexpr DWORD REG_SZ = 1;
constexpr DWORD REG_BINARY = 3;
constexpr DWORD REG_DWORD = 4;

constexpr DWORD REG_OPTION_NON_VOLATILE = 0;
constexpr DWORD REG_CREATED_NEW_KEY = 1;
constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
constexpr REGSAM KEY_READ = 0x20019;
constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;

namespace platform {
// The device path of the store file.
inline constexpr char16_t kRegistryStorePath[] = u"\\Registry.txt";
} // namespace platform

// Opens the sub-key of HKEY_LOCAL_MACHINE (or of a key opened before), creating it (and the
// keys on its way) in the store when missing. Names match without letter case; '\' separates
// them. ERROR_INVALID_HANDLE for another root or a closed key, ERROR_INVALID_PARAMETER without
// an out pointer or for a name with a control character, a quote, a bracket or a lone surrogate
// (which the store cannot keep), ERROR_WRITE_FAULT when a new key cannot be written to the store.
LONG RegCreateKeyExW(HKEY key, LPCWSTR subKey, DWORD reserved, LPWSTR keyClass, DWORD options,
                     REGSAM access, LPVOID securityAttributes, PHKEY result, LPDWORD disposition);

// The value's type and bytes (REG_SZ: UTF-16 text with the bytes as stored, usually ending in
// a zero). With a null data pointer only the size is given; a buffer of fewer than the value's
// bytes gives ERROR_MORE_DATA and the size. ERROR_FILE_NOT_FOUND for a missing value (or key).
LONG RegQueryValueExW(HKEY key, LPCWSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data,
                      LPDWORD dataSize);

// ERROR_INVALID_HANDLE for a key that is not open.
LONG RegCloseKey(HKEY key);
