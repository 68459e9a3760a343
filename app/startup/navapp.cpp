#include "app/startup/navapp.h"

#include "app/contacts/contactsession.h"
#include "app/startup/splashwnd.h"
#include "positioning/gpstmcadapter.h"
#include "ui/messagedialogs.h"
#include "ui/shellhelpers.h"
#include "utilities/usefulcode/apppaths.h"
#include "utilities/usefulcode/iniprofile.h"

#include "platform/files/modules.h"
#include "platform/files/mutex.h"
#include "platform/kernel/com.h"
#include "platform/kernel/format.h"
#include "platform/kernel/handles.h"
#include "platform/kernel/messagebox.h"
#include "platform/shell/resources.h"
#include "platform/window/controls.h"
#include "platform/window/input.h"
#include "platform/window/instancechannel.h"
#include "platform/window/message.h"
#include "platform/window/programend.h"
#include "platform/window/shell.h"
#include "platform/window/window.h"

namespace {

void ReportMissingLibrary(const std::u16string& name) {
    WCHAR text[256] = {};
    (void)swprintf(text, 256, u"The DLL: %s could not be loaded!", name.c_str());
    MessageBoxW(nullptr, text, u"Error", MB_ICONHAND);
}

// How long a second start waits for the running instance's answer.
constexpr DWORD kActivateTimeoutMs = 2000;

} // namespace

InstanceMutex::InstanceMutex(std::u16string name)
    : m_name(std::move(name)) {
    m_mutex = CreateMutexW(nullptr, FALSE, m_name.c_str());
    m_creationError = GetLastError();
}

InstanceMutex::~InstanceMutex() {
    if (m_mutex != nullptr)
        CloseHandle(m_mutex);
}

bool ActivateRunningInstance(const std::u16string& title) {
    platform::InstanceRequest request;
    request.kind = platform::InstanceRequestKind::ActivateWindow;
    request.windowTitle = title;
    return platform::SendInstanceRequest(title, request, kActivateTimeoutMs);
}

bool ActivateWindowByTitle(const std::u16string& title) {
    HWND window = FindWindowW(nullptr, title.c_str());
    if (window == nullptr)
        return false;
    if (IsWindowEnabled(window) == FALSE) {
        // Disabled under a modal dialog: the dialog comes to the front and keeps the stylus
        // and the keys; the window itself is neither activated nor told it was.
        HWND dialog = GetLastActivePopup(window);
        if (dialog != window) {
            SetForegroundWindow(dialog);
            return true;
        }
        ShowWindow(window, SW_SHOWNORMAL);
    }
    SendMessageW(window, WM_ACTIVATE, 0x10001, reinterpret_cast<LPARAM>(GetActiveWindow()));
    SetForegroundWindow(window);
    return true;
}

bool HandleInstanceRequest(const platform::InstanceRequest& request,
                           const std::u16string& appTitle) {
    return request.kind == platform::InstanceRequestKind::ActivateWindow &&
           request.windowTitle == appTitle && ActivateWindowByTitle(appTitle);
}

std::u16string NavApp::LanguageLibraryName(int language) {
    return u"Lang" + AppPaths::LanguageSuffix(language) + u"CE.dll";
}

HMODULE NavApp::LoadLanguageLibrary(const std::u16string& name) {
    HMODULE module = LoadLibraryW(name.c_str());
    if (module == nullptr)
        return nullptr;
    // A bundle without its title cannot serve as the language library.
    WCHAR title[2] = {};
    if (LoadStringW(module, 1, title, 2) <= 0) {
        FreeLibrary(module);
        return nullptr;
    }
    return module;
}

NavApp::NavApp() {
    const int language = ReadIntSetting(u"Properties", u"Language",
                                        AppPaths::GetServerSettingsFilePath().c_str(), 0);
    m_isOk = true;
    std::u16string name = LanguageLibraryName(language);
    m_language = LoadLanguageLibrary(name);
    if (m_language == nullptr) {
        ReportMissingLibrary(name);
        name = u"LangGerCE.dll";
        m_language = LoadLanguageLibrary(name);
        if (m_language == nullptr) {
            ReportMissingLibrary(name);
            m_isOk = false;
        }
    }
    if (m_language != nullptr)
        platform::SetResourceInstance(m_language);
}

NavApp::~NavApp() {
    if (m_mainMenu || m_language != nullptr)
        (void)ExitInstance();
}

BOOL NavApp::InitInstance() {
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = 8;
    controls.dwICC = ICC_LISTVIEW_CLASSES;
    (void)InitCommonControlsEx(&controls);
    (void)IniProfile::Preload(AppPaths::GetScreenDescFilePath().c_str());
    m_isComInitialized = true;
    (void)CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    (void)GpsTmcAdapter::Instance();
    (void)ContactSession::Instance();
    const HCURSOR previous = SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_WAIT)));
    auto splash = std::make_unique<SplashWnd>(IniProfile::GetString(
        u"Screen", u"Splash", AppPaths::GetScreenDescFilePath().c_str(), u""));
    m_mainMenu = std::make_unique<MainMenuWnd>();
    bool hasWindow = false;
    if (m_mainMenu->HasDatasets()) {
        m_mainWindow = m_mainMenu->CreateMainWindow(LoadAppTitle());
        ShowTaskBar(m_mainWindow, false);
        hasWindow = m_mainWindow != nullptr;
    }
    splash.reset();
    SetCursor(previous);
    SetForegroundWindow(m_mainWindow);
    if (hasWindow) {
        if (ReadIntSetting(u"Zudav", u"NoWarning", AppPaths::GetSettingsFilePath().c_str(), 0) ==
            0) {
            MsgBox notice(1101);
            (void)notice.DoModal(m_mainWindow);
        }
        return 1;
    }
    NoDatasetsMsgBox noDatasets;
    (void)noDatasets.DoModal(nullptr);
    return 0;
}

void NavApp::Run() {
    MSG msg{};
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (PreTranslateMessage(msg))
            continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

bool NavApp::PreTranslateMessage(const MSG& msg) {
    if (msg.message < WM_KEYDOWN || msg.message > 0x108 || !m_mainMenu)
        return false;
    HWND window = m_mainMenu->GetHwnd();
    if (window == nullptr || IsWindowEnabled(window) == FALSE)
        return false;
    return TranslateAcceleratorW(window, m_mainMenu->GetAccelerators(), &msg) != 0;
}

int NavApp::ExitInstance() {
    if (m_mainMenu)
        ShowTaskBar(m_mainMenu->GetHwnd(), true);
    // The main menu's destructor still uses windows and strings of the language library.
    m_mainMenu.reset();
    if (m_language != nullptr) {
        platform::SetResourceInstance(nullptr);
        FreeLibrary(m_language);
        m_language = nullptr;
    }
    // The contact session logs off through the store's objects, before COM ends.
    ContactSession::ReleaseInstance();
    if (m_isComInitialized) {
        CoUninitialize();
        m_isComInitialized = false;
    }
    return 0;
}

int WinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
    NavApp app;
    if (!app.IsOk())
        return 0;
    const InstanceMutex mutex(LoadAppTitle());
    if (mutex.GetCreationError() == ERROR_ALREADY_EXISTS) {
        (void)ActivateRunningInstance(mutex.GetName());
        return 0;
    }
    // A later start reaches this instance through the channel beside the mutex.
    (void)platform::OpenInstanceChannel(
        mutex.GetName(), [title = mutex.GetName()](const platform::InstanceRequest& request) {
            return HandleInstanceRequest(request, title);
        });
    if (app.InitInstance() == 1)
        app.Run();
    // From here the program ends, whether a quit, a signal or a lost display ended its loop.
    platform::NoteProgramEndBegun();
    const int result = app.ExitInstance();
    platform::CloseInstanceChannel();
    return result;
}
