#pragma once
// Shared by the dialog tests: a 240 x 320 page with a language library of the dialogs' strings
// and a screen description in which every dialog is 200 x 100 pixels (centred on the page at
// (20, 110)) with "Msg" at (10, 10, 190, 50) and its buttons, faces of kind 2, in rows of four
// 40 x 20 pixels from (10, 55) (the street block dialog's from (10, 80)).

#include "testdata/screendescwriter.h"
#include "ui/tests/listtesting.h"
#include "utilities/usefulcode/apppaths.h"

#include <string>
#include <utility>
#include <vector>

namespace dialogtesting {

using Buttons = std::vector<std::u16string>;

// Dialog client rectangle of button index.
inline RECT ButtonRect(int index, int top = 55) {
    const int column = index % 4;
    const int row = index / 4;
    return RECT{10 + 45 * column, top + 22 * row, 50 + 45 * column, top + 20 + 22 * row};
}

// Screen point in the middle of button index of a dialog at origin.
inline POINT ButtonPoint(int index, POINT origin = {20, 110}, int top = 55) {
    const RECT r = ButtonRect(index, top);
    return POINT{origin.x + (r.left + r.right) / 2, origin.y + (r.top + r.bottom) / 2};
}

inline void AddDialog(testdata::ScreenDescWriter& writer, const std::u16string& section,
                      const Buttons& buttons, const std::vector<std::u16string>& texts = {},
                      int top = 55) {
    writer.Section(section).Size(200, 100).Rect(u"Msg", 10, 10, 190, 50);
    for (std::size_t i = 0; i < buttons.size(); ++i) {
        const RECT r = ButtonRect(static_cast<int>(i), top);
        writer.Item(buttons[i], r.left, r.top, r.right, r.bottom, 2);
    }
    // Further texts in a column at the right.
    for (std::size_t i = 0; i < texts.size(); ++i) {
        const int top = 5 + static_cast<int>(i) * 12;
        writer.Rect(texts[i], 120, top, 195, top + 12);
    }
}

inline std::string ScreenDescription() {
    testdata::ScreenDescWriter writer;
    AddDialog(writer, u"MsgBox", {u"OK"});
    AddDialog(writer, u"OtherBox", {u"OK"});
    AddDialog(writer, u"DestSavedMsgBox", {u"OK"});
    AddDialog(writer, u"YesNoDlg", {u"Yes", u"No"});
    AddDialog(writer, u"StopNavigDlg", {u"Continue", u"Menu", u"Map", u"NewDest"});
    writer.Rect(u"Msg2", 10, 10, 190, 50);
    AddDialog(writer, u"StopNavigTourDlg", {u"Continue", u"Menu", u"Map", u"NewDest", u"NextDest"});
    writer.Rect(u"Msg2", 10, 10, 190, 50);
    AddDialog(writer, u"DestNotFoundMsgBox", {u"Back", u"ShowMap"}, {u"Continue"});
    AddDialog(writer, u"StopLogDlg", {u"OK", u"Cancel"});
    AddDialog(writer, u"NavWithoutGPSDlg", {u"Cancel"});
    AddDialog(writer, u"VersionDlg", {u"OK"},
              {u"TITLE", u"VERSION", u"VERSIONVAL", u"BUILD", u"BUILDVAL", u"DATE", u"DATEVAL"});
    AddDialog(writer, u"ValueDlg", {u"Cancel", u"OK"});
    AddDialog(writer, u"ValueDlg1", {u"StopLog", u"EnterCheck", u"Cancel"}, {u"Continue"});
    // Below the edit field at (20, 60, 115, 77).
    AddDialog(writer, u"StreetBlockDlg", {u"Cancel", u"OK", u"UP", u"DOWN"}, {}, 80);
    writer.Section(u"ProgressDlg")
        .Size(200, 100)
        .Rect(u"Desc", 10, 5, 190, 20)
        .Rect(u"Bar", 10, 25, 190, 40)
        .Rect(u"RouteFrom", 10, 45, 190, 65)
        .Rect(u"RouteTo", 10, 70, 190, 90);
    writer.Section(u"GpsDlg").Size(200, 100).Item(u"OK", 150, 75, 190, 95, 2);
    const char16_t* gpsItems[] = {u"GMT",      u"GMTVAL",   u"LONGITUDE", u"PosX",
                                  u"LATITUDE", u"PosY",     u"Satelites", u"NumSatel",
                                  u"H-DOP",    u"H-DOPVAL", u"QUALITY",   u"QUALTYVAL"};
    for (int i = 0; i < 12; ++i) {
        const int left = i % 2 == 0 ? 5 : 70;
        const int top = 5 + (i / 2) * 11;
        writer.Rect(gpsItems[i], left, top, left + (i % 2 == 0 ? 60 : 120), top + 11);
    }
    writer.Section(u"Huge").Size(100000, -5);
    return writer.Build();
}

inline platform::ResourceBundle Strings() {
    platform::ResourceBundle bundle;
    const std::pair<UINT, const char16_t*> strings[] = {
        {320, u"Cancel"},
        {430, u"Map"},
        {470, u"Menu"},
        {529, u"Satellites"},
        {532, u"Destination saved"},
        {534, u"New"},
        {535, u"Continue"},
        {538, u"Yes"},
        {539, u"No"},
        {568, u"GMT"},
        {569, u"Longitude"},
        {570, u"Latitude"},
        {571, u"HDOP"},
        {572, u"Quality"},
        {596, u"Version"},
        {597, u"Build"},
        {598, u"Date"},
        {600, u"About"},
        {601, u"1.2"},
        {602, u"345"},
        {700, u"Not found: <@> and <@>"},
        {701, u"Enter the value"},
        {992, u"Stop navigation?"},
        {1067, u"Continue?"},
        {1068, u"Back"},
        {1069, u"Show map"},
        {1124, u"Stop log"},
        {1125, u"Check"},
        {1150, u"Next"},
        {1209, u"No GPS"},
        {1210, u"E"},
        {1211, u"W"},
        {1212, u"N"},
        {1213, u"S"},
    };
    for (const auto& [id, text] : strings)
        bundle.strings[id] = text;
    return bundle;
}

class DialogPage : public listtesting::Page {
protected:
    void SetUp() override {
        SetUpPage(240, 320, Strings());
        ASSERT_TRUE(root_.WriteFile(AppPaths::GetScreenDescFilePath(), ScreenDescription()));
    }
    // The dialog's window rectangle while it runs.
    static RECT Bounds(HWND window) {
        RECT bounds{};
        GetWindowRect(window, &bounds);
        return bounds;
    }
};

inline bool Same(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

} // namespace dialogtesting
