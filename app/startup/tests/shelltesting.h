#pragma once
// Shared by the application shell's tests: the program's files on a temporary device around a
// generated grid database, and a run of WinMain driven by a script of steps played whenever its
// loops wait (modal dialogs included).

#include "app/startup/navapp.h"
#include "testdata/freshprocess.h"
#include "testdata/programfolderwriter.h"
#include "ui/dialogbase.h"

#include "platform/files/modules.h"
#include "platform/kernel/messagebox.h"
#include "platform/shell/resources.h"
#include "platform/window/input.h"
#include "platform/window/message.h"
#include "platform/window/testdriver.h"
#include "platform/window/window.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace shelltesting {

// Runs a whole program run in a fresh process of the test program; with NAV_SHELL_IN_PROCESS
// set, in this one (to see a failure's details while debugging).
template <class Body> void RunIsolated(Body body) {
    if (std::getenv("NAV_SHELL_IN_PROCESS") != nullptr)
        body();
    else
        testdata::RunInFreshProcess(body);
}

// A data folder with one small grid database, or with none.
inline testdata::DataFolderWriter GridData(bool withDatabase = true) {
    testdata::DataFolderWriter data(u"\\Data");
    if (withDatabase) {
        testdata::DataFolderDatabase database;
        database.folder = u"\\Data\\Grid";
        database.world = testdata::RoadWorld::Grid(4, 3, 2000, {1'260'000, 5'300'000});
        database.mapSet.names[0] = "Hauptstrasse";
        database.mapSet.names[1] = "Ringstrasse";
        data.AddDatabase(std::move(database));
    }
    data.Setting("GPS", "AutoLog", "0");
    return data;
}

// The build's six bundles and the demo page layout around the data.
inline testdata::ProgramFolderWriter BuiltProgram(bool withDatabase = true) {
    testdata::ProgramFolderWriter program(GridData(withDatabase));
    program.HostFiles(NAV_LANGUAGES_DIR);
    program.ScreenDescription(testdata::ReadHostFile(NAV_SCREEN_DESC_FILE).value_or(""));
    return program;
}

// What the dialogs shown during a run were: their section and the text of their "Msg".
struct ShownDialog {
    std::u16string section;
    std::u16string text;
};

// Runs WinMain with the script; the steps see the run's record.
class ShellRun {
public:
    using Step = std::function<void(ShellRun&)>;

    explicit ShellRun(std::vector<Step> steps) {
        std::vector<platform::ScriptStep> script;
        for (Step& step : steps) {
            script.push_back(
                platform::ScriptStep::Run([this, step = std::move(step)]() { step(*this); }));
        }
        m_driver.PlayWhenIdle(std::move(script));
        platform::ClearRecordedMessageBoxes();
        exitCode = WinMain(nullptr, nullptr, nullptr, 1);
        boxes = platform::RecordedMessageBoxes();
        ranOutOfScript = m_driver.RanOutOfScript();
    }

    // The main window, found by the application title.
    [[nodiscard]] static HWND MainWindow() { return FindWindowW(nullptr, u"Navigator"); }

    // Records the active dialog and ends it with the command.
    void AnswerDialog(UINT command) {
        HWND window = GetActiveWindow();
        DialogBase* dialog = DialogBase::FromWindow(window);
        ASSERT_NE(dialog, nullptr);
        ShownDialog shown{dialog->GetSection(), {}};
        for (UINT id : {594u, 1101u, 558u, 559u}) {
            if (const DialogItem* item = dialog->FindItem(id))
                shown.text = item->text;
        }
        dialogs.push_back(shown);
        PostMessageW(window, WM_COMMAND, command, 0);
    }

    int exitCode = -1;
    bool ranOutOfScript = false;
    std::vector<platform::MessageBoxRecord> boxes;
    std::vector<ShownDialog> dialogs;
    std::vector<std::u16string> notes;

private:
    platform::ScreenDriver m_driver;
};

// The string of the language library the program loaded.
inline std::u16string LoadedText(UINT id) {
    WCHAR text[128] = {};
    const int length = LoadStringW(platform::ResourceInstance(), id, text, 128);
    return std::u16string(text, static_cast<std::size_t>(length > 0 ? length : 0));
}

// A text of the built German bundle (read before the run: the program frees its library).
inline std::u16string GermanText(UINT id) {
    HMODULE german = LoadLibraryW(u"LangGerCE.dll");
    WCHAR text[256] = {};
    const int length = german != nullptr ? LoadStringW(german, id, text, 256) : 0;
    if (german != nullptr)
        FreeLibrary(german);
    return std::u16string(text, static_cast<std::size_t>(length > 0 ? length : 0));
}

inline void PressWithControl(UINT key) {
    platform::InjectKey(VK_CONTROL, true);
    platform::InjectKey(key, true);
    platform::InjectKey(key, false);
    platform::InjectKey(VK_CONTROL, false);
}

} // namespace shelltesting
