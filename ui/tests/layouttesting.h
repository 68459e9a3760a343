#pragma once
// Shared by the layout, page and indicator tests: a device with a language library, a screen
// description with one page of every control kind and the section "Screen", "PK.ini" with the
// help file, and a page class over PageBase created at the screen's size.

#include "testdata/bitmapwriter.h"
#include "testdata/screendescwriter.h"
#include "testdata/tempdir.h"
#include "ui/pagebase.h"
#include "utilities/usefulcode/apppaths.h"
#include "utilities/usefulcode/windowhandle.h"

#include "platform/gdi/text.h"
#include "platform/kernel/time.h"
#include "platform/shell/resources.h"
#include "platform/window/message.h"
#include "platform/window/testdriver.h"
#include "platform/window/tests/windowtesting.h"
#include "platform/window/window.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace layouttesting {

const std::filesystem::path kTestFont = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
constexpr UINT kTitleId = 1500;
// Control identifiers of the page "TestPage", one per entry below.
constexpr UINT kPlainId = 2100; // kind 0: faces 2100, 2101, 2103
constexpr UINT kBitmapTextId = 2110;
constexpr UINT kTextId = 2111;
constexpr UINT kMarkerId = 2112;
constexpr UINT kComboId = 2113;
constexpr UINT kRadioId = 2114;
constexpr UINT kEditId = 2115;
constexpr UINT kMarker7Id = 2116;
constexpr UINT kRightId = 2117;
constexpr UINT kTwoBitsId = 2118;
constexpr UINT kHighBitId = 2119;
constexpr UINT kLabelId = 2120;

struct ControlEntry {
    const char16_t* name;
    UINT id;
    RECT design;
    int fifth; // -1: no fifth field
};

inline const std::vector<ControlEntry>& ControlEntries() {
    static const std::vector<ControlEntry> entries = {
        {u"Plain", kPlainId, {10, 40, 110, 60}, -1},
        {u"BitmapText", kBitmapTextId, {120, 40, 230, 60}, 1},
        {u"Text", kTextId, {10, 70, 110, 90}, 2},
        {u"Marker", kMarkerId, {120, 70, 230, 90}, 4},
        {u"Combo", kComboId, {10, 100, 230, 120}, 8},
        {u"Radio", kRadioId, {10, 130, 110, 150}, 16},
        {u"Edit", kEditId, {120, 130, 230, 150}, 32},
        {u"Marker7", kMarker7Id, {10, 160, 110, 180}, 64},
        {u"Right", kRightId, {120, 160, 230, 180}, 128},
        {u"TwoBits", kTwoBitsId, {10, 190, 110, 210}, 24},
        {u"HighBit", kHighBitId, {120, 190, 230, 210}, 256},
    };
    return entries;
}

// An 8 x 6 picture: a rim of one colour around another.
inline std::vector<std::uint8_t> Framed(std::uint32_t rim, std::uint32_t inside) {
    testdata::BitmapSpec spec;
    spec.width = 8;
    spec.height = 6;
    for (int y = 0; y < spec.height; ++y) {
        for (int x = 0; x < spec.width; ++x) {
            const bool isEdge = x == 0 || y == 0 || x == spec.width - 1 || y == spec.height - 1;
            spec.pixels.push_back(isEdge ? rim : inside);
        }
    }
    return testdata::WriteBitmapFile(spec);
}

// The background: 2 x 2 blocks of four colours in a 4 x 4 picture.
inline std::vector<std::uint8_t> Quarters() {
    testdata::BitmapSpec spec;
    spec.width = spec.height = 4;
    const std::uint32_t colours[4] = {0x204060, 0x406020, 0x602040, 0x303030};
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 4; ++x)
            spec.pixels.push_back(colours[(y / 2) * 2 + x / 2]);
    }
    return testdata::WriteBitmapFile(spec);
}

inline testdata::ScreenDescWriter PageDescription() {
    testdata::ScreenDescWriter writer;
    writer.Section(u"TestPage").Size(240, 320).Rect(u"Status", 10, 5, 230, 30);
    for (const ControlEntry& e : ControlEntries()) {
        if (e.fifth < 0)
            writer.Rect(e.name, e.design.left, e.design.top, e.design.right, e.design.bottom);
        else
            writer.Item(e.name, e.design.left, e.design.top, e.design.right, e.design.bottom,
                        e.fifth);
    }
    writer.Rect(u"Label", 10, 220, 230, 240)
        .Rect(u"RealLOGO", 10, 280, 70, 310)
        .Rect(u"RealGPS", 80, 280, 150, 310)
        .Rect(u"RealTMC", 160, 280, 230, 310)
        .Bitmap(u"page.bmp")
        .Help(u"page.htc");
    writer.Section(u"Screen").Rect(u"RealGPS", 0, 0, 50, 14).Rect(u"RealTMC", 0, 0, 50, 14);
    for (const char16_t* dialog : {u"MsgBox", u"LogoBox", u"GpsDlg"}) {
        writer.Section(dialog)
            .Size(200, 100)
            .Rect(u"Msg", 10, 10, 190, 50)
            .Item(u"OK", 150, 75, 190, 95, 2);
    }
    return writer;
}

class TestPage : public PageBase {
public:
    TestPage()
        : PageBase(u"TestPage") {}
    UINT GetTitleId() override { return kTitleId; }
    std::vector<UINT>& FocusList() { return m_focusList; }
};

// A device with the language library, the screen description and "PK.ini"; the screen at
// width x height.
class Device {
public:
    Device(int width, int height, const testdata::ScreenDescWriter& description) {
        platform::SetScreenSize(width, height);
        platform::SetFontFile(kTestFont);
        platform::ResourceBundle bundle;
        bundle.strings[kTitleId] = u"Status page";
        bundle.strings[kLabelId] = u"A label";
        bundle.strings[1138] = u"GPS";
        bundle.strings[1143] = u"TMC";
        for (UINT id = 1178; id <= 1182; ++id)
            bundle.strings[id] = u"Message";
        for (const ControlEntry& e : ControlEntries())
            bundle.strings[e.id] = u"B" + std::u16string(e.name);
        bundle.bitmaps[kPlainId] = Framed(0xFFFFFF, 0x2060C0);
        bundle.bitmaps[kPlainId + 1] = Framed(0xFFFFFF, 0xF4AF06);
        bundle.bitmaps[kPlainId + 3] = Framed(0xC0C0C0, 0x6E6E6E);
        bundle.bitmaps[1184] = Framed(0x00C0C0, 0x804000); // the logo
        for (UINT id : {kBitmapTextId, kTwoBitsId, kTwoBitsId + 1, kHighBitId, kHighBitId + 1})
            bundle.bitmaps[id] = Framed(0x102040, 0x3C7CB8);
        module = windowtesting::LoadLanguage(root, bundle);
        platform::SetResourceInstance(module);
        descriptionPath = AppPaths::GetScreenDescFilePath();
        isReady = module != nullptr && root.WriteFile(descriptionPath, description.Build()) &&
                  root.WriteFile(u"\\Windows\\Bitmaps\\page.bmp", Quarters()) &&
                  root.WriteFile(AppPaths::GetSettingsFilePath(),
                                 std::string_view("[HelpFile]\r\nPath=\\Help\\nav.htm\r\n"));
    }
    ~Device() {
        platform::SetResourceInstance(nullptr);
        if (module != nullptr)
            FreeLibrary(module);
        platform::SetFontFile({});
        platform::SetScreenSize(240, 320);
    }
    Device(const Device&) = delete;
    Device& operator=(const Device&) = delete;

    testdata::TempDeviceRoot root;
    HMODULE module{};
    std::u16string descriptionPath;
    bool isReady = false;
};

// Creates the page window filling the screen (WM_CREATE and WM_SIZE on the way).
inline HWND CreatePageWindow(PageBase& page, int width, int height) {
    return CreateWindowExW(0, WindowClassRegistry::ClassName(), u"", WS_POPUP | WS_VISIBLE, 0, 0,
                           width, height, nullptr, nullptr, platform::ResourceInstance(),
                           &page.GetPageHandle());
}

// Every control of the test page and the label (transparent, white); their windows by id (the
// combo box's own window, not its edit field's, which has the same id).
inline std::map<UINT, HWND> CreateControls(PageBase& page) {
    std::map<UINT, HWND> windows;
    for (const ControlEntry& e : ControlEntries())
        windows[e.id] = page.CreateControl(e.name, e.id, true, false, 0, 0);
    windows[kLabelId] = page.CreateLabel(u"Label", kLabelId, 0xFFFFFF, kTransparentBackground);
    return windows;
}

} // namespace layouttesting
