#include "platform/kernel/handles.h"
#include "platform/shell/process.h"

#include <gtest/gtest.h>

namespace {

class ProcessLaunchTest : public ::testing::Test {
protected:
    void SetUp() override { platform::ClearRecordedProcessLaunches(); }
    void TearDown() override {
        platform::SetProcessLauncher({});
        platform::ClearRecordedProcessLaunches();
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

} // namespace
