#pragma once
// The presettings sheet: owns the six pages (NavigPage, MapPage, GpsConf, LogPage, VolCntr,
// FormatPage) and a copy of the preferences record, which it refills from the pages on OK. The
// main window opens it with its command 440 (through the shell's presettings factory) and reads
// the record back when the sheet reports its closing. User-interface thread only.

#include "app/settings/presettingspages.h"
#include "app/settings/volcntr.h"
#include "app/startup/shellinterfaces.h"

#include <memory>
#include <vector>

class PresettingsSheet : public PresettingsSheetController, public SettingsSheet {
public:
    static constexpr int kPageCount = 6;

    // ports: the COM port numbers GpsConf offers. application and owner are not owned.
    PresettingsSheet(const PreferencesRecord& record, ApplicationInterface* application, HWND owner,
                     std::vector<int> ports);
    ~PresettingsSheet() override;

    // PresettingsSheetController: Start shows NavigPage; ReActivate(page) is ShowPage(page);
    // Deactivate does nothing.
    void Start() override;
    void Deactivate() override {}
    void ReActivate(int page) override { ShowPage(page); }
    [[nodiscard]] PreferencesRecord GetPreferences() override { return m_record; }
    void ShowHelp() override;
    // SettingsSheet
    void Close(bool apply) override;
    void ShowPage(int index) override;

    // The page of index 0 to 5 in the combo's order; null for another index or a page that
    // could not be made.
    [[nodiscard]] SettingsPage* GetPage(int index) const;
    // The main window the sheet was opened over.
    [[nodiscard]] HWND GetOwner() const { return m_owner; }

private:
    void Refill();

    // In the combo's order: NavigPage, MapPage, GpsConf, LogPage, VolCntr, FormatPage.
    std::unique_ptr<NavigPage> m_navig;
    std::unique_ptr<MapPage> m_map;
    std::unique_ptr<GpsConf> m_gps;
    std::unique_ptr<LogPage> m_log;
    std::unique_ptr<VolCntr> m_volume;
    std::unique_ptr<FormatPage> m_format;
    PreferencesRecord m_record;
    ApplicationInterface* m_application;
    HWND m_owner;
};

// Installs the sheet as the shell's presettings factory.
void InstallPresettingsSheet();
