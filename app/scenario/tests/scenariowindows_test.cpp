// The frame step's check: the screen compared with the screen painted whole at once.
#include "app/scenario/scenariowindows.h"
#include "mapdisplay/labellayer.h"
#include "testdata/bitmapwriter.h"
#include "testdata/resourcebundlewriter.h"
#include "testdata/tempdir.h"
#include "ui/bitmapbutton.h"
#include "ui/customcombobox.h"
#include "ui/textface.h"

#include "platform/files/modules.h"
#include "platform/gdi/gdi.h"
#include "platform/gdi/screenshot.h"
#include "platform/gdi/tests/repaintcheck.h"
#include "platform/gdi/text.h"
#include "platform/shell/resources.h"
#include "platform/window/paint.h"
#include "platform/window/shell.h"
#include "platform/window/testdriver.h"
#include "platform/window/window.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace {

// A shown popup at rect (screen coordinates) that paints nothing: no background, no paint of its
// own.
HWND MakeBlankPopup(const RECT& rect) {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = &DefWindowProcW;
    windowClass.lpszClassName = u"FrameCheckBlank";
    (void)RegisterClassW(&windowClass); // once; later registrations fail and change nothing
    return CreateWindowExW(0, u"FrameCheckBlank", u"", WS_POPUP | WS_VISIBLE, rect.left, rect.top,
                           rect.right - rect.left, rect.bottom - rect.top, nullptr, nullptr,
                           nullptr, nullptr);
}

// What a labelled popup shows: a distance on a plate, drawn straight onto its window or into a
// bitmap that is then blitted onto it.
struct FrameCheckLabel {
    COLORREF text;
    COLORREF plate;
    bool isBlitted;
};

LRESULT FrameCheckLabelProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_PAINT)
        return DefWindowProcW(window, message, wParam, lParam);
    const auto* label =
        reinterpret_cast<const FrameCheckLabel*>(GetWindowLongW(window, GWL_USERDATA));
    PAINTSTRUCT paint{};
    HDC dc = BeginPaint(window, &paint);
    RECT client{};
    GetClientRect(window, &client);
    HDC memory = label->isBlitted ? CreateCompatibleDC(dc) : nullptr;
    HBITMAP bitmap =
        label->isBlitted ? CreateCompatibleBitmap(dc, client.right, client.bottom) : nullptr;
    HGDIOBJ previous = label->isBlitted ? SelectObject(memory, bitmap) : nullptr;
    HDC target = label->isBlitted ? memory : dc;
    HBRUSH plate = CreateSolidBrush(label->plate);
    FillRect(target, &client, plate);
    DeleteObject(plate);
    SetBkMode(target, TRANSPARENT);
    SetTextColor(target, label->text);
    DrawTextW(target, u"1.6km", -1, &client, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    if (label->isBlitted) {
        BitBlt(dc, 0, 0, client.right, client.bottom, memory, 0, 0, SRCCOPY);
        SelectObject(memory, previous);
        DeleteObject(bitmap);
        DeleteDC(memory);
    }
    EndPaint(window, &paint);
    return 0;
}

// A shown popup at rect (screen coordinates) showing the label, which must outlive it.
std::shared_ptr<void> MakeLabelPopup(const RECT& rect, const FrameCheckLabel& label) {
    return std::shared_ptr<void>(repaintcheck::MakePopup(rect, u"FrameCheckLabel",
                                                         FrameCheckLabelProcedure,
                                                         reinterpret_cast<LONG_PTR>(&label)),
                                 [](HWND popup) { DestroyWindow(popup); });
}

// A map's street labels with their halos, drawn by the label layer into the picture the popup
// keeps and blits, as the moving map draws them: first in the other light and a pixel up and to
// the left, then in their own, as a map that moved by a pixel and turned to day or to night
// draws them again over the same picture. Then each halo pass lies where the same text lay in
// the halo's colour before.
class FrameCheckStreetMap {
public:
    FrameCheckStreetMap(bool isDay, bool isRotated)
        : m_isDay(!isDay)
        , m_isRotated(isRotated) {}
    ~FrameCheckStreetMap() {
        DestroyWindow(m_popup);
        if (m_picture != nullptr) {
            SelectObject(m_picture, m_previous);
            DeleteObject(m_bitmap);
            DeleteDC(m_picture);
        }
    }
    FrameCheckStreetMap(const FrameCheckStreetMap&) = delete;
    FrameCheckStreetMap& operator=(const FrameCheckStreetMap&) = delete;

    // Shows the popup at rect (screen coordinates), painted in the other light, and asks for a
    // paint in its own.
    void Show(const RECT& rect) {
        m_popup = repaintcheck::MakePopup(rect, u"FrameCheckStreetMap", &Procedure,
                                          reinterpret_cast<LONG_PTR>(this));
        UpdateWindow(m_popup);
        m_isDay = !m_isDay;
        m_shift = 0;
        InvalidateRect(m_popup, nullptr, FALSE);
    }

private:
    static LRESULT Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message != WM_PAINT)
            return DefWindowProcW(window, message, wParam, lParam);
        auto* map = reinterpret_cast<FrameCheckStreetMap*>(GetWindowLongW(window, GWL_USERDATA));
        PAINTSTRUCT paint{};
        HDC dc = BeginPaint(window, &paint);
        RECT client{};
        GetClientRect(window, &client);
        map->Draw(dc, client);
        BitBlt(dc, 0, 0, client.right, client.bottom, map->m_picture, 0, 0, SRCCOPY);
        EndPaint(window, &paint);
        return 0;
    }

    void Draw(HDC dc, const RECT& client) {
        if (m_picture == nullptr) {
            m_picture = CreateCompatibleDC(dc);
            m_bitmap = CreateCompatibleBitmap(dc, client.right, client.bottom);
            m_previous = SelectObject(m_picture, m_bitmap);
            m_labels.Begin(m_picture);
        }
        // The map's ground by day and by night.
        HBRUSH ground = CreateSolidBrush(m_isDay ? RGB(255, 255, 230) : RGB(48, 40, 32));
        FillRect(m_picture, &client, ground);
        DeleteObject(ground);
        m_labels.SetDay(m_isDay);
        m_labels.Clear();
        const LONG s = m_shift;
        const POINT straight[2][2] = {{{10 - s, 40 - s}, {230 - s, 40 - s}},
                                      {{10 - s, 100 - s}, {230 - s, 100 - s}}};
        const POINT slanted[2][2] = {{{10 - s, 90 - s}, {200 - s, 10 - s}},
                                     {{30 - s, 140 - s}, {220 - s, 60 - s}}};
        const char16_t* names[2] = {u"Bim Gamanderhus", u"Im Besch"};
        for (int i = 0; i < 2; ++i) {
            EXPECT_TRUE(
                m_labels.AddStreetLabel(m_isRotated ? slanted[i] : straight[i], 2, names[i], 1070));
        }
        m_labels.Draw(m_picture, true);
    }

    bool m_isDay;
    bool m_isRotated;
    LONG m_shift = 1;
    HWND m_popup = nullptr;
    HDC m_picture = nullptr;
    HBITMAP m_bitmap = nullptr;
    HGDIOBJ m_previous = nullptr;
    LabelLayer m_labels;
};

// A shown popup at rect (screen coordinates) showing street labels in the light.
std::shared_ptr<void> MakeStreetMapPopup(const RECT& rect, bool isDay, bool isRotated) {
    auto map = std::make_shared<FrameCheckStreetMap>(isDay, isRotated);
    map->Show(rect);
    return map;
}

// A language library holding the bundle, loaded from a device root of its own.
struct FrameCheckLanguage {
    explicit FrameCheckLanguage(const platform::ResourceBundle& bundle) {
        if (root.WriteFile(u"\\Windows\\LangEngCE.dll", testdata::WriteResourceBundle(bundle)))
            module = LoadLibraryW(u"LangEngCE.dll");
    }
    ~FrameCheckLanguage() { FreeLibrary(module); }
    FrameCheckLanguage(const FrameCheckLanguage&) = delete;
    FrameCheckLanguage& operator=(const FrameCheckLanguage&) = delete;
    testdata::TempDeviceRoot root;
    HMODULE module = nullptr;
};

platform::ResourceBundle MenuBarBundle() {
    platform::ResourceBundle bundle;
    bundle.menuBars = {101};
    return bundle;
}

// The shell's empty menu bar of a window, from a language library that holds it.
struct FrameCheckMenuBar {
    explicit FrameCheckMenuBar(HWND window) {
        bar.hwndParent = window;
        bar.hInstRes = language.module;
        EXPECT_TRUE(SHCreateMenuBar(&bar));
    }
    ~FrameCheckMenuBar() { DestroyWindow(bar.hwndMB); }
    FrameCheckLanguage language{MenuBarBundle()};
    SHMENUBARINFO bar{36, nullptr, SHCMBF_EMPTYBAR, 101, nullptr, 0, 0, nullptr, 0};
};

constexpr UINT kFrameCheckFaceId = 890;

// A button face of the skin: a 4 by 4 plate whose corners are the key colour.
platform::ResourceBundle KeyedFaceBundle() {
    platform::ResourceBundle bundle;
    bundle.bitmaps[kFrameCheckFaceId] = testdata::WriteKeyedPlate(4, 4, 0x1E5778);
    return bundle;
}

// A skinned button at (20, 30) of the window, its face drawn as the skin means it (the key colour
// transparent) or with the key colour as a colour.
struct FrameCheckKeyedButton {
    FrameCheckKeyedButton(HWND window, bool isTransparent)
        : button(kFrameCheckFaceId, false, isTransparent, 0) {
        platform::SetResourceInstance(language.module);
        CreateWindowExW(0, WindowClassRegistry::ClassName(), u"", WS_CHILD | WS_VISIBLE, 20, 30, 4,
                        4, window, reinterpret_cast<HMENU>(UINT_PTR{kFrameCheckFaceId}), nullptr,
                        &button.GetHandle());
    }
    ~FrameCheckKeyedButton() {
        DestroyWindow(button.GetWindow());
        platform::SetResourceInstance(previous);
    }
    HINSTANCE previous = platform::ResourceInstance();
    FrameCheckLanguage language{KeyedFaceBundle()};
    BitmapButton button;
};

// A frame passes when the screen is what its windows paint, and the bare screen where none lies;
// pixels no paint accounts for fail it, naming the first rectangle where they lie, and so do pixels
// of a shown window that no window paints (the repaint starts from a screen of a colour no window
// uses), and so do pixels of the colour the skin's bitmaps key out. A text shown on a colour it
// contrasts with less than 3:1 fails it too, drawn straight onto the screen or into a bitmap
// blitted there; a disabled button's greyed caption does not, nor a map label measured against its
// halo. A row's change gets the white window and returns what it made, kept to the check.
TEST(ScenarioFrameCheck, NamesTheFirstRectangleThatNoPaintAccountsFor) {
    platform::SetScreenSize(240, 320);
    platform::KeepDrawnTexts(true);
    static const FrameCheckLabel kPale{RGB(255, 255, 255), RGB(255, 255, 200), false};
    static const FrameCheckLabel kPaleBlitted{RGB(255, 255, 255), RGB(255, 255, 200), true};
    static const FrameCheckLabel kTeal{RGB(255, 255, 255), RGB(18, 138, 178), false};
    static const FrameCheckLabel kGreyed{kSkinDisabledText, RGB(255, 255, 255), false};
    static const FrameCheckLabel kShield{RGB(255, 255, 255), RGB(0, 255, 0), false};
    const struct {
        const char* name;
        std::function<std::shared_ptr<void>(HWND)> change;
        const char* problem;
    } cases[] = {
        {"painted as asked", [](HWND) { return nullptr; }, ""},
        {"drawn over outside a paint, twice",
         [](HWND) {
             HDC screen = GetDC(nullptr);
             for (const RECT& r : {RECT{30, 40, 50, 60}, RECT{10, 200, 20, 210}})
                 FillRect(screen, &r, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
             ReleaseDC(nullptr, screen);
             return nullptr;
         },
         "the frame differs from the screen repainted whole in (30, 40) - (50, 60)"},
        // Below the window lies the bare screen.
        {"drawn on the bare screen",
         [](HWND) {
             HDC screen = GetDC(nullptr);
             const RECT r{10, 305, 20, 315};
             FillRect(screen, &r, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
             ReleaseDC(nullptr, screen);
             return nullptr;
         },
         "the frame differs from the screen repainted whole in (10, 305) - (20, 315)"},
        // Shown over the white window, it keeps the white: only the fill tells it paints nothing.
        {"a window that paints nothing",
         [](HWND) {
             return std::shared_ptr<void>(MakeBlankPopup(RECT{30, 40, 50, 60}),
                                          [](HWND blank) { DestroyWindow(blank); });
         },
         "painted by no window in (30, 40) - (50, 60)"},
        // Every pixel of a pick list is its own, its edit field's or its button's, on a window
        // that leaves its children out of its own paint.
        {"a pick list",
         [](HWND window) {
             SetWindowLongW(window, GWL_STYLE, GetWindowLongW(window, GWL_STYLE) | WS_CLIPCHILDREN);
             auto list = std::make_shared<CustomComboBox>(window, 7, kSkinBackground, 0);
             MoveWindow(list->GetWindow(), 20, 30, 200, 20, TRUE);
             return std::shared_ptr<void>(list);
         },
         ""},
        // The shell's bar at the screen's foot paints its own rows.
        {"the menu bar",
         [](HWND window) {
             return std::shared_ptr<void>(std::make_shared<FrameCheckMenuBar>(window));
         },
         ""},
        {"white on a pale plate",
         [](HWND) {
             return MakeLabelPopup(RECT{60, 20, 180, 50}, kPale);
         },
         "the text \"1.6km\" in RGB(255, 255, 255) on RGB(255, 255, 200) cannot be read: "
         "contrast 1.03:1, want 3:1"},
        {"white on a pale plate blitted from a bitmap",
         [](HWND) {
             return MakeLabelPopup(RECT{60, 20, 180, 50}, kPaleBlitted);
         },
         "the text \"1.6km\" in RGB(255, 255, 255) on RGB(255, 255, 200) cannot be read: "
         "contrast 1.03:1, want 3:1"},
        // 3.96:1
        {"white on a teal plate",
         [](HWND) {
             return MakeLabelPopup(RECT{60, 20, 180, 50}, kTeal);
         },
         ""},
        // A pair of colours the design fixes: 1.37:1.
        {"a road-number shield in white on green",
         [](HWND) {
             return MakeLabelPopup(RECT{60, 20, 180, 50}, kShield);
         },
         ""},
        // Light text on its dark halo by night, dark on light by day, along a line or across.
        {"a street label with its halo by day",
         [](HWND) {
             return MakeStreetMapPopup(RECT{0, 20, 240, 170}, true, false);
         },
         ""},
        {"a rotated street label with its halo by day",
         [](HWND) {
             return MakeStreetMapPopup(RECT{0, 20, 240, 170}, true, true);
         },
         ""},
        {"a street label with its halo by night",
         [](HWND) {
             return MakeStreetMapPopup(RECT{0, 20, 240, 170}, false, false);
         },
         ""},
        {"a rotated street label with its halo by night",
         [](HWND) {
             return MakeStreetMapPopup(RECT{0, 20, 240, 170}, false, true);
         },
         ""},
        // The round corners of a button's plate, in the colour the skin keys out.
        {"a button face with its key colour drawn as a colour",
         [](HWND window) {
             return std::shared_ptr<void>(std::make_shared<FrameCheckKeyedButton>(window, false));
         },
         "the skin's key colour RGB(255, 0, 255) shows in (20, 30) - (24, 31)"},
        {"a button face with its key colour transparent",
         [](HWND window) {
             return std::shared_ptr<void>(std::make_shared<FrameCheckKeyedButton>(window, true));
         },
         ""},
        // A disabled field keeps its text readable, greyed.
        {"a disabled edit field",
         [](HWND window) {
             auto edit = std::make_shared<CustomEdit>(window, 8, kSkinBackground, 0);
             MoveWindow(edit->GetWindow(), 20, 30, 100, 20, TRUE);
             SetWindowTextW(edit->GetWindow(), u"38");
             EnableWindow(edit->GetWindow(), FALSE);
             return std::shared_ptr<void>(edit);
         },
         ""},
        // 1.8:1, in a window that is disabled.
        {"a greyed caption",
         [](HWND) {
             std::shared_ptr<void> popup = MakeLabelPopup(RECT{60, 20, 180, 50}, kGreyed);
             EnableWindow(static_cast<HWND>(popup.get()), FALSE);
             return popup;
         },
         ""},
    };
    platform::ScreenDriver driver;
    std::vector<std::uint32_t> shown;
    std::vector<std::uint32_t> repainted;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        HWND window = repaintcheck::MakeFilledPopup(RECT{0, 0, 240, 300}, WHITE_BRUSH);
        // The check leaves what an earlier row drew: each row starts from a whole paint.
        ASSERT_TRUE(platform::RepaintShownWindowsNow());
        std::shared_ptr<void> made = c.change(window);
        ASSERT_TRUE(driver.RunUntilIdle());
        int width = 0;
        int height = 0;
        ASSERT_TRUE(platform::ReadScreenPixels(nullptr, &shown, &width, &height));
        EXPECT_EQ(CompareWithWholeRepaint(shown, width, repainted), c.problem);
        std::vector<std::uint32_t> after;
        ASSERT_TRUE(platform::ReadScreenPixels(nullptr, &after, &width, &height));
        EXPECT_EQ(platform::FirstDifference(shown, after, width), std::nullopt)
            << "the check leaves the screen as it found it";
        made.reset();
        DestroyWindow(window);
    }
    platform::KeepDrawnTexts(false);
}

} // namespace
