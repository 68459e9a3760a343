#include "utilities/usefulcode/autoevent.h"

#include "platform/kernel/sync.h"

#include <gtest/gtest.h>

namespace {

DWORD ReturnSeven(LPVOID) {
    return 7;
}

TEST(AutoEvent, StartsUnsignalledAndReleasesOneWaitPerSet) {
    AutoEvent holder;
    ASSERT_NE(holder.GetEvent(), nullptr);
    EXPECT_EQ(holder.thread, nullptr);
    EXPECT_EQ(holder.threadId, 0u);
    const struct {
        int sets;
        DWORD firstWait;
        DWORD secondWait;
    } cases[] = {{0, WAIT_TIMEOUT, WAIT_TIMEOUT},
                 {1, WAIT_OBJECT_0, WAIT_TIMEOUT},
                 {2, WAIT_OBJECT_0, WAIT_TIMEOUT}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sets);
        for (int i = 0; i < c.sets; ++i) {
            EXPECT_TRUE(holder.Set());
        }
        EXPECT_EQ(WaitForSingleObject(holder.GetEvent(), 0), c.firstWait);
        EXPECT_EQ(WaitForSingleObject(holder.GetEvent(), 0), c.secondWait);
    }
}

TEST(AutoEvent, ClosesItsEventAndThreadHandle) {
    HANDLE event = nullptr;
    HANDLE thread = nullptr;
    {
        AutoEvent holder;
        event = holder.GetEvent();
        holder.thread = CreateThread(nullptr, 0, ReturnSeven, nullptr, 0, &holder.threadId);
        ASSERT_NE(holder.thread, nullptr);
        thread = holder.thread;
        EXPECT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
    }
    EXPECT_EQ(SetEvent(event), FALSE);
    DWORD code = 0;
    EXPECT_EQ(GetExitCodeThread(thread, &code), FALSE);
}

} // namespace
