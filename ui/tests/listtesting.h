#pragma once
// Shared by the list, combo and dialog tests: a page at the screen's top-left that records the
// WM_COMMAND and WM_DRAWITEM messages reaching it, a virtual clock and screen driver, the test
// font, and a language library with a few bitmaps and strings.

#include "testdata/bitmapwriter.h"
#include "testdata/tempdir.h"

#include "platform/files/modules.h"
#include "platform/gdi/text.h"
#include "platform/kernel/time.h"
#include "platform/shell/resources.h"
#include "platform/window/message.h"
#include "platform/window/paint.h"
#include "platform/window/testdriver.h"
#include "platform/window/tests/windowtesting.h"
#include "platform/window/window.h"

#include <gtest/gtest.h>

#include <vector>

namespace listtesting {

const std::filesystem::path kTestFont = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
constexpr COLORREF kMagenta = 0xFF00FF;

struct Command {
    WORD id;
    WORD code;
    LPARAM control;
};

inline std::vector<Command>& Commands() {
    static std::vector<Command> commands;
    return commands;
}
inline std::vector<DRAWITEMSTRUCT>& DrawnItems() {
    static std::vector<DRAWITEMSTRUCT> items;
    return items;
}
// The codes of the commands from one control window.
inline std::vector<WORD> CodesFrom(HWND control) {
    std::vector<WORD> codes;
    for (const Command& c : Commands()) {
        if (c.control == reinterpret_cast<LPARAM>(control))
            codes.push_back(c.code);
    }
    return codes;
}

inline LRESULT PageProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND) {
        Commands().push_back(Command{LOWORD(wParam), HIWORD(wParam), lParam});
        return 0;
    }
    if (message == WM_DRAWITEM) {
        DrawnItems().push_back(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        return TRUE;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// A square bitmap of one colour whose pixel (0, 0) is the key colour.
inline std::vector<std::uint8_t> KeyedSquare(int size, std::uint32_t colour) {
    testdata::BitmapSpec spec;
    spec.width = spec.height = size;
    for (int i = 0; i < size * size; ++i)
        spec.pixels.push_back(i == 0 ? 0xFF00FF : colour);
    return testdata::WriteBitmapFile(spec);
}

class Page : public testing::Test {
protected:
    void SetUp() override { SetUpPage(240, 320, {}); }
    void SetUpPage(int width, int height, platform::ResourceBundle bundle) {
        platform::SetScreenSize(width, height);
        platform::SetFontFile(kTestFont);
        bundle.bitmaps[3] = KeyedSquare(6, 0x0000FF);
        bundle.bitmaps[4] = KeyedSquare(8, 0x00FF00);
        module_ = windowtesting::LoadLanguage(root_, bundle);
        ASSERT_NE(module_, nullptr);
        platform::SetResourceInstance(module_);
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = &PageProcedure;
        // The class keeps its brush for the process.
        static HBRUSH pageBrush = CreateSolidBrush(0x303030);
        windowClass.hbrBackground = pageBrush;
        windowClass.lpszClassName = u"ListTestPage";
        (void)RegisterClassW(&windowClass);
        page_ = CreateWindowExW(0, u"ListTestPage", u"", WS_POPUP | WS_VISIBLE, 0, 0, width, height,
                                nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(page_, nullptr);
        LOGFONTW description{};
        description.lfHeight = -10;
        description.lfQuality = NONANTIALIASED_QUALITY;
        font_ = CreateFontIndirectW(&description);
        SetActiveWindow(page_);
        driver_.RunUntilIdle();
        Commands().clear();
        DrawnItems().clear();
    }
    void TearDown() override {
        DestroyWindow(page_);
        DeleteObject(font_);
        platform::SetResourceInstance(nullptr);
        FreeLibrary(module_);
        platform::SetFontFile({});
        platform::SetScreenSize(240, 320);
        Commands().clear();
        DrawnItems().clear();
    }

    platform::VirtualClock clock_;
    platform::ScopedClock installed_{clock_};
    platform::ScreenDriver driver_{&clock_};
    testdata::TempDeviceRoot root_;
    HMODULE module_{};
    HWND page_{};
    HFONT font_{};
};

} // namespace listtesting
