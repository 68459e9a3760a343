#pragma once
// What the main menu window offers the modes and pages, and the factories through which it
// makes the modes, the presettings sheet and the map list dialog. A factory left empty, or one
// that returns null, counts as an allocation failure: nothing opens. User-interface thread only.

#include "app/startup/preferences.h"
#include "mapdisplay/mapenginefacade.h"
#include "onboard/onboardserver.h"
#include "positioning/matchedposition.h"
#include "utilities/usefulcode/windowhandle.h"

#include <functional>
#include <memory>
#include <vector>

// The main window's services for the modes and pages.
class ApplicationInterface {
public:
    virtual ~ApplicationInterface() = default;
    // Posts WM_USER+1 to the main window with the flag as wParam.
    virtual void NotifyModeClosed(bool applyPreferences) = 0;
    virtual void Reserved2() {}
    virtual void Reserved3() {}
    // Starts, checks or stops the trip logbook (end: a stop is wanted; interactive: the user is
    // asked) over owner; true when the logbook runs afterwards.
    virtual bool RunLogbookDialog(HWND owner, bool end, bool interactive) = 0;
    // Stops the receiver's reconnect thread, or lets it run again.
    virtual void ControlReconnectThread(bool stop) = 0;
};

// A mode (navigation, tour, moving map) as the main window drives it: its start, deactivation,
// keys and help.
class MenuMode {
public:
    virtual ~MenuMode() = default;
    // Starts the mode, or brings it back (page -1, flag 0) after the main window was activated.
    virtual void Activate(int page, int flag) = 0;
    // Hides the mode's pages; the mode then reports its closing with NotifyModeClosed.
    virtual void Deactivate(void* next) = 0;
    // True once Deactivate ran: only such a mode may be deleted on WM_USER+1.
    [[nodiscard]] virtual bool IsDeactivated() const = 0;
    // An arrow key the main window's hot keys caught (VK_UP, VK_LEFT, VK_DOWN, VK_RIGHT); true
    // when a map the mode shows took it.
    virtual bool OnKey(UINT key) = 0;
    virtual void ShowHelp() = 0;
};

class PresettingsSheetController {
public:
    virtual ~PresettingsSheetController() = default;
    virtual void Start() = 0;
    virtual void Deactivate() = 0;
    virtual void ReActivate(int page) = 0;
    // The record as the pages left it.
    [[nodiscard]] virtual PreferencesRecord GetPreferences() = 0;
    virtual void ShowHelp() = 0;
};

// A framework window run by RunModalWindow until it posts itself WM_CLOSE.
class ModalPage {
public:
    virtual ~ModalPage() = default;
    [[nodiscard]] virtual WindowHandle& GetWindowHandle() = 0;
};

// What a mode is made with.
struct ModeContext {
    Onboard::OnboardServerPtr server;
    const MatchedPosition* lastPosition = nullptr;
    six::RefCntPtr<MapEngineFacade> facade;
    ApplicationInterface* application = nullptr;
    HWND mainWindow = nullptr;
};

struct ShellFactories {
    using ModeFactory = std::function<std::unique_ptr<MenuMode>(const ModeContext&)>;
    ModeFactory navigationMode;
    ModeFactory tourMode;
    ModeFactory movingMapMode;
    // The COM ports 1 to 16 and the current record.
    std::function<std::unique_ptr<PresettingsSheetController>(
        const ModeContext&, const std::vector<int>&, const PreferencesRecord&)>
        presettings;
    std::function<std::unique_ptr<ModalPage>(Onboard::OnboardServerPtr)> mapList;
};

// The process-wide factories; empty until the areas that build those windows install theirs.
[[nodiscard]] ShellFactories& GetShellFactories();
