#include "utilities/usefulcode/handlewait.h"

#include <gtest/gtest.h>

namespace {

class Events : public ::testing::Test {
protected:
    void SetUp() override {
        for (HANDLE& event : m_events) {
            event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
            ASSERT_NE(event, nullptr);
        }
    }
    void TearDown() override {
        for (HANDLE event : m_events) {
            CloseHandle(event);
        }
    }
    HANDLE m_events[3] = {};
};

TEST_F(Events, WaitForHandleReportsSignalledOrTimeout) {
    EXPECT_EQ(WaitForHandle(m_events[0], 0), WAIT_TIMEOUT);
    ASSERT_TRUE(SetEvent(m_events[0]));
    EXPECT_EQ(WaitForHandle(m_events[0], 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForHandle(m_events[0], INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForHandle(nullptr, 0), WAIT_FAILED);
}

TEST_F(Events, WaitForAnyHandleGivesTheLowestSignalledIndex) {
    EXPECT_EQ(WaitForAnyHandle(3, m_events, 0), WAIT_TIMEOUT);
    ASSERT_TRUE(SetEvent(m_events[2]));
    EXPECT_EQ(WaitForAnyHandle(3, m_events, INFINITE), WAIT_OBJECT_0 + 2);
    ASSERT_TRUE(SetEvent(m_events[1]));
    EXPECT_EQ(WaitForAnyHandle(3, m_events, 0), WAIT_OBJECT_0 + 1);
    EXPECT_EQ(WaitForAnyHandle(1, m_events, 0), WAIT_TIMEOUT); // only the first is watched
}

TEST_F(Events, WaitForAnyHandleRefusesBadArguments) {
    HANDLE many[MAXIMUM_WAIT_OBJECTS + 1];
    for (HANDLE& handle : many) {
        handle = m_events[0];
    }
    EXPECT_EQ(WaitForAnyHandle(0, m_events, 0), WAIT_FAILED);
    EXPECT_EQ(WaitForAnyHandle(2, nullptr, 0), WAIT_FAILED);
    EXPECT_EQ(WaitForAnyHandle(MAXIMUM_WAIT_OBJECTS + 1, many, 0), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

} // namespace
