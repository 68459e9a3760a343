#include "app/settings/presettingssheet.h"

#include "app/startup/voicepointer.h"
#include "ui/shellhelpers.h"
#include "utilities/usefulcode/apppaths.h"
#include "utilities/usefulcode/windowhandle.h"

#include "platform/window/input.h"
#include "platform/window/message.h"
#include "platform/window/shell.h"
#include "platform/window/window.h"

#include <new>

namespace {

// A page that cannot be allocated stays null.
template <class Page, class... Args> std::unique_ptr<Page> MakePage(Args&&... args) {
    return std::unique_ptr<Page>(new (std::nothrow) Page(std::forward<Args>(args)...));
}

} // namespace

PresettingsSheet::PresettingsSheet(const PreferencesRecord& record,
                                   ApplicationInterface* application, HWND owner,
                                   std::vector<int> ports)
    : m_record(record)
    , m_application(application)
    , m_owner(owner) {
    m_navig = MakePage<NavigPage>(this, record.arrowMode != 0, record.alwaysNorth != 0,
                                  record.poiInNavigation != 0, record.streetDisplay != 0);
    m_map = MakePage<MapPage>(this, record.showLastMap, record.poiInMapModes != 0);
    m_gps = MakePage<GpsConf>(this, record.comPort, record.tmcReceiver != 0, std::move(ports));
    m_log = MakePage<LogPage>(this, record.nav != 0, record.moveMap != 0);
    m_volume = MakePage<VolCntr>(this, record.volumeFlag1, record.volumeFlag2, record.volume,
                                 GetVoiceOutput());
    m_format = MakePage<FormatPage>(this, record.kilometres != 0, record.twelveHourClock != 0);
}

PresettingsSheet::~PresettingsSheet() {
    m_format.reset();
    m_volume.reset();
    m_log.reset();
    m_gps.reset();
    m_map.reset();
    m_navig.reset();
}

SettingsPage* PresettingsSheet::GetPage(int index) const {
    switch (index) {
    case 0:
        return m_navig.get();
    case 1:
        return m_map.get();
    case 2:
        return m_gps.get();
    case 3:
        return m_log.get();
    case 4:
        return m_volume.get();
    case 5:
        return m_format.get();
    default:
        return nullptr;
    }
}

void PresettingsSheet::Start() {
    if (m_navig) {
        ShowPageWindow(m_navig->GetPageHandle(), true);
    }
}

void PresettingsSheet::ShowHelp() {
    OpenHelpFile(u"ZU_Deridivira.htm#Presettings");
}

void PresettingsSheet::ShowPage(int index) {
    const ScopedWaitCursor wait;
    if (index == -1) {
        // The first visible page in this order comes to the front.
        for (const int candidate : {0, 2, 1, 3, 4, 5}) {
            SettingsPage* page = GetPage(candidate);
            HWND window = page != nullptr ? page->GetHwnd() : nullptr;
            if (window != nullptr && IsWindowVisible(window)) {
                SendMessageW(window, WM_ACTIVATE, 0x10001, reinterpret_cast<LPARAM>(window));
                SetForegroundWindow(window);
                return;
            }
        }
        return;
    }
    if (index < 0 || index >= kPageCount) {
        return;
    }
    if (SettingsPage* shown = GetPage(index)) {
        ShowPageWindow(shown->GetPageHandle(), true);
    }
    for (int other = 0; other < kPageCount; ++other) {
        SettingsPage* page = GetPage(other);
        if (other != index && page != nullptr && page->GetHwnd() != nullptr) {
            ShowPageWindow(page->GetPageHandle(), false);
        }
    }
}

void PresettingsSheet::Refill() {
    const auto flag = [](bool value) -> BYTE { return value ? 1 : 0; };
    if (m_navig) {
        m_record.poiInNavigation = flag(m_navig->GetPoi());
        m_record.arrowMode = flag(m_navig->GetArrow());
        m_record.alwaysNorth = flag(m_navig->GetNorth());
        m_record.streetDisplay = flag(m_navig->GetStreets());
    }
    if (m_map) {
        m_record.poiInMapModes = flag(m_map->GetPoi());
        m_record.showLastMap = m_map->GetShowLastMap();
    }
    if (m_gps) {
        m_record.tmcReceiver = flag(m_gps->GetTmcReceiver());
        m_record.comPort = m_gps->GetPort();
    }
    if (m_log) {
        m_record.nav = flag(m_log->GetNavigation());
        m_record.moveMap = flag(m_log->GetMovingMap());
    }
    if (m_volume) {
        m_record.volume = m_volume->GetVolume();
    }
    if (m_format) {
        m_record.kilometres = flag(m_format->GetKilometres());
        m_record.twelveHourClock = flag(m_format->GetTwelveHours());
    }
}

void PresettingsSheet::Close(bool apply) {
    if (apply) {
        Refill();
    }
    if (m_application != nullptr) {
        m_application->NotifyModeClosed(apply);
    }
}

void InstallPresettingsSheet() {
    GetShellFactories().presettings = [](const ModeContext& context, const std::vector<int>& ports,
                                         const PreferencesRecord& record) {
        return std::unique_ptr<PresettingsSheetController>(new (std::nothrow) PresettingsSheet(
            record, context.application, context.mainWindow, ports));
    };
}
