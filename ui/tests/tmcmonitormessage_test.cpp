#include "testdata/alertcencoder.h"
#include "testdata/tempdir.h"
#include "testdata/tmctableswriter.h"
#include "traffic/tmcdecoder.h"
#include "traffic/tmcmessage.h"
#include "ui/tmcmonitor.h"
#include "utilities/usefulcode/memoryarena.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

// Messages decoded from RDS groups and looked up in the sample TMC tables.
class TmcMonitorMessages : public testing::Test {
protected:
    void SetUp() override {
        if (!MemoryArena::Shared().HoldsMemory()) {
            ASSERT_TRUE(MemoryArena::Shared().Reserve(4 << 20));
        }
        ASSERT_TRUE(testdata::TmcTablesWriter(testdata::TmcSampleTables())
                        .WriteFolder(root_, u"\\Data", true));
        database_ = CreateTmcDatabase(BlockCache::Create(256));
        ASSERT_TRUE(database_ && database_->Load(u"\\Data"));
    }

    std::unique_ptr<TmcMessage> Make(unsigned event, unsigned location) {
        testdata::AlertCMessage alert;
        alert.event = event;
        alert.location = location;
        testdata::AlertCEncoder encoder;
        encoder.AddTable(alert.programmeId, 1);
        const std::string groups = encoder.AddMessage(alert).Build();
        TmcDecoder decoder;
        TmcRawMessage raw{};
        for (int offset = 0; offset < static_cast<int>(groups.size());) {
            offset +=
                decoder.Decode(groups.data() + offset, static_cast<int>(groups.size()) - offset);
            if (const TmcRawMessage* message = decoder.TakeMessage())
                raw = *message;
        }
        auto message = std::make_unique<TmcMessage>(raw, *database_, nullptr, 0);
        message->BuildText();
        return message;
    }

    testdata::TempDeviceRoot root_;
    TmcDatabasePtr database_;
};

TEST_F(TmcMonitorMessages, LinesNameCountryLocationAndEventsAndFollowTheIds) {
    const auto jam = Make(101, 102);     // a point on the A1
    const auto closed = Make(401, 300);  // an area
    const auto unknown = Make(513, 999); // not in the tables
    ASSERT_TRUE(jam->IsValid());
    ASSERT_FALSE(unknown->IsValid());
    // The text "A1, Basel<->Hamburg, Mitte:  Stau" of Germany: location before ": ", event after.
    const TmcListEntry entry = TmcMonitor::MakeEntry(*jam);
    EXPECT_EQ(entry.id, jam->GetId());
    EXPECT_EQ(entry.location, u"Deutschland, A1, Basel<->Hamburg, Mitte");
    EXPECT_EQ(entry.event, u" Stau");
    EXPECT_TRUE(entry.isLocated);
    EXPECT_EQ(jam->GetCountryText(), u"Deutschland");
    EXPECT_FALSE(TmcMonitor::MakeEntry(*unknown).isLocated);

    TmcMonitor monitor;
    monitor.AddMessage(*jam);
    monitor.AddMessage(*closed);
    monitor.AddMessage(*unknown);
    monitor.AddMessage(*jam); // the same id again
    EXPECT_EQ(monitor.GetIcons(), (std::vector<UINT>{4, 4, 3}));
    EXPECT_EQ(monitor.GetLineIds(),
              (std::vector<std::uint32_t>{jam->GetId(), closed->GetId(), unknown->GetId()}));
    monitor.RemoveMessage(*closed);
    EXPECT_EQ(monitor.GetLineIds(), (std::vector<std::uint32_t>{jam->GetId(), unknown->GetId()}));
    EXPECT_EQ(monitor.GetMessageCount(), 2);
    // "A1, Basel<->Hamburg, Mitte:  Stau" of Germany: the country, the road with the direction,
    // the point, the event.
    EXPECT_EQ(monitor.GetLines(),
              (std::vector<std::u16string>{u"Deutschland\nA1 Basel <> Hamburg\nMitte\nStau\n",
                                           u"Deutschland\nUnfall\n"}));
}

} // namespace
