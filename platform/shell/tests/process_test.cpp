#include "platform/kernel/handles.h"
#include "platform/kernel/sync.h"
#include "platform/shell/process.h"

#include <gtest/gtest.h>

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
