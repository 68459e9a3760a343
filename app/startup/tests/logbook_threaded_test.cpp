#include "app/startup/logbook.h"
#include "testdata/tempdir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

// The GPS worker counts distance while the user-interface thread writes status lines: every
// move is counted once and the file keeps one status line.
TEST(LogbookThreads, CountsDistanceOnTheWorkerWhileLinesAreWritten) {
    testdata::TempDeviceRoot root;
    Logbook logbook(u"\\Fahrtenbuch.txt");
    logbook.SetRunning(true);
    constexpr int kMoves = 2000;
    std::atomic<bool> isDone{false};
    std::thread worker([&] {
        // 0.001 degrees of latitude apart: about 111.1 m each.
        for (int i = 0; i <= kMoves; ++i) {
            (void)logbook.AccumulateDistance(9.52, 47.0 + 0.001 * i);
        }
        isDone.store(true);
    });
    int lines = 0;
    while (!isDone.load() || lines < 2) {
        logbook.WriteStatusEntry(nullptr, nullptr);
        ++lines;
    }
    worker.join();
    logbook.WriteStatusEntry(nullptr, nullptr);
    EXPECT_NEAR(logbook.GetTotalDistance(), kMoves * 111.13, kMoves * 0.05);
    EXPECT_EQ(logbook.GetStatusEntries(), lines + 1);
    const std::string text = root.ReadFile(u"\\Fahrtenbuch.txt").value_or("");
    EXPECT_EQ(text.find("\r\n"), text.size() - 2); // one line
}

} // namespace
