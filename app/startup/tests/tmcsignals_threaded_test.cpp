// The TMC store's signals fire on the TMC threads; the main menu window only queues their
// messages there, and its user-interface thread hands them to the TMC monitor.
#include "app/startup/tests/shelltesting.h"
#include "testdata/alertcencoder.h"
#include "testdata/tempdir.h"
#include "testdata/tmctableswriter.h"
#include "traffic/tmcdecoder.h"
#include "traffic/tmcmessage.h"
#include "ui/tmcmonitor.h"
#include "utilities/usefulcode/cache/blockcache.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

namespace {

// A message of the sample TMC tables decoded from its RDS groups.
TmcMessagePtr DecodedMessage(TmcDatabase& database, unsigned event, unsigned location) {
    testdata::AlertCMessage alert;
    alert.event = event;
    alert.location = location;
    testdata::AlertCEncoder encoder;
    encoder.AddTable(alert.programmeId, 1);
    const std::string groups = encoder.AddMessage(alert).Build();
    TmcDecoder decoder;
    TmcRawMessage raw{};
    for (int offset = 0; offset < static_cast<int>(groups.size());) {
        offset += decoder.Decode(groups.data() + offset, static_cast<int>(groups.size()) - offset);
        if (const TmcRawMessage* message = decoder.TakeMessage())
            raw = *message;
    }
    TmcMessagePtr message(new TmcMessage(raw, database, nullptr, 0));
    message->BuildText();
    return message;
}

bool IsListed(const TmcMessagePtr& message) {
    const auto& ids = TmcMonitor::Instance().GetLineIds();
    return std::find(ids.begin(), ids.end(), message->GetId()) != ids.end();
}

TEST(MainMenuTmcSignals, StoreEventsOfOtherThreadsReachTheMonitorOnTheInterfaceThread) {
    shelltesting::RunIsolated([] {
        testdata::TempDeviceRoot root;
        ASSERT_TRUE(shelltesting::BuiltProgram().Pk("Zudav", "NoWarning", "1").WriteTo(root));
        ASSERT_TRUE(testdata::TmcTablesWriter(testdata::TmcSampleTables())
                        .WriteFolder(root, u"\\TmcSample", true));
        NavApp app;
        ASSERT_TRUE(app.IsOk());
        ASSERT_EQ(app.InitInstance(), 1);
        TmcDatabasePtr database = CreateTmcDatabase(BlockCache::Create(256));
        ASSERT_TRUE(database && database->Load(u"\\TmcSample"));
        const TmcMessagePtr jam = DecodedMessage(*database, 101, 102);
        const TmcMessagePtr closed = DecodedMessage(*database, 401, 300);
        auto store = app.GetMainMenu()->GetServer()->GetTmcMessageStore();
        ASSERT_TRUE(store);
        platform::ScreenDriver driver;
        driver.RunUntilIdle();
        TmcMonitor::Instance().SetReceiverState(1);

        std::thread([&] { store->Added.Emit(jam); }).join();
        // Nothing of the monitor changed on the firing thread.
        EXPECT_FALSE(IsListed(jam));
        EXPECT_EQ(TmcMonitor::Instance().GetReceiverState(), 1);
        driver.RunUntilIdle();
        EXPECT_TRUE(IsListed(jam));
        EXPECT_EQ(TmcMonitor::Instance().GetReceiverState(), 3);

        std::thread([&] { store->Replaced.Emit(jam, closed); }).join();
        EXPECT_TRUE(IsListed(jam));
        driver.RunUntilIdle();
        EXPECT_FALSE(IsListed(jam));
        EXPECT_TRUE(IsListed(closed));

        std::thread([&] { store->Removed.Emit(closed); }).join();
        EXPECT_TRUE(IsListed(closed));
        driver.RunUntilIdle();
        EXPECT_FALSE(IsListed(closed));

        PostMessageW(app.GetMainMenu()->GetHwnd(), WM_COMMAND, 460, 0);
        app.Run();
        EXPECT_EQ(app.ExitInstance(), 0);
    });
}

} // namespace
