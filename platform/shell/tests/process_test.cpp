#include "testdata/hostprogram.h"
#include "testdata/tempdir.h"

#include "platform/kernel/handles.h"
#include "platform/kernel/sync.h"
#include "platform/shell/process.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

class ProcessLaunchTest : public ::testing::Test {
protected:
    void SetUp() override { platform::ClearRecordedProcessLaunches(); }
    void TearDown() override {
        platform::SetProcessLauncher({});
        platform::ClearRecordedProcessLaunches();
        platform::ClearRecordedProcessTerminations();
    }
};

TEST_F(ProcessLaunchTest, HeadlessLaunchIsRecordedAndGivesClosableHandles) {
    const std::size_t handlesBefore = platform::OpenHandleCount();
    PROCESS_INFORMATION info{};
    ASSERT_TRUE(CreateProcessW(u"peghelp.exe", u"file:ZU_Deridivira.htc#options", nullptr, nullptr,
                               FALSE, 0, nullptr, nullptr, nullptr, &info));
    EXPECT_NE(info.hProcess, nullptr);
    EXPECT_NE(info.hThread, nullptr);
    EXPECT_NE(info.dwProcessId, info.dwThreadId);
    EXPECT_TRUE(CloseHandle(info.hThread));
    EXPECT_TRUE(CloseHandle(info.hProcess));
    EXPECT_EQ(platform::OpenHandleCount(), handlesBefore);

    const auto launches = platform::RecordedProcessLaunches();
    ASSERT_EQ(launches.size(), 1u);
    EXPECT_EQ(launches[0].imageName, u"peghelp.exe");
    EXPECT_EQ(launches[0].commandLine, u"file:ZU_Deridivira.htc#options");
}

TEST_F(ProcessLaunchTest, RefusedLaunchReportsTheLaunchersError) {
    platform::SetProcessLauncher([](const platform::ProcessLaunch& launch) -> DWORD {
        return launch.imageName == u"R2U.exe" ? ERROR_FILE_NOT_FOUND : ERROR_SUCCESS;
    });
    PROCESS_INFORMATION info{};
    SetLastError(ERROR_SUCCESS);
    EXPECT_FALSE(CreateProcessW(u"R2U.exe", nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                nullptr, &info));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_TRUE(CreateProcessW(u"other.exe", nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                               nullptr, nullptr));
    EXPECT_EQ(platform::RecordedProcessLaunches().size(), 2u) << "failed launches are recorded";
}

TEST_F(ProcessLaunchTest, NothingToStartIsAnInvalidParameter) {
    SetLastError(ERROR_SUCCESS);
    EXPECT_FALSE(CreateProcessW(nullptr, u"", nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr,
                                nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_TRUE(platform::RecordedProcessLaunches().empty());
}

TEST_F(ProcessLaunchTest, ShellExecuteRecordsTheRequestAndHandsBackTheProcessOnRequest) {
    platform::SetProcessLauncher([](const platform::ProcessLaunch& launch) -> DWORD {
        return launch.imageName == u"missing.exe" ? ERROR_FILE_NOT_FOUND : ERROR_SUCCESS;
    });
    const struct {
        ULONG mask;
        const char16_t* file;
        const char16_t* parameters;
        BOOL result;
        DWORD error;
        bool hasProcess;
        std::size_t records;
    } cases[] = {
        {SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI, u"peghelp.exe", u"file:\\Help\\a.htm", TRUE,
         0, true, 1},
        {SEE_MASK_FLAG_NO_UI, u"R2U.exe", nullptr, TRUE, 0, false, 1},
        {SEE_MASK_NOCLOSEPROCESS, u"missing.exe", u"x", FALSE, ERROR_FILE_NOT_FOUND, false, 1},
        {SEE_MASK_NOCLOSEPROCESS, u"", u"x", FALSE, ERROR_INVALID_PARAMETER, false, 0},
    };
    const std::size_t handlesBefore = platform::OpenHandleCount();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mask);
        platform::ClearRecordedProcessLaunches();
        SHELLEXECUTEINFOW info{};
        info.cbSize = sizeof info;
        info.fMask = c.mask;
        info.lpVerb = u"Open";
        info.lpFile = c.file;
        info.lpParameters = c.parameters;
        info.hProcess = reinterpret_cast<HANDLE>(99);
        SetLastError(ERROR_SUCCESS);
        EXPECT_EQ(ShellExecuteExW(&info), c.result);
        if (!c.result) {
            EXPECT_EQ(GetLastError(), c.error);
        }
        EXPECT_EQ(info.hProcess != nullptr, c.hasProcess);
        const auto launches = platform::RecordedProcessLaunches();
        ASSERT_EQ(launches.size(), c.records);
        if (c.records == 1) {
            EXPECT_EQ(launches[0].verb, u"Open");
            EXPECT_EQ(launches[0].imageName, c.file);
            EXPECT_EQ(launches[0].commandLine, c.parameters != nullptr ? c.parameters : u"");
            EXPECT_EQ(launches[0].mask, c.mask);
            EXPECT_EQ(launches[0].processId != 0, c.result != FALSE);
        }
        if (c.hasProcess) {
            EXPECT_TRUE(CloseHandle(info.hProcess));
        }
    }
    EXPECT_EQ(platform::OpenHandleCount(), handlesBefore);
    EXPECT_FALSE(ShellExecuteExW(nullptr));
}

TEST_F(ProcessLaunchTest, TerminateSignalsTheProcessOnceAndRefusesOtherHandles) {
    SHELLEXECUTEINFOW info{};
    info.fMask = SEE_MASK_NOCLOSEPROCESS;
    info.lpFile = u"peghelp.exe";
    ASSERT_TRUE(ShellExecuteExW(&info));
    EXPECT_EQ(WaitForSingleObject(info.hProcess, 0), WAIT_TIMEOUT);
    EXPECT_TRUE(TerminateProcess(info.hProcess, 3));
    EXPECT_EQ(WaitForSingleObject(info.hProcess, 0), WAIT_OBJECT_0);
    EXPECT_TRUE(TerminateProcess(info.hProcess, 4)) << "an ended process stays ended";
    const auto ended = platform::RecordedProcessTerminations();
    ASSERT_EQ(ended.size(), 1u);
    EXPECT_EQ(ended[0].processId, platform::RecordedProcessLaunches().at(0).processId);
    EXPECT_EQ(ended[0].exitCode, 3u);
    EXPECT_TRUE(CloseHandle(info.hProcess));

    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    for (HANDLE other : {event, info.hProcess, static_cast<HANDLE>(nullptr)}) {
        SetLastError(ERROR_SUCCESS);
        EXPECT_FALSE(TerminateProcess(other, 0));
        EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    }
    CloseHandle(event);
    EXPECT_EQ(platform::RecordedProcessTerminations().size(), 1u);
}

} // namespace

namespace {

// Waits up to five seconds (host time: the viewer is a real process) for the file's line.
std::string AwaitLine(const std::filesystem::path& file) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (std::chrono::steady_clock::now() < deadline) {
        std::ifstream in(file);
        std::string line;
        if (std::getline(in, line)) {
            return line;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return "(no viewer ran)";
}

} // namespace

TEST_F(ProcessLaunchTest, VisibleRunStartsTheHelpViewerNamedInTheLaunchFile) {
    testdata::TempDeviceRoot root;
    const std::filesystem::path viewer = root.HostPath() / "viewer.sh";
    const std::filesystem::path output = root.HostPath() / "viewed.txt";
    {
        std::ofstream script(viewer);
        script << "#!/bin/sh\necho \"$1\" > \"" << output.string() << ".tmp\"\nmv \""
               << output.string() << ".tmp\" \"" << output.string() << "\"\n";
    }
    std::filesystem::permissions(viewer, std::filesystem::perms::owner_all);
    ASSERT_TRUE(root.WriteFile(u"\\Help\\nav.htm", "<html></html>"));
    const std::string named =
        "; the help viewer\n[PegHelp.EXE]\nViewer = " + viewer.string() + "\n";
    const std::string hostHelp = "file://" + (root.HostPath() / "Help" / "nav.htm").string();
    const struct {
        const char* what;
        const char* launchFile; // null: none
        const char16_t* image;
        const char16_t* commandLine;
        DWORD error;
        std::string viewed; // empty: no viewer runs
    } cases[] = {
        {"help file", named.c_str(), u"peghelp.exe", u"file:\\help\\NAV.htm", ERROR_SUCCESS,
         hostHelp},
        {"help file with anchor", named.c_str(), u"\\Windows\\PEGHELP.exe",
         u"file:\\Help\\nav.htm#options", ERROR_SUCCESS, hostHelp + "#options"},
        {"plain parameter", named.c_str(), u"peghelp.exe", u"nav.htm", ERROR_SUCCESS, "nav.htm"},
        {"other program", named.c_str(), u"R2U.exe", u"file:\\Help\\nav.htm", ERROR_SUCCESS, ""},
        {"no launch file", nullptr, u"peghelp.exe", u"file:\\Help\\nav.htm", ERROR_SUCCESS, ""},
        {"no viewer key", "[peghelp.exe]\nPath=x\n[other]\nViewer=/bin/true\n", u"peghelp.exe",
         u"file:\\Help\\nav.htm", ERROR_SUCCESS, ""},
        {"viewer missing", "[peghelp.exe]\nViewer=/nonexistent/viewer\n", u"peghelp.exe",
         u"file:\\Help\\nav.htm", ERROR_FILE_NOT_FOUND, ""},
        // A launcher that finds no browser ends with a failure right after its start.
        {"viewer fails at once", "[peghelp.exe]\nViewer=false\n", u"peghelp.exe",
         u"file:\\Help\\nav.htm", ERROR_PROCESS_ABORTED, ""},
        // Still running when the launch stops watching it.
        {"viewer runs on", "[peghelp.exe]\nViewer=sleep\n", u"peghelp.exe", u"1", ERROR_SUCCESS,
         ""},
    };
    platform::SetProcessLauncher(platform::HostViewerLauncher());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove(output);
        std::filesystem::remove(root.HostPathOf(u"\\Windows\\launch.ini"));
        if (c.launchFile != nullptr) {
            ASSERT_TRUE(root.WriteFile(u"\\Windows\\launch.ini", std::string(c.launchFile)));
        }
        platform::ClearRecordedProcessLaunches();
        SHELLEXECUTEINFOW info{};
        info.cbSize = sizeof info;
        info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
        info.lpVerb = u"Open";
        info.lpFile = c.image;
        info.lpParameters = c.commandLine;
        info.nShow = 5;
        SetLastError(ERROR_SUCCESS);
        EXPECT_EQ(ShellExecuteExW(&info), c.error == ERROR_SUCCESS ? TRUE : FALSE);
        EXPECT_EQ(GetLastError(), c.error);
        EXPECT_EQ(platform::RecordedProcessLaunches().size(), 1u);
        if (info.hProcess != nullptr) {
            EXPECT_TRUE(CloseHandle(info.hProcess));
        }
        if (!c.viewed.empty()) {
            EXPECT_EQ(AwaitLine(output), c.viewed);
        } else {
            EXPECT_FALSE(std::filesystem::exists(output));
        }
    }
}

// The viewer is given the null device as its standard streams and no other descriptor of the
// program's (its output pipe, its open files), and a URL in which the characters of the install's
// path that a URL gives a meaning to ('#', '%', '?', blanks, letters beyond ASCII) are encoded.
TEST_F(ProcessLaunchTest, TheViewerGetsTheNullDeviceAndAnEncodedURLOnly) {
    const std::filesystem::path temp = std::filesystem::temp_directory_path();
    if (temp.string().find_first_not_of("/._-0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOP"
                                        "QRSTUVWXYZ") != std::string::npos)
        GTEST_SKIP() << "the temporary folder's own name would be encoded: " << temp;
    const std::string folder = "help #1 %41?x \xC3\xA4-" + std::to_string(::getpid());
    testdata::TempDeviceRoot root(temp / folder, false);
    const std::string encodedRoot = "file://" + temp.string() +
                                    "/help%20%231%20%2541%3Fx%20%C3%A4-" +
                                    std::to_string(::getpid());
    ASSERT_TRUE(root.WriteFile(u"\\Hilfe\\nav.htm", "<html></html>"));
    ASSERT_TRUE(root.WriteFile(u"\\nav.htm", "<html></html>"));
    const std::filesystem::path report = temp / (folder + ".viewed");
    ASSERT_TRUE(root.WriteFile(u"\\Windows\\launch.ini", std::string("[peghelp.exe]\r\nViewer=") +
                                                             NAV_VIEWER_PROBE + "\r\n"));
    // What a program holds that its viewer must not: the pipe a caller reads its output through
    // and a file it reads (a scenario).
    int output[2] = {-1, -1};
    ASSERT_EQ(::pipe(output), 0);
    const int script = ::open(root.HostPathOf(u"\\Hilfe\\nav.htm").c_str(), O_RDONLY);
    ASSERT_GE(script, 0);
    ASSERT_EQ(::setenv("NAV_VIEWER_PROBE_OUT", report.c_str(), 1), 0);
    const struct {
        const char16_t* commandLine;
        std::string url;
    } cases[] = {
        {u"file:\\hilfe\\NAV.htm", encodedRoot + "/Hilfe/nav.htm"},
        {u"file:\\Hilfe\\nav.htm#Presettings", encodedRoot + "/Hilfe/nav.htm#Presettings"},
        {u"file:\\Hilfe\\nav.htm#a b?c", encodedRoot + "/Hilfe/nav.htm#a%20b%3Fc"},
        {u"file:\\Hilfe\\new page.htm", encodedRoot + "/Hilfe/new%20page.htm"},
        // A page named without a folder, as the pages' anchored help names it, lies at the root.
        {u"file:NAV.htm#Presettings", encodedRoot + "/nav.htm#Presettings"},
    };
    platform::SetProcessLauncher(platform::HostViewerLauncher());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.url);
        std::filesystem::remove(report);
        PROCESS_INFORMATION info{};
        ASSERT_TRUE(CreateProcessW(u"peghelp.exe", c.commandLine, nullptr, nullptr, FALSE, 0,
                                   nullptr, nullptr, nullptr, &info));
        CloseHandle(info.hThread);
        CloseHandle(info.hProcess);
        const testdata::ViewerProbeReport viewed = testdata::AwaitViewerProbeReport(report);
        EXPECT_EQ(viewed.url, c.url);
        EXPECT_EQ(viewed.descriptors,
                  (std::vector<std::string>{"0 /dev/null", "1 /dev/null", "2 /dev/null"}));
    }
    (void)::unsetenv("NAV_VIEWER_PROBE_OUT");
    for (const int descriptor : {output[0], output[1], script})
        ::close(descriptor);
    std::filesystem::remove(report);
}
