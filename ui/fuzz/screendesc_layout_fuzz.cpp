// Feeds arbitrary bytes, from memory, as the screen description to either a page or a dialog.
// The first byte chooses the run, the rest is the description:
//   bit 0  clear: a page of section "Page" with the title area and, of the controls of fixed
//          entry names, the label, the logo and both indicators, those the section names,
//          resized; set: a dialog of section "Dlg" with a text and a button, run modally until
//          its OK
//   bit 1  clear: a 480 x 640 screen; set: 240 x 320
//   bit 2  clear: laid out only (the page stays hidden, the dialog ends from WM_INITDIALOG
//          before it shows); set: shown and painted until idle
// One run per input, and only the windows its description asks for, keep the work and the
// covered code per input small; the device root and the window classes stay for the whole
// process.
#include "testdata/tempdir.h"
#include "ui/dialogbase.h"
#include "ui/pagebase.h"
#include "utilities/usefulcode/apppaths.h"
#include "utilities/usefulcode/iniprofile.h"
#include "utilities/usefulcode/screendesc.h"
#include "utilities/usefulcode/windowhandle.h"

#include "platform/window/input.h"
#include "platform/window/message.h"
#include "platform/window/testdriver.h"
#include "platform/window/window.h"

#include <cstdint>
#include <string_view>
#include <vector>

namespace {

constexpr std::uint8_t kDialogRun = 1;
constexpr std::uint8_t kSmallScreen = 2;
constexpr std::uint8_t kPainted = 4;
constexpr INT kNoEntryKind = 9; // ScreenDescItem::kind of a missing or empty entry

bool Names(LPCWSTR entry) {
    return ScreenDesc::GetRectAndFlag(u"Page", entry).kind != kNoEntryKind;
}

class FuzzPage : public PageBase {
public:
    FuzzPage()
        : PageBase(u"Page") {}
    UINT GetTitleId() override { return 1; }
};

// Ends itself as soon as it is set up when it is not to be painted.
class FuzzDialog : public DialogBase {
public:
    explicit FuzzDialog(bool isPainted)
        : DialogBase(u"Dlg")
        , m_isPainted(isPainted) {}
    BOOL OnInitDialog() override {
        const BOOL result = DialogBase::OnInitDialog();
        if (!m_isPainted)
            EndModal(1);
        return result;
    }

private:
    bool m_isPainted;
};

void RunPage(int width, int height, bool isPainted) {
    FuzzPage page;
    const DWORD style = WS_POPUP | (isPainted ? WS_VISIBLE : 0);
    if (CreateWindowExW(0, WindowClassRegistry::ClassName(), u"", style, 0, 0, width, height,
                        nullptr, nullptr, nullptr, &page.GetPageHandle()) == nullptr)
        return;
    UINT id = 100;
    for (const char16_t* name : {u"A", u"B", u"C", u"D", u"E", u"F", u"G", u"H"})
        page.CreateControl(name, id++, true, false, 0, 0);
    if (Names(u"L"))
        page.CreateLabel(u"L", id, 0xFFFFFF, kTransparentBackground);
    if (Names(u"RealLOGO"))
        page.CreateLogoBox();
    if (Names(u"RealGPS"))
        page.CreateGpsIndicator();
    if (Names(u"RealTMC"))
        page.CreateTmcIndicator();
    page.AddArea(u"Area", 7);
    SendMessageW(page.GetHwnd(), WM_SIZE, 0, MAKELPARAM(width, height));
    if (isPainted)
        InvalidateRect(page.GetHwnd(), nullptr, TRUE);
    // Hidden windows get no WM_PAINT; this only delivers what the layout posted.
    platform::ScreenDriver driver;
    (void)driver.RunUntilIdle(2000);
}

void RunDialog(bool isPainted) {
    FuzzDialog dialog(isPainted);
    dialog.AddText(u"T", 1);
    dialog.AddButton(u"B", 1);
    platform::ScreenDriver driver;
    // The OK a shown dialog waits for; one that ended itself never idles in its loop.
    driver.PlayWhenIdle(
        {platform::ScriptStep::Run([] { PostMessageW(GetActiveWindow(), WM_COMMAND, 1, 0); })});
    (void)dialog.DoModal(nullptr);
    (void)driver.RunUntilIdle(2000);
}

} // namespace

// Every input touches many thousands of features, most of them seen in only some runs (page or
// dialog, painted or not). Until a feature was seen 255 times libFuzzer keeps it in its list of
// rare ones and looks each touched feature up in that list, which made the bookkeeping cost
// more than the run itself; a lower threshold keeps the list short. Given first, so that the
// same option on the command line still wins.
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    static char threshold[] = "-entropic_feature_frequency_threshold=32";
    static std::vector<char*> arguments;
    arguments.assign(*argv, *argv + *argc);
    arguments.insert(arguments.begin() + (arguments.empty() ? 0 : 1), threshold);
    arguments.push_back(nullptr);
    *argc = static_cast<int>(arguments.size() - 1);
    *argv = arguments.data();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static auto* root = new testdata::TempDeviceRoot; // one device for the whole run
    (void)root;
    if (size == 0)
        return 0;
    const std::uint8_t mode = data[0];
    const bool isSmall = (mode & kSmallScreen) != 0;
    const int width = isSmall ? 240 : 480;
    const int height = isSmall ? 320 : 640;
    platform::SetScreenSize(width, height);
    const std::u16string path = AppPaths::GetScreenDescFilePath();
    IniProfile::PreloadText(path.c_str(),
                            std::string_view(reinterpret_cast<const char*>(data + 1), size - 1));
    if ((mode & kDialogRun) != 0)
        RunDialog((mode & kPainted) != 0);
    else
        RunPage(width, height, (mode & kPainted) != 0);
    return 0;
}
