#include "testdata/registrystorewriter.h"
#include "testdata/tempdir.h"

#include "platform/files/errors.h"
#include "platform/kernel/codepage.h"
#include "platform/kernel/debug.h"
#include "platform/registry/detail/registrystore.h"
#include "platform/registry/registry.h"

#include <gtest/gtest.h>

#include <atomic>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

using testdata::RegistryStoreWriter;

constexpr char16_t kKey[] = u"Software\\Apps\\Test";

std::u16string TextOf(const std::vector<BYTE>& bytes) {
    std::u16string text;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        text += static_cast<char16_t>(bytes[i] | bytes[i + 1] << 8);
    }
    return text;
}

TEST(Registry, QueriesGiveTypeSizeAndBytes) {
    testdata::TempDeviceRoot root;
    ASSERT_TRUE(RegistryStoreWriter()
                    .Key(kKey)
                    .String(u"Text", u"\\Windows\\A.ini")
                    .String(u"Open", u"abc", false)
                    .Dword(u"Number", 0x12345678)
                    .WriteTo(root));
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"software\\APPS\\test", 0, nullptr, 0, KEY_READ,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    struct Case {
        const char16_t* name;
        DWORD buffer; // bytes offered; 0 = a null data pointer
        LONG result;
        DWORD type;
        DWORD size;
        std::u16string text; // of the bytes read, when they were
    };
    const Case cases[] = {
        {u"Text", 0, ERROR_SUCCESS, REG_SZ, 30, u""},
        {u"text", 30, ERROR_SUCCESS, REG_SZ, 30, std::u16string(u"\\Windows\\A.ini") + u'\0'},
        {u"Text", 29, ERROR_MORE_DATA, REG_SZ, 30, u""},
        {u"Open", 6, ERROR_SUCCESS, REG_SZ, 6, u"abc"},
        {u"Number", 4, ERROR_SUCCESS, REG_DWORD, 4, u"\x5678\x1234"},
        {u"Missing", 8, ERROR_FILE_NOT_FOUND, 99, 8, u""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name, c.name + std::char_traits<char16_t>::length(c.name)));
        std::vector<BYTE> data(c.buffer + 1, 0xEE);
        DWORD type = 99;
        DWORD size = c.buffer;
        EXPECT_EQ(RegQueryValueExW(key, c.name, nullptr, &type,
                                   c.buffer == 0 ? nullptr : data.data(), &size),
                  c.result);
        EXPECT_EQ(type, c.type);
        EXPECT_EQ(size, c.size);
        EXPECT_EQ(data.back(), 0xEE); // nothing written past the buffer
        if (!c.text.empty()) {
            data.pop_back();
            EXPECT_EQ(TextOf(data), c.text);
        }
    }
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
}

TEST(Registry, MissingKeysAreCreatedAndKept) {
    testdata::TempDeviceRoot root;
    ASSERT_TRUE(RegistryStoreWriter().Key(u"Software").Dword(u"Kept", 7).WriteTo(root));
    struct Case {
        const char16_t* subKey;
        DWORD disposition;
    };
    const Case cases[] = {
        {u"Software\\Apps\\New", REG_CREATED_NEW_KEY},
        {u"\\SOFTWARE\\apps\\new\\", REG_OPENED_EXISTING_KEY},
        {u"Software", REG_OPENED_EXISTING_KEY},
        {u"Software\\Apps", REG_OPENED_EXISTING_KEY},
    };
    for (const Case& c : cases) {
        HKEY key = nullptr;
        DWORD disposition = 0;
        ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, c.subKey, 0, nullptr, 0, KEY_READ, nullptr,
                                  &key, &disposition),
                  ERROR_SUCCESS);
        EXPECT_EQ(disposition, c.disposition);
        EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    }
    const auto text = root.ReadFile(platform::kRegistryStorePath);
    ASSERT_TRUE(text.has_value());
    const auto store = platform::detail::ParseRegistryStore(*text);
    ASSERT_TRUE(store.has_value());
    ASSERT_EQ(store->keys.size(), 3U);
    EXPECT_EQ(store->keys[2].path, u"HKEY_LOCAL_MACHINE\\Software\\Apps\\New");
    ASSERT_EQ(store->keys[0].values.size(), 1U); // what was there stays
    EXPECT_FALSE(root.Exists(u"\\Registry.txt.new"));
}

TEST(Registry, UnreadableStoresReadAsEmptyAndStayAsTheyAre) {
    const std::string whole = RegistryStoreWriter().Key(kKey).Dword(u"V", 1).Build();
    const std::string cases[] = {
        whole.substr(0, whole.size() - 2),                     // cut inside "END"
        whole.substr(0, whole.size() - 1),                     // "END" without its line end
        "NAVREG 2\n" + whole.substr(9),                        // another version
        "NAVREG 1\n\"V\"=4:01000000\nEND\n",                   // a value before any key
        "NAVREG 1\n[HKEY_LOCAL_MACHINE\\A]\n\"V\"=4:0\nEND\n", // odd hex
        "NAVREG 1\n[HKEY_LOCAL_MACHINE\\A]\n[hkey_local_machine\\a]\nEND\n",
        whole + "more\n",
    };
    for (const std::string& text : cases) {
        SCOPED_TRACE(text);
        testdata::TempDeviceRoot root;
        ASSERT_TRUE(root.WriteFile(platform::kRegistryStorePath, text));
        platform::DebugOutputCapture debug;
        HKEY key = nullptr;
        EXPECT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, 0, KEY_READ, nullptr, &key,
                                  nullptr),
                  static_cast<LONG>(ERROR_FILE_CORRUPT));
        EXPECT_EQ(key, nullptr);
        EXPECT_TRUE(debug.Contains(u"Registry"));
        EXPECT_EQ(root.ReadFile(platform::kRegistryStorePath), text);
        // A key whose path is the root itself holds no values either.
        DWORD size = 0;
        EXPECT_EQ(RegQueryValueExW(HKEY_LOCAL_MACHINE, u"V", nullptr, nullptr, nullptr, &size),
                  static_cast<LONG>(ERROR_FILE_NOT_FOUND));
    }
}

TEST(Registry, BadHandlesAndArgumentsAreRefused) {
    testdata::TempDeviceRoot root;
    HKEY key = nullptr;
    ASSERT_EQ(
        RegCreateKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, 0, KEY_READ, nullptr, &key, nullptr),
        ERROR_SUCCESS);
    ASSERT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    const auto other = reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x80000001U));
    HKEY out = nullptr;
    DWORD size = 4;
    BYTE data[4] = {};
    EXPECT_EQ(RegCloseKey(key), static_cast<LONG>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(RegQueryValueExW(key, u"V", nullptr, nullptr, nullptr, &size),
              static_cast<LONG>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(RegCreateKeyExW(other, kKey, 0, nullptr, 0, KEY_READ, nullptr, &out, nullptr),
              static_cast<LONG>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, 0, KEY_READ, nullptr, nullptr,
                              nullptr),
              static_cast<LONG>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"A\nB", 0, nullptr, 0, KEY_READ, nullptr, &out,
                              nullptr),
              static_cast<LONG>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(RegQueryValueExW(HKEY_LOCAL_MACHINE, u"V", nullptr, nullptr, data, nullptr),
              static_cast<LONG>(ERROR_INVALID_PARAMETER));
}

TEST(Registry, ThreadsCreateAndQueryTogether) {
    testdata::TempDeviceRoot root;
    ASSERT_TRUE(RegistryStoreWriter().Key(kKey).Dword(u"V", 5).WriteTo(root));
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t, &failures] {
            for (int i = 0; i < 25; ++i) {
                const std::u16string own = u"Software\\T" + std::u16string(1, u'a' + t) + u"\\K" +
                                           std::u16string(1, u'a' + i);
                HKEY key = nullptr;
                HKEY shared = nullptr;
                DWORD value = 0;
                DWORD size = sizeof(value);
                if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, own.c_str(), 0, nullptr, 0, KEY_READ,
                                    nullptr, &key, nullptr) != ERROR_SUCCESS ||
                    RegCreateKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, 0, KEY_READ, nullptr,
                                    &shared, nullptr) != ERROR_SUCCESS ||
                    RegQueryValueExW(shared, u"V", nullptr, nullptr,
                                     reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS ||
                    value != 5 || RegCloseKey(key) != ERROR_SUCCESS ||
                    RegCloseKey(shared) != ERROR_SUCCESS) {
                    ++failures;
                }
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(failures.load(), 0);
    const auto store = platform::detail::ParseRegistryStore(*root.ReadFile(u"\\Registry.txt"));
    ASSERT_TRUE(store.has_value());
    // The test key, then Software, Software\Apps (on the way to the test key), T*, T*\K*.
    EXPECT_EQ(store->keys.size(), 3U + 4U + 100U);
}

// Names the store cannot keep: UTF-8 has no form for a lone surrogate, so it would be written as
// U+FFFD. A representable name beside them is created as before.
TEST(RegistryNames, NamesTheStoreCannotKeepAreRefusedAndNothingIsWritten) {
    testdata::TempDeviceRoot root;
    ASSERT_TRUE(RegistryStoreWriter().Key(kKey).Dword(u"V", 3).WriteTo(root));
    HKEY opened = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, 0, KEY_READ, nullptr, &opened,
                              nullptr),
              ERROR_SUCCESS);
    const std::u16string high(1, u'\xD800');
    const std::u16string low(1, u'\xDC00');
    struct Case {
        HKEY base;
        std::u16string subKey;
        LONG result;
    };
    const Case cases[] = {
        {HKEY_LOCAL_MACHINE, u"Software\\A" + high, ERROR_INVALID_PARAMETER},
        {HKEY_LOCAL_MACHINE, u"Software\\" + low + u"B", ERROR_INVALID_PARAMETER},
        {HKEY_LOCAL_MACHINE, u"Software\\" + low + high, ERROR_INVALID_PARAMETER},
        {HKEY_LOCAL_MACHINE, high + u"\\Software", ERROR_INVALID_PARAMETER},
        {opened, u"Sub" + high + u"\\Deeper", ERROR_INVALID_PARAMETER},
        {opened, low, ERROR_INVALID_PARAMETER},
        {opened, u"Pair\xD83D\xDE00", ERROR_SUCCESS},
        {opened, u"Replacement\xFFFD", ERROR_SUCCESS},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(platform::Utf16ToUtf8(c.subKey));
        const std::optional<std::string> before = root.ReadFile(platform::kRegistryStorePath);
        HKEY key = nullptr;
        EXPECT_EQ(RegCreateKeyExW(c.base, c.subKey.c_str(), 0, nullptr, 0, KEY_READ, nullptr, &key,
                                  nullptr),
                  c.result);
        if (c.result == ERROR_SUCCESS) {
            EXPECT_NE(key, nullptr);
            EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
        } else {
            EXPECT_EQ(key, nullptr);
            EXPECT_EQ(root.ReadFile(platform::kRegistryStorePath), before);
        }
    }
    EXPECT_EQ(RegCloseKey(opened), ERROR_SUCCESS);
    const auto store = platform::detail::ParseRegistryStore(*root.ReadFile(u"\\Registry.txt"));
    ASSERT_TRUE(store.has_value());
    // The test key, Software, Software\Apps, and the two representable keys.
    EXPECT_EQ(store->keys.size(), 5U);
}

TEST(RegistryNames, KeysDifferingOnlyInUnstorableTextLeaveTheStoreReadable) {
    testdata::TempDeviceRoot root;
    ASSERT_TRUE(RegistryStoreWriter().Key(kKey).Dword(u"Kept", 11).WriteTo(root));
    const std::u16string names[] = {u"Software\\X\xD800", u"Software\\X\xDC00",
                                    u"Software\\X\xFFFD", u"Software\\Y"};
    for (const std::u16string& name : names) {
        HKEY key = nullptr;
        if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, name.c_str(), 0, nullptr, 0, KEY_READ, nullptr,
                            &key, nullptr) == ERROR_SUCCESS) {
            EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
        }
    }
    EXPECT_TRUE(platform::detail::ParseRegistryStore(*root.ReadFile(u"\\Registry.txt")));
    HKEY key = nullptr;
    EXPECT_EQ(
        RegCreateKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, 0, KEY_READ, nullptr, &key, nullptr),
        ERROR_SUCCESS);
    DWORD value = 0;
    DWORD size = sizeof(value);
    EXPECT_EQ(
        RegQueryValueExW(key, u"Kept", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size),
        ERROR_SUCCESS);
    EXPECT_EQ(value, 11U);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    HKEY created = nullptr;
    DWORD disposition = 0;
    EXPECT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"Software\\Z", 0, nullptr, 0, KEY_READ, nullptr,
                              &created, &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
    EXPECT_EQ(RegCloseKey(created), ERROR_SUCCESS);
}

} // namespace
