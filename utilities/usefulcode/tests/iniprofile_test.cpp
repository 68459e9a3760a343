#include "testdata/destinationwriter.h"
#include "testdata/tempdir.h"
#include "utilities/usefulcode/iniprofile.h"

#include "platform/files/filerewrite.h"
#include "platform/kernel/debug.h"
#include "platform/kernel/format.h"
#include "platform/kernel/time.h"
#include "platform/shell/modulepath.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <functional>
#include <grp.h>
#include <iterator>
#include <optional>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr char16_t kFolder[] = u"\\Program Files\\Nav";

// A user and groups of no account on the host, which the writes of another user than the files'
// owner run as.
constexpr uid_t kWriterId = 61000;     // the writer's user and its own group
constexpr gid_t kSharedGroup = 61001;  // a group the writer belongs to
constexpr gid_t kForeignGroup = 61002; // a group it does not belong to

class IniProfileTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::SetExecutablePath(u"\\Program Files\\Nav\\Navigator.exe");
        ASSERT_TRUE(m_root.MakeFolder(kFolder));
    }
    void TearDown() override { platform::SetExecutablePath(u""); }

    static std::u16string PathOf(std::u16string_view name) {
        return std::u16string(kFolder) + u"\\" + std::u16string(name);
    }
    void Put(std::u16string_view name, std::string_view bytes) {
        ASSERT_TRUE(m_root.WriteFile(PathOf(name), bytes));
    }
    std::string Bytes(std::u16string_view name) {
        return m_root.ReadFile(PathOf(name)).value_or("<missing>");
    }
    std::vector<std::string> FolderEntries() {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(m_root.HostPathOf(kFolder))) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    // Lets the writer pass through the device root to kFolder, its own folder of this mode.
    void GiveFolderToWriter(mode_t mode) {
        for (const std::u16string_view above : {u"", u"\\Program Files"}) {
            ASSERT_EQ(::chmod(m_root.HostPathOf(above).c_str(), 0711), 0);
        }
        const std::filesystem::path folder = m_root.HostPathOf(kFolder);
        ASSERT_EQ(::chown(folder.c_str(), kWriterId, kWriterId), 0);
        ASSERT_EQ(::chmod(folder.c_str(), mode), 0);
    }
    // Runs body in a child process as the writer, a member of kSharedGroup; true when the child
    // became the writer and body returned true.
    static bool RunAsWriter(const std::function<bool()>& body) {
        const pid_t child = ::fork();
        if (child == 0) {
            const gid_t groups[] = {kSharedGroup};
            const bool isWriter = ::setgroups(std::size(groups), groups) == 0 &&
                                  ::setresgid(kWriterId, kWriterId, kWriterId) == 0 &&
                                  ::setresuid(kWriterId, kWriterId, kWriterId) == 0;
            std::_Exit(isWriter && body() ? 0 : 1);
        }
        int status = -1;
        return child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status) &&
               WEXITSTATUS(status) == 0;
    }

    testdata::TempDeviceRoot m_root;
};

TEST_F(IniProfileTest, ScanningReadsFollowTheLineRules) {
    Put(u"read.ini", "; comment=not a key\n"
                     "top=before any section\n"
                     "[General]\n"
                     "Count=12 ; remark\n"
                     "  Name  =  Some Value = with equals ;x  \n"
                     "Empty=\n"
                     "Pi=3.25\n"
                     "Word=abc\n"
                     "no equals sign here\n"
                     "Dup=first\n"
                     "dup=second\n"
                     "[Second] text after the bracket\n"
                     "X=1\n"
                     "[ General ]\n"
                     "Late=in the second General\n");
    const struct {
        const char16_t* section;
        const char16_t* key;
        const char16_t* defaultValue;
        std::u16string expected;
    } cases[] = {
        {u"General", u"Count", u"-", u"12 ; remark"},
        {u"general", u"COUNT", u"-", u"12 ; remark"},
        {u"General", u"Name", u"-", u"Some Value = with equals ;x"},
        {u"General", u"Empty", u"-", u""},
        {u"General", u"Dup", u"-", u"first"},
        {u"General", u"Late", u"-", u"-"},
        {u"General", u"Missing", u"-", u"-"},
        {u"General", u"Missing", nullptr, u""},
        {u"General", u"; comment", u"-", u"-"},
        {u"Second", u"X", u"-", u"1"},
        {u"Missing", u"X", u"-", u"-"},
        {u"", u"top", u"-", u"-"},
    };
    const std::u16string file = u"read.ini"; // a bare name lies next to the executable
    for (const auto& c : cases) {
        SCOPED_TRACE(
            std::string(c.section, c.section + std::char_traits<char16_t>::length(c.section)));
        EXPECT_EQ(IniProfile::GetString(c.section, c.key, file.c_str(), c.defaultValue),
                  c.expected);
    }
    EXPECT_EQ(IniProfile::GetInt(u"General", u"Count", file.c_str(), -1), 12);
    EXPECT_EQ(IniProfile::GetInt(u"General", u"Word", file.c_str(), -1), 0);
    EXPECT_EQ(IniProfile::GetInt(u"General", u"Missing", file.c_str(), -1), -1);
    EXPECT_EQ(IniProfile::GetDouble(u"General", u"Pi", file.c_str(), -1.0), 3.25);
    EXPECT_EQ(IniProfile::GetDouble(u"General", u"Empty", file.c_str(), -1.0), -1.0);
    EXPECT_EQ(IniProfile::GetDouble(u"General", u"Word", file.c_str(), -1.0), -1.0);
    EXPECT_EQ(IniProfile::GetDouble(u"General", u"Count", file.c_str(), -1.0), 12.0);
}

// Several keys read in one scan find what a read of each key alone finds, in the keys' order.
TEST_F(IniProfileTest, SeveralKeysReadAsEachKeyAlone) {
    Put(u"many.ini", "top=before any section\n"
                     "[General]\n"
                     "Count=12\n"
                     "Dup=first\n"
                     "Name = Some Value \n"
                     "dup=second\n"
                     "Empty=\n"
                     "[Second]\n"
                     "X=1\n"
                     "[General]\n"
                     "Late=in the second General\n");
    Put(u"cached.ini", "[General]\nCount=7\nCount=8\n");
    ASSERT_TRUE(IniProfile::Preload(PathOf(u"cached.ini").c_str()));
    using Values = std::vector<std::optional<std::u16string>>;
    const struct {
        const char16_t* file;
        const char16_t* section;
        std::vector<LPCWSTR> keys;
        Values expected;
    } cases[] = {
        {u"many.ini",
         u"general",
         {u"Name", u"COUNT", u"Missing", u"Dup", u"Empty", u"Late", u"X", u"Count"},
         {u"Some Value", u"12", std::nullopt, u"first", u"", std::nullopt, std::nullopt, u"12"}},
        {u"many.ini", u"Second", {u"X", nullptr, u"Count"}, {u"1", std::nullopt, std::nullopt}},
        {u"many.ini", u"Missing", {u"Count"}, {std::nullopt}},
        {u"many.ini", u"", {u"top"}, {std::nullopt}},
        {u"many.ini", u"General", {}, {}},
        {u"cached.ini", u"GENERAL", {u"count", u"Other"}, {u"8", std::nullopt}},
        {u"fresh.ini", u"General", {u"Count"}, {std::nullopt}},
    };
    for (const auto& c : cases) {
        const std::u16string path = PathOf(c.file);
        SCOPED_TRACE(
            std::string(path.begin(), path.end()) + " " +
            std::string(c.section, c.section + std::char_traits<char16_t>::length(c.section)));
        EXPECT_EQ(IniProfile::GetStrings(c.section, c.keys, path.c_str()), c.expected);
        for (std::size_t i = 0; i < c.keys.size(); ++i) {
            EXPECT_EQ(IniProfile::GetString(c.section, c.keys[i], path.c_str(), u"-"),
                      c.expected[i].value_or(u"-"));
        }
    }
    EXPECT_EQ(Bytes(u"fresh.ini"), "") << "a missing file is created empty";
}

TEST_F(IniProfileTest, ValuesLoseTheirCarriageReturnAndLineFeed) {
    Put(u"crlf.ini", "[A]\r\nKey=value\r\nOther = 7 \r\n");
    const std::u16string path = PathOf(u"crlf.ini");
    EXPECT_EQ(IniProfile::GetString(u"A", u"Key", path.c_str(), u""), u"value");
    EXPECT_EQ(IniProfile::GetInt(u"A", u"Other", path.c_str(), 0), 7);
}

TEST_F(IniProfileTest, ReadingAMissingFileCreatesItEmpty) {
    EXPECT_EQ(IniProfile::GetString(u"A", u"B", u"fresh.ini", u"default"), u"default");
    EXPECT_EQ(Bytes(u"fresh.ini"), "");
    EXPECT_EQ(IniProfile::GetInt(u"A", u"B", u"\\No Such Folder\\x.ini", 5), 5);
    EXPECT_FALSE(m_root.Exists(u"\\No Such Folder\\x.ini"));
}

TEST_F(IniProfileTest, WritesRewriteTheFileAsTheRulesSay) {
    const struct {
        const char* name;
        std::string before;
        const char16_t* section;
        const char16_t* key;
        std::string after;
    } cases[] = {
        {"replaces a key in place, in the caller's spelling",
         "; head\n[GENERAL] trailing text\nkey=old\nOther = 1 \n", u"General", u"Key",
         "; head\r\n[General]\r\nKey=new\r\nOther = 1 \r\n"},
        {"adds a new key after the section's last line, rewriting the keys before it",
         "[A]\n x = 1 \n; note\n\n[B]\nz=3\n", u"A", u"y",
         "[A]\r\nx=1\r\n; note\r\n\r\ny=new\r\n[B]\r\nz=3\r\n"},
        {"appends a missing section, rewriting the headers passed", "[Z]  junk\nq=1\n", u"B", u"y",
         "[Z]\r\nq=1\r\n[B]\r\ny=new\r\n"},
        {"starts a new line after a last line without one", "[A]\nx=1", u"B", u"y",
         "[A]\r\nx=1\r\n[B]\r\ny=new\r\n"},
        {"adds to a last section whose last line has no line feed", "[A]\n;c", u"A", u"y",
         "[A]\r\n;c\r\ny=new\r\n"},
        {"uses the first of two equal sections and keeps later duplicates",
         "[A]\nk=1\nk=2\n[A]\nk=3\n", u"A", u"K", "[A]\r\nK=new\r\nk=2\r\n[A]\r\nk=3\r\n"},
        {"ends a section at a line that begins with '['", "[A]\n[broken\nk=1\n", u"A", u"k",
         "[A]\r\nk=new\r\n[broken\r\nk=1\r\n"},
        {"fills an empty file", "", u"A", u"k", "[A]\r\nk=new\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Put(u"write.ini", c.before);
        EXPECT_EQ(IniProfile::WriteString(c.section, c.key, u"new", u"write.ini"), 1);
        EXPECT_EQ(Bytes(u"write.ini"), c.after);
    }
    EXPECT_EQ(FolderEntries(), std::vector<std::string>{"write.ini"}) << "no temporary file left";
}

TEST_F(IniProfileTest, WriteSectionReplacesTheKeysOfASectionInOneRewrite) {
    using Keys = std::vector<std::pair<std::u16string, std::u16string>>;
    const struct {
        const char* name;
        std::string before;
        Keys keys;
        bool isWritten;
        std::string after;
    } cases[] = {
        {"replaces every key, keeps comments and the other sections",
         "[Top]\nt=1\n[List]\n0=a\n; note\n1=b\n2=c\n[End]\ne=1\n",
         {{u"0", u"b"}, {u"1", u"c"}},
         true,
         "[Top]\r\nt=1\r\n[List]\r\n; note\r\n0=b\r\n1=c\r\n[End]\r\ne=1\r\n"},
        {"empties a section", "[List]\n0=a\n", {}, true, "[List]\r\n"},
        {"appends a missing section",
         "[Top]\nt=1",
         {{u"0", u"x"}},
         true,
         "[Top]\r\nt=1\r\n[List]\r\n0=x\r\n"},
        {"refuses an empty key", "[List]\n0=a\n", {{u"", u"x"}}, false, "[List]\n0=a\n"},
        {"refuses a key with '='", "[List]\n0=a\n", {{u"a=b", u"x"}}, false, "[List]\n0=a\n"},
        {"refuses a line break in a value",
         "[List]\n0=a\n",
         {{u"0", u"x\ny"}},
         false,
         "[List]\n0=a\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Put(u"list.ini", c.before);
        EXPECT_EQ(IniProfile::WriteSection(u"List", c.keys, u"list.ini"), c.isWritten);
        EXPECT_EQ(Bytes(u"list.ini"), c.after);
    }
    EXPECT_EQ(FolderEntries(), std::vector<std::string>{"list.ini"}) << "no temporary file left";
}

TEST_F(IniProfileTest, SectionOfTextReadsAsTheFileScansDo) {
    using Keys = std::vector<std::pair<std::u16string, std::u16string>>;
    const struct {
        const char* name;
        std::string text;
        Keys keys;
    } cases[] = {
        {"keys in order, trimmed, comments left out",
         "[Top]\r\n0=x\r\n[list]\r\n 1 = b \r\n; note\r\n0=a\r\n0=again\r\n[End]\r\n2=c\r\n",
         {{u"1", u"b"}, {u"0", u"a"}, {u"0", u"again"}}},
        {"a line starting with '[' ends the section",
         "[List]\n0=a\n[broken\n1=b\n",
         {{u"0", u"a"}}},
        {"the first of two equal sections", "[List]\n0=a\n[List]\n0=b\n", {{u"0", u"a"}}},
        {"UTF-8 after its mark", "\xEF\xBB\xBF[List]\n0=\xC3\xA4\n", {{u"0", u"\u00E4"}}},
        {"code page 1252", "[List]\n0=\xE4\n", {{u"0", u"\u00E4"}}},
        {"no such section", "[Other]\n0=a\n", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(IniProfile::GetSectionOfText(c.text, u"List"), c.keys);
        // A scan of the file reads the section's first key as the text gives it.
        if (!c.keys.empty()) {
            Put(u"section.ini", c.text);
            const std::u16string path = PathOf(u"section.ini");
            EXPECT_EQ(
                IniProfile::GetString(u"List", c.keys.front().first.c_str(), path.c_str(), u"-"),
                c.keys.front().second);
        }
    }
}

TEST_F(IniProfileTest, ReadOnlyFileIsLeftAsItIs) {
    Put(u"locked.ini", "[List]\n0=a\n");
    std::filesystem::permissions(m_root.HostPathOf(PathOf(u"locked.ini")),
                                 std::filesystem::perms::owner_read);
    EXPECT_FALSE(IniProfile::WriteSection(u"List", {}, u"locked.ini"));
    EXPECT_EQ(IniProfile::WriteString(u"List", u"0", u"b", u"locked.ini"), 1);
    EXPECT_EQ(Bytes(u"locked.ini"), "[List]\n0=a\n");
    std::filesystem::permissions(m_root.HostPathOf(PathOf(u"locked.ini")),
                                 std::filesystem::perms::owner_all);
}

TEST_F(IniProfileTest, LongLinesSurviveAReadAndARewrite) {
    const std::string longValue(3000, 'v');
    Put(u"long.ini", "[A]\nlong=" + longValue + "\nshort=1\n");
    EXPECT_EQ(IniProfile::GetString(u"A", u"long", u"long.ini", u"").size(), 3000u);
    EXPECT_EQ(IniProfile::WriteInt(u"A", u"short", -42, u"long.ini"), 1);
    EXPECT_EQ(Bytes(u"long.ini"), "[A]\r\nlong=" + longValue + "\r\nshort=-42\r\n");
}

// Zero-filled sectors after a power loss leave NULs in a settings file: a NUL ends the text of its
// own line, and the lines and sections after it stay as they were.
TEST_F(IniProfileTest, ANulEndsOnlyTheTextOfItsLine) {
    using namespace std::string_literals;
    const std::string withNul = "[A]\nx=1\0junk\n[B]\nk=old\n"s;
    Put(u"nul.ini", withNul);
    Put(u"nulcached.ini", withNul);
    const std::u16string cached = PathOf(u"nulcached.ini");
    ASSERT_TRUE(IniProfile::Preload(cached.c_str()));
    const struct {
        const char16_t* section;
        const char16_t* key;
        std::u16string expected;
    } cases[] = {{u"A", u"x", u"1"}, {u"A", u"k", u"-"}, {u"B", u"k", u"old"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << static_cast<char>(c.section[0]) << '/' << static_cast<char>(c.key[0]));
        for (const std::u16string& file : {PathOf(u"nul.ini"), cached}) {
            EXPECT_EQ(IniProfile::GetString(c.section, c.key, file.c_str(), u"-"), c.expected);
        }
    }
    // A rewrite would lose what follows the NUL: the damaged file is left as it is.
    EXPECT_EQ(IniProfile::WriteString(u"A", u"k", u"new", u"nul.ini"), 1);
    EXPECT_FALSE(IniProfile::WriteSection(u"A", {{u"k", u"new"}}, u"nul.ini"));
    EXPECT_EQ(Bytes(u"nul.ini"), withNul);
    EXPECT_EQ(FolderEntries(), (std::vector<std::string>{"nul.ini", "nulcached.ini"}));
}

// A write refused because the file is damaged is reported to the handler, once per file while
// one handler is set; other refusals and writes that succeed are not.
TEST_F(IniProfileTest, RefusedWritesOfADamagedFileAreReportedOnce) {
    using namespace std::string_literals;
    const std::string damaged = testdata::WriteListSection(
        "Recent", {u"2|9.52|47.14|Vaduz|Kirchstrasse|    |"}, "[Preferences]\r\nVolValue=50\r\n",
        testdata::ListSectionFault::ZeroedTail);
    Put(u"PK.ini", damaged);
    Put(u"other.ini", damaged);
    Put(u"whole.ini", "[A]\nk=1\n");
    Put(u"locked.ini", "[A]\nk=1\n");
    std::filesystem::permissions(m_root.HostPathOf(PathOf(u"locked.ini")),
                                 std::filesystem::perms::owner_read);
    std::vector<std::u16string> reported;
    IniProfile::SetDamagedFileHandler(
        [&reported](const std::u16string& path) { reported.push_back(path); });
    const std::u16string pk = PathOf(u"PK.ini");
    const std::u16string other = PathOf(u"other.ini");
    const struct {
        const char* what;
        std::function<void()> write;
        std::vector<std::u16string> reportedAfter;
    } steps[] = {
        {"a key of the damaged file",
         [] { (void)IniProfile::WriteInt(u"Preferences", u"VolValue", 60, u"PK.ini"); },
         {pk}},
        {"more keys of it",
         [] {
             (void)IniProfile::WriteInt(u"Preferences", u"ArrowMode", 1, u"PK.ini");
             (void)IniProfile::WriteString(u"Preferences", u"LastKnownTMCFreq", u"911", u"PK.ini");
         },
         {pk}},
        {"its list",
         [] {
             EXPECT_FALSE(IniProfile::WriteSection(u"Recent", {{u"0", u"x"}}, u"PK.ini"));
         },
         {pk}},
        {"a whole file and a read-only one",
         [] {
             (void)IniProfile::WriteInt(u"A", u"k", 2, u"whole.ini");
             (void)IniProfile::WriteInt(u"A", u"k", 2, u"locked.ini");
         },
         {pk}},
        {"another damaged file",
         [] { (void)IniProfile::WriteInt(u"A", u"k", 2, u"other.ini"); },
         {pk, other}},
        {"found damaged by another writer",
         [&pk] { IniProfile::ReportDamagedFile(pk); },
         {pk, other}},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.what);
        step.write();
        EXPECT_EQ(reported, step.reportedAfter);
    }
    EXPECT_EQ(Bytes(u"PK.ini"), damaged) << "never rewritten";
    // A handler set anew hears of each file again; none hears nothing.
    IniProfile::SetDamagedFileHandler(
        [&reported](const std::u16string& path) { reported.push_back(path); });
    IniProfile::ReportDamagedFile(pk);
    EXPECT_EQ(reported, (std::vector<std::u16string>{pk, other, pk}));
    IniProfile::SetDamagedFileHandler({});
    (void)IniProfile::WriteInt(u"A", u"k", 3, u"other.ini");
    EXPECT_EQ(reported.size(), 3u);
    std::filesystem::permissions(m_root.HostPathOf(PathOf(u"locked.ini")),
                                 std::filesystem::perms::owner_all);
}

// A write refused for another reason than damage, by permission bits that bind every user, a
// folder or a file in the way, or a storage that takes no more bytes, is reported to the
// unsaved-file handler, once per file while one handler is set; WriteSection leaves the telling
// to its caller.
TEST_F(IniProfileTest, WritesRefusedForAnotherReasonThanDamageAreReportedOnce) {
    Put(u"locked.ini", "[A]\nk=1\n");
    std::filesystem::permissions(m_root.HostPathOf(PathOf(u"locked.ini")),
                                 std::filesystem::perms::owner_read);
    ASSERT_TRUE(m_root.MakeFolder(PathOf(u"folder.ini")));
    Put(u"plain.txt", "not a folder");
    std::vector<std::u16string> unsaved;
    std::vector<std::u16string> damaged;
    IniProfile::SetUnsavedFileHandler(
        [&unsaved](const std::u16string& path) { unsaved.push_back(path); });
    IniProfile::SetDamagedFileHandler(
        [&damaged](const std::u16string& path) { damaged.push_back(path); });
    const struct {
        const char* what;
        std::u16string file;
    } cases[] = {
        {"a file without write permission", PathOf(u"locked.ini")},
        {"a folder in the file's place", PathOf(u"folder.ini")},
        {"a file in the place of its folder", PathOf(u"plain.txt\\x.ini")},
    };
    std::vector<std::u16string> expected;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_FALSE(IniProfile::WriteSection(u"A", {{u"k", u"2"}}, c.file.c_str()));
        EXPECT_EQ(unsaved, expected) << "WriteSection's caller tells";
        (void)IniProfile::WriteInt(u"A", u"k", 2, c.file.c_str());
        expected.push_back(c.file);
        EXPECT_EQ(unsaved, expected);
        (void)IniProfile::WriteString(u"A", u"k", u"3", c.file.c_str());
        (void)IniProfile::WriteString(u"B", u"k", u"3", c.file.c_str());
        EXPECT_EQ(unsaved, expected) << "once";
    }
    (void)IniProfile::WriteInt(u"A", u"k", 2, u"whole.ini");
    EXPECT_EQ(Bytes(u"whole.ini"), "[A]\r\nk=2\r\n");
    EXPECT_EQ(Bytes(u"locked.ini"), "[A]\nk=1\n");
    EXPECT_EQ(Bytes(u"plain.txt"), "not a folder");
    EXPECT_EQ(unsaved.size(), std::size(cases)) << "a write that succeeds is not reported";
    EXPECT_TRUE(damaged.empty());
    // A handler set anew hears of each file again; none hears nothing.
    IniProfile::SetUnsavedFileHandler(
        [&unsaved](const std::u16string& path) { unsaved.push_back(path); });
    IniProfile::ReportUnsavedFile(cases[0].file);
    EXPECT_EQ(unsaved.size(), std::size(cases) + 1);
    IniProfile::SetUnsavedFileHandler({});
    (void)IniProfile::WriteInt(u"A", u"k", 2, cases[1].file.c_str());
    EXPECT_EQ(unsaved.size(), std::size(cases) + 1);
    // A storage that takes no more bytes: a file size limit refuses the writes of a child
    // process, whoever runs it.
    const auto writeToAFullStorage = [this] {
        std::vector<std::u16string> heard;
        IniProfile::SetUnsavedFileHandler(
            [&heard](const std::u16string& path) { heard.push_back(path); });
        (void)::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{4, 4};
        (void)::setrlimit(RLIMIT_FSIZE, &limit);
        (void)IniProfile::WriteInt(u"A", u"k", 5, u"whole.ini");
        (void)IniProfile::WriteInt(u"A", u"k", 6, u"whole.ini");
        const bool isToldOnce = heard == std::vector<std::u16string>{PathOf(u"whole.ini")};
        std::_Exit(isToldOnce && Bytes(u"whole.ini") == "[A]\r\nk=2\r\n" ? 0 : 1);
    };
    GTEST_FLAG_SET(death_test_style, "fast");
    EXPECT_EXIT(writeToAFullStorage(), ::testing::ExitedWithCode(0), "");
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EQ(FolderEntries(),
              (std::vector<std::string>{"folder.ini", "locked.ini", "plain.txt", "whole.ini"}));
    IniProfile::SetDamagedFileHandler({});
    std::filesystem::permissions(m_root.HostPathOf(PathOf(u"locked.ini")),
                                 std::filesystem::perms::owner_all);
}

// A key line whose key begins with '[' or ';' after its leading blanks keeps them in a rewrite:
// trimmed, it would end the section or become a comment, and the keys after it would be lost.
TEST_F(IniProfileTest, RewriteKeepsLinesThatTrimmingWouldTurnIntoHeadersOrComments) {
    const struct {
        const char* before;
        const char* after;
    } cases[] = {
        {"[A]\n [=\nx=1\n", "[A]\r\n [=\r\nx=1\r\nk=new\r\n"},
        {"[A]\n ;y=2\nx=1\n", "[A]\r\n ;y=2\r\nx=1\r\nk=new\r\n"},
        {"[A]\n  y = 2 \n", "[A]\r\ny=2\r\nk=new\r\n"}, // other keys are trimmed
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.before);
        Put(u"blanks.ini", c.before);
        EXPECT_EQ(IniProfile::WriteString(u"A", u"k", u"new", u"blanks.ini"), 1);
        EXPECT_EQ(Bytes(u"blanks.ini"), c.after);
        EXPECT_EQ(IniProfile::GetString(u"A", u"k", u"blanks.ini", u"-"), u"new");
    }
}

// A file with the UTF-8 mark is read and rewritten as UTF-8 ("Łódź", "Wisła"); any other file
// is code page 1252 and keeps its bytes ("München").
TEST_F(IniProfileTest, RewriteKeepsTheEncodingOfTheFile) {
    const struct {
        const char* name;
        std::string before;
        std::u16string kept;
        std::u16string written;
        std::string after;
    } cases[] = {
        {"UTF-8", "\xEF\xBB\xBF[Orte]\nStadt=\xC5\x81\xC3\xB3\x64\xC5\xBA\n", u"Łódź", u"Wisła",
         "\xEF\xBB\xBF[Orte]\r\nStadt=\xC5\x81\xC3\xB3\x64\xC5\xBA\r\nFluss=Wis\xC5\x82\x61\r\n"},
        {"code page", "[Orte]\nStadt=M\xFCnchen\n", u"München", u"Isar",
         "[Orte]\r\nStadt=M\xFCnchen\r\nFluss=Isar\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Put(u"places.ini", c.before);
        EXPECT_EQ(IniProfile::GetString(u"Orte", u"Stadt", u"places.ini", u""), c.kept);
        EXPECT_EQ(IniProfile::WriteString(u"Orte", u"Fluss", c.written.c_str(), u"places.ini"), 1);
        EXPECT_EQ(Bytes(u"places.ini"), c.after);
        EXPECT_EQ(IniProfile::GetString(u"Orte", u"Stadt", u"places.ini", u""), c.kept);
        EXPECT_EQ(IniProfile::GetString(u"Orte", u"Fluss", u"places.ini", u""), c.written);
    }
    EXPECT_EQ(FolderEntries(), std::vector<std::string>{"places.ini"}) << "no temporary file left";
}

// A rewrite leaves the bytes of the lines it does not change as they were, also where they are
// not valid in the file's encoding: a "Recent" record with a code page 1252 "Ä" in a file that
// starts with the UTF-8 mark keeps its "Ä" when presettings change.
TEST_F(IniProfileTest, RewriteKeepsTheBytesOfTheLinesItDoesNotChange) {
    const std::vector<std::u16string> records = {u"2|9.52|47.14|Vaduz|\u00C4ulestrasse|    |"};
    const std::string mark = "\xEF\xBB\xBF";
    const std::string recent = testdata::WriteListSection("Recent", records);
    const struct {
        const char* name;
        std::string otherLines; // code page 1252, before the "Recent" section
        const char16_t* section;
        std::vector<std::pair<const char16_t*, const char16_t*>> writes; // key, value
        bool isWholeSection;
        std::string after; // without the mark
    } cases[] = {
        {"two presettings before the list",
         "[Preferences]\r\nTimeFormat12h=0\r\n",
         u"Preferences",
         {{u"TimeFormat12h", u"1"}, {u"DistanceUnitKilometres", u"0"}},
         false,
         "[Preferences]\r\nTimeFormat12h=1\r\nDistanceUnitKilometres=0\r\n" + recent},
        {"a section appended after the list, a header passed",
         "[\xC4rger] \xC4\r\nk=\xC4\r\n",
         u"Map",
         {{u"Last", u"Vaduz"}},
         false,
         "[\xC4rger]\r\nk=\xC4\r\n" + recent + "[Map]\r\nLast=Vaduz\r\n"},
        {"another key of the list's own section",
         "",
         u"Recent",
         {{u"Stamp", u"\u00C4"}},
         false,
         recent + "Stamp=\xC3\x84\r\n"},
        {"another list",
         "[Personal]\r\n0=a\r\n",
         u"Personal",
         {{u"0", u"b"}},
         true,
         "[Personal]\r\n0=b\r\n" + recent},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Put(u"PK.ini",
            testdata::WriteListSection("Recent", records, c.otherLines,
                                       testdata::ListSectionFault::Utf8MarkOverCodePage));
        for (const auto& [key, value] : c.writes) {
            if (c.isWholeSection) {
                EXPECT_TRUE(IniProfile::WriteSection(c.section, {{key, value}}, u"PK.ini"));
            } else {
                EXPECT_EQ(IniProfile::WriteString(c.section, key, value, u"PK.ini"), 1);
            }
        }
        EXPECT_EQ(Bytes(u"PK.ini"), mark + c.after);
    }
}

TEST_F(IniProfileTest, WritesWithoutKeyOrSectionChangeNothing) {
    Put(u"keep.ini", "[A]\nk=1\n");
    EXPECT_EQ(IniProfile::WriteString(u"A", nullptr, u"x", u"keep.ini"), 1);
    EXPECT_EQ(IniProfile::WriteString(u"A", u"", u"x", u"keep.ini"), 1);
    EXPECT_EQ(IniProfile::WriteString(u"", u"k", u"x", u"keep.ini"), 1);
    platform::DebugOutputCapture debug;
    EXPECT_EQ(IniProfile::WriteString(u"A", u"k", u"x", u"\\Missing Folder\\keep.ini"), 1);
    EXPECT_TRUE(debug.Contains(u"\\Missing Folder\\keep.ini: cannot be opened")) << "logged";
    EXPECT_EQ(Bytes(u"keep.ini"), "[A]\nk=1\n");
    EXPECT_FALSE(m_root.Exists(u"\\Missing Folder"));
    EXPECT_EQ(IniProfile::WriteString(u"A", u"", u"x", u"never.ini"), 1);
    EXPECT_FALSE(m_root.Exists(PathOf(u"never.ini")));
}

// A rewrite changes the settings file's text and nothing else: the file keeps its permissions, a
// symbolic link stays a link and its target gets the new text, a temporary file that another
// live writer holds stays, and no temporary file is left beside the file, also after a write
// killed on the way. So with unnamed temporary files and with named ones.
TEST_F(IniProfileTest, RewritesKeepTheFileWhatItWas) {
    namespace fs = std::filesystem;
    const fs::path folder = m_root.HostPathOf(kFolder);
    const fs::path kept = folder / "kept.ini";
    const std::string before = "[A]\nk=1\n";
    const std::string after = "[A]\r\nk=2\r\n";
    const auto write = [] { (void)IniProfile::WriteInt(u"A", u"k", 2, u"kept.ini"); };
    const auto permissions = [](const fs::path& path) { return fs::status(path).permissions(); };
    platform::VirtualClock clock; // 2000-01-01 00:00:00: 946684800 s, 0xD4380 in 20 bits
    platform::ScopedClock installed(clock);
    int heldFile = -1; // a temporary file that a live writer holds
    const struct {
        const char* what;
        std::function<void()> prepare; // makes kept.ini (holding before) and what lies around it
        std::function<void()> check;   // after a write
        std::vector<std::string> entries;
    } cases[] = {
        {"a private file",
         [&] {
             Put(u"kept.ini", before);
             fs::permissions(kept, fs::perms::owner_read | fs::perms::owner_write);
         },
         [&] {
             EXPECT_EQ(Bytes(u"kept.ini"), after);
             EXPECT_EQ(permissions(kept), fs::perms::owner_read | fs::perms::owner_write);
         },
         {"kept.ini"}},
        {"a file the group may read",
         [&] {
             Put(u"kept.ini", before);
             fs::permissions(kept, fs::perms::owner_read | fs::perms::owner_write |
                                       fs::perms::group_read);
         },
         [&] {
             EXPECT_EQ(permissions(kept),
                       fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
         },
         {"kept.ini"}},
        {"a link to a file in a folder below",
         [&] {
             Put(u"real\\target.ini", before);
             fs::permissions(folder / "real" / "target.ini",
                             fs::perms::owner_read | fs::perms::owner_write);
             fs::create_symlink("real/target.ini", kept);
         },
         [&] {
             EXPECT_TRUE(fs::is_symlink(fs::symlink_status(kept)));
             EXPECT_EQ(Bytes(u"real\\target.ini"), after);
             EXPECT_EQ(permissions(folder / "real" / "target.ini"),
                       fs::perms::owner_read | fs::perms::owner_write);
             EXPECT_EQ(fs::directory_iterator(folder / "real")->path().filename(), "target.ini");
             EXPECT_EQ(
                 std::distance(fs::directory_iterator(folder / "real"), fs::directory_iterator()),
                 1);
         },
         {"kept.ini", "real"}},
        {"a link by its full path through a second link",
         [&] {
             Put(u"real\\target.ini", before);
             fs::create_symlink(folder / "real" / "target.ini", folder / "second.ini");
             fs::create_symlink("second.ini", kept);
         },
         [&] {
             EXPECT_TRUE(fs::is_symlink(fs::symlink_status(kept)));
             EXPECT_TRUE(fs::is_symlink(fs::symlink_status(folder / "second.ini")));
             EXPECT_EQ(Bytes(u"real\\target.ini"), after);
         },
         {"kept.ini", "real", "second.ini"}},
        {"a temporary file that a killed write left",
         [&] {
             Put(u"kept.ini", before);
             Put(u"pro12345.tmp", "[A]\r\nk=");
             Put(u"proD4380.tmp", "[A]\r\n");
         },
         [&] { EXPECT_EQ(Bytes(u"kept.ini"), after); },
         {"kept.ini"}},
        {"a temporary file that a live writer holds, of the name the write would take",
         [&] {
             Put(u"kept.ini", before);
             Put(u"proD4380.tmp", "someone else's");
             heldFile = ::open((folder / "proD4380.tmp").c_str(), O_RDONLY | O_CLOEXEC);
             ASSERT_EQ(::flock(heldFile, LOCK_EX), 0);
         },
         [&] {
             EXPECT_EQ(Bytes(u"kept.ini"), after);
             EXPECT_EQ(Bytes(u"proD4380.tmp"), "someone else's");
             ::close(heldFile);
         },
         {"kept.ini", "proD4380.tmp"}},
        {"a write killed on the way, then another",
         [&] {
             Put(u"kept.ini", before);
             fs::permissions(kept, fs::perms::owner_read | fs::perms::owner_write);
             GTEST_FLAG_SET(death_test_style, "fast");
             EXPECT_EXIT(
                 {
                     IniProfile::EndProcessDuringRewrite(4);
                     (void)IniProfile::WriteInt(u"A", u"k", 3, u"kept.ini");
                 },
                 ::testing::ExitedWithCode(IniProfile::kEndedDuringRewrite), "");
             GTEST_FLAG_SET(death_test_style, "threadsafe");
             EXPECT_EQ(Bytes(u"kept.ini"), before);
         },
         [&] {
             EXPECT_EQ(Bytes(u"kept.ini"), after);
             EXPECT_EQ(permissions(kept), fs::perms::owner_read | fs::perms::owner_write);
         },
         {"kept.ini"}},
    };
    for (const bool isUnnamed : {true, false}) {
        platform::FileRewrite::AllowUnnamedFiles(isUnnamed);
        for (const auto& c : cases) {
            SCOPED_TRACE(testing::Message() << c.what << (isUnnamed ? ", unnamed" : ", named"));
            fs::remove_all(folder);
            ASSERT_TRUE(m_root.MakeFolder(kFolder));
            c.prepare();
            write();
            c.check();
            EXPECT_EQ(FolderEntries(), c.entries);
        }
    }
    platform::FileRewrite::AllowUnnamedFiles(true);
}

// A rewrite by another user than the owner keeps the file's group where the writer belongs to
// it. An owner or group it cannot keep becomes the writer's: the owner without the set-user-ID
// bit, the group with no more permissions than everybody has.
TEST_F(IniProfileTest, RewriteByAnotherUserGivesNoGroupMoreThanItHad) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "only root can write as another user";
    }
    GiveFolderToWriter(0755);
    const struct {
        const char* what;
        uid_t owner;
        gid_t group;
        mode_t mode;
        gid_t newGroup;
        mode_t newMode;
    } cases[] = {
        {"root's file shared with a group of the writer", 0, kSharedGroup, 0660, kSharedGroup,
         0660},
        {"root's set-user-ID file", 0, kSharedGroup, 04660, kSharedGroup, 0660},
        {"the writer's file of a group it is not in", kWriterId, kForeignGroup, 0664, kWriterId,
         0644},
    };
    const std::filesystem::path kept = m_root.HostPathOf(PathOf(u"kept.ini"));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Put(u"kept.ini", "[A]\nk=1\n");
        ASSERT_EQ(::chown(kept.c_str(), c.owner, c.group), 0);
        ASSERT_EQ(::chmod(kept.c_str(), c.mode), 0);
        EXPECT_TRUE(RunAsWriter([] {
            return IniProfile::WriteSection(u"A", {{u"k", u"2"}}, u"kept.ini");
        }));
        EXPECT_EQ(Bytes(u"kept.ini"), "[A]\r\nk=2\r\n");
        struct stat info {};
        ASSERT_EQ(::stat(kept.c_str(), &info), 0);
        EXPECT_EQ(info.st_uid, kWriterId);
        EXPECT_EQ(info.st_gid, c.newGroup);
        EXPECT_EQ(info.st_mode & 07777, c.newMode);
    }
}

// A folder that the writer may write and enter but not list takes rewrites of its files.
TEST_F(IniProfileTest, RewritesNeedNoPermissionToListTheFolder) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "only root can write as another user";
    }
    Put(u"kept.ini", "[A]\nk=1\n");
    ASSERT_EQ(::chown(m_root.HostPathOf(PathOf(u"kept.ini")).c_str(), kWriterId, kWriterId), 0);
    GiveFolderToWriter(0333);
    for (const bool isUnnamed : {true, false}) {
        SCOPED_TRACE(isUnnamed ? "unnamed" : "named");
        const char digit = isUnnamed ? '2' : '3';
        EXPECT_TRUE(RunAsWriter([isUnnamed, digit] {
            platform::FileRewrite::AllowUnnamedFiles(isUnnamed);
            return IniProfile::WriteSection(u"A", {{u"k", std::u16string(1, digit)}}, u"kept.ini");
        }));
        EXPECT_EQ(Bytes(u"kept.ini"), std::string("[A]\r\nk=") + digit + "\r\n");
        EXPECT_EQ(FolderEntries(), std::vector<std::string>{"kept.ini"});
    }
}

TEST_F(IniProfileTest, PreloadedFileAnswersFromTheCacheAsItWasLoaded) {
    Put(u"preload.ini", "[A]\nk=1\nk=2\n[ ]\nlost=1\n[B]\nb=1\n[a]\nmerged=yes\n[broken\nc=3\n");
    const std::u16string path = PathOf(u"preload.ini");
    ASSERT_TRUE(IniProfile::Preload(path.c_str()));
    EXPECT_EQ(IniProfile::GetString(u"A", u"k", path.c_str(), u"-"), u"2") << "the last wins";
    EXPECT_EQ(IniProfile::GetString(u"A", u"merged", path.c_str(), u"-"), u"yes");
    EXPECT_EQ(IniProfile::GetString(u"a", u"C", path.c_str(), u"-"), u"3");
    EXPECT_EQ(IniProfile::GetString(u"", u"lost", path.c_str(), u"-"), u"-");
    EXPECT_EQ(IniProfile::GetString(u"B", u"missing", path.c_str(), u"-"), u"-");
    EXPECT_EQ(IniProfile::GetString(u"B", u"b", path.c_str(), u"-"), u"1");
    EXPECT_EQ(IniProfile::GetString(u"A", u"b", path.c_str(), u"-"), u"-") << "each in its own";
    EXPECT_EQ(IniProfile::GetString(u"A", u"lost", path.c_str(), u"-"), u"-");

    EXPECT_EQ(IniProfile::WriteString(u"A", u"k", u"9", path.c_str()), 1);
    EXPECT_EQ(IniProfile::GetString(u"A", u"k", path.c_str(), u"-"), u"2") << "cache unchanged";
    EXPECT_NE(Bytes(u"preload.ini").find("k=9"), std::string::npos) << "file changed";

    ASSERT_TRUE(m_root.WriteFile(path, std::string_view("[Z]\nz=1\n[a]\nzz=3\nC=4\n0=5\n")));
    ASSERT_TRUE(IniProfile::Preload(path.c_str()));
    const struct {
        const char16_t* section;
        const char16_t* key;
        const char16_t* value;
    } merged[] = {{u"Z", u"z", u"1"}, {u"A", u"k", u"2"},  {u"A", u"merged", u"yes"},
                  {u"A", u"c", u"4"}, {u"A", u"zz", u"3"}, {u"A", u"0", u"5"},
                  {u"B", u"b", u"1"}, {u"Z", u"zz", u"-"}};
    for (const auto& m : merged) {
        EXPECT_EQ(IniProfile::GetString(m.section, m.key, path.c_str(), u"-"), m.value)
            << "merged: " << testing::PrintToString(std::u16string(m.key));
    }
    EXPECT_FALSE(IniProfile::Preload(PathOf(u"absent.ini").c_str()));
    EXPECT_FALSE(m_root.Exists(PathOf(u"absent.ini")));
}

// A preloaded file answers as a scan of the same file does, whatever its line ends, code page
// 1252 characters, NUL bytes or long lines.
TEST_F(IniProfileTest, PreloadedFileReadsAsTheScansReadIt) {
    const std::string texts[] = {
        "[A]\r\nk = 1 \r\n[B]\nk=2",
        "[A]\nk=5\r\r\nj=\x80\x9F\xE4\xFF\n",
        std::string("[A]\nk=5\0x\r\nj=6\n", 15),
        "[A]\nk=" + std::string(300, 'v') + "\r\nj=\r7\r\n[B]\rk=8\n",
        "\xEF\xBB\xBF[A]\r\nk=\xC3\xA4\r\n[B]\nk=\xE4\n",
        "[\xC4rger]\r\n\xDC"
        "ber=1\r\nK=2\r\n[a]\nj=3\n",
    };
    int index = 0;
    for (const std::string& text : texts) {
        SCOPED_TRACE(index);
        const std::u16string number(1, static_cast<char16_t>(u'0' + index++));
        const std::u16string scanned = PathOf(u"scanned" + number + u".ini");
        const std::u16string preloaded = PathOf(u"preloaded" + number + u".ini");
        ASSERT_TRUE(m_root.WriteFile(scanned, text));
        ASSERT_TRUE(m_root.WriteFile(preloaded, text));
        ASSERT_TRUE(IniProfile::Preload(preloaded.c_str()));
        for (const auto& [section, key] :
             {std::pair{u"A", u"k"}, std::pair{u"A", u"j"}, std::pair{u"B", u"k"},
              std::pair{u"\u00E4rger", u"\u00FCber"}, std::pair{u"\u00C4RGER", u"k"},
              std::pair{u"arger", u"uber"}}) {
            EXPECT_EQ(IniProfile::GetString(section, key, preloaded.c_str(), u"-"),
                      IniProfile::GetString(section, key, scanned.c_str(), u"-"))
                << testing::PrintToString(std::u16string(key));
        }
    }
}

// Settings text given from memory reads as the same bytes preloaded from a file, and replaces
// what the cache held for its path.
TEST_F(IniProfileTest, TextFromMemoryReadsAsThePreloadedFile) {
    const std::string texts[] = {
        "[A]\r\nk = 1 \r\n[B]\nk=2", "\xEF\xBB\xBF[A]\nk=\xC3\xA4\n",
        "[A]\nk=\xE4\n;k=3\n[A\nk=4\n",
        std::string("[A]\nk=5\0x\nj=6\n", 14), // a NUL ends the text of its line
    };
    const std::u16string memory = PathOf(u"memory.ini");
    int index = 0;
    for (const std::string& text : texts) {
        SCOPED_TRACE(text);
        // A fresh cache entry each time: a second Preload would merge.
        const std::u16string file = PathOf(u"file") + std::u16string(1, u'0' + index++) + u".ini";
        ASSERT_TRUE(m_root.WriteFile(file, text));
        ASSERT_TRUE(IniProfile::Preload(file.c_str()));
        IniProfile::PreloadText(memory.c_str(), text);
        for (const auto& [section, key] : {std::pair{u"A", u"k"}, std::pair{u"B", u"k"},
                                           std::pair{u"A", u"j"}, std::pair{u"C", u"k"}}) {
            EXPECT_EQ(IniProfile::GetString(section, key, memory.c_str(), u"-"),
                      IniProfile::GetString(section, key, file.c_str(), u"-"));
        }
        IniProfile::PreloadText(memory.c_str(), "");
        EXPECT_EQ(IniProfile::GetString(u"A", u"k", memory.c_str(), u"-"), u"-") << "replaced";
        EXPECT_FALSE(m_root.Exists(memory)) << "no file is made";
    }
}

// Writers in two processes, each with two threads, writing keys of one file at once lose none:
// every rewrite reads, changes and replaces the file while no other writes it.
TEST_F(IniProfileTest, ConcurrentWritersLoseNothing) {
    Put(u"shared.ini", "[S]\n");
    constexpr int kKeysPerThread = 40;
    const auto keyOf = [](char16_t writer, int i) {
        return std::u16string(1, writer) + platform::FormatW(u"%d", i);
    };
    // Two threads of one process; their keys start with the letters first and first + 1.
    const auto writeKeys = [&keyOf](char16_t first) {
        std::vector<std::thread> writers;
        for (const char16_t writer : {first, char16_t(first + 1)}) {
            writers.emplace_back([writer, &keyOf] {
                for (int i = 0; i < kKeysPerThread; ++i) {
                    (void)IniProfile::WriteInt(u"S", keyOf(writer, i).c_str(), i, u"shared.ini");
                }
            });
        }
        for (auto& writer : writers) {
            writer.join();
        }
    };
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        writeKeys(u'c');
        std::_Exit(0);
    }
    writeKeys(u'a');
    int status = -1;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    const std::u16string path = PathOf(u"shared.ini");
    int lost = 0;
    for (const char16_t writer : {u'a', u'b', u'c', u'd'}) {
        for (int i = 0; i < kKeysPerThread; ++i) {
            lost += IniProfile::GetInt(u"S", keyOf(writer, i).c_str(), path.c_str(), -1) != i;
        }
    }
    EXPECT_EQ(lost, 0) << "of " << 4 * kKeysPerThread;
    EXPECT_EQ(FolderEntries(), std::vector<std::string>{"shared.ini"});
}

} // namespace
