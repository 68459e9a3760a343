#include "testdata/bitmapwriter.h"
#include "testdata/emfwriter.h"
#include "testdata/golden.h"
#include "ui/bitmapbutton.h"
#include "ui/textface.h"

#include "platform/gdi/text.h"
#include "platform/shell/resources.h"
#include "platform/window/message.h"
#include "platform/window/paint.h"
#include "platform/window/testdriver.h"
#include "platform/window/tests/windowtesting.h"
#include "platform/window/window.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

const std::filesystem::path kTestFont = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
constexpr UINT kFacesId = 2100;       // the three faces: id, id + 1, id + 3
constexpr UINT kGoldenKeyedId = 2110; // kinds 0 and 1; kind 1 keys out its magenta corners
constexpr std::uint32_t kKey = 0xFF00FF;
constexpr int kRows = 9;
constexpr int kStates = 4;

// An 8 x 6 picture: a rim of one colour around another, magenta corners.
std::vector<std::uint8_t> Framed(std::uint32_t rim, std::uint32_t inside) {
    testdata::BitmapSpec spec;
    spec.width = 8;
    spec.height = 6;
    for (int y = 0; y < spec.height; ++y) {
        for (int x = 0; x < spec.width; ++x) {
            const bool isEdgeX = x == 0 || x == spec.width - 1;
            const bool isEdgeY = y == 0 || y == spec.height - 1;
            spec.pixels.push_back(isEdgeX && isEdgeY ? kKey : isEdgeX || isEdgeY ? rim : inside);
        }
    }
    return testdata::WriteBitmapFile(spec);
}

// A button whose face is the skin folder's metafile "Skin.emf", drawn like any face of a
// bitmap button in the button's state.
class MetafileButton : public BitmapButton {
public:
    explicit MetafileButton(UINT id)
        : BitmapButton(id, 2)
        , face_(CreateSkinBitmap(u"Skin.emf")) {}
    void OnPaint() override {
        PAINTSTRUCT paint{};
        HDC dc = BeginPaint(GetWindow(), &paint);
        RECT client{};
        GetClientRect(GetWindow(), &client);
        if (face_ != nullptr)
            face_->DrawWithText(dc, client, u"", GetStateIndex());
        EndPaint(GetWindow(), &paint);
    }

private:
    std::unique_ptr<SkinBitmap> face_;
};

// A page of the screen's size in the skin background: one row of buttons per face, one column
// per state (0 normal, 1 on, 2 focused, 3 disabled).
class ButtonGolden : public testing::TestWithParam<SIZE> {
protected:
    void SetUp() override {
        platform::SetScreenSize(GetParam().cx, GetParam().cy);
        platform::SetFontFile(kTestFont);
        platform::ResourceBundle bundle;
        bundle.bitmaps[kFacesId] = Framed(0xFFFFFF, 0x2060C0);
        bundle.bitmaps[kFacesId + 1] = Framed(0xFFFFFF, 0xF4AF06);
        bundle.bitmaps[kFacesId + 3] = Framed(0xC0C0C0, 0x6E6E6E);
        bundle.bitmaps[kGoldenKeyedId] = Framed(0x102040, 0x3C7CB8);
        module_ = windowtesting::LoadLanguage(root_, bundle);
        ASSERT_NE(module_, nullptr);
        platform::SetResourceInstance(module_);
        ASSERT_TRUE(
            root_.WriteFile(GetSkinFolder() + u"Skin.emf", testdata::SampleSkinPicture().Build()));
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = &windowtesting::RecordingProcedure;
        windowClass.hbrBackground = PageBrush();
        windowClass.lpszClassName = u"ButtonGoldenPage";
        (void)RegisterClassW(&windowClass);
        page_ = CreateWindowExW(0, u"ButtonGoldenPage", u"", WS_POPUP | WS_VISIBLE, 0, 0,
                                GetParam().cx, GetParam().cy, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(page_, nullptr);
        LOGFONTW description{};
        description.lfHeight = -GetParam().cy / 26; // 12 pixels on the small screen
        description.lfQuality = NONANTIALIASED_QUALITY;
        font_ = CreateFontIndirectW(&description);
        driver_.RunUntilIdle(); // the page's background before any button
    }
    void TearDown() override {
        buttons_.clear();
        DestroyWindow(page_);
        DeleteObject(font_);
        platform::SetResourceInstance(nullptr);
        FreeLibrary(module_);
        platform::SetFontFile({});
        platform::SetScreenSize(240, 320);
        windowtesting::ClearLog();
    }

    // The class keeps its brush, so it stays for the process.
    static HBRUSH PageBrush() {
        static HBRUSH brush = CreateSolidBrush(kSkinBackground);
        return brush;
    }

    HWND Place(std::unique_ptr<BitmapButton> button, int row, int column, LPCWSTR caption) {
        const int cellWidth = GetParam().cx / kStates;
        const int cellHeight = GetParam().cy / kRows;
        const int margin = cellHeight / 16;
        CreateWindowExW(0, WindowClassRegistry::ClassName(), caption, WS_CHILD | WS_VISIBLE,
                        column * cellWidth + margin, row * cellHeight + margin,
                        cellWidth - 2 * margin, cellHeight - 2 * margin, page_,
                        reinterpret_cast<HMENU>(std::uintptr_t{1000u + row}), nullptr,
                        &button->GetHandle());
        HWND window = button->GetWindow();
        SendMessageW(window, WM_SETFONT, reinterpret_cast<WPARAM>(font_), 0);
        buttons_.push_back(std::move(button));
        driver_.RunUntilIdle();
        return window;
    }

    testdata::TempDeviceRoot root_;
    HMODULE module_{};
    HWND page_{};
    HFONT font_{};
    platform::ScreenDriver driver_;
    std::vector<std::unique_ptr<BitmapButton>> buttons_;
};

TEST_P(ButtonGolden, EveryFaceKindInEveryState) {
    struct Row {
        std::function<std::unique_ptr<BitmapButton>()> make;
        LPCWSTR caption;
    };
    const Row rows[kRows] = {
        {[] { return std::make_unique<BitmapButton>(kFacesId, false, true, 0); }, u""},
        {[] { return std::make_unique<BitmapButton>(kGoldenKeyedId, 0); }, u"Hidden"},
        {[] { return std::make_unique<BitmapButton>(kGoldenKeyedId, 1); }, u"Map"},
        {[] { return std::make_unique<BitmapButton>(kGoldenKeyedId, 2); }, u"Two\r\nlines"},
        {[] { return std::make_unique<BitmapButton>(kGoldenKeyedId, 3); }, u"Route"},
        {[] { return std::make_unique<BitmapButton>(kGoldenKeyedId, 5); }, u"On"},
        {[] { return std::make_unique<BitmapButton>(kGoldenKeyedId, 7); }, u"Next"},
        {[] { return std::make_unique<BitmapButton>(kGoldenKeyedId, 8); }, u"Right"},
        {[] { return std::make_unique<MetafileButton>(kGoldenKeyedId); }, u""},
    };
    for (int row = 0; row < kRows; ++row) {
        for (int state = 0; state < kStates; ++state) {
            std::unique_ptr<BitmapButton> owned = rows[row].make();
            BitmapButton* button = owned.get();
            HWND window = Place(std::move(owned), row, state, rows[row].caption);
            if (state == 1) {
                button->SetState(1);
            } else if (state == 2) {
                // The focus notice alone: the focus itself can hold one window only, and the
                // picture shows a whole column focused.
                SendMessageW(window, WM_SETFOCUS, 0, 0);
            } else if (state == 3) {
                // The button does not repaint itself when disabled; its page redraws it.
                EnableWindow(window, FALSE);
                InvalidateRect(window, nullptr, FALSE);
            }
            ASSERT_EQ(button->GetStateIndex(), state) << row;
        }
    }
    driver_.RunUntilIdle();
    const std::string name =
        "buttons-" + std::to_string(GetParam().cx) + "x" + std::to_string(GetParam().cy);
    EXPECT_TRUE(testdata::WindowMatchesGolden(page_, NAV_UI_DIR, name));
}

INSTANTIATE_TEST_SUITE_P(ScreenSizes, ButtonGolden, testing::Values(SIZE{240, 320}, SIZE{480, 640}),
                         [](const testing::TestParamInfo<SIZE>& info) {
                             return std::to_string(info.param.cx) + "x" +
                                    std::to_string(info.param.cy);
                         });

} // namespace
