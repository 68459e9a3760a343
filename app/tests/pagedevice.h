#pragma once
// The device the page tests run on: the program path, a language bundle loaded as the resource
// instance and the screen layout file; a stand-in for the TMC message page; and what the tests
// read back: the texts of a combo box's list, the colours on a window. User-interface thread.

#include "testdata/tempdir.h"
#include "ui/tmcmonitor.h"
#include "utilities/usefulcode/ownerhandlerlist.h"
#include "utilities/usefulcode/windowhandle.h"

#include "platform/shell/resourcebundle.h"
#include "platform/types.h"

#include <string>
#include <string_view>
#include <vector>

namespace apptesting {

// The TMC message page as the pages see it: a visible window of its own, made at once. It counts
// the WM_ACTIVATE messages a page sends it with wParam 0x10001.
class ShownTmcDialog final : public TmcMessageDialog {
public:
    ShownTmcDialog();
    void SetData(const std::vector<std::u16string>&, const std::vector<UINT>&) override {}
    void SetStatusText(std::u16string_view) override {}
    [[nodiscard]] HWND GetHwnd() const override { return m_handle.window; }
    void Show() override;
    void Close() override { m_handle.Destroy(); }
    [[nodiscard]] int GetPageActivations() const { return m_pageActivations; }
    [[nodiscard]] OwnerHandlerList& GetOwnerHandlerList() { return m_handlers; }

private:
    void OnActivate(UINT, WPARAM wParam, LPARAM, LRESULT*, bool*);

    OwnerHandlerList m_handlers;
    WindowHandle m_handle;
    int m_pageActivations = 0;
};

// What the TMC message page saw of a page's activation.
struct TmcPageSeen {
    int pageActivations = 0; // WM_ACTIVATE with 0x10001
    bool inFront = false;    // the foreground window afterwards
};
// Activates the page (SetForegroundWindow) while a ShownTmcDialog, shown or hidden, is the TMC
// monitor's dialog; the monitor has no dialog afterwards.
[[nodiscard]] TmcPageSeen ActivateOverTmcPage(HWND page, bool tmcPageShown);

// Whether any pixel of the window's screen rectangle has the colour.
[[nodiscard]] bool ShowsColour(HWND window, COLORREF colour);

// Sets the program path to "\Nav\nav.exe", writes bundle to "\Windows\LangEngCE.dll" under root,
// loads it as the resource instance and copies the host's layout file to the layout's device
// path. Returns the loaded bundle; null (with a debug line, and nothing left loaded) when a file
// cannot be read, written or loaded. RemovePageDevice undoes it.
[[nodiscard]] HMODULE InstallPageDevice(testdata::TempDeviceRoot& root,
                                        const platform::ResourceBundle& bundle,
                                        const char* layoutFile);
// No resource instance, the bundle freed (module may be null), no program path.
void RemovePageDevice(HMODULE module);

// The texts of the combo box's list, in its order.
[[nodiscard]] std::vector<std::u16string> ComboBoxTexts(HWND combo);

} // namespace apptesting
