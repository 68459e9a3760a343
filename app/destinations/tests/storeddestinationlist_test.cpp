#include "app/destinations/storeddestinationlist.h"
#include "testdata/destinationwriter.h"
#include "testdata/tempdir.h"
#include "utilities/usefulcode/iniprofile.h"

#include "platform/kernel/messagebox.h"
#include "platform/shell/modulepath.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

constexpr char16_t kListFile[] = u"\\Program\\PK.ini";
constexpr char kListOtherLines[] = "[Preferences]\r\nLastKnownCountry=3\r\n";

using ListRecords = std::vector<std::u16string>;

const ListRecords kThreeRecords = {
    testdata::UddRecordText(
        {8.40365f, 49.00937f, u"Karlsruhe", u"Kaiserstrasse 12", u"", u"", u"", u"", false}),
    testdata::UddRecordText({9.5f, 47.1f, u"Vaduz", u"", u"", u"", u"", u"", false}),
    testdata::UddRecordText({9.52f, 47.14f, u"Vaduz", u"Tankstelle", u"", u"", u"", u"", true}),
};

class StoredListDevice {
public:
    StoredListDevice() { platform::SetExecutablePath(u"\\Program\\Navigator.exe"); }
    ~StoredListDevice() { platform::SetExecutablePath({}); }
    StoredListDevice(const StoredListDevice&) = delete;
    StoredListDevice& operator=(const StoredListDevice&) = delete;

    [[nodiscard]] bool Put(const std::string& bytes) const {
        return root.WriteFile(kListFile, bytes);
    }
    [[nodiscard]] std::string Bytes() const { return root.ReadFile(kListFile).value_or("<none>"); }

    testdata::TempDeviceRoot root;
};

} // namespace

TEST(StoredDestinationList, ReadsKeysUpToTheFirstEmptyValue) {
    const struct {
        const char* name;
        std::string file; // "<none>": no file
        ListRecords records;
        bool isDamaged;
    } cases[] = {
        {"three records", testdata::WriteListSection("Recent", kThreeRecords, kListOtherLines),
         kThreeRecords, false},
        {"an empty value ends the list", "[Recent]\r\n0=a\r\n1=\r\n2=c\r\n", {u"a"}, false},
        {"a gap ends the list", "[Recent]\r\n0=a\r\n2=c\r\n", {u"a"}, false},
        {"other section", "[Personal]\r\n0=a\r\n", {}, false},
        {"no file", "<none>", {}, false},
        {"zeroed sectors",
         testdata::WriteListSection("Recent", kThreeRecords, kListOtherLines,
                                    testdata::ListSectionFault::ZeroedTail),
         {},
         true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        StoredListDevice device;
        if (c.file != "<none>") {
            ASSERT_TRUE(device.Put(c.file));
        }
        const StoredDestinationList list(u"PK.ini", u"Recent");
        EXPECT_EQ(list.Path(), kListFile);
        EXPECT_EQ(list.Records(), c.records);
        EXPECT_EQ(list.IsDamaged(), c.isDamaged);
        EXPECT_EQ(device.Bytes(), c.file) << "reading changes nothing";
    }
}

TEST(StoredDestinationList, RemovingRewritesTheListOnce) {
    const struct {
        std::size_t index;
        ListRecords left;
    } cases[] = {
        {0, {kThreeRecords[1], kThreeRecords[2]}},
        {1, {kThreeRecords[0], kThreeRecords[2]}},
        {2, {kThreeRecords[0], kThreeRecords[1]}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.index);
        StoredListDevice device;
        ASSERT_TRUE(
            device.Put(testdata::WriteListSection("Recent", kThreeRecords, kListOtherLines)));
        StoredDestinationList list(u"PK.ini", u"Recent");
        ASSERT_TRUE(list.Remove(c.index));
        EXPECT_EQ(list.Records(), c.left);
        EXPECT_EQ(device.Bytes(), testdata::WriteListSection("Recent", c.left, kListOtherLines));
        EXPECT_EQ(StoredDestinationList(u"PK.ini", u"Recent").Records(), c.left);
        EXPECT_FALSE(list.Remove(2)) << "beyond the list";
    }
}

TEST(StoredDestinationList, LeavesAFileItCannotUseAlone) {
    const std::string zeroed = testdata::WriteListSection("Recent", kThreeRecords, kListOtherLines,
                                                          testdata::ListSectionFault::ZeroedTail);
    const std::string whole = testdata::WriteListSection("Recent", kThreeRecords);
    const struct {
        const char* name;
        std::string bytes;
        bool isFolder;
        bool isReadOnly;
        bool isDamaged;
    } cases[] = {
        {"NUL bytes", zeroed, false, false, true},
        {"a folder in its place", "", true, false, true},
        {"read-only media", whole, false, true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        StoredListDevice device;
        const std::filesystem::path host = device.root.HostPathOf(kListFile);
        if (c.isFolder) {
            ASSERT_TRUE(device.root.MakeFolder(kListFile));
        } else {
            ASSERT_TRUE(device.Put(c.bytes));
        }
        if (c.isReadOnly) {
            std::filesystem::permissions(host, std::filesystem::perms::owner_read);
        }
        StoredDestinationList list(u"PK.ini", u"Recent");
        EXPECT_EQ(list.IsDamaged(), c.isDamaged);
        const ListRecords before = list.Records();
        EXPECT_FALSE(list.Remove(0));
        EXPECT_FALSE(list.Replace({u"new"}));
        EXPECT_EQ(list.Records(), before);
        if (!c.isFolder) {
            EXPECT_EQ(device.Bytes(), c.bytes);
        }
        platform::ClearRecordedMessageBoxes();
        list.ShowUnusableMessage(nullptr);
        const auto boxes = platform::RecordedMessageBoxes();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_NE(boxes[0].text.find(kListFile), std::u16string::npos);
        platform::ClearRecordedMessageBoxes();
        if (c.isReadOnly) {
            std::filesystem::permissions(host, std::filesystem::perms::owner_all);
        }
    }
}

TEST(StoredDestinationList, ACrashDuringTheRewriteLeavesTheOldListWhole) {
    const std::string before = testdata::WriteListSection("Recent", kThreeRecords, kListOtherLines);
    // The new list is written with LF alone: its characters are fewer than its bytes.
    const std::size_t after =
        testdata::WriteListSection("Recent", {kThreeRecords[0], kThreeRecords[2]}, kListOtherLines)
            .size();
    for (const std::size_t characters : {std::size_t{1}, after / 2, after - 10}) {
        SCOPED_TRACE(characters);
        StoredListDevice device;
        ASSERT_TRUE(device.Put(before));
        StoredDestinationList list(u"PK.ini", u"Recent");
        // A child process forked from this one ends in the middle of writing the new list.
        GTEST_FLAG_SET(death_test_style, "fast");
        EXPECT_EXIT(
            {
                IniProfile::EndProcessDuringRewrite(characters);
                (void)list.Remove(1);
            },
            ::testing::ExitedWithCode(IniProfile::kEndedDuringRewrite), "");
        GTEST_FLAG_SET(death_test_style, "threadsafe");
        EXPECT_EQ(device.Bytes(), before);
        EXPECT_EQ(StoredDestinationList(u"PK.ini", u"Recent").Records(), kThreeRecords);
    }
}
