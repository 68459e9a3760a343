#include "app/startup/logbook.h"
#include "app/startup/logbookdialog.h"
#include "basiccomp/retrievalengine/code/retrievalengineimpl.h"
#include "testdata/mapsetwriter.h"
#include "testdata/resourcebundlewriter.h"
#include "testdata/tempdir.h"
#include "testdata/townsketch.h"
#include "utilities/usefulcode/greatcircledistance.h"
#include "utilities/usefulcode/memoryarena.h"

#include "platform/files/files.h"
#include "platform/files/modules.h"
#include "platform/kernel/time.h"
#include "platform/shell/modulepath.h"
#include "platform/shell/process.h"
#include "platform/shell/resources.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr char16_t kLogbookPath[] = u"\\Fahrtenbuch.txt";
constexpr char kLogbookHeader[] = "\r\nMarke\tZweck\tOrt\tStrasse\tDatum\tZeit\tEtappe\tGesamt\tkm "
                                  "Etappe\tkm Gesamt\r\n";

std::string LogbookLine(const std::string& label, const std::string& purpose,
                        const std::string& time, const std::string& leg, const std::string& total,
                        const std::string& legKm, const std::string& totalKm, std::size_t blanks) {
    return label + "\t" + purpose + "\t\t\t08.12.2026\t" + time + "\t" + leg + "\t" + total + "\t" +
           legKm + "\t" + totalKm + std::string(blanks, ' ') + "\r\n";
}

class LogbookTest : public testing::Test {
protected:
    void SetUp() override {
        platform::ResourceBundle bundle;
        const char16_t* titles[] = {u"Marke", u"Zweck",  u"Ort",    u"Strasse",   u"Datum",
                                    u"Zeit",  u"Etappe", u"Gesamt", u"km Etappe", u"km Gesamt"};
        for (UINT i = 0; i < 10; ++i) {
            bundle.strings[Logbook::kFirstTitle + i] = titles[i];
        }
        bundle.strings[Logbook::kStartLabel] = u"Start";
        bundle.strings[Logbook::kCheckpointLabel] = u"Halt";
        bundle.strings[Logbook::kStatusLabel] = u"Status";
        bundle.strings[Logbook::kStopLabel] = u"Ende";
        ASSERT_TRUE(
            root_.WriteFile(u"\\Windows\\LangGerCE.dll", testdata::WriteResourceBundle(bundle)));
        module_ = LoadLibraryW(u"LangGerCE.dll");
        ASSERT_NE(module_, nullptr);
        platform::SetResourceInstance(module_);
        ASSERT_TRUE(clock_.SetTime(SYSTEMTIME{2026, 12, 2, 8, 10, 0, 0, 0}));
        clock_.SetLocalOffsetMinutes(60);
        clock_.SetTick(1000000);
    }
    void TearDown() override {
        platform::SetResourceInstance(nullptr);
        (void)FreeLibrary(module_);
    }
    [[nodiscard]] std::string FileText() const { return root_.ReadFile(kLogbookPath).value_or(""); }

    testdata::TempDeviceRoot root_;
    platform::VirtualClock clock_;
    platform::ScopedClock installed_{clock_};
    HMODULE module_ = nullptr;
};

TEST(LogbookFormat, PrintsDurationsAndKilometres) {
    const struct {
        std::uint32_t seconds;
        const char16_t* text;
    } durations[] = {
        {360000, u"100:00:00"}, {9, u"00:00:09"}, {3661, u"01:01:01"}, {0, u"00:00:00"}};
    for (const auto& c : durations) {
        SCOPED_TRACE(c.seconds);
        EXPECT_EQ(Logbook::FormatDuration(c.seconds), c.text);
    }
    const struct {
        double metres;
        const char16_t* text;
    } distances[] = {{1234.5, u"1,2"}, {0.0, u"0,0"}, {1250.0, u"1,2"}, {123456.0, u"123,5"}};
    for (const auto& c : distances) {
        SCOPED_TRACE(c.metres);
        EXPECT_EQ(Logbook::FormatKilometres(c.metres), c.text);
    }
}

TEST(LogbookDistance, AddsMovesAboveOneAndAHalfMetresAnywhereButTheNullMark) {
    // One metre north at latitude 0.5 is 1 / 111134.6 degrees.
    constexpr double kMetre = 1.0 / 111134.6;
    const struct {
        const char* name;
        double fromX, fromY, toX, toY;
        double added; // metres; 0 = nothing
    } cases[] = {
        {"1.5 m", 9.52, 0.5, 9.52, 0.5 + 1.5 * kMetre, 0.0},
        {"1.6 m", 9.52, 0.5, 9.52, 0.5 + 1.6 * kMetre, 1.6},
        {"same position", 9.52, 0.5, 9.52, 0.5, 0.0},
        {"west of Greenwich", -3.7038, 40.4168, -3.7038, 40.4268, 1111.1},
        {"on the prime meridian", 0.0, 51.47, 0.0, 51.48, 1111.1},
        {"across the meridian", -0.01, 51.5, 0.01, 51.5, 1383.6},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Logbook logbook(kLogbookPath);
        logbook.SetRunning(true);
        EXPECT_EQ(logbook.AccumulateDistance(c.fromX, c.fromY), 0);
        EXPECT_EQ(logbook.AccumulateDistance(c.toX, c.toY), 1);
        EXPECT_NEAR(logbook.GetTotalDistance(), c.added, 0.1);
    }
    Logbook stopped(kLogbookPath);
    (void)stopped.AccumulateDistance(9.52, 47.1);
    (void)stopped.AccumulateDistance(9.52, 47.2);
    EXPECT_EQ(stopped.GetTotalDistance(), 0.0);
}

TEST_F(LogbookTest, ReplacesTheStatusLineAndCountsLegsFromTheLastPermanentLine) {
    Logbook logbook(kLogbookPath);
    logbook.Reset();
    logbook.WriteEntry(LogbookAddress{}, false, u"Kunde", Logbook::StartPrefix(), false);
    logbook.SetRunning(true);
    (void)logbook.AccumulateDistance(9.52, 47.10);
    // Three status lines a minute apart, each after about 1.1 km: one line stays.
    for (int i = 1; i <= 3; ++i) {
        clock_.Advance(60000);
        (void)logbook.AccumulateDistance(9.52, 47.10 + 0.01 * i);
        logbook.WriteEntry(LogbookAddress{}, true, u"", u"", false);
    }
    clock_.Advance(60000);
    logbook.WriteEntry(LogbookAddress{}, false, u"Pause", u"Halt", true);
    logbook.WriteEntry(LogbookAddress{}, true, u"", u"", false);
    clock_.Advance(60000);
    (void)logbook.AccumulateDistance(9.52, 47.14);
    logbook.WriteEntry(LogbookAddress{}, false, u"", u"Ende", true);
    logbook.SetRunning(false);

    // The first replacement pads the status line to 40 + the bytes read back (the old line and
    // one more: 3 blanks); later lines pad to the width of the last replacing line.
    const std::string status =
        LogbookLine("Status", "", "11:03:00", "00:03:00", "00:03:00", "3,3", "3,3", 3);
    const std::string checkpoint =
        LogbookLine("Halt", "Pause", "11:04:00", "00:04:00", "00:04:00", "3,3", "3,3", 0);
    ASSERT_EQ(checkpoint.size(), status.size()); // no padding
    const std::string stop =
        LogbookLine("Ende", "", "11:05:00", "00:01:00", "00:05:00", "1,1", "4,4", 5);
    ASSERT_EQ(stop.size(), checkpoint.size());
    EXPECT_EQ(FileText(), kLogbookHeader +
                              LogbookLine("Start", "Kunde", "11:00:00", "00:00:00", "00:00:00",
                                          "0,0", "0,0", 0) +
                              checkpoint + stop);
    EXPECT_FALSE(logbook.HasStatusLine());
    EXPECT_EQ(logbook.GetStatusEntries(), 0);
}

TEST_F(LogbookTest, ReplacesInShortFilesAndSurvivesMissingOrUnwritableFiles) {
    const struct {
        const char* name;
        const char* before;   // the file when the second status line comes; null: deleted
        bool isFolder;        // the logbook's path is a folder: nothing can be written
        const char* expected; // the file afterwards
    } cases[] = {
        {"30 bytes without a line feed", "012345678901234567890123456789", false, nullptr},
        {"deleted between two entries", nullptr, false, nullptr},
        {"unwritable", nullptr, true, nullptr},
    };
    const std::string line =
        LogbookLine("Status", "", "11:00:00", "00:00:00", "00:00:00", "0,0", "0,0", 0);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        (void)root_.WriteFile(kLogbookPath, "");
        std::filesystem::remove(root_.HostPathOf(kLogbookPath));
        if (c.isFolder) {
            ASSERT_TRUE(root_.MakeFolder(kLogbookPath));
        }
        Logbook logbook(kLogbookPath);
        logbook.WriteEntry(LogbookAddress{}, true, u"", u"", false);
        if (!c.isFolder) {
            if (c.before != nullptr) {
                ASSERT_TRUE(root_.WriteFile(kLogbookPath, c.before));
            } else {
                std::filesystem::remove(root_.HostPathOf(kLogbookPath));
            }
        }
        logbook.WriteEntry(LogbookAddress{}, true, u"", u"", false);
        // Lines that were not written are not counted and leave nothing to replace.
        EXPECT_EQ(logbook.GetStatusEntries(), c.isFolder ? 0 : 2);
        EXPECT_EQ(logbook.HasStatusLine(), !c.isFolder);
        if (c.isFolder) {
            EXPECT_TRUE(std::filesystem::is_directory(root_.HostPathOf(kLogbookPath)));
            std::filesystem::remove_all(root_.HostPathOf(kLogbookPath));
            continue;
        }
        // The whole file is the last line: the new one starts at byte 0 and is longer than 40
        // plus the byte read back, so it is not padded.
        const std::string& expected = line;
        EXPECT_EQ(FileText(), expected);
    }
}

// The labels of the logbook's lines, in the file's order.
std::vector<std::string> LogbookLabels(const std::string& text) {
    std::vector<std::string> labels;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        end = end == std::string::npos ? text.size() : end + 1;
        const std::string line = text.substr(start, end - start);
        labels.push_back(line.substr(0, line.find_first_of("\t\r\n")));
        start = end;
    }
    return labels;
}

// Another program holding the logbook file makes a line fail: what was written before it stays,
// and the next line replaces only a status line that is really the file's last line.
TEST_F(LogbookTest, ALineThatCannotBeWrittenReplacesNoPermanentLine) {
    enum Entry { StatusEntry, HeldStatusEntry, CheckpointEntry, StopEntry };
    using Labels = std::vector<std::string>;
    const Labels header = {"", "Marke", "Start"};
    const struct {
        const char* name;
        std::vector<Entry> entries;
        Labels expected; // after the header and the start line
    } cases[] = {
        {"checkpoint after a dropped status", {HeldStatusEntry, CheckpointEntry}, {"Halt"}},
        {"stop after a dropped status", {HeldStatusEntry, StopEntry}, {"Ende"}},
        {"status after a dropped status", {HeldStatusEntry, StatusEntry}, {"Status"}},
        {"stop after a written and a dropped status",
         {StatusEntry, HeldStatusEntry, StopEntry},
         {"Ende"}},
        {"two statuses after a dropped one",
         {HeldStatusEntry, StatusEntry, StatusEntry, CheckpointEntry},
         {"Halt"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(root_.HostPathOf(kLogbookPath));
        Logbook logbook(kLogbookPath);
        logbook.Reset();
        logbook.WriteEntry(LogbookAddress{}, false, u"Kunde", Logbook::StartPrefix(), false);
        for (const Entry entry : c.entries) {
            clock_.Advance(60000);
            switch (entry) {
            case StatusEntry:
                logbook.WriteEntry(LogbookAddress{}, true, u"", u"", false);
                break;
            case HeldStatusEntry: {
                HANDLE held = CreateFileW(kLogbookPath, GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
                ASSERT_NE(held, INVALID_HANDLE_VALUE);
                logbook.WriteEntry(LogbookAddress{}, true, u"", u"", false);
                CloseHandle(held);
                break;
            }
            case CheckpointEntry:
                logbook.WriteEntry(LogbookAddress{}, false, u"Pause", u"Halt", true);
                break;
            case StopEntry:
                logbook.WriteEntry(LogbookAddress{}, false, u"", u"Ende", true);
                break;
            }
        }
        Labels expected = header;
        expected.insert(expected.end(), c.expected.begin(), c.expected.end());
        const std::string text = FileText();
        EXPECT_EQ(LogbookLabels(text), expected) << text;
        EXPECT_NE(text.find("Start\tKunde\t"), std::string::npos) << "the start line stays";
    }
}

TEST(LogbookAddressLookup, NamesTheAreaAndTheStreetWithItsFirstHouseNumber) {
    using namespace testdata::town;
    testdata::TempDeviceRoot root;
    if (!MemoryArena::Shared().HoldsMemory()) {
        ASSERT_TRUE(MemoryArena::Shared().Reserve(4 << 20));
    }
    testdata::MapSetWriter writer;
    ASSERT_TRUE(WriteTown(root, u"\\maps", "Town", 15, writer));
    const auto engine = RetrievalEngineImpl::CreateEngine(BlockCache::Create(1024));
    ASSERT_TRUE(engine->Open(u"\\maps\\Town.dat"));
    const std::vector<std::uint32_t>& ids = writer.GetElementIds();
    const struct {
        const char* name;
        std::int32_t element;
        bool hasEngine;
        const char16_t* place;
        const char16_t* street;
    } cases[] = {
        // Odd numbers 1-19 on the second side come first.
        {"ranges", static_cast<std::int32_t>(ids[Haupt1]), true, u"Stadt", u"Hauptstrasse  1"},
        {"breakpoints", static_cast<std::int32_t>(ids[Haupt0]), true, u"Stadt",
         u"Hauptstrasse  40"},
        {"no numbers", static_cast<std::int32_t>(ids[Haupt3]), true, u"Stadt", u"Hauptstrasse"},
        {"no street", MatchedPosition::kNoStreet, true, u"", u""},
        {"no engine", static_cast<std::int32_t>(ids[Haupt1]), false, u"", u""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        MatchedPosition position;
        position.street = c.element;
        const LogbookAddress address =
            ReadLogbookAddress(&position, c.hasEngine ? engine.Get() : nullptr);
        EXPECT_EQ(address.place, c.place);
        EXPECT_EQ(address.street, c.street);
    }
}

// Answers the logbook's questions from a script and records them.
class ScriptedLogbookDialogs : public LogbookDialogs {
public:
    Answer AskPurpose(HWND) override {
        asked.emplace_back("purpose");
        return answer;
    }
    Answer AskCheckpoint(HWND) override {
        asked.emplace_back("checkpoint");
        return answer;
    }
    bool ConfirmStop(HWND) override {
        asked.emplace_back("stop");
        return answer.ended == 1;
    }
    void ShowConverterMessage(HWND, UINT textId, const std::u16string& insert) override {
        messages.emplace_back(textId, insert);
    }

    Answer answer;
    std::vector<std::string> asked;
    std::vector<std::pair<UINT, std::u16string>> messages;
};

TEST_F(LogbookTest, DialogStartsChecksAndStopsTheTrip) {
    const struct {
        const char* name;
        bool isRunning, end, interactive;
        LogbookDialogs::Answer answer;
        const char* asked; // "" for none
        bool result;
        const char* labels; // the labels of the lines written, in order
    } cases[] = {
        {"start", false, false, true, {1, 1125, u"Kunde"}, "purpose", true, "Start"},
        {"start cancelled", false, false, true, {2, 2, u"Kunde"}, "purpose", false, ""},
        {"stop while stopped", false, true, true, {}, "", false, ""},
        {"silent stop", true, false, false, {}, "", false, ""},
        {"stop line", true, true, false, {}, "", false, "Ende"},
        {"stop confirmed", true, true, true, {1, 1, u""}, "stop", false, "Ende"},
        {"stop refused", true, true, true, {2, 2, u""}, "stop", true, ""},
        {"stop with text", true, false, true, {1124, 1124, u"Ziel"}, "checkpoint", false, "Ende"},
        {"checkpoint", true, false, true, {1125, 1125, u"Halt"}, "checkpoint", true, "HaltStatus"},
        {"checkpoint recorded",
         true,
         false,
         true,
         {1, 1125, u"Halt"},
         "checkpoint",
         true,
         "HaltStatus"},
        {"continue", true, false, true, {2, 2, u""}, "checkpoint", true, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(root_.HostPathOf(kLogbookPath));
        Logbook logbook(kLogbookPath);
        logbook.SetRunning(c.isRunning);
        ScriptedLogbookDialogs dialogs;
        dialogs.answer = c.answer;
        EXPECT_EQ(
            RunLogbookDialog(logbook, dialogs, nullptr, c.end, c.interactive, nullptr, nullptr),
            c.result);
        EXPECT_EQ(logbook.IsRunning(), c.result);
        EXPECT_EQ(logbook.IsUsed(), c.isRunning);
        std::string asked;
        for (const std::string& question : dialogs.asked) {
            asked += question;
        }
        EXPECT_EQ(asked, c.asked);
        // The labels of the file's lines (the start line's header counted out).
        std::string labels;
        const std::string text = FileText();
        for (std::size_t at = 0; at < text.size();) {
            const std::size_t end = text.find("\r\n", at);
            const std::string line = text.substr(at, end - at);
            if (!line.empty() && line.rfind("Marke", 0) != 0) {
                labels += line.substr(0, line.find('\t'));
                if (line.find('\t') != std::string::npos) {
                    const std::string purpose = line.substr(line.find('\t') + 1);
                    EXPECT_EQ(purpose.substr(0, purpose.find('\t')),
                              labels.rfind("Status") == labels.size() - 6 && labels.size() >= 6
                                  ? ""
                                  : std::string(c.answer.text.begin(), c.answer.text.end()));
                }
            }
            at = end == std::string::npos ? text.size() : end + 2;
        }
        EXPECT_EQ(labels, c.labels);
    }
}

TEST_F(LogbookTest, ConversionFindsItsInputAndReportsTheConverter) {
    const struct {
        const char* name;
        const char* settings;  // "Vaza2Dazav.ini"; null: none
        const char16_t* input; // the file put in place; null: none
        DWORD launchError;
        UINT message;
        const char16_t* insert;
    } cases[] = {
        {"no settings", nullptr, u"\\Programme\\Navi\\Fahrtenbuch.txt", 0, 1183, u"\\My Documents"},
        {"empty In", "[File]\r\nIn=\r\n", u"\\Programme\\Navi\\Fahrtenbuch.txt", 0, 1183,
         u"\\My Documents"},
        {"relative In", "[File]\r\nIn=.\\Log.txt\r\n", u"\\Programme\\Navi\\Log.txt", 0, 1183,
         u"\\My Documents"},
        {"absolute In", "[File]\r\nIn=\\Daten\\Reise.txt\r\n", u"\\Daten\\Reise.txt", 0, 1183,
         u"\\My Documents"},
        {"input missing", "[File]\r\nIn=\\Daten\\Reise.txt\r\n", nullptr, 0, 1185, u""},
        {"launcher refuses", nullptr, u"\\Programme\\Navi\\Fahrtenbuch.txt", 2, 1184, u""},
    };
    platform::SetExecutablePath(u"\\Programme\\Navi\\Navigator.exe");
    ASSERT_TRUE(root_.MakeFolder(u"\\My Documents"));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove_all(root_.HostPathOf(u"\\Programme"));
        std::filesystem::remove_all(root_.HostPathOf(u"\\Daten"));
        ASSERT_TRUE(root_.MakeFolder(u"\\Programme\\Navi"));
        if (c.settings != nullptr) {
            ASSERT_TRUE(root_.WriteFile(u"\\Programme\\Navi\\Vaza2Dazav.ini", c.settings));
        }
        if (c.input != nullptr) {
            ASSERT_TRUE(root_.WriteFile(c.input, "x"));
        }
        platform::SetProcessLauncher(
            [&c](const platform::ProcessLaunch&) { return c.launchError; });
        platform::ClearRecordedProcessLaunches();
        ScriptedLogbookDialogs dialogs;
        {
            LogbookConverter converter;
            RunLogbookConversion(nullptr, dialogs, converter);
        }
        ASSERT_EQ(dialogs.messages.size(), 1U);
        EXPECT_EQ(dialogs.messages[0].first, c.message);
        EXPECT_EQ(dialogs.messages[0].second, c.insert);
        const std::vector<platform::ProcessLaunch> launches = platform::RecordedProcessLaunches();
        ASSERT_EQ(launches.size(), c.message == 1185 ? 0U : 1U);
        if (!launches.empty()) {
            EXPECT_EQ(launches[0].imageName, u"\\Windows\\R2U.exe");
            EXPECT_EQ(launches[0].commandLine, u"");
            EXPECT_EQ(launches[0].verb, u"open");
            EXPECT_EQ(launches[0].mask, 0x440U);
        }
        // The converter's settings are never written.
        EXPECT_EQ(root_.Exists(u"\\Programme\\Navi\\Vaza2Dazav.ini"), c.settings != nullptr);
    }
    platform::SetProcessLauncher({});
    platform::SetExecutablePath(u"");
}

} // namespace
