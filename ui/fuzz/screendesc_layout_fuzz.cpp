// Feeds arbitrary bytes, from memory, as the screen description to a page laid out at 480 x 640
// with controls of fixed entry names, the title area, the logo and both indicators, resized and
// painted until idle, and to a dialog of section "Dlg" run modally until its OK.
#include "testdata/tempdir.h"
#include "ui/dialogbase.h"
#include "ui/pagebase.h"
#include "utilities/usefulcode/apppaths.h"
#include "utilities/usefulcode/iniprofile.h"
#include "utilities/usefulcode/windowhandle.h"

#include "platform/window/input.h"
#include "platform/window/message.h"
#include "platform/window/testdriver.h"
#include "platform/window/window.h"

#include <cstdint>
#include <string_view>

namespace {

class FuzzPage : public PageBase {
public:
    FuzzPage()
        : PageBase(u"Page") {}
    UINT GetTitleId() override { return 1; }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static auto* root = new testdata::TempDeviceRoot; // one device for the whole run
    (void)root;
    static const bool isScreenSet = [] {
        platform::SetScreenSize(480, 640);
        return true;
    }();
    (void)isScreenSet;
    const std::u16string path = AppPaths::GetScreenDescFilePath();
    IniProfile::PreloadText(path.c_str(),
                            std::string_view(reinterpret_cast<const char*>(data), size));
    {
        FuzzPage page;
        if (CreateWindowExW(0, WindowClassRegistry::ClassName(), u"", WS_POPUP | WS_VISIBLE, 0, 0,
                            480, 640, nullptr, nullptr, nullptr, &page.GetPageHandle()) == nullptr)
            return 0;
        UINT id = 100;
        for (const char16_t* name : {u"A", u"B", u"C", u"D", u"E", u"F", u"G", u"H"})
            page.CreateControl(name, id++, true, false, 0, 0);
        page.CreateLabel(u"L", id++, 0xFFFFFF, kTransparentBackground);
        page.CreateLogoBox();
        page.CreateGpsIndicator();
        page.CreateTmcIndicator();
        page.AddArea(u"Area", 7);
        SendMessageW(page.GetHwnd(), WM_SIZE, 0, MAKELPARAM(480, 640));
        InvalidateRect(page.GetHwnd(), nullptr, TRUE);
        platform::ScreenDriver driver;
        (void)driver.RunUntilIdle(2000);
    }
    {
        DialogBase dialog(u"Dlg");
        dialog.AddText(u"T", 1);
        dialog.AddButton(u"B", 1);
        platform::ScreenDriver driver;
        driver.PlayWhenIdle(
            {platform::ScriptStep::Run([] { PostMessageW(GetActiveWindow(), WM_COMMAND, 1, 0); })});
        (void)dialog.DoModal(nullptr);
        (void)driver.RunUntilIdle(2000);
    }
    return 0;
}
