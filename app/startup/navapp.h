#pragma once
// The process's entry and outer shell: the application object that chooses and loads the
// language library, the single-instance check, the splash while the main menu window object is
// built, the message loop with the main menu's accelerator table, and the orderly exit.
// User-interface thread.

#include "app/startup/mainmenuwnd.h"

#include "platform/window/windowtypes.h"

#include <memory>
#include <string>

namespace platform {
struct InstanceRequest;
}

class NavApp {
public:
    // Loads the language library "Lang<Xxx>CE.dll" for "Properties"/"Language" of
    // "RarUderad.ini", falling back to the German one; a library that is missing or has no
    // string 1 is reported by a message box. IsOk is false when no library could be loaded.
    NavApp();
    ~NavApp();
    NavApp(const NavApp&) = delete;
    NavApp& operator=(const NavApp&) = delete;

    [[nodiscard]] bool IsOk() const { return m_isOk; }
    // Builds the main menu window object and, when the server knows a dataset, its window; 1
    // when the message loop is to run, 0 otherwise (the no-datasets box was shown).
    BOOL InitInstance();
    // Runs the loop until WM_QUIT.
    void Run();
    // True when the accelerator table consumed the message (key messages only, and only while
    // the main window is enabled).
    bool PreTranslateMessage(const MSG& msg);
    // Shows the task bar, deletes the main menu window object, then frees the language library.
    int ExitInstance();

    [[nodiscard]] MainMenuWnd* GetMainMenu() const { return m_mainMenu.get(); }

    // "LangEngCE.dll" for 1, "LangFre" 3, "LangSpa" 4, "LangIta" 5, "LangDut" 6, else "LangGer".
    [[nodiscard]] static std::u16string LanguageLibraryName(int language);

private:
    [[nodiscard]] static HMODULE LoadLanguageLibrary(const std::u16string& name);

    std::unique_ptr<MainMenuWnd> m_mainMenu;
    HWND m_mainWindow = nullptr;
    HMODULE m_language = nullptr;
    bool m_isOk = false;
    bool m_isComInitialized = false;
};

// The single-instance guard: a mutex named by the application title for every process on the
// device root, held for the whole run.
class InstanceMutex {
public:
    explicit InstanceMutex(std::u16string name);
    ~InstanceMutex();
    InstanceMutex(const InstanceMutex&) = delete;
    InstanceMutex& operator=(const InstanceMutex&) = delete;

    [[nodiscard]] const std::u16string& GetName() const { return m_name; }
    // GetLastError of the creation: ERROR_ALREADY_EXISTS when another instance holds it.
    [[nodiscard]] DWORD GetCreationError() const { return m_creationError; }

private:
    std::u16string m_name;
    HANDLE m_mutex = nullptr;
    DWORD m_creationError = 0;
};

// Asks the instance running on this device root to bring its window of this title to the front;
// false when no instance answered.
bool ActivateRunningInstance(const std::u16string& title);
// In the running instance: the top-level window of the title is sent WM_ACTIVATE (WA_ACTIVE,
// minimised flag 1) and brought to the front (shown first when it is disabled); false without
// one. A window disabled under a modal dialog is left as it is and the dialog comes to the front.
bool ActivateWindowByTitle(const std::u16string& title);
// The instance channel's handler: activates the application's window (ActivateWindowByTitle)
// when the request names the application's own title; any other title is refused (false).
bool HandleInstanceRequest(const platform::InstanceRequest& request,
                           const std::u16string& appTitle);

// Runs the program; 0 in every path.
int WinMain(HINSTANCE instance, HINSTANCE previous, LPWSTR commandLine, int showCommand);
