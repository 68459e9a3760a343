#include "app/startup/mainmenuwnd.h"

#include "advisor/voiceoutput.h"
#include "app/startup/voicepointer.h"
#include "app/tmc/statustmcinfo.h"
#include "ui/gpsstatemonitor.h"
#include "ui/pagebase.h"
#include "ui/shellhelpers.h"
#include "ui/tmcmonitor.h"
#include "utilities/usefulcode/apppaths.h"
#include "utilities/usefulcode/cache/sfslibrary.h"
#include "utilities/usefulcode/datalocation.h"
#include "utilities/usefulcode/filecheck.h"
#include "utilities/usefulcode/iniprofile.h"
#include "utilities/usefulcode/memoryarena.h"

#include "platform/files/files.h"
#include "platform/gdi/dib.h"
#include "platform/gdi/gdi.h"
#include "platform/gdi/text.h"
#include "platform/shell/resources.h"
#include "platform/sound/sound.h"
#include "platform/window/input.h"
#include "platform/window/message.h"
#include "platform/window/paint.h"
#include "platform/window/shell.h"
#include "platform/window/window.h"

#include <algorithm>

namespace {

constexpr int kBackgroundArea = 10;
constexpr int kTitleArea = 11;

COLORREF ReadColour(LPCWSTR key, COLORREF defaultValue) {
    const std::u16string file = AppPaths::GetScreenDescFilePath();
    return static_cast<COLORREF>(
        ReadIntSetting(u"Screen", key, file.c_str(), static_cast<INT>(defaultValue)));
}

// The word of the voice archive's name for the server's language index.
std::u16string VoiceLanguageWord(std::int32_t languageIndex) {
    switch (languageIndex) {
    case 1:
        return u"english";
    case 3:
        return u"french";
    case 4:
        return u"spanish";
    case 5:
        return u"italian";
    case 6:
        return u"dutch";
    default:
        return u"german";
    }
}

} // namespace

ShellFactories& GetShellFactories() {
    static ShellFactories factories;
    return factories;
}

MainMenuWnd::MainMenuWnd()
    : WindowBase(&mainHandle, u"Screen")
    , m_logbook(AppPaths::GetLogbookFilePath()) {
    const std::u16string settings = AppPaths::GetSettingsFilePath();
    m_preferredVolume = ReadIntSetting(u"Preferences", u"VolValue", settings.c_str(), -1);
    const std::u16string backgroundName = IniProfile::GetString(
        u"Screen", u"RealBackgroundBmp", AppPaths::GetScreenDescFilePath().c_str(), u"");
    m_background = std::make_unique<SkinBitmap>(backgroundName);
    m_destBackColour = ReadColour(u"DestBackColor", 0x407CC0);
    m_destTextColour = ReadColour(u"DestTextColor", 0xC8FFFF);
    m_isSimulation = IsSimulationSet();
    m_comPort = ReadIntSetting(u"Preferences", u"COMPORT", settings.c_str(), 1);
    m_accelerators = LoadAcceleratorsW(platform::ResourceInstance(),
                                       reinterpret_cast<LPCWSTR>(std::uintptr_t{225}));
    m_focusedCommand = kFirstCommand;
    BuildCore();
    if (m_supervisor) {
        m_supervisor->SetDistanceHook([logbook = &m_logbook](double longitude, double latitude) {
            (void)logbook->AccumulateDistance(longitude, latitude);
        });
    }
    RegisterHandlers();
    StatusTmcInfo::CreateDialog();
    GpsStateMonitor::Instance().GetEvent().Connect(this, &MainMenuWnd::OnFixClassChanged);
}

void MainMenuWnd::BuildCore() {
    const DWORD budget = ComputeCacheSizeKB();
    (void)MemoryArena::Shared().Reserve(ArenaBytesForBudget(budget));
    m_facade = MapEngineFacade::Create(ComputeCacheSizeKB());
    const six::RefCntPtr<DataLocation> location =
        CreateDataLocation(std::u16string(AppPaths::GetServerSettingsFilePath()));
    if (m_facade)
        m_server = CreateIOnboardServer(RetrievalEngine::RetrievalEnginePtr(m_facade), location);
    if (!m_server) {
        m_supervisor = std::make_unique<ReceiverSupervisor>(nullptr, CountedPtr<GpsTmcAdapter>(),
                                                            m_isSimulation);
        return;
    }
    six::RefCntPtr<IVoiceOutput> voice = CreateVoiceOutput();
    SetVoiceOutput(voice);
    if (voice) {
        const std::u16string folder = AppPaths::GetModuleDirectory() + u"sound\\";
        const std::u16string language = VoiceLanguageWord(m_server->GetLanguage());
        // A voice archive that is missing or cannot be mounted leaves every advice unspoken.
        // Without the archive library nothing can be mounted, and that is told where it is used.
        if (!voice->Init(folder, language) && SfsLibrary::EnsureLoaded()) {
            (void)ShowSpokenGuidanceMessage(VoiceArchivePath(folder, language));
        }
    }
    m_supervisor =
        std::make_unique<ReceiverSupervisor>(m_server, GpsTmcAdapter::Instance(), m_isSimulation);
    m_tmcReceiver = m_server->GetTmcReceiver();
    m_tmcStore = m_server->GetTmcMessageStore();
    if (m_tmcReceiver && m_tmcStore)
        ConnectTmcStore();
}

void MainMenuWnd::ConnectTmcStore() {
    m_tmcStore->Added.Connect(this, &MainMenuWnd::OnTmcAdded);
    m_tmcStore->Removed.Connect(this, &MainMenuWnd::OnTmcRemoved);
    m_tmcStore->Replaced.Connect(this, &MainMenuWnd::OnTmcReplaced);
}

void MainMenuWnd::RegisterHandlers() {
    MessageMapPtr& map = mainHandle.map;
    ConnectMessageHandler(map, WM_CREATE, this, &MainMenuWnd::OnCreate);
    ConnectMessageHandler(map, WM_CLOSE, this, &MainMenuWnd::OnClose);
    ConnectMessageHandler(map, WM_PAINT, this, &MainMenuWnd::OnPaint);
    ConnectMessageHandler(map, WM_SIZE, this, &MainMenuWnd::OnSizeTitle);
    ConnectMessageHandler(map, WM_ERASEBKGND, this, &MainMenuWnd::OnEraseBkgnd);
    ConnectMessageHandler(map, WM_SETFOCUS, this, &MainMenuWnd::OnIgnored);
    ConnectMessageHandler(map, WM_KEYDOWN, this, &MainMenuWnd::OnKeyDown);
    ConnectMessageHandler(map, WM_LBUTTONDOWN, this, &MainMenuWnd::OnIgnored);
    ConnectMessageHandler(map, WM_COMMAND, this, &MainMenuWnd::OnCommand);
    ConnectMessageHandler(map, WM_ACTIVATE, this, &MainMenuWnd::OnActivate);
    ConnectMessageHandler(map, kModeClosedMessage, this, &MainMenuWnd::OnModeClosed);
    ConnectMessageHandler(map, WM_HOTKEY, this, &MainMenuWnd::OnHotKey);
    ConnectMessageHandler(map, WM_HELP, this, &MainMenuWnd::OnHelpMessage);
    ConnectMessageHandler(map, kFlushCacheMessage, this, &MainMenuWnd::OnFlushCache);
    ConnectMessageHandler(map, kHelpMessage, this, &MainMenuWnd::OnShowHelp);
    ConnectMessageHandler(map, WM_TIMER, this, &MainMenuWnd::OnTimer);
    ConnectMessageHandler(map, kTmcQueueMessage, this, &MainMenuWnd::OnTmcQueue);
    ConnectMessageHandler(map, kFixClassMessage, this, &MainMenuWnd::OnFixClassMessage);
    ConnectMessageHandler(map, kDamagedSettingsMessage, this, &MainMenuWnd::OnDamagedSettings);
}

MainMenuWnd::~MainMenuWnd() {
    IniProfile::SetDamagedFileHandler({});
    IniProfile::SetUnsavedFileHandler({});
    m_logbook.SetUnwritableFileHandler({});
    if (m_hasReadVolume) {
        const auto level = static_cast<DWORD>(static_cast<double>(m_startVolumePercent) * 655.35);
        (void)waveOutSetVolume(nullptr, level | (level << 16));
    }
    GpsStateMonitor::Instance().GetEvent().Disconnect(this);
    if (m_tmcStore) {
        m_tmcStore->Added.Disconnect(this);
        m_tmcStore->Removed.Disconnect(this);
        m_tmcStore->Replaced.Disconnect(this);
    }
    m_navigationMode.reset();
    m_tourMode.reset();
    m_movingMapMode.reset();
    m_presettings.reset();
    m_supervisor.reset();
    m_tmcStore = nullptr;
    m_tmcReceiver = nullptr;
    m_server = nullptr;
    CloseOnlineHelp();
    if (six::RefCntPtr<IVoiceOutput> voice = GetVoiceOutput())
        (void)voice->Shutdown();
    if (m_hasHotKeys) {
        for (int id = 1; id <= 4; ++id)
            UnregisterHotKey(m_hotKeyWindow, id);
        m_hasHotKeys = false;
    }
    if (m_accelerators != nullptr)
        DestroyAcceleratorTable(m_accelerators);
    m_background.reset();
    m_facade = nullptr;
    mainHandle.Destroy();
    if (m_icon != nullptr)
        DestroyIcon(m_icon);
}

bool MainMenuWnd::HasDatasets() {
    if (!m_server)
        return false;
    DatabaseListPtr databases;
    m_server->GetDatabases(databases);
    return databases && !databases->empty();
}

HWND MainMenuWnd::CreateMainWindow(const std::u16string& title) {
    CreateWindowExW(0, WindowClassRegistry::ClassName(), title.c_str(),
                    WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, CW_USEDEFAULT, CW_USEDEFAULT, nullptr,
                    nullptr, platform::ResourceInstance(), &mainHandle);
    return mainHandle.window;
}

void MainMenuWnd::OnCreate(UINT, WPARAM, LPARAM lParam, LRESULT*, bool*) {
    HWND window = mainHandle.window;
    // The path goes to the queue and its message waits for the UI thread.
    const auto queueFileMessage = [this, window](std::deque<std::u16string>& queue) {
        return [this, window, &queue](const std::u16string& path) {
            {
                std::lock_guard lock(m_queueLock);
                queue.push_back(path);
            }
            PostMessageW(window, kDamagedSettingsMessage, 0, 0);
        };
    };
    // A damaged settings file is never rewritten: the user hears once per file and run that
    // changes are not saved, whichever thread tried to write.
    IniProfile::SetDamagedFileHandler(queueFileMessage(m_damagedSettings));
    // So is a settings file that cannot be written (read-only, a full storage).
    IniProfile::SetUnsavedFileHandler(queueFileMessage(m_unsavedSettings));
    // And, once in the run, a logbook that cannot be written: its trips are not recorded.
    m_logbook.SetUnwritableFileHandler(queueFileMessage(m_unwritableLogbook));
    SHMENUBARINFO bar{};
    bar.cbSize = 36;
    bar.hwndParent = window;
    bar.dwFlags = SHCMBF_EMPTYBAR;
    bar.nToolBarId = 101;
    bar.hInstRes = platform::ResourceInstance();
    if (SHCreateMenuBar(&bar) != FALSE)
        m_menuBar = bar.hwndMB;
    const struct {
        LPCWSTR name;
        UINT id;
    } buttons[] = {{u"RealDataset", 585},    {u"RealNavig", 420}, {u"RealMap", 430},
                   {u"RealMovingMap", 1102}, {u"RealPref", 440},  {u"RealHelp", 450},
                   {u"RealQuit", 460}};
    for (const auto& button : buttons)
        CreateControl(button.name, button.id, true, false, 0, 0);
    EnableControl(1102, false);
    TmcMonitor::Instance().SetOwnerWindow(CreateTmcIndicator());
    GpsStateMonitor::Instance().SetIndicatorWindow(CreateGpsIndicator());
    CreateLogoBox();
    AddArea(u"RealBackground", kBackgroundArea);
    AddArea(u"RealTitle", kTitleArea);
    m_icon = LoadIconW(platform::ResourceInstance(), reinterpret_cast<LPCWSTR>(std::uintptr_t{1}));
    if (m_icon != nullptr)
        SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_icon));
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    RECT client{0, 0, create != nullptr ? create->cx : 0, create != nullptr ? create->cy : 0};
    if (client.right <= 0 || client.bottom <= 0)
        GetClientRect(window, &client);
    SendMessageW(window, WM_SIZE, 0, MAKELPARAM(client.right, client.bottom));
    RegisterArrowHotKeys();
    m_preferences = LoadPreferences();
    ApplyPreferences(*this, m_server, m_preferences);
    // A GPS file that keeps positions from being read is named once the window shows, as the
    // only word of it would otherwise be that the receiver does not answer.
    if (m_supervisor) {
        std::vector<std::u16string> unusable = m_supervisor->FindUnusableFiles();
        if (!unusable.empty()) {
            {
                std::lock_guard lock(m_queueLock);
                m_unusableReceiverFiles.insert(m_unusableReceiverFiles.end(), unusable.begin(),
                                               unusable.end());
            }
            PostMessageW(window, kDamagedSettingsMessage, 0, 0);
        }
    }
    SetTimer(window, ReceiverSupervisor::kReceiverTimer, ReceiverSupervisor::kReceiverTimerMs,
             nullptr);
    InitVolume();
}

void MainMenuWnd::RegisterArrowHotKeys() {
    m_hotKeyWindow = mainHandle.window;
    const UINT keys[] = {VK_UP, VK_LEFT, VK_DOWN, VK_RIGHT};
    for (int id = 1; id <= 4; ++id)
        (void)RegisterHotKey(m_hotKeyWindow, id, 0, keys[id - 1]);
    m_hasHotKeys = true;
}

void MainMenuWnd::InitVolume() {
    DWORD level = 0;
    (void)waveOutGetVolume(nullptr, &level);
    const DWORD loudest = std::max(level & 0xFFFF, level >> 16);
    m_startVolumePercent =
        static_cast<DWORD>(static_cast<double>(loudest) * (1.0 / 65535.0) * 100.0);
    m_hasReadVolume = true;
    m_currentVolume = m_startVolumePercent;
    if (m_preferredVolume != -1) {
        const auto value = static_cast<DWORD>(static_cast<double>(m_preferredVolume) * 655.35);
        m_currentVolume = value;
        (void)waveOutSetVolume(nullptr, (value & 0xFFFF) | ((value & 0xFFFF) << 16));
    }
}

void MainMenuWnd::OnClose(UINT, WPARAM, LPARAM, LRESULT* result, bool* handled) {
    *result = 0;
    *handled = true;
}

void MainMenuWnd::OnIgnored(UINT, WPARAM, LPARAM, LRESULT*, bool*) {}

void MainMenuWnd::OnSizeTitle(UINT, WPARAM, LPARAM lParam, LRESULT*, bool*) {
    if (LOWORD(lParam) == 0 || HIWORD(lParam) == 0)
        return;
    const RECT title = GetAreaRect(kTitleArea);
    // A line height (positive), ascent and descent together, as high as the area the title is
    // drawn and clipped to: a character height of the area's would cut off the descenders.
    m_titleFont.Create(u"Arial", FontHandle::HeightBetween(title.bottom, title.top), true, false,
                       false);
}

void MainMenuWnd::OnEraseBkgnd(UINT, WPARAM wParam, LPARAM, LRESULT* result, bool* handled) {
    // The buttons go while the background is drawn under their keyed-out corners, without
    // repainting what they uncover: the background covers it, and a repaint would erase, hide
    // and repaint again without end. The paint shows them again.
    const BackgroundDc dc(*this, reinterpret_cast<HDC>(wParam));
    if (m_background != nullptr)
        m_background->Draw(dc.Get(), GetAreaRect(kBackgroundArea), SRCCOPY, false);
    *result = 1;
    *handled = true;
}

void MainMenuWnd::OnPaint(UINT, WPARAM, LPARAM, LRESULT* result, bool* handled) {
    PAINTSTRUCT paint{};
    HDC dc = BeginPaint(mainHandle.window, &paint);
    WCHAR title[65] = {};
    const int length = LoadStringW(platform::ResourceInstance(), 470, title, 65);
    RECT area = GetAreaRect(kTitleArea);
    HGDIOBJ previousFont = nullptr;
    if (m_titleFont.Get() != nullptr)
        previousFont = SelectObject(dc, m_titleFont.Get());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, kTitleColour);
    if (length > 0)
        DrawTextW(dc, title, length, &area, DT_VCENTER | DT_SINGLELINE);
    if (previousFont != nullptr)
        SelectObject(dc, previousFont);
    EndPaint(mainHandle.window, &paint);
    ShowAllControls(true);
    *result = 0;
    *handled = true;
}

void MainMenuWnd::NotifyModeClosed(bool applyPreferences) {
    PostMessageW(mainHandle.window, kModeClosedMessage, applyPreferences ? 1 : 0, 0);
}

void MainMenuWnd::SetPreferredValues(INT comPort, INT volume, bool isTmcReceiverWanted) {
    m_comPort = comPort;
    m_preferredVolume = volume;
    if (m_supervisor) {
        m_supervisor->SetComPort(comPort);
        m_supervisor->SetTmcReceiverWanted(isTmcReceiverWanted);
    }
}

bool MainMenuWnd::HasGpsReceiver() const {
    return m_supervisor && m_supervisor->GetGpsReceiver();
}

void MainMenuWnd::OnTmcAdded(TmcMessagePtr message) {
    {
        std::lock_guard lock(m_queueLock);
        m_tmcQueue.push_back({0, std::move(message), nullptr});
    }
    PostMessageW(mainHandle.window, kTmcQueueMessage, 0, 0);
}

void MainMenuWnd::OnTmcRemoved(TmcMessagePtr message) {
    {
        std::lock_guard lock(m_queueLock);
        m_tmcQueue.push_back({1, std::move(message), nullptr});
    }
    PostMessageW(mainHandle.window, kTmcQueueMessage, 0, 0);
}

void MainMenuWnd::OnTmcReplaced(TmcMessagePtr old, TmcMessagePtr replacement) {
    {
        std::lock_guard lock(m_queueLock);
        m_tmcQueue.push_back({2, std::move(old), std::move(replacement)});
    }
    PostMessageW(mainHandle.window, kTmcQueueMessage, 0, 0);
}

void MainMenuWnd::OnTmcQueue(UINT, WPARAM, LPARAM, LRESULT*, bool* handled) {
    *handled = true;
    std::deque<QueuedTmc> queued;
    {
        std::lock_guard lock(m_queueLock);
        queued.swap(m_tmcQueue);
    }
    TmcMonitor& monitor = TmcMonitor::Instance();
    for (const QueuedTmc& entry : queued) {
        monitor.SetReceiverState(3);
        if (entry.kind == 0 && entry.message) {
            monitor.AddMessage(*entry.message);
        } else if (entry.kind == 1 && entry.message) {
            monitor.RemoveMessage(*entry.message);
        } else if (entry.kind == 2) {
            if (entry.message)
                monitor.RemoveMessage(*entry.message);
            if (entry.replacement)
                monitor.AddMessage(*entry.replacement);
        }
    }
}

void MainMenuWnd::OnFixClassChanged(const int* fixClass) {
    if (fixClass == nullptr)
        return;
    {
        std::lock_guard lock(m_queueLock);
        m_fixClasses.push_back(*fixClass);
    }
    PostMessageW(mainHandle.window, kFixClassMessage, 0, 0);
}

void MainMenuWnd::OnDamagedSettings(UINT, WPARAM, LPARAM, LRESULT*, bool* handled) {
    *handled = true;
    std::pair<UINT, std::deque<std::u16string>> queues[] = {{kDamagedSettingsText, {}},
                                                            {kUnsavedSettingsText, {}},
                                                            {kUnwritableLogbookText, {}},
                                                            {kUnusableReceiverFileText, {}}};
    {
        std::lock_guard lock(m_queueLock);
        queues[0].second.swap(m_damagedSettings);
        queues[1].second.swap(m_unsavedSettings);
        queues[2].second.swap(m_unwritableLogbook);
        queues[3].second.swap(m_unusableReceiverFiles);
    }
    for (const auto& [textId, paths] : queues) {
        for (const std::u16string& path : paths)
            ShowFileMessage(mainHandle.window, textId, path);
    }
}

void MainMenuWnd::OnFixClassMessage(UINT, WPARAM, LPARAM, LRESULT*, bool* handled) {
    *handled = true;
    std::deque<int> classes;
    {
        std::lock_guard lock(m_queueLock);
        classes.swap(m_fixClasses);
    }
    for (const int fixClass : classes) {
        EnableControl(1102, fixClass == 2);
        if ((fixClass == 1 || fixClass == 2) && m_supervisor && m_supervisor->IsTmcReceiverWanted())
            TmcMonitor::Instance().SetReceiverFlag(0);
    }
}
