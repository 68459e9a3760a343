#pragma once
// The main menu window: its constructor builds the navigation core (memory arena, map engine
// facade with its block cache, navigation server, voice output) and connects the TMC store and
// the GPS state; its window is the full-screen start menu of seven skinned buttons. It opens the
// modes and the presettings sheet, deletes them when they report their closing, and ends the
// program on the quit command. User-interface thread, except the TMC store's and the GPS
// state's handlers, which only queue their values and post to the window.

#include "app/startup/logbook.h"
#include "app/startup/logbookdialog.h"
#include "app/startup/preferences.h"
#include "app/startup/receiversupervisor.h"
#include "app/startup/shellinterfaces.h"
#include "traffic/tmcmessagestore.h"
#include "ui/skinface.h"
#include "ui/windowbase.h"
#include "utilities/usefulcode/fonthandle.h"

#include <deque>
#include <memory>
#include <mutex>

// Handles keys the accelerator table does not take.
class KeyHandlerInterface {
public:
    virtual ~KeyHandlerInterface() = default;
    virtual void OnDebugKey(UINT key) = 0;
    virtual int Reserved2() { return 0; }
    virtual void Reserved3() {}
    virtual void Reserved4() {}
    virtual void Reserved5() {}
};

// Holds the main window's handle so that it is made before the layout base and goes after it.
struct MainWindowHolder {
    WindowHandle mainHandle;
};

class MainMenuWnd : private MainWindowHolder,
                    public WindowBase,
                    public ApplicationInterface,
                    public KeyHandlerInterface,
                    public PreferencesTarget {
public:
    static constexpr UINT kModeClosedMessage = 0x401; // WM_USER+1
    static constexpr UINT kFlushCacheMessage = 0x3FF;
    static constexpr UINT kHelpMessage = 0x404;
    // Posted to itself: queued TMC store messages and fix classes wait for the UI thread.
    static constexpr UINT kTmcQueueMessage = 0x8040;
    static constexpr UINT kFixClassMessage = 0x8041;
    // Posted to itself when a settings file turned out damaged or could not be written, or the
    // logbook could not be written: its message waits for the UI thread.
    static constexpr UINT kDamagedSettingsMessage = 0x8042;
    // The message naming a damaged settings file whose changes cannot be saved ("%s": the path).
    static constexpr UINT kDamagedSettingsText = 1401;
    // The message naming a settings file that cannot be written ("%s": the path).
    static constexpr UINT kUnsavedSettingsText = 1402;
    // The message naming a logbook file that cannot be written ("%s": the path).
    static constexpr UINT kUnwritableLogbookText = 1403;
    // The message naming a GPS file that keeps positions from being read ("%s": the path).
    static constexpr UINT kUnusableReceiverFileText = 1405;
    static constexpr COLORREF kTitleColour = 0xC3B08B;
    static constexpr UINT kFirstCommand = 420;
    // Writes a logbook status line; nothing arms it, the status lines come from checkpoints.
    static constexpr UINT_PTR kLogbookTimer = 1;
    // The debug keys' open-file filter (string id; German text when the bundle has none).
    static constexpr UINT kReplayFilterText = 9001;

    MainMenuWnd();
    ~MainMenuWnd() override;

    // True when the server exists and knows at least one database.
    [[nodiscard]] bool HasDatasets();
    // Creates the main window (WM_CREATE builds the menu) with the title; null when it fails.
    HWND CreateMainWindow(const std::u16string& title);
    [[nodiscard]] HACCEL GetAccelerators() const { return m_accelerators; }
    [[nodiscard]] const Onboard::OnboardServerPtr& GetServer() const { return m_server; }
    [[nodiscard]] const six::RefCntPtr<MapEngineFacade>& GetFacade() const { return m_facade; }
    [[nodiscard]] UINT GetFocusedCommand() const { return m_focusedCommand; }
    [[nodiscard]] const PreferencesRecord& GetPreferences() const { return m_preferences; }
    [[nodiscard]] OwnerHandlerList& GetOwnerHandlerList() { return m_handlers; }

    // ApplicationInterface
    void NotifyModeClosed(bool applyPreferences) override;
    bool RunLogbookDialog(HWND owner, bool end, bool interactive) override;
    void ControlReconnectThread(bool stop) override;
    // KeyHandlerInterface
    void OnDebugKey(UINT key) override;
    // PreferencesTarget
    void SetPreferredValues(INT comPort, INT volume, bool isTmcReceiverWanted) override;
    bool StartReceiverLocked(bool simulation) override;
    void CloseReceiverObject() override;
    [[nodiscard]] bool HasGpsReceiver() const override;
    // The receiver supervision; null only when it could not be made.
    [[nodiscard]] ReceiverSupervisor* GetSupervisor() const { return m_supervisor.get(); }
    [[nodiscard]] Logbook& GetLogbook() { return m_logbook; }
    // The logbook's questions; tests replace them with a script (not owned, never null).
    void SetLogbookDialogs(LogbookDialogs* dialogs) {
        m_logbookDialogs = dialogs != nullptr ? dialogs : &m_skinnedLogbookDialogs;
    }

private:
    void BuildCore();
    void ConnectTmcStore();
    void RegisterHandlers();
    // The conversion of the logbook at quit, when a trip was logged during this run.
    void ConvertLogbook();
    void OnCreate(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnClose(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnPaint(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnSizeTitle(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnEraseBkgnd(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnIgnored(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnKeyDown(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnCommand(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnActivate(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnModeClosed(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnHotKey(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnHelpMessage(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnFlushCache(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnShowHelp(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnTimer(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnTmcQueue(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnFixClassMessage(UINT, WPARAM, LPARAM, LRESULT*, bool*);
    void OnDamagedSettings(UINT, WPARAM, LPARAM, LRESULT*, bool*);

    // Signal slots (any thread).
    void OnTmcAdded(TmcMessagePtr message);
    void OnTmcRemoved(TmcMessagePtr message);
    void OnTmcReplaced(TmcMessagePtr old, TmcMessagePtr replacement);
    void OnFixClassChanged(const int* fixClass);

    void MoveFocus(UINT from);
    void OpenMode(std::unique_ptr<MenuMode>& slot, const ShellFactories::ModeFactory& make,
                  std::initializer_list<std::unique_ptr<MenuMode>*> others, bool deactivateSheet);
    void OpenPresettings();
    void RunMapList();
    void Quit();
    void ReplayFileKey(bool isTmc);
    void PositionKey();
    void SpeedKey();
    void RegisterArrowHotKeys();
    void InitVolume();
    [[nodiscard]] ModeContext MakeContext();

    OwnerHandlerList m_handlers;
    // Before the supervisor, whose distance hook feeds it, and after it when destroyed.
    Logbook m_logbook;
    LogbookDialogs m_skinnedLogbookDialogs;
    LogbookDialogs* m_logbookDialogs = &m_skinnedLogbookDialogs;
    // A converter still running is ended with the window object.
    LogbookConverter m_logbookConverter;
    six::RefCntPtr<MapEngineFacade> m_facade;
    std::unique_ptr<MenuMode> m_navigationMode;
    std::unique_ptr<PresettingsSheetController> m_presettings;
    std::unique_ptr<MenuMode> m_tourMode;
    std::unique_ptr<MenuMode> m_movingMapMode;
    Onboard::OnboardServerPtr m_server;
    DWORD m_currentVolume = 0;
    DWORD m_startVolumePercent = 0;
    bool m_hasReadVolume = false;
    INT m_preferredVolume = -1;
    six::RefCntPtr<TmcReceiver> m_tmcReceiver;
    six::RefCntPtr<TmcMessageStore> m_tmcStore;
    std::unique_ptr<SkinBitmap> m_background;
    HICON m_icon = nullptr;
    std::unique_ptr<ReceiverSupervisor> m_supervisor;
    COLORREF m_destBackColour = 0x407CC0;
    COLORREF m_destTextColour = 0xC8FFFF;
    FontHandle m_titleFont;
    UINT m_focusedCommand = kFirstCommand;
    bool m_isSimulation = false;
    INT m_comPort = 1;
    HWND m_hotKeyWindow = nullptr;
    bool m_hasHotKeys = false;
    HACCEL m_accelerators = nullptr;
    HWND m_menuBar = nullptr;
    ModalPage* m_mapList = nullptr;
    PreferencesRecord m_preferences;

    struct QueuedTmc {
        int kind; // 0 added, 1 removed, 2 replaced
        TmcMessagePtr message;
        TmcMessagePtr replacement;
    };
    std::mutex m_queueLock;
    std::deque<QueuedTmc> m_tmcQueue;
    std::deque<int> m_fixClasses;
    std::deque<std::u16string> m_damagedSettings;       // paths not yet told
    std::deque<std::u16string> m_unsavedSettings;       // paths not yet told
    std::deque<std::u16string> m_unwritableLogbook;     // paths not yet told
    std::deque<std::u16string> m_unusableReceiverFiles; // paths not yet told
};
