#include "testdata/tempdir.h"

#include "platform/files/mutex.h"
#include "platform/files/paths.h"
#include "platform/kernel/handles.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

struct Opened {
    HANDLE handle;
    DWORD error;
};

Opened OpenMutex(LPCWSTR name, BOOL initialOwner = FALSE) {
    SetLastError(0xDEAD);
    HANDLE handle = CreateMutexW(nullptr, initialOwner, name);
    return Opened{handle, GetLastError()};
}

} // namespace

TEST(NamedMutex, ExistsWhileAnyHandleToItsNameIsOpen) {
    testdata::TempDeviceRoot root;
    // Each step opens (or closes) a handle and expects the error of the creation.
    const struct {
        const char16_t* name;
        bool closeFirstHeld; // close the oldest handle still open instead of opening
        DWORD error;
    } steps[] = {
        {u"Navigator", false, ERROR_SUCCESS},
        {u"Navigator", false, ERROR_ALREADY_EXISTS},
        {u"navigator", false, ERROR_SUCCESS}, // names are exact
        {u"", true, 0},                       // the first "Navigator" goes
        {u"Navigator", false, ERROR_ALREADY_EXISTS},
        {u"", true, 0}, // the second "Navigator" goes
        {u"", true, 0}, // "navigator" goes
        {u"", true, 0}, // the third "Navigator" goes: nobody holds the name
        {u"Navigator", false, ERROR_SUCCESS},
    };
    std::vector<HANDLE> held;
    for (std::size_t i = 0; i < std::size(steps); ++i) {
        SCOPED_TRACE(i);
        if (steps[i].closeFirstHeld) {
            ASSERT_FALSE(held.empty());
            EXPECT_TRUE(CloseHandle(held.front()));
            held.erase(held.begin());
            continue;
        }
        const Opened opened = OpenMutex(steps[i].name);
        ASSERT_NE(opened.handle, nullptr);
        EXPECT_EQ(opened.error, steps[i].error);
        held.push_back(opened.handle);
    }
    for (HANDLE handle : held) {
        EXPECT_TRUE(CloseHandle(handle));
    }
}

TEST(NamedMutex, BelongsToOneDeviceRootAndRefusesWhatItCannotKeep) {
    testdata::TempDeviceRoot first;
    const Opened held = OpenMutex(u"Navigator");
    ASSERT_NE(held.handle, nullptr);
    EXPECT_TRUE(std::filesystem::exists(platform::NamedMutexLockPath(u"Navigator")));
    {
        testdata::TempDeviceRoot second; // another device: the name is free there
        const Opened other = OpenMutex(u"Navigator");
        ASSERT_NE(other.handle, nullptr);
        EXPECT_EQ(other.error, ERROR_SUCCESS);
        EXPECT_TRUE(CloseHandle(other.handle));
    }
    const struct {
        const char16_t* name;
        BOOL initialOwner;
        bool isMade;
        DWORD error;
    } cases[] = {
        {nullptr, FALSE, true, ERROR_SUCCESS}, // unnamed: always new
        {u"", FALSE, true, ERROR_SUCCESS},
        {u"Navigator", TRUE, false, ERROR_NOT_SUPPORTED},
        {nullptr, TRUE, false, ERROR_NOT_SUPPORTED},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name == nullptr ? "null" : std::to_string(c.initialOwner));
        const Opened opened = OpenMutex(c.name, c.initialOwner);
        EXPECT_EQ(opened.handle != nullptr, c.isMade);
        EXPECT_EQ(opened.error, c.error);
        if (opened.handle != nullptr) {
            EXPECT_TRUE(CloseHandle(opened.handle));
        }
    }
    const std::u16string tooLong(MAX_PATH + 1, u'x');
    const Opened refused = OpenMutex(tooLong.c_str());
    EXPECT_EQ(refused.handle, nullptr);
    EXPECT_EQ(refused.error, ERROR_INVALID_PARAMETER);
    EXPECT_TRUE(CloseHandle(held.handle));
}

// A mutex of any name held on a device root is seen there, and only there, by a probe that
// takes nothing: once the last handle is closed the probe sees none (the lock file stays), and
// the next creator is the first again. What only bears a lock file's name (a FIFO, a folder) is
// passed over without waiting.
TEST(NamedMutex, IsSeenHeldOnItsDeviceRootByAProbeThatTakesNothing) {
    testdata::TempDeviceRoot other;
    testdata::TempDeviceRoot root;
    ASSERT_EQ(::mkfifo((root.HostPath() / ".mutex-0123456789abcdef.lock").c_str(), 0600), 0);
    ASSERT_TRUE(
        std::filesystem::create_directory(root.HostPath() / ".mutex-fedcba9876543210.lock"));
    EXPECT_FALSE(platform::IsAnyNamedMutexHeld(root.HostPath()));
    for (const char16_t* name : {u"Navigator", u"Navigateur"}) {
        SCOPED_TRACE(std::string(name, name + std::char_traits<char16_t>::length(name)));
        const Opened held = OpenMutex(name);
        ASSERT_NE(held.handle, nullptr);
        EXPECT_TRUE(
            platform::IsNamedMutexLockFile(platform::NamedMutexLockPath(name).filename().string()));
        const std::string socket = platform::NamedMutexSocketPath(name).filename().string();
        EXPECT_TRUE(platform::IsNamedMutexSocketFile(socket));
        EXPECT_FALSE(platform::IsNamedMutexLockFile(socket));
        EXPECT_TRUE(platform::IsAnyNamedMutexHeld(root.HostPath()));
        EXPECT_FALSE(platform::IsAnyNamedMutexHeld(other.HostPath()));
        EXPECT_TRUE(CloseHandle(held.handle));
        EXPECT_FALSE(platform::IsAnyNamedMutexHeld(root.HostPath()));
        const Opened next = OpenMutex(name);
        EXPECT_EQ(next.error, ERROR_SUCCESS);
        EXPECT_TRUE(CloseHandle(next.handle));
    }
}
