// The open-file dialog as a window of the headless screen: the folder it shows, its list and
// filter, the name field with the focus, Enter, Esc, taps and arrows, the names it refuses, the
// owner it covers and disables, and a repaint of it.
#include "testdata/tempdir.h"

#include "platform/files/files.h"
#include "platform/files/mutex.h"
#include "platform/gdi/gdi.h"
#include "platform/gdi/openfilewindow.h"
#include "platform/gdi/screenshot.h"
#include "platform/gdi/tests/repaintcheck.h"
#include "platform/gdi/text.h"
#include "platform/kernel/codepage.h"
#include "platform/kernel/handles.h"
#include "platform/window/input.h"
#include "platform/window/instancechannel.h"
#include "platform/window/message.h"
#include "platform/window/testdriver.h"
#include "platform/window/window.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

namespace {

struct DialogAction {
    enum class Kind { Type, Key, TapEntry, TapPart };
    Kind kind = Kind::Key;
    std::u16string text; // Type: the characters; TapEntry: the entry's name
    UINT key = 0;
    int id = 0;
};

DialogAction Type(std::u16string text) {
    return DialogAction{DialogAction::Kind::Type, std::move(text)};
}
DialogAction Press(UINT key) {
    return DialogAction{DialogAction::Kind::Key, {}, key};
}
DialogAction TapEntry(std::u16string name) {
    return DialogAction{DialogAction::Kind::TapEntry, std::move(name)};
}
DialogAction TapPart(int id) {
    return DialogAction{DialogAction::Kind::TapPart, {}, 0, id};
}

// What the last step before the dialog ended saw of it.
struct SeenDialog {
    bool isShown = false;
    std::u16string title;
    std::u16string folder;
    std::u16string type;
    std::u16string field;
    std::u16string refusal;
    std::vector<std::u16string> entries;
    bool isFieldFocused = false;
    bool isOwnerEnabled = true;
    std::optional<RECT> unlikeRepaint;
};

HWND ShownDialog() {
    for (HWND window : platform::ShownWindows()) {
        if (platform::IsOpenFileDialogWindow(window))
            return window;
    }
    return nullptr;
}

std::vector<std::u16string> ListEntries(HWND list) {
    std::vector<std::u16string> entries;
    const auto count = SendMessageW(list, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        std::u16string text(
            static_cast<std::size_t>(SendMessageW(list, LB_GETTEXTLEN, static_cast<WPARAM>(i), 0)) +
                1,
            u'\0');
        (void)SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(i),
                           reinterpret_cast<LPARAM>(text.data()));
        text.pop_back();
        entries.push_back(text);
    }
    return entries;
}

POINT CentreOf(HWND window, const RECT& clientRect) {
    RECT onScreen{};
    GetWindowRect(window, &onScreen);
    return POINT{onScreen.left + (clientRect.left + clientRect.right) / 2,
                 onScreen.top + (clientRect.top + clientRect.bottom) / 2};
}

// Taps the entry's row, tapping the list's scroll strip first as long as the row lies beyond
// what the list shows.
void TapListEntry(HWND list, const std::u16string& name) {
    const std::vector<std::u16string> entries = ListEntries(list);
    const auto found = std::find(entries.begin(), entries.end(), name);
    ASSERT_NE(found, entries.end()) << "no entry " << platform::Utf16ToUtf8(name);
    const auto index = static_cast<WPARAM>(found - entries.begin());
    RECT client{};
    GetClientRect(list, &client);
    RECT row{};
    for (int taps = 0; taps < 50; ++taps) {
        ASSERT_EQ(SendMessageW(list, LB_GETITEMRECT, index, reinterpret_cast<LPARAM>(&row)), 1);
        if (row.top >= client.top && row.bottom <= client.bottom)
            break;
        // The strip's lower half scrolls down, its upper half up.
        const RECT strip{row.right, row.bottom > client.bottom ? client.bottom - 2 : 0,
                         client.right, row.bottom > client.bottom ? client.bottom : 2};
        const POINT at = CentreOf(list, strip);
        platform::InjectStylus(platform::StylusAction::Down, at);
        platform::InjectStylus(platform::StylusAction::Up, at);
        MSG msg{};
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE) != FALSE)
            DispatchMessageW(&msg);
    }
    const POINT at = CentreOf(list, row);
    platform::InjectStylus(platform::StylusAction::Down, at);
    platform::InjectStylus(platform::StylusAction::Up, at);
}

SeenDialog LookAtDialog(HWND owner) {
    SeenDialog seen;
    HWND dialog = ShownDialog();
    if (dialog == nullptr)
        return seen;
    seen.isShown = true;
    seen.title = platform::WindowTextOf(dialog);
    seen.folder = platform::WindowTextOf(GetDlgItem(dialog, platform::kOpenFileFolderId));
    seen.type = platform::WindowTextOf(GetDlgItem(dialog, platform::kOpenFileTypeId));
    seen.field = platform::WindowTextOf(GetDlgItem(dialog, platform::kOpenFileNameId));
    seen.refusal = platform::WindowTextOf(GetDlgItem(dialog, platform::kOpenFileRefusalId));
    seen.entries = ListEntries(GetDlgItem(dialog, platform::kOpenFileListId));
    seen.isFieldFocused = GetFocus() == GetDlgItem(dialog, platform::kOpenFileNameId);
    seen.isOwnerEnabled = IsWindowEnabled(owner) != FALSE;
    seen.unlikeRepaint = repaintcheck::DifferenceFromWholeRepaint();
    return seen;
}

void Play(const DialogAction& action) {
    HWND dialog = ShownDialog();
    ASSERT_NE(dialog, nullptr) << "the dialog ended before the action";
    switch (action.kind) {
    case DialogAction::Kind::Type:
        for (const char16_t c : action.text)
            platform::InjectChar(c);
        break;
    case DialogAction::Kind::Key:
        platform::InjectKey(action.key, true);
        platform::InjectKey(action.key, false);
        break;
    case DialogAction::Kind::TapEntry:
        TapListEntry(GetDlgItem(dialog, platform::kOpenFileListId), action.text);
        break;
    case DialogAction::Kind::TapPart: {
        HWND part = GetDlgItem(dialog, action.id);
        RECT client{};
        GetClientRect(part, &client);
        const POINT at = CentreOf(part, client);
        platform::InjectStylus(platform::StylusAction::Down, at);
        platform::InjectStylus(platform::StylusAction::Up, at);
        break;
    }
    }
}

// The socket of the program's instance channel in the device root: none, the channel open, or its
// file left behind by an instance that was killed while it listened.
enum class Channel { None, Open, Left };

// Binds a socket at path and closes it without removing its file, as a killed listener leaves it.
bool LeaveSocketFile(const std::filesystem::path& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string text = path.string();
    if (text.size() >= sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path, text.c_str(), text.size() + 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    const bool isBound =
        ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return isBound;
}

class OpenFileWindow : public ::testing::Test {
protected:
    void SetUp() override {
        platform::SetFontFile("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf");
        platform::SetScreenSize(240, 320);
        platform::ShowOpenFileDialogsAsWindows();
        platform::ClearOpenFileDialogs();
        for (const char16_t* file :
             {u"\\a.txt", u"\\b.dat", u"\\TmcClosure.txt", u"\\sub\\c.txt", u"\\sub\\deep\\d.txt"})
            ASSERT_TRUE(m_root.WriteFile(file, "x"));
        ASSERT_TRUE(m_root.MakeFolder(u"\\Zeta"));
        // The program's single-instance lock: a lock file in the device root while it runs.
        m_instanceLock = CreateMutexW(nullptr, FALSE, u"Navigator");
        ASSERT_NE(m_instanceLock, nullptr);
        for (int i = 0; i < 20; ++i) {
            const std::u16string name = u"\\many\\f" + std::u16string(1, u'0' + i / 10) +
                                        std::u16string(1, u'0' + i % 10) + u".txt";
            ASSERT_TRUE(m_root.WriteFile(name, "x"));
        }
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = DefWindowProcW;
        windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
        windowClass.lpszClassName = u"DialogOwner";
        (void)RegisterClassW(&windowClass);
        m_owner = CreateWindowExW(0, u"DialogOwner", u"", WS_POPUP | WS_VISIBLE, 0, 0, 240, 320,
                                  nullptr, nullptr, nullptr, nullptr);
        SetActiveWindow(m_owner);
        MSG msg{};
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE) != FALSE)
            DispatchMessageW(&msg);
    }
    void TearDown() override {
        if (m_instanceLock != nullptr)
            CloseHandle(m_instanceLock);
        DestroyWindow(m_owner);
        platform::SetOpenFilePresenter({});
        platform::ClearOpenFileDialogs();
        platform::SetFontFile({});
    }

    // Asks for a file over the owner and plays the actions, one each time the dialog waits;
    // seen is what the dialog showed before the last action.
    std::optional<std::u16string> Ask(const std::vector<DialogAction>& actions, DWORD flags,
                                      SeenDialog& seen) {
        platform::ScreenDriver driver;
        std::vector<platform::ScriptStep> steps;
        for (std::size_t i = 0; i < actions.size(); ++i) {
            const bool isLast = i + 1 == actions.size();
            steps.push_back(platform::ScriptStep::Run([&, i, isLast] {
                if (isLast)
                    seen = LookAtDialog(m_owner);
                Play(actions[i]);
            }));
        }
        driver.PlayWhenIdle(std::move(steps));
        static constexpr WCHAR kFilter[] = u"Text files (*.txt)\0*.txt\0All files (*.*)\0*.*\0";
        std::vector<WCHAR> file(260, u'\0');
        OPENFILENAMEW request{};
        request.lStructSize = sizeof(request);
        request.hwndOwner = m_owner;
        request.lpstrFilter = kFilter;
        request.lpstrFile = file.data();
        request.nMaxFile = static_cast<DWORD>(file.size());
        request.Flags = flags;
        const BOOL isChosen = GetOpenFileNameW(&request);
        EXPECT_FALSE(driver.RanOutOfScript()) << "the dialog waited after the last action";
        MSG quit{};
        (void)PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
        if (isChosen == FALSE)
            return std::nullopt;
        return std::u16string(file.data());
    }

    testdata::TempDeviceRoot m_root;
    HWND m_owner = nullptr;
    HANDLE m_instanceLock = nullptr;
};

// Each way to a file, each way out, and what is refused: the answer, and what the dialog showed
// before its last action.
TEST_F(OpenFileWindow, TakesTypedNamesTapsAndKeysAndRefusesWhatNamesNothing) {
    const std::vector<std::u16string> rootEntries = {u"many", u"sub", u"Zeta", u"a.txt",
                                                     u"TmcClosure.txt"};
    const struct {
        const char* what;
        std::vector<DialogAction> actions;
        DWORD flags;
        std::optional<std::u16string> answer;
        std::u16string folder;               // shown before the last action
        std::u16string field;                // in the field before the last action
        std::u16string refusal;              // on the refusal line before the last action
        std::vector<std::u16string> entries; // listed before the last action; empty: not checked
        Channel channel = Channel::None;     // the instance channel's socket in the root
    } rows[] = {
        {"a name, relative to the root",
         {Type(u"a.txt"), Press(VK_RETURN)},
         OFN_FILEMUSTEXIST,
         u"\\a.txt",
         u"\\",
         u"a.txt",
         u"",
         rootEntries},
        {"a device path, another letter case",
         {Type(u"\\tmcclosure.TXT"), Press(VK_RETURN)},
         OFN_FILEMUSTEXIST,
         u"\\tmcclosure.TXT",
         u"\\",
         u"\\tmcclosure.TXT",
         u"",
         {}},
        {"a tap on a folder opens it, a name there",
         {TapEntry(u"sub"), Type(u"c.txt"), Press(VK_RETURN)},
         OFN_FILEMUSTEXIST,
         u"\\sub\\c.txt",
         u"\\sub",
         u"c.txt",
         u"",
         {u"..", u"deep", u"c.txt"}},
        {"'..' goes up, a tap on a file fills the field, OK takes it",
         {TapEntry(u"sub"), TapEntry(u".."), TapEntry(u"a.txt"), TapPart(IDOK)},
         OFN_FILEMUSTEXIST,
         u"\\a.txt",
         u"\\",
         u"a.txt",
         u"",
         rootEntries},
        {"a folder typed opens it",
         {Type(u"sub/deep"), Press(VK_RETURN), Type(u"d.txt"), Press(VK_RETURN)},
         OFN_FILEMUSTEXIST,
         u"\\sub\\deep\\d.txt",
         u"\\sub\\deep",
         u"d.txt",
         u"",
         {u"..", u"d.txt"}},
        {"a name of nothing is refused, named; Esc cancels",
         {Type(u"nope.txt"), Press(VK_RETURN), Press(VK_ESCAPE)},
         OFN_FILEMUSTEXIST,
         std::nullopt,
         u"\\",
         u"nope.txt",
         u"\"nope.txt\" does not exist.",
         {}},
        {"a tap on the filter lists every file",
         {TapPart(platform::kOpenFileTypeId), TapEntry(u"b.dat"), Press(VK_RETURN)},
         OFN_FILEMUSTEXIST,
         u"\\b.dat",
         u"\\",
         u"b.dat",
         u"",
         {u"many", u"sub", u"Zeta", u"a.txt", u"b.dat", u"TmcClosure.txt"}},
        {"the arrows pick entries and fill the field",
         {Press(VK_DOWN), Press(VK_DOWN), Press(VK_DOWN), Press(VK_DOWN), Press(VK_DOWN),
          Press(VK_UP), Press(VK_RETURN)},
         OFN_FILEMUSTEXIST,
         u"\\a.txt",
         u"\\",
         u"a.txt",
         u"",
         {}},
        {"an entry the list shows after scrolling",
         {TapEntry(u"many"), TapEntry(u"f17.txt"), Press(VK_RETURN)},
         OFN_FILEMUSTEXIST,
         u"\\many\\f17.txt",
         u"\\many",
         u"f17.txt",
         u"",
         {}},
        {"no name where a file is wanted is refused; Cancel cancels",
         {Press(VK_RETURN), TapPart(IDCANCEL)},
         OFN_FILEMUSTEXIST,
         std::nullopt,
         u"\\",
         u"",
         u"Choose a file.",
         {}},
        {"no name where any path will do: the folder shown",
         {TapEntry(u"sub"), Press(VK_RETURN)},
         0,
         u"\\sub",
         u"\\sub",
         u"",
         u"",
         {}},
        {"every file but the program's own lock file",
         {TapPart(platform::kOpenFileTypeId), Press(VK_ESCAPE)},
         OFN_FILEMUSTEXIST,
         std::nullopt,
         u"\\",
         u"",
         u"",
         {u"many", u"sub", u"Zeta", u"a.txt", u"b.dat", u"TmcClosure.txt"}},
        {"every file but the socket of the program's instance channel",
         {TapPart(platform::kOpenFileTypeId), Press(VK_ESCAPE)},
         OFN_FILEMUSTEXIST,
         std::nullopt,
         u"\\",
         u"",
         u"",
         {u"many", u"sub", u"Zeta", u"a.txt", u"b.dat", u"TmcClosure.txt"},
         Channel::Open},
        {"every file but the channel socket a killed instance left",
         {TapPart(platform::kOpenFileTypeId), Press(VK_ESCAPE)},
         OFN_FILEMUSTEXIST,
         std::nullopt,
         u"\\",
         u"",
         u"",
         {u"many", u"sub", u"Zeta", u"a.txt", u"b.dat", u"TmcClosure.txt"},
         Channel::Left},
        {"Esc at once",
         {Press(VK_ESCAPE)},
         OFN_FILEMUSTEXIST,
         std::nullopt,
         u"\\",
         u"",
         u"",
         rootEntries},
    };
    std::vector<std::uint32_t> before;
    int width = 0;
    int height = 0;
    ASSERT_TRUE(platform::ReadScreenPixels(nullptr, &before, &width, &height));
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        const std::filesystem::path socket = platform::NamedMutexSocketPath(u"Navigator");
        if (row.channel == Channel::Open) {
            ASSERT_TRUE(platform::OpenInstanceChannel(
                u"Navigator", [](const platform::InstanceRequest&) { return true; }));
        } else if (row.channel == Channel::Left) {
            ASSERT_TRUE(LeaveSocketFile(socket));
        }
        if (row.channel != Channel::None) {
            ASSERT_TRUE(std::filesystem::is_socket(socket));
        }
        SeenDialog seen;
        EXPECT_EQ(Ask(row.actions, row.flags, seen), row.answer);
        if (row.channel == Channel::Open) {
            platform::CloseInstanceChannel();
        } else if (row.channel == Channel::Left) {
            std::filesystem::remove(socket);
        }
        EXPECT_TRUE(seen.isShown);
        EXPECT_EQ(seen.title, u"Open");
        EXPECT_EQ(seen.folder, row.folder);
        EXPECT_EQ(seen.field, row.field);
        EXPECT_EQ(seen.refusal, row.refusal);
        if (!row.entries.empty()) {
            EXPECT_EQ(seen.entries, row.entries);
        }
        EXPECT_TRUE(seen.isFieldFocused);
        EXPECT_FALSE(seen.isOwnerEnabled);
        EXPECT_EQ(seen.unlikeRepaint, std::nullopt) << "the dialog paints as a repaint does";
        // Gone, the owner enabled and active, the screen as before.
        EXPECT_EQ(ShownDialog(), nullptr);
        EXPECT_TRUE(IsWindowEnabled(m_owner));
        EXPECT_EQ(GetActiveWindow(), m_owner);
        std::vector<std::uint32_t> after;
        ASSERT_TRUE(platform::ReadScreenPixels(nullptr, &after, &width, &height));
        EXPECT_EQ(platform::FirstDifference(before, after, width), std::nullopt);
    }
    EXPECT_EQ(platform::RecordedOpenFileRequests().size(), std::size(rows));
}

} // namespace
