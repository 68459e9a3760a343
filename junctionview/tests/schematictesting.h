#pragma once
// Shared by the schematic window tests: the junction worlds on the device of the language
// library, the screen description with the sections "Arrow" and "DistanceBar", our drawings and
// advisor data, a map engine facade over a world, and advice along a simulated drive or
// scripted.

#include "advisor/advicelist.h"
#include "advisor/advisor.h"
#include "advisor/advisorstore.h"
#include "junctionview/tests/junctionwindowtesting.h"
#include "junctionview/tests/junctionworld.h"
#include "junctionview/windows/distancebar.h"
#include "junctionview/windows/schematicwnd.h"
#include "mapdisplay/mapenginefacade.h"
#include "testdata/bitmapwriter.h"
#include "testdata/levelfilewriter.h"
#include "testdata/simulateddrive.h"
#include "testdata/stylesheetwriter.h"
#include "testdata/testfiles.h"

#include "platform/gdi/screenshot.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace schematictesting {

using junctionworld::RoutedWorld;

// The page: the schematic window above, the distance bar in the bottom-left corner.
constexpr RECT kSchematicRect{0, 0, 240, 200};
constexpr RECT kBarRect{0, 200, 40, 320};
constexpr COLORREF kLabelColour = 0x804020;

inline std::vector<std::uint8_t> OneColour(int width, int height, std::uint32_t rgb) {
    testdata::BitmapSpec spec;
    spec.width = width;
    spec.height = height;
    spec.pixels.assign(static_cast<std::size_t>(width * height), rgb);
    return testdata::WriteBitmapFile(spec);
}

inline testdata::ScreenDescWriter SchematicDescription(const std::u16string& crossColour) {
    testdata::ScreenDescWriter writer;
    writer.Section(u"Arrow").Size(480, 400).Rect(u"Distance", 120, 8, 360, 68);
    if (!crossColour.empty())
        writer.Entry(u"CrossColor", crossColour);
    writer.Section(u"DistanceBar").Size(40, 120);
    return writer;
}

// The corner button's three faces.
inline platform::ResourceBundle SchematicBundle() {
    platform::ResourceBundle bundle;
    bundle.bitmaps[910] = testdata::WriteKeyedPlate(33, 30, 0x3070D0);
    bundle.bitmaps[911] = testdata::WriteKeyedPlate(33, 30, 0xD07030);
    bundle.bitmaps[913] = testdata::WriteKeyedPlate(33, 30, 0x808080);
    return bundle;
}

// Our drawings and destination pictures beside the language library, our advisor data in
// "\ADV"; once per process.
inline void WriteSchematicData() {
    static bool isWritten = false;
    if (isWritten)
        return;
    isWritten = true;
    testdata::TempDeviceRoot& root = junctionworld::WorldRoot();
    const std::u16string images = u"\\Windows\\ConfigFiles\\HiWayImages\\";
    for (const auto& entry : std::filesystem::directory_iterator(
             std::filesystem::path(NAV_JUNCTIONVIEW_DIR) / "data")) {
        const std::string name = entry.path().filename().string();
        ASSERT_TRUE(root.WriteFile(images + std::u16string(name.begin(), name.end()),
                                   testdata::ReadTestFile(entry.path())));
    }
    const auto flag = OneColour(40, 30, 0x2020CC);
    const auto approach = OneColour(30, 40, 0x20A020);
    ASSERT_TRUE(root.WriteFile(images + u"DestFlag.bmp", std::string(flag.begin(), flag.end())));
    ASSERT_TRUE(
        root.WriteFile(images + u"DestAppr.bmp", std::string(approach.begin(), approach.end())));
    for (const std::string name :
         {"General.properties", "SOA.csv", "SpokenDistances.csv", "RouteNumbers.csv", "SOD.csv",
          "DecisionTables.csv", "encode.properties"}) {
        const std::u16string wide(name.begin(), name.end());
        ASSERT_TRUE(root.WriteFile(
            (name == "encode.properties" ? u"\\ADV\\ConfigFiles\\" : u"\\ADV\\") + wide,
            testdata::ReadTestFile(std::filesystem::path(NAV_ADVISOR_DATA_DIR) / "ConfigFiles" /
                                   name)));
    }
}

// A facade over the world's map set (a level file and style sheets beside it).
inline six::RefCntPtr<MapEngineFacade> FacadeOver(const RoutedWorld& world) {
    const std::u16string& rid = world.written.mapSet.ridPath;
    const std::size_t slash = rid.find_last_of(u"\\/");
    const std::u16string folder = rid.substr(0, slash);
    const std::u16string file = rid.substr(slash + 1);
    testdata::TempDeviceRoot& root = junctionworld::WorldRoot();
    if (!root.WriteFile(folder + u"\\day.mpl", testdata::DefaultStyleSheet(false).Write()) ||
        !root.WriteFile(folder + u"\\night.mpl", testdata::DefaultStyleSheet(true).Write()) ||
        !testdata::LevelFileWriter()
             .AddMapLine(std::string(file.begin(), file.end()), "day.mpl", 20, "night.mpl")
             .WriteTo(root.HostPathOf(folder + u"\\world.lvl"))) {
        return {};
    }
    six::RefCntPtr<MapEngineFacade> facade = MapEngineFacade::Create(1024);
    if (!facade || !facade->LoadLevelFile(folder + u"\\world.lvl"))
        return {};
    return facade;
}

struct DrivenAdvice {
    AdvicePtr advice;
    MatchedPosition position;
    std::int32_t kind = -1;
};

// Every valid advice of the advisor along a drive of the world's route in steps of 10 m.
inline std::vector<DrivenAdvice> DriveAlong(const RoutedWorld& world) {
    WriteSchematicData();
    AdvisorStore::Instance().Reset();
    AdvisorPtr advisor;
    CreateAdvisorFacade(advisor, world.engine, world.result, u"\\ADV", {});
    std::vector<DrivenAdvice> driven;
    if (!advisor)
        return driven;
    testdata::SimulatedDrive drive(world.result.route, 10.0);
    testdata::DrivePosition at;
    while (drive.Next(at)) {
        AdvicePtr advice;
        if (!advisor->CreateAdvice(advice, at.position, at.route, 0) || !advice->IsValid())
            continue;
        const AdviceValuePtr value = advice->Current();
        if (value)
            driven.push_back({advice, at.position, value->GetKind()});
    }
    return driven;
}

struct ScriptedManoeuvre {
    std::int32_t kind;
    RouteIteratorPtr route;
    std::int32_t distance = 250;
    std::uint16_t progress = 0;
    bool isLinked = false;
};

// An advice over scripted records, standing on the first.
inline AdvicePtr ScriptAdvice(const std::vector<ScriptedManoeuvre>& manoeuvres) {
    AdviceList list;
    for (const ScriptedManoeuvre& m : manoeuvres) {
        AdviceRecord record;
        record.manoeuvreCode = m.kind;
        record.route = m.route;
        record.distance = m.distance;
        record.progress = m.progress;
        record.combined = m.isLinked ? 1 : 0;
        list.Append(record);
    }
    return MakeAdvice(list, nullptr);
}

// Valid, but without values (as when they cannot be allocated).
class ValuelessAdvice final : public IAdvice {
public:
    bool Next() override { return true; }
    [[nodiscard]] AdviceValuePtr Current() const override { return {}; }
    [[nodiscard]] bool IsValid() const override { return true; }
    [[nodiscard]] AdvicePtr Clone() const override { return AdvicePtr(new ValuelessAdvice); }
};

// The world's engine and device with a schematic window on the page, created at
// kSchematicRect, in picture mode.
class SchematicFixture : public ::testing::Test {
protected:
    void Open(const testdata::JunctionScenario& scenario, JunctionViewOwner* owner = nullptr,
              const std::string& settings = "[SchematicAttribs]\r\nRadius=40\r\n") {
        world = junctionworld::RouteWorld(scenario);
        ASSERT_TRUE(world);
        WriteSchematicData();
        device = std::make_unique<junctionwindowtesting::JunctionDevice>(
            240, 320, SchematicDescription(u"8405024"), SchematicBundle(),
            &junctionworld::WorldRoot());
        ASSERT_TRUE(device->isReady);
        ASSERT_TRUE(device->root.WriteFile(AppPaths::GetSettingsFilePath(), settings));
        facade = FacadeOver(*world);
        ASSERT_TRUE(facade);
        window.reset(static_cast<SchematicWnd*>(CreateSchematicWnd(owner)));
        ASSERT_TRUE(window);
        window->SetDataSource(facade);
        window->Create(kSchematicRect, device->page.window);
        window->SetRoute(world->result);
        MatchedPosition picture;
        picture.streetsNear = 1;
        window->SetPosition(picture);
        driver.RunUntilIdle();
    }
    void TearDown() override {
        window.reset();
        facade = nullptr;
        device.reset();
        world.reset();
    }
    // The screen colour at a client point of the window.
    [[nodiscard]] COLORREF At(int x, int y) const {
        POINT point{x, y};
        ClientToScreen(window->GetHwnd(), &point);
        std::vector<std::uint32_t> pixels;
        int w = 0;
        int h = 0;
        const RECT one{point.x, point.y, point.x + 1, point.y + 1};
        EXPECT_TRUE(platform::ReadScreenPixels(&one, &pixels, &w, &h));
        const std::uint32_t rgb = pixels.empty() ? 0 : pixels[0];
        return RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
    }
    [[nodiscard]] std::vector<std::uint32_t> PixelsOf(const RECT& client) const {
        POINT topLeft{client.left, client.top};
        ClientToScreen(window->GetHwnd(), &topLeft);
        const RECT screen{topLeft.x, topLeft.y, topLeft.x + client.right - client.left,
                          topLeft.y + client.bottom - client.top};
        std::vector<std::uint32_t> pixels;
        int w = 0;
        int h = 0;
        EXPECT_TRUE(platform::ReadScreenPixels(&screen, &pixels, &w, &h));
        return pixels;
    }
    void Repaint() {
        InvalidateRect(window->GetHwnd(), nullptr, FALSE);
        driver.RunUntilIdle();
    }

    std::unique_ptr<RoutedWorld> world;
    std::unique_ptr<junctionwindowtesting::JunctionDevice> device;
    six::RefCntPtr<MapEngineFacade> facade;
    std::unique_ptr<SchematicWnd> window;
    platform::ScreenDriver driver;
};

} // namespace schematictesting
