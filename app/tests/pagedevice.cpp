#include "app/tests/pagedevice.h"

#include "testdata/resourcebundlewriter.h"
#include "utilities/usefulcode/apppaths.h"
#include "utilities/usefulcode/messagemap.h"

#include "platform/files/modules.h"
#include "platform/gdi/screenshot.h"
#include "platform/kernel/debug.h"
#include "platform/shell/modulepath.h"
#include "platform/shell/resources.h"
#include "platform/window/input.h"
#include "platform/window/message.h"
#include "platform/window/window.h"

#include <algorithm>
#include <memory>
#include <utility>

namespace apptesting {

namespace {

constexpr WPARAM kActivatedByPage = 0x10001;

} // namespace

ShownTmcDialog::ShownTmcDialog() {
    ConnectMessageHandler(m_handle.map, WM_ACTIVATE, this, &ShownTmcDialog::OnActivate);
    (void)CreateWindowExW(0, WindowClassRegistry::ClassName(), u"TMC", WS_POPUP | WS_VISIBLE, 0, 0,
                          10, 10, nullptr, nullptr, nullptr, &m_handle);
}

void ShownTmcDialog::Show() {
    ShowWindow(m_handle.window, SW_SHOW);
}

void ShownTmcDialog::OnActivate(UINT, WPARAM wParam, LPARAM, LRESULT*, bool*) {
    if (wParam == kActivatedByPage)
        ++m_pageActivations;
}

TmcPageSeen ActivateOverTmcPage(HWND page, bool tmcPageShown) {
    auto dialog = std::make_unique<ShownTmcDialog>();
    const ShownTmcDialog& tmcPage = *dialog;
    HWND tmcWindow = tmcPage.GetHwnd();
    if (!tmcPageShown)
        ShowWindow(tmcWindow, SW_HIDE);
    TmcMonitor::Instance().SetDialog(std::move(dialog));
    SetForegroundWindow(page);
    const TmcPageSeen seen{tmcPage.GetPageActivations(),
                           tmcWindow != nullptr && GetForegroundWindow() == tmcWindow};
    TmcMonitor::Instance().SetDialog(nullptr);
    return seen;
}

bool ShowsColour(HWND window, COLORREF colour) {
    RECT rect{};
    GetWindowRect(window, &rect);
    std::vector<std::uint32_t> pixels;
    int width = 0;
    int height = 0;
    if (!platform::ReadScreenPixels(&rect, &pixels, &width, &height))
        return false;
    // The screen holds 0xRRGGBB, a COLORREF 0xBBGGRR.
    const std::uint32_t wanted =
        ((colour & 0xFF) << 16) | (colour & 0xFF00) | ((colour >> 16) & 0xFF);
    return std::find(pixels.begin(), pixels.end(), wanted) != pixels.end();
}

HMODULE InstallPageDevice(testdata::TempDeviceRoot& root, const platform::ResourceBundle& bundle,
                          const char* layoutFile) {
    platform::SetExecutablePath(u"\\Nav\\nav.exe");
    if (!root.WriteFile(u"\\Windows\\LangEngCE.dll", testdata::WriteResourceBundle(bundle))) {
        OutputDebugStringW(u"page device: \\Windows\\LangEngCE.dll cannot be written\n");
        return nullptr;
    }
    HMODULE module = LoadLibraryW(u"LangEngCE.dll");
    if (module == nullptr) {
        OutputDebugStringW(u"page device: LangEngCE.dll does not load\n");
        return nullptr;
    }
    platform::SetResourceInstance(module);
    const auto layout = testdata::ReadHostFile(layoutFile);
    if (!layout || !root.WriteFile(AppPaths::GetScreenDescFilePath(), *layout)) {
        OutputDebugStringW(u"page device: the screen layout cannot be read or written\n");
        RemovePageDevice(module);
        return nullptr;
    }
    return module;
}

void RemovePageDevice(HMODULE module) {
    platform::SetResourceInstance(nullptr);
    if (module != nullptr)
        (void)FreeLibrary(module);
    platform::SetExecutablePath(u"");
}

std::vector<std::u16string> ComboBoxTexts(HWND combo) {
    std::vector<std::u16string> texts;
    const auto count = static_cast<int>(SendMessageW(combo, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        char16_t buffer[256] = {};
        SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(buffer));
        texts.emplace_back(buffer);
    }
    return texts;
}

} // namespace apptesting
