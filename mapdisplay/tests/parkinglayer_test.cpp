// The traffic and parking overlay over the draw town, driven by a real TMC message store: the
// roads of messages, a blocked stretch with its arrows and signs, hover texts, cancellation,
// parking occupancy from the parking tables, the element multiset and the mode.

#include "mapdisplay/tests/overlayfixture.h"
#include "testdata/golden.h"
#include "utilities/usefulcode/memoryarena.h"

#include "platform/window/message.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <thread>

namespace {

using namespace overlaytest;

constexpr COLORREF kRed = 0x000000FF;
constexpr COLORREF kOrange = 0x004080FF;
constexpr COLORREF kBlack = 0x00000000;
constexpr COLORREF kGreen = 0x0000FF00;
constexpr COLORREF kYellow = 0x0000FFFF;
constexpr COLORREF kSign = RGB(0, 0, 0xC0);

class Overlay : public ::testing::Test {
protected:
    // The blocked line along row 6 and the slow one along row 4, columns 4 to 8.
    void StartWithLines(const testdata::ParkingTablesModel& parking = {},
                        const testdata::ParkingTablesKnobs& knobs = {}) {
        testdata::TmcTablesModel model = testdata::TmcSampleTables();
        model.events.push_back({901, "Glatteis", false, 9, 0, 1, {}});
        m_blocked = f.AddLine(model, 4, 8, 6, 600, "Talweg");
        m_slow = f.AddLine(model, 4, 8, 4, 700, "Bergweg");
        f.Start(model, parking, knobs);
        f.driver.RunUntilIdle();
    }
    TmcRawMessage Closure(unsigned event = 401) const {
        return OverlayFixture::Message(event, m_blocked.line.points[2], 2, false);
    }
    TmcRawMessage Queue(unsigned event = 115) const {
        return OverlayFixture::Message(event, m_slow.line.points[2], 2, false);
    }
    void Hover(POINT p) {
        SendMessageW(f.canvas.GetHwnd(), WM_MOUSEMOVE, 0, MAKELPARAM(p.x, p.y));
        f.driver.RunUntilIdle();
    }
    bool IsHintShown() { return IsWindowVisible(f.layer->GetHintWindow().GetWindow()) != FALSE; }

    OverlayFixture f;
    TownLine m_blocked;
    TownLine m_slow;
};

// Messages from a reader thread after AnnounceAll: the slow road orange, the closed stretch red
// with an arrow over its last element's end and its sign 90 + 40 pixels before; the frame as
// the golden; the text while hovered for 3000 ms; cancelled, the frame of before.
TEST_F(Overlay, DrawsTheMessagesOfTheStore) {
    StartWithLines();
    const std::vector<std::uint32_t> before = f.Frame();
    const TmcRawMessage closure = Closure();
    const TmcRawMessage queue = Queue();
    std::thread reader([&] {
        EXPECT_TRUE(f.store->AddRawMessage(&closure));
        EXPECT_TRUE(f.store->AddRawMessage(&queue));
    });
    reader.join();
    f.driver.RunUntilIdle();
    ASSERT_EQ(f.layer->GetEntryIds().size(), 1u);

    // Grid points of the rows, 68 pixels apart along x: the roads cover the lines' middles
    // (looked at 20 pixels right of the middle, clear of the trunk road crossing there).
    const POINT s4 = f.ScreenOf(4, 6);
    const POINT s5 = f.ScreenOf(5, 6);
    const POINT s6 = f.ScreenOf(6, 6);
    const POINT s7 = f.ScreenOf(7, 6);
    const POINT s8 = f.ScreenOf(8, 6);
    const POINT q6 = f.ScreenOf(6, 4);
    const POINT q7 = f.ScreenOf(7, 4);
    EXPECT_EQ(f.ScreenAt((q6.x + q7.x) / 2 + 20, q6.y - 7), kOrange);
    EXPECT_EQ(f.ScreenAt((q6.x + q7.x) / 2 + 20, q6.y + 7), kOrange);
    EXPECT_EQ(f.ScreenAt((s6.x + s7.x) / 2 + 20, s6.y - 7), kRed);
    EXPECT_EQ(f.ScreenAt((s4.x + s5.x) / 2 + 20, s4.y + 7), kRed);
    // The arrow's tip at the stretch's end, pointing along it; nothing of it beyond.
    EXPECT_EQ(f.ScreenAt(s8.x - 3, s8.y), kBlack);
    EXPECT_EQ(f.ScreenAt(s8.x - 20, s8.y), kBlack);
    EXPECT_NE(f.ScreenAt(s8.x + 3, s8.y), kBlack);
    // The sign, 12 pixels centred on the grid point at 90 + 40 pixels back (after 68 and 135),
    // its top-left pixel transparent.
    EXPECT_EQ(f.ScreenAt(s5.x, s5.y), kSign);
    EXPECT_EQ(f.ScreenAt(s5.x + 5, s5.y + 5), kSign);
    EXPECT_EQ(f.ScreenAt(s5.x - 6, s5.y - 5), kSign);
    EXPECT_NE(f.ScreenAt(s5.x - 6, s5.y - 6), kSign);
    EXPECT_NE(f.ScreenAt(s5.x + 6, s5.y), kSign);
    EXPECT_NE(f.ScreenAt(s6.x, s6.y), kSign);
    EXPECT_TRUE(
        testdata::WindowMatchesGolden(f.canvas.GetHwnd(), NAV_MAPDISPLAY_DIR, "overlay_blocked"));

    Hover(POINT{s4.x + 20, s4.y - 20});
    EXPECT_FALSE(IsHintShown());
    Hover(POINT{s6.x + 2, s6.y - 2});
    EXPECT_TRUE(IsHintShown());
    f.driver.StepClock(2990);
    EXPECT_TRUE(IsHintShown());
    f.driver.StepClock(20);
    EXPECT_FALSE(IsHintShown());

    const TmcRawMessage cancelClosure = Closure(2047);
    const TmcRawMessage cancelQueue = Queue(2047);
    std::thread canceller([&] {
        EXPECT_TRUE(f.store->AddRawMessage(&cancelClosure));
        EXPECT_TRUE(f.store->AddRawMessage(&cancelQueue));
    });
    canceller.join();
    f.driver.RunUntilIdle();
    EXPECT_EQ(f.store->GetCount(), 0u);
    EXPECT_TRUE(f.layer->GetEntryIds().empty());
    EXPECT_TRUE(f.layer->GetElementIds().empty());
    // The repainted parts hold nothing of the overlay; the labels of a partial repaint may
    // differ from a whole one, so the frame of before comes back with the next whole repaint.
    EXPECT_NE(f.ScreenAt((q6.x + q7.x) / 2 + 20, q6.y - 7), kOrange);
    EXPECT_NE(f.ScreenAt((s6.x + s7.x) / 2 + 20, s6.y - 7), kRed);
    EXPECT_NE(f.ScreenAt(s8.x - 3, s8.y), kBlack);
    EXPECT_NE(f.ScreenAt(s5.x, s5.y), kSign);
    f.Repaint();
    EXPECT_EQ(f.Frame(), before);
}

// What the store lists: the element ids (low 28 bits) of every message without a blockage,
// duplicates kept.
struct Listing {
    OwnerHandlerList& GetOwnerHandlerList() { return handlers; }
    void OnListed(TmcMessagePtr message) {
        if (message->GetRouteImpact().GetBlockage()) {
            return;
        }
        for (const std::uint32_t id : message->GetElementIds()) {
            ids.insert(id & 0x0FFFFFFF);
        }
    }
    std::multiset<std::uint32_t> Take(TmcMessageStore& store) {
        ids.clear();
        store.Listed.Connect(this, &Listing::OnListed);
        store.ListAll();
        store.Listed.Disconnect(this);
        return ids;
    }
    OwnerHandlerList handlers;
    std::multiset<std::uint32_t> ids;
};

// The element multiset: a second message on the same elements adds them again; removing one of
// the messages takes every occurrence of its elements. A layer attached later learns the stored
// messages when they are announced.
TEST_F(Overlay, KeepsTheRoadsOfMessagesAsAMultiset) {
    StartWithLines();
    Listing listing;
    const TmcRawMessage queue = Queue();
    ASSERT_TRUE(f.store->AddRawMessage(&queue));
    const std::multiset<std::uint32_t> once = f.layer->GetElementIds();
    ASSERT_FALSE(once.empty());
    EXPECT_EQ(once, listing.Take(*f.store));
    // An event of another update class at the same place: its elements come in again.
    const TmcRawMessage icy = Queue(901);
    ASSERT_TRUE(f.store->AddRawMessage(&icy));
    ASSERT_EQ(f.store->GetCount(), 2u);
    const std::multiset<std::uint32_t> twice = f.layer->GetElementIds();
    EXPECT_EQ(twice, listing.Take(*f.store));
    for (const std::uint32_t id : once) {
        EXPECT_GT(twice.count(id), once.count(id)) << id;
    }
    // The cancellation removes the first message: every occurrence of its elements goes.
    const TmcRawMessage cancel = Queue(2047);
    ASSERT_TRUE(f.store->AddRawMessage(&cancel));
    EXPECT_TRUE(f.layer->GetElementIds().empty());

    ASSERT_TRUE(f.store->AddRawMessage(&queue));
    const TmcRawMessage closure = Closure();
    const six::RefCntPtr<ParkingLayer> late = CreateParkingLayer();
    ASSERT_TRUE(late);
    late->Connect(f.store);
    ASSERT_TRUE(f.store->AddRawMessage(&closure));
    EXPECT_TRUE(late->GetEntryIds().empty()); // not attached: events are ignored
    late->AttachMapView(&f.canvas);
    f.store->AnnounceAll();
    EXPECT_EQ(late->GetEntryIds().size(), 1u);
    EXPECT_EQ(late->GetElementIds(), listing.Take(*f.store));
    late->AttachMapView(nullptr);
}

// The direction bits of a blocking message's element ids: 3 the element backward, 2 as the element
// itself may be driven (a two-way street both ways, with 10-point arrows; a one-way street along
// its points).
TEST_F(Overlay, BuildsPiecesByDirectionCode) {
    std::uint32_t twoWay = 0;
    std::uint32_t oneWay = 0;
    for (int i = 0; i < 12; ++i) {
        for (int j = 0; j < 12; ++j) {
            for (const bool isAlongX : {true, false}) {
                const std::uint32_t id = f.StreetId(i, j, isAlongX);
                ElementAttributes attributes;
                f.facade->GetMappedElement(id)->GetAttributes(attributes);
                if (attributes.DirectionCode() == 2 && twoWay == 0) {
                    twoWay = id;
                } else if (attributes.DirectionCode() == 1 && oneWay == 0) {
                    oneWay = id;
                }
            }
        }
    }
    ASSERT_NE(twoWay, 0u);
    ASSERT_NE(oneWay, 0u);
    testdata::TmcTablesModel model = testdata::TmcSampleTables();
    const struct {
        std::uint32_t location;
        std::uint32_t element;
        std::int16_t affected; // 0: top bits 2; 2: top bits 3
        bool isReversed;
        std::size_t points;
        bool isArrowForm;
    } cases[] = {
        {800, twoWay, 0, false, 2, false},
        {801, oneWay, 0, false, 2, true},
        {802, twoWay, 2, true, 2, true},
    };
    for (const auto& c : cases) {
        testdata::TmcLocationRow point;
        point.code = Code(c.location);
        point.firstName = "Punkt";
        model.locations.push_back(point);
        model.cookies.push_back(
            {Code(c.location), c.element, static_cast<std::int16_t>(c.affected << 2)});
    }
    f.Start(model);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.location);
        const TmcRawMessage raw = OverlayFixture::Message(401, Code(c.location), 0, false);
        ASSERT_TRUE(f.store->AddRawMessage(&raw));
        const std::optional<TrafficEntry> entry = f.layer->GetEntry(401u << 16 | c.location);
        ASSERT_TRUE(entry);
        std::vector<GeoPoint> points;
        ASSERT_TRUE(f.facade->GetMappedElement(c.element)->GetPoints(points));
        if (c.isReversed) {
            std::reverse(points.begin(), points.end());
        }
        EXPECT_EQ(entry->polyline.size(), c.points);
        if (c.isArrowForm) {
            EXPECT_EQ(entry->polyline, points);
        }
        EXPECT_EQ(entry->isArrowForm, c.isArrowForm);
        EXPECT_EQ(entry->signNames, std::vector<std::u16string>{u"Sperrung.Bmp"});
    }
}

// Mode 1 asks the pass for nothing (no roads, no stretch line) but the arrows and signs are still
// drawn; changing the mode repaints.
TEST_F(Overlay, ModeOneDrawsOnlyArrowsAndSigns) {
    StartWithLines();
    const TmcRawMessage closure = Closure();
    ASSERT_TRUE(f.store->AddRawMessage(&closure));
    f.driver.RunUntilIdle();
    const POINT s6 = f.ScreenOf(6, 6);
    const POINT s7 = f.ScreenOf(7, 6);
    const POINT s5 = f.ScreenOf(5, 6);
    const POINT s8 = f.ScreenOf(8, 6);
    EXPECT_EQ(f.ScreenAt((s6.x + s7.x) / 2 + 20, s6.y - 7), kRed);
    f.layer->SetMode(1);
    EXPECT_EQ(f.layer->GetMode(), 1u);
    f.driver.RunUntilIdle();
    EXPECT_NE(f.ScreenAt((s6.x + s7.x) / 2 + 20, s6.y - 7), kRed);
    EXPECT_EQ(f.ScreenAt(s8.x - 3, s8.y), kBlack);
    EXPECT_EQ(f.ScreenAt(s5.x, s5.y), kSign);
    f.layer->SetMode(0);
    f.driver.RunUntilIdle();
    EXPECT_EQ(f.ScreenAt((s6.x + s7.x) / 2 + 20, s6.y - 7), kRed);
}

// Parking lots from the tables: levels 1, 2, 3 colour the streets green, yellow, red; 0 and 4
// draw nothing. A street covered from 20 % to 60 % is drawn over that part alone.
TEST_F(Overlay, ColoursParkingLotsByOccupancy) {
    testdata::ParkingTablesModel parking;
    const std::uint32_t whole = f.StreetId(3, 7, false); // along y from (3, 7) to (3, 8)
    const std::uint32_t part = f.StreetId(3, 8, true);   // along x from (3, 8) to (4, 8)
    parking.ids = {{7, 70}, {8, 80}};
    parking.lots = {{70, 70}, {80, 80}};
    parking.streets = {{70, whole, 0, 100}, {80, part, 20, 60}};
    StartWithLines(parking);
    const POINT a = f.ScreenOf(3, 7);
    const POINT b = f.ScreenOf(3, 8);
    const POINT side{a.x + 7, (a.y + b.y) / 2};
    const COLORREF plain = f.ScreenAt(side.x, side.y);
    const struct {
        std::uint32_t level;
        COLORREF colour;
    } cases[] = {{1, kGreen}, {2, kYellow}, {3, kRed}, {0, plain}, {4, plain}, {1, kGreen}};
    for (const auto& c : cases) {
        f.layer->SetParkingStatus(7, c.level);
        f.driver.RunUntilIdle();
        EXPECT_EQ(f.ScreenAt(side.x, side.y), c.colour) << c.level;
    }
    // The part street: from 20 % to 60 % of its 68 pixels, the pen's round ends reaching 10
    // pixels further; nothing beyond.
    f.layer->SetParkingStatus(8, 2);
    f.driver.RunUntilIdle();
    std::vector<GeoPoint> ends;
    ASSERT_TRUE(f.facade->GetMappedElement(part)->GetPoints(ends));
    const POINT first = f.canvas.GeoToScreen(ends.front());
    const POINT last = f.canvas.GeoToScreen(ends.back());
    const int y = first.y - 7;
    const int low = first.x + (last.x - first.x) * 20 / 100; // along the element's points
    const int high = first.x + (last.x - first.x) * 60 / 100;
    const int from = std::min(low, high);
    const int to = std::max(low, high);
    EXPECT_EQ(f.ScreenAt(from + 1, y), kYellow);
    EXPECT_EQ(f.ScreenAt(to - 1, y), kYellow);
    EXPECT_NE(f.ScreenAt(to + 11, y), kYellow);
    EXPECT_NE(f.ScreenAt(from - 11, y), kYellow);
}

// Missing tables, a cookie without a lot and short lot records change nothing else.
TEST_F(Overlay, SurvivesFaultyParkingTables) {
    const std::uint32_t whole = f.StreetId(3, 7, false);
    testdata::ParkingTablesModel parking;
    parking.ids = {{7, 70}};
    parking.lots = {{70, 70}};
    parking.streets = {{70, whole, 0, 100}};
    const struct {
        const char* name;
        testdata::ParkingTablesKnobs knobs;
        bool isDrawn;
    } cases[] = {
        {"no ids", {"BID2C.fsr", false, false}, false},
        {"no lots", {"ParkingLots.fsr", false, false}, false},
        {"no streets", {"ParkingStreets.fsr", false, false}, false},
        {"cookie without lot", {"", true, false}, true},
        {"short lot records", {"", false, true}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        OverlayFixture g;
        testdata::TmcTablesModel model = testdata::TmcSampleTables();
        g.Start(model, parking, c.knobs);
        g.driver.RunUntilIdle();
        const POINT a = g.ScreenOf(3, 7);
        const POINT b = g.ScreenOf(3, 8);
        const std::vector<std::uint32_t> before = g.Frame();
        g.layer->SetParkingStatus(7, 1);
        g.driver.RunUntilIdle();
        EXPECT_EQ(g.ScreenAt(a.x + 7, (a.y + b.y) / 2) == kGreen, c.isDrawn);
        if (!c.isDrawn) {
            EXPECT_EQ(g.Frame(), before);
        }
    }
}

} // namespace

namespace {

// The parking tables as read: a parking id's cookies in table order (remembered for the same id),
// the streets of their lots with their ranges, a cookie without a lot skipped, short lot
// records read as far as they go.
TEST(ParkingDataTables, FindsTheStreetsOfAParkingId) {
    ASSERT_TRUE(MemoryArena::Shared().HoldsMemory() || MemoryArena::Shared().Reserve(8 << 20));
    testdata::TempDeviceRoot root;
    testdata::ParkingTablesModel model;
    model.ids = {{7, 70}, {7, 71}, {8, 80}, {9, 90}};
    model.lots = {{70, 70}, {71, 71}, {80, 80}};
    model.streets = {{70, 0xF0000005, 0, 100}, {70, 6, 20, 60}, {71, 8, 10, 100}, {80, 9, 20, 60}};
    const struct {
        const char* name;
        testdata::ParkingTablesKnobs knobs;
        bool isOpen;
        std::vector<ParkingStreet> streets;
    } cases[] = {
        {"whole", {}, true, {{5, 0, 100}, {6, 20, 60}, {8, 10, 100}}},
        {"cookie without lot", {"", true, false}, true, {{5, 0, 100}, {6, 20, 60}, {8, 10, 100}}},
        {"short lot records", {"", false, true}, true, {{5, 0, 100}, {6, 20, 60}, {8, 10, 100}}},
        {"no ids", {"BID2C.fsr", false, false}, true, {}},
        {"no lots", {"ParkingLots.fsr", false, false}, false, {}},
        {"no streets", {"ParkingStreets.fsr", false, false}, false, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(testdata::ParkingTablesWriter(model, c.knobs).WriteFolder(root, u"\\P"));
        ParkingData data;
        data.Load(std::u16string(u"\\P\\"));
        EXPECT_EQ(data.IsOpen(), c.isOpen);
        EXPECT_EQ(data.FindStreets(7), c.streets);
        EXPECT_TRUE(data.FindStreets(9).empty());
        EXPECT_EQ(data.FindStreets(8).size(), c.streets.empty() ? 0u : 1u);
        EXPECT_TRUE(data.FindStreets(3).empty());
        std::filesystem::remove_all(root.HostPath() / "P");
    }
}

} // namespace
