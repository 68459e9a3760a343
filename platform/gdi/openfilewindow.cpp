// The open-file dialog window: its layout, the folder listing, painting, input and modal loop.
#include "platform/gdi/openfilewindow.h"

#include "platform/files/files.h"
#include "platform/files/mutex.h"
#include "platform/files/paths.h"
#include "platform/gdi/detail/systemwindow.h"
#include "platform/kernel/codepage.h"
#include "platform/kernel/text.h"
#include "platform/shell/resources.h"
#include "platform/window/controls.h"
#include "platform/window/input.h"
#include "platform/window/message.h"
#include "platform/window/paint.h"
#include "platform/window/window.h"

#include <algorithm>
#include <array>
#include <mutex>
#include <set>
#include <string_view>
#include <vector>

using namespace platform::gdi_detail;

namespace {

constexpr char16_t kFileLabelClass[] = u"SystemOpenFileLabel";
constexpr char16_t kFileTypeClass[] = u"SystemOpenFileType";
constexpr char16_t kFileButtonClass[] = u"SystemOpenFileButton";
// Posted by EndMessageBoxWindows: ends the dialog unanswered.
constexpr UINT kEndFileDialogMessage = WM_USER + 0x4F44;

constexpr COLORREF kRefusalInk = RGB(170, 0, 0);
constexpr COLORREF kFolderFace = RGB(232, 184, 48);
constexpr int kFileMargin = 4;
constexpr int kFileIconWidth = 10;
constexpr int kFileStripWidth = 16;
constexpr int kFileDialogHeight = 280;
constexpr int kFileTextChars = 512;

struct FileEntry {
    std::u16string name;
    bool isFolder = false;
};

struct FileFilter {
    std::u16string name;
    std::u16string patterns; // separated by ';'
};

struct FileDialogTexts {
    std::u16string name;
    std::u16string type;
    std::u16string ok;
    std::u16string cancel;
    std::u16string missing;
    std::u16string noName;
};

struct FileDialogState {
    platform::OpenFileRequest request;
    FileDialogTexts texts;
    std::vector<FileFilter> filters;
    std::size_t filterIndex = 0;
    std::u16string folder = u"\\";
    std::vector<FileEntry> entries;
    int top = 0;       // the first entry the list shows
    int selected = -1; // the entry picked, -1 for none
    int scale = 1;
    int rowHeight = 1;
    HFONT font = nullptr;
    HFONT boldFont = nullptr;
    HWND dialog = nullptr;
    int pressed = 0; // the button held down by the stylus
    bool isEnded = false;
    std::optional<std::u16string> answer;
};

std::mutex& OpenDialogsMutex() {
    static std::mutex mutex;
    return mutex;
}

std::set<HWND>& OpenDialogs() { // guarded by OpenDialogsMutex
    static std::set<HWND>* dialogs = new std::set<HWND>;
    return *dialogs;
}

FileDialogState* FileDialogOf(HWND window) {
    HWND dialog = TopLevelWindowOf(window);
    return dialog == nullptr
               ? nullptr
               : reinterpret_cast<FileDialogState*>(GetWindowLongW(dialog, GWL_USERDATA));
}

std::u16string LoadDialogText(unsigned id, std::u16string_view fallback) {
    std::array<WCHAR, 256> text{};
    const int length =
        LoadStringW(platform::ResourceInstance(), id, text.data(), static_cast<int>(text.size()));
    return length > 0 ? std::u16string(text.data(), static_cast<std::size_t>(length))
                      : std::u16string(fallback);
}

FileDialogTexts LoadDialogTexts() {
    return FileDialogTexts{
        LoadDialogText(platform::kOpenFileNameText, u"Name:"),
        LoadDialogText(platform::kOpenFileTypeText, u"Type:"),
        LoadDialogText(platform::kOpenFileOkText, u"OK"),
        LoadDialogText(platform::kOpenFileCancelText, u"Cancel"),
        LoadDialogText(platform::kOpenFileMissingText, u"\"%s\" does not exist."),
        LoadDialogText(platform::kOpenFileNoNameText, u"Choose a file."),
    };
}

// The caller's filter as name and patterns; every file when it gives none.
std::vector<FileFilter> FiltersOf(const platform::OpenFileRequest& request) {
    std::vector<FileFilter> filters;
    for (std::size_t i = 0; i + 1 < request.filter.size(); i += 2)
        filters.push_back(FileFilter{request.filter[i], request.filter[i + 1]});
    if (filters.empty())
        filters.push_back(FileFilter{u"*.*", u"*.*"});
    return filters;
}

std::vector<std::u16string_view> SplitAt(std::u16string_view text, std::u16string_view separators) {
    std::vector<std::u16string_view> parts;
    std::size_t at = 0;
    while (at <= text.size()) {
        const std::size_t end = std::min(text.find_first_of(separators, at), text.size());
        parts.push_back(text.substr(at, end - at));
        at = end + 1;
    }
    return parts;
}

std::u16string_view TrimmedBlanks(std::u16string_view text) {
    while (!text.empty() && (text.front() == u' ' || text.front() == u'\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == u' ' || text.back() == u'\t'))
        text.remove_suffix(1);
    return text;
}

// The device path of name taken in folder ('\' or '/' first: from the root), "." and ".."
// resolved, never above the root.
std::u16string ResolvePath(const std::u16string& folder, std::u16string_view name) {
    if (!name.empty() && (name.front() == u'\\' || name.front() == u'/'))
        return platform::NormalizeDevicePath(name);
    return platform::NormalizeDevicePath(folder + u"\\" + std::u16string(name));
}

bool IsFolderEntry(const WIN32_FIND_DATAW& data) {
    return (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// Calls found for each entry of the folder that matches pattern.
template <typename Found>
void ListMatches(const std::u16string& folder, std::u16string_view pattern, Found found) {
    const std::u16string search =
        (folder == u"\\" ? folder : folder + u"\\") + std::u16string(pattern);
    WIN32_FIND_DATAW data{};
    HANDLE find = FindFirstFileW(search.c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do {
        const std::u16string name(data.cFileName);
        if (name != u"." && name != u"..")
            found(name, IsFolderEntry(data));
    } while (FindNextFileW(find, &data) != FALSE);
    FindClose(find);
}

// The platform's own files in the device root: the lock files of named mutexes (the program's
// single-instance lock) and the sockets of their instance channels.
bool IsPlatformFile(const std::u16string& folder, const std::u16string& name) {
    if (folder != u"\\")
        return false;
    const std::string narrow = platform::Utf16ToUtf8(name);
    return platform::IsNamedMutexLockFile(narrow) || platform::IsNamedMutexSocketFile(narrow);
}

// ".." below the root, then the folder's folders, then its files that match the patterns, each
// in the order of their names without letter case; the platform's own files are not offered.
std::vector<FileEntry> ListFolder(const std::u16string& folder, const std::u16string& patterns) {
    std::vector<std::u16string> folders;
    std::vector<std::u16string> files;
    ListMatches(folder, u"*", [&folders](const std::u16string& name, bool isFolder) {
        if (isFolder)
            folders.push_back(name);
    });
    for (const std::u16string_view pattern : SplitAt(patterns, u";")) {
        if (TrimmedBlanks(pattern).empty())
            continue;
        ListMatches(folder, TrimmedBlanks(pattern),
                    [&files, &folder](const std::u16string& name, bool isFolder) {
                        if (!isFolder && !IsPlatformFile(folder, name))
                            files.push_back(name);
                    });
    }
    const auto byName = [](const std::u16string& a, const std::u16string& b) {
        return platform::CompareNoCase(a, b) < 0;
    };
    std::sort(folders.begin(), folders.end(), byName);
    std::sort(files.begin(), files.end(), byName);
    files.erase(std::unique(files.begin(), files.end()), files.end());
    std::vector<FileEntry> entries;
    if (folder != u"\\")
        entries.push_back(FileEntry{u"..", true});
    for (std::u16string& name : folders)
        entries.push_back(FileEntry{std::move(name), true});
    for (std::u16string& name : files)
        entries.push_back(FileEntry{std::move(name), false});
    return entries;
}

int ListRows(HWND list, const FileDialogState& state) {
    RECT client{};
    GetClientRect(list, &client);
    return std::max(1, static_cast<int>(client.bottom - client.top) / state.rowHeight);
}

bool HasStrip(HWND list, const FileDialogState& state) {
    return static_cast<int>(state.entries.size()) > ListRows(list, state);
}

void EndFileDialog(FileDialogState& state, std::optional<std::u16string> answer) {
    if (state.isEnded)
        return;
    state.isEnded = true;
    state.answer = std::move(answer);
    PostMessageW(state.dialog, WM_NULL, 0, 0); // wakes the modal loop
}

void SetRefusal(FileDialogState& state, const std::u16string& text) {
    HWND refusal = GetDlgItem(state.dialog, platform::kOpenFileRefusalId);
    if (platform::WindowTextOf(refusal) == text)
        return;
    SetWindowTextW(refusal, text.c_str());
    InvalidateRect(refusal, nullptr, TRUE);
}

void ShowFolder(FileDialogState& state, const std::u16string& folder) {
    state.folder = folder;
    state.entries = ListFolder(folder, state.filters[state.filterIndex].patterns);
    state.top = 0;
    state.selected = -1;
    HWND label = GetDlgItem(state.dialog, platform::kOpenFileFolderId);
    SetWindowTextW(label, folder.c_str());
    InvalidateRect(label, nullptr, TRUE);
    InvalidateRect(GetDlgItem(state.dialog, platform::kOpenFileListId), nullptr, TRUE);
    SetRefusal(state, u"");
}

void SetNameField(FileDialogState& state, const std::u16string& name) {
    HWND field = GetDlgItem(state.dialog, platform::kOpenFileNameId);
    SetWindowTextW(field, name.c_str());
    SendMessageW(field, EM_SETSEL, static_cast<WPARAM>(name.size()),
                 static_cast<LPARAM>(name.size()));
}

// Picks the entry and scrolls the list to it; its name goes to the field.
void Select(FileDialogState& state, int index) {
    if (state.entries.empty())
        return;
    index = std::clamp(index, 0, static_cast<int>(state.entries.size()) - 1);
    HWND list = GetDlgItem(state.dialog, platform::kOpenFileListId);
    const int rows = ListRows(list, state);
    state.selected = index;
    if (index < state.top)
        state.top = index;
    else if (index >= state.top + rows)
        state.top = index - rows + 1;
    InvalidateRect(list, nullptr, TRUE);
    SetNameField(state, state.entries[static_cast<std::size_t>(index)].name);
}

// Takes the name in the field: a folder opens, a file answers, anything else is refused.
void TakeName(FileDialogState& state) {
    HWND field = GetDlgItem(state.dialog, platform::kOpenFileNameId);
    const std::u16string typed(TrimmedBlanks(platform::WindowTextOf(field)));
    if (typed.empty()) {
        if ((state.request.flags & OFN_FILEMUSTEXIST) == 0)
            EndFileDialog(state, state.folder);
        else
            SetRefusal(state, state.texts.noName);
        return;
    }
    const std::u16string path = ResolvePath(state.folder, typed);
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        std::u16string refusal = state.texts.missing;
        if (const std::size_t at = refusal.find(u"%s"); at != std::u16string::npos)
            refusal.replace(at, 2, typed);
        else
            refusal = typed + u": " + refusal;
        SetRefusal(state, refusal);
        SendMessageW(field, EM_SETSEL, 0, -1);
        return;
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        ShowFolder(state, path);
        SetNameField(state, u"");
        return;
    }
    EndFileDialog(state, path);
}

// A tap on a row: a folder opens, a file's name goes to the field.
void TapEntry(FileDialogState& state, int index) {
    if (index < 0 || index >= static_cast<int>(state.entries.size()))
        return;
    const FileEntry entry = state.entries[static_cast<std::size_t>(index)];
    if (entry.isFolder) {
        ShowFolder(state, ResolvePath(state.folder, entry.name));
        SetNameField(state, u"");
        return;
    }
    Select(state, index);
    SetRefusal(state, u"");
}

void DrawEntryIcon(HDC dc, const RECT& row, bool isFolder, int scale) {
    const int size = kFileIconWidth * scale;
    const int top = row.top + (row.bottom - row.top - size) / 2;
    HBRUSH face = CreateSolidBrush(isFolder ? kFolderFace : kSystemBody);
    HGDIOBJ oldBrush = SelectObject(dc, face);
    HGDIOBJ oldPen = SelectObject(dc, GetStockObject(BLACK_PEN));
    Rectangle(dc, row.left, top + (isFolder ? scale * 2 : 0), row.left + size, top + size);
    SelectObject(dc, oldPen);
    SelectObject(dc, oldBrush);
    DeleteObject(face);
}

void DrawStripArrow(HDC dc, const RECT& half, bool isUp) {
    const int midX = (half.left + half.right) / 2;
    const int midY = (half.top + half.bottom) / 2;
    const int reach = std::max<int>(2, (half.right - half.left) / 4);
    const POINT corners[] = {{midX, midY + (isUp ? -reach : reach)},
                             {midX + reach, midY + (isUp ? reach : -reach) / 2},
                             {midX - reach, midY + (isUp ? reach : -reach) / 2}};
    HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(BLACK_BRUSH));
    HGDIOBJ oldPen = SelectObject(dc, GetStockObject(BLACK_PEN));
    Polygon(dc, corners, 3);
    SelectObject(dc, oldPen);
    SelectObject(dc, oldBrush);
}

void PaintFileList(HWND list) {
    PAINTSTRUCT paint{};
    HDC dc = BeginPaint(list, &paint);
    const FileDialogState* state = FileDialogOf(list);
    if (dc != nullptr && state != nullptr) {
        RECT client{};
        GetClientRect(list, &client);
        FillSolid(dc, client, kSystemBody);
        const int s = state->scale;
        RECT rows = client;
        if (HasStrip(list, *state)) {
            rows.right -= kFileStripWidth * s;
            RECT strip{rows.right, client.top, client.right, client.bottom};
            FillSolid(dc, strip, kSystemButtonFace);
            const LONG middle = (strip.top + strip.bottom) / 2;
            DrawStripArrow(dc, RECT{strip.left, strip.top, strip.right, middle}, true);
            DrawStripArrow(dc, RECT{strip.left, middle, strip.right, strip.bottom}, false);
        }
        HGDIOBJ oldFont = SelectObject(dc, state->font);
        const int shown = ListRows(list, *state);
        for (int i = 0; i < shown; ++i) {
            const int index = state->top + i;
            if (index >= static_cast<int>(state->entries.size()))
                break;
            const FileEntry& entry = state->entries[static_cast<std::size_t>(index)];
            RECT row{rows.left, rows.top + i * state->rowHeight, rows.right,
                     rows.top + (i + 1) * state->rowHeight};
            const bool isSelected = index == state->selected;
            if (isSelected)
                FillSolid(dc, row, kSystemTitleBack);
            RECT icon{row.left + 2 * s, row.top, row.right, row.bottom};
            DrawEntryIcon(dc, icon, entry.isFolder, s);
            RECT text{icon.left + (kFileIconWidth + 4) * s, row.top, row.right, row.bottom};
            DrawSystemText(dc, entry.name, text, DT_LEFT | DT_VCENTER | DT_SINGLELINE,
                           isSelected ? kSystemTitleText : kSystemInk);
        }
        SelectObject(dc, oldFont);
    }
    EndPaint(list, &paint);
}

LRESULT FileListProcedure(HWND list, UINT message, WPARAM wParam, LPARAM lParam) {
    FileDialogState* state = FileDialogOf(list);
    switch (message) {
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT:
        PaintFileList(list);
        return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
        if (state == nullptr)
            return 0;
        const POINT at{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        RECT client{};
        GetClientRect(list, &client);
        const int rows = ListRows(list, *state);
        if (HasStrip(list, *state) && at.x >= client.right - kFileStripWidth * state->scale) {
            const int last = std::max(0, static_cast<int>(state->entries.size()) - rows);
            const int step = std::max(1, rows - 1);
            const bool isUp = at.y < (client.top + client.bottom) / 2;
            state->top = std::clamp(state->top + (isUp ? -step : step), 0, last);
            InvalidateRect(list, nullptr, TRUE);
            return 0;
        }
        TapEntry(*state, state->top + static_cast<int>(at.y) / state->rowHeight);
        return 0;
    }
    case WM_KEYDOWN:
        return SendMessageW(GetParent(list), message, wParam, lParam);
    case LB_GETCOUNT:
        return state == nullptr ? 0 : static_cast<LRESULT>(state->entries.size());
    case LB_GETCURSEL:
        return state == nullptr || state->selected < 0 ? LB_ERR : state->selected;
    case LB_GETTOPINDEX:
        return state == nullptr ? 0 : state->top;
    case LB_GETTEXTLEN:
    case LB_GETTEXT: {
        if (state == nullptr || wParam >= state->entries.size())
            return LB_ERR;
        const std::u16string& name = state->entries[wParam].name;
        if (message == LB_GETTEXT)
            std::copy(name.c_str(), name.c_str() + name.size() + 1,
                      reinterpret_cast<WCHAR*>(lParam));
        return static_cast<LRESULT>(name.size());
    }
    case LB_GETITEMRECT: {
        // The row of an entry in client coordinates, where it lies while the list is scrolled.
        if (state == nullptr || wParam >= state->entries.size())
            return LB_ERR;
        RECT client{};
        GetClientRect(list, &client);
        const int row = static_cast<int>(wParam) - state->top;
        *reinterpret_cast<RECT*>(lParam) =
            RECT{client.left, row * state->rowHeight,
                 client.right - (HasStrip(list, *state) ? kFileStripWidth * state->scale : 0),
                 (row + 1) * state->rowHeight};
        return 1;
    }
    default:
        return DefWindowProcW(list, message, wParam, lParam);
    }
}

// The folder shown (bold; a path wider than the line shows its end), the labels and the
// refusal (red).
LRESULT FileLabelProcedure(HWND label, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_ERASEBKGND)
        return 1;
    if (message != WM_PAINT)
        return DefWindowProcW(label, message, wParam, lParam);
    PAINTSTRUCT paint{};
    HDC dc = BeginPaint(label, &paint);
    const FileDialogState* state = FileDialogOf(label);
    if (dc != nullptr && state != nullptr) {
        RECT client{};
        GetClientRect(label, &client);
        FillSolid(dc, client, kSystemBody);
        const int id = GetDlgCtrlID(label);
        HFONT font = id == platform::kOpenFileFolderId ? state->boldFont : state->font;
        const std::u16string text = platform::WindowTextOf(label);
        const bool isWider = MeasureSystemText(font, text, 0).cx > client.right - client.left;
        HGDIOBJ oldFont = SelectObject(dc, font);
        DrawSystemText(dc, text, client,
                       (isWider ? DT_RIGHT : DT_LEFT) | DT_VCENTER | DT_SINGLELINE,
                       id == platform::kOpenFileRefusalId ? kRefusalInk : kSystemInk);
        SelectObject(dc, oldFont);
    }
    EndPaint(label, &paint);
    return 0;
}

// The filter's name in a framed field with an arrow; a tap picks the caller's next filter.
LRESULT FileTypeProcedure(HWND type, UINT message, WPARAM wParam, LPARAM lParam) {
    FileDialogState* state = FileDialogOf(type);
    switch (message) {
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT: {
        PAINTSTRUCT paint{};
        HDC dc = BeginPaint(type, &paint);
        if (dc != nullptr && state != nullptr) {
            RECT client{};
            GetClientRect(type, &client);
            const int s = state->scale;
            FillSolid(dc, client, kSystemInk);
            RECT inside{client.left + s, client.top + s, client.right - s, client.bottom - s};
            FillSolid(dc, inside, kSystemBody);
            RECT arrow{inside.right - kFileStripWidth * s, inside.top, inside.right, inside.bottom};
            FillSolid(dc, arrow, kSystemButtonFace);
            DrawStripArrow(dc, arrow, false);
            RECT text{inside.left + 2 * s, inside.top, arrow.left, inside.bottom};
            HGDIOBJ oldFont = SelectObject(dc, state->font);
            DrawSystemText(dc, platform::WindowTextOf(type), text,
                           DT_LEFT | DT_VCENTER | DT_SINGLELINE, kSystemInk);
            SelectObject(dc, oldFont);
        }
        EndPaint(type, &paint);
        return 0;
    }
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        if (state != nullptr && state->filters.size() > 1) {
            state->filterIndex = (state->filterIndex + 1) % state->filters.size();
            SetWindowTextW(type, state->filters[state->filterIndex].name.c_str());
            InvalidateRect(type, nullptr, TRUE);
            const std::u16string field =
                platform::WindowTextOf(GetDlgItem(state->dialog, platform::kOpenFileNameId));
            ShowFolder(*state, state->folder);
            SetNameField(*state, field);
        }
        return 0;
    case WM_KEYDOWN:
        return SendMessageW(GetParent(type), message, wParam, lParam);
    default:
        return DefWindowProcW(type, message, wParam, lParam);
    }
}

LRESULT FileButtonProcedure(HWND button, UINT message, WPARAM wParam, LPARAM lParam) {
    FileDialogState* state = FileDialogOf(button);
    const int id = GetDlgCtrlID(button);
    if (state != nullptr) {
        if (const std::optional<LRESULT> result =
                TrackSystemButton(button, message, lParam, state->pressed, [state, id] {
                    if (id == IDOK)
                        TakeName(*state);
                    else
                        EndFileDialog(*state, std::nullopt);
                }))
            return *result;
    }
    switch (message) {
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT: {
        PAINTSTRUCT paint{};
        HDC dc = BeginPaint(button, &paint);
        if (dc != nullptr && state != nullptr) {
            RECT client{};
            GetClientRect(button, &client);
            DrawSystemButton(dc, client, platform::WindowTextOf(button), state->font, state->scale,
                             state->pressed == id, id == IDOK);
        }
        EndPaint(button, &paint);
        return 0;
    }
    case WM_KEYDOWN:
        return SendMessageW(GetParent(button), message, wParam, lParam);
    default:
        return DefWindowProcW(button, message, wParam, lParam);
    }
}

void PaintFileDialog(HWND dialog) {
    PAINTSTRUCT paint{};
    HDC dc = BeginPaint(dialog, &paint);
    const FileDialogState* state = FileDialogOf(dialog);
    if (dc != nullptr && state != nullptr) {
        RECT client{};
        GetClientRect(dialog, &client);
        const int s = state->scale;
        FillSolid(dc, client, kSystemInk); // the frame
        RECT inside{client.left + s, client.top + s, client.right - s, client.bottom - s};
        FillSolid(dc, inside, kSystemBody);
        const int titleHeight = MeasureSystemText(state->boldFont, u"Ag", 0).cy + 6 * s;
        RECT title{inside.left, inside.top, inside.right, inside.top + titleHeight};
        FillSolid(dc, title, kSystemTitleBack);
        title.left += 4 * s;
        title.right -= 4 * s;
        HGDIOBJ oldFont = SelectObject(dc, state->boldFont);
        DrawSystemText(dc, platform::WindowTextOf(dialog), title,
                       DT_LEFT | DT_VCENTER | DT_SINGLELINE, kSystemTitleText);
        SelectObject(dc, oldFont);
    }
    EndPaint(dialog, &paint);
}

// Up and Down pick the entry beside the picked one, PageUp and PageDown a list's height on,
// Enter takes the field, Esc cancels; true when the key was the dialog's.
bool DialogKey(FileDialogState& state, WPARAM key) {
    HWND list = GetDlgItem(state.dialog, platform::kOpenFileListId);
    const int page = std::max(1, ListRows(list, state) - 1);
    switch (key) {
    case VK_RETURN:
        TakeName(state);
        return true;
    case VK_ESCAPE:
        EndFileDialog(state, std::nullopt);
        return true;
    case VK_UP:
        Select(state, state.selected < 0 ? 0 : state.selected - 1);
        return true;
    case VK_DOWN:
        Select(state, state.selected + 1);
        return true;
    case VK_PRIOR:
        Select(state, state.selected < 0 ? 0 : state.selected - page);
        return true;
    case VK_NEXT:
        Select(state, std::max(state.selected, 0) + page);
        return true;
    default:
        return false;
    }
}

LRESULT FileDialogProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE: {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongW(dialog, GWL_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
        return 0;
    }
    case WM_ERASEBKGND:
        return 1; // the paint covers it all
    case WM_PAINT:
        PaintFileDialog(dialog);
        return 0;
    case WM_KEYDOWN:
        if (FileDialogState* state = FileDialogOf(dialog); state != nullptr)
            (void)DialogKey(*state, wParam);
        return 0;
    case WM_CLOSE:
    case kEndFileDialogMessage:
        if (FileDialogState* state = FileDialogOf(dialog); state != nullptr)
            EndFileDialog(*state, std::nullopt);
        return 0;
    default:
        return DefWindowProcW(dialog, message, wParam, lParam);
    }
}

void RegisterFileDialogClasses() {
    static std::once_flag once;
    std::call_once(once, [] {
        RegisterSystemClasses({{platform::kOpenFileDialogClass, &FileDialogProcedure},
                               {platform::kOpenFileListClass, &FileListProcedure},
                               {kFileLabelClass, &FileLabelProcedure},
                               {kFileTypeClass, &FileTypeProcedure},
                               {kFileButtonClass, &FileButtonProcedure}});
    });
}

HWND AddPart(HWND dialog, const char16_t* className, const std::u16string& text, DWORD style,
             const RECT& rect, int id) {
    return CreateWindowExW(0, className, text.c_str(), WS_CHILD | WS_VISIBLE | style, rect.left,
                           rect.top, rect.right - rect.left, rect.bottom - rect.top, dialog,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
}

// Makes the dialog with its parts, as wide as the work area allows up to a 240-pixel screen's
// width, centred over the rectangle over. Null when it cannot be made.
HWND CreateFileDialog(FileDialogState& state, HWND owner, const RECT& over, const RECT& work) {
    const int s = state.scale;
    const int margin = kFileMargin * s;
    const int line = MeasureSystemText(state.font, u"Ag", 0).cy;
    const int width = std::min<int>(work.right - work.left, 240 * s);
    const int height = std::min<int>(work.bottom - work.top, kFileDialogHeight * s);
    const int x = PlaceCentred(width, over.left, over.right, work.left, work.right);
    const int y = PlaceCentred(height, over.top, over.bottom, work.top, work.bottom);
    const std::u16string title = platform::OpenFileDialogTitle(state.request);
    HWND dialog = CreateWindowExW(WS_EX_TOPMOST, platform::kOpenFileDialogClass, title.c_str(),
                                  WS_POPUP | WS_CLIPCHILDREN, x, y, width, height, owner, nullptr,
                                  nullptr, &state);
    if (dialog == nullptr)
        return nullptr;
    state.dialog = dialog;
    state.rowHeight = line + 4 * s;
    const int left = s + margin;
    const int right = width - s - margin;
    // From the top: the title strip, the folder, the list; from the bottom: the buttons, the
    // refusal, the field, the filter.
    const int titleBottom = s + MeasureSystemText(state.boldFont, u"Ag", 0).cy + 6 * s;
    const RECT folder{left, titleBottom + margin, right, titleBottom + margin + line};
    const int buttonHeight = line + 10 * s;
    const int buttonTop = height - s - margin - buttonHeight;
    const RECT refusal{left, buttonTop - margin - line, right, buttonTop - margin};
    const int fieldHeight = line + 6 * s;
    const int fieldTop = refusal.top - margin / 2 - fieldHeight;
    const int labelWidth = std::max(MeasureSystemText(state.font, state.texts.name, 0).cx,
                                    MeasureSystemText(state.font, state.texts.type, 0).cx) +
                           margin;
    const int typeTop = fieldTop - margin / 2 - fieldHeight;
    const RECT list{left, folder.bottom + margin / 2, right, typeTop - margin};
    AddPart(dialog, kFileLabelClass, state.folder, 0, folder, platform::kOpenFileFolderId);
    AddPart(dialog, platform::kOpenFileListClass, u"", 0, list, platform::kOpenFileListId);
    AddPart(dialog, kFileLabelClass, state.texts.type, 0,
            RECT{left, typeTop, left + labelWidth, typeTop + fieldHeight}, 0);
    AddPart(dialog, kFileTypeClass, state.filters[state.filterIndex].name, 0,
            RECT{left + labelWidth, typeTop, right, typeTop + fieldHeight},
            platform::kOpenFileTypeId);
    AddPart(dialog, kFileLabelClass, state.texts.name, 0,
            RECT{left, fieldTop, left + labelWidth, fieldTop + fieldHeight}, 0);
    AddPart(dialog, u"Edit", u"", WS_BORDER | ES_AUTOHSCROLL,
            RECT{left + labelWidth, fieldTop, right, fieldTop + fieldHeight},
            platform::kOpenFileNameId);
    AddPart(dialog, kFileLabelClass, u"", 0, refusal, platform::kOpenFileRefusalId);
    int buttonWidth = kSystemMinButtonWidth * s;
    for (const std::u16string* label : {&state.texts.ok, &state.texts.cancel})
        buttonWidth =
            std::max<int>(buttonWidth, MeasureSystemText(state.font, *label, 0).cx + 16 * s);
    const int buttonsLeft = (width - 2 * buttonWidth - 2 * margin) / 2;
    AddPart(dialog, kFileButtonClass, state.texts.ok, 0,
            RECT{buttonsLeft, buttonTop, buttonsLeft + buttonWidth, buttonTop + buttonHeight},
            IDOK);
    AddPart(dialog, kFileButtonClass, state.texts.cancel, 0,
            RECT{buttonsLeft + buttonWidth + 2 * margin, buttonTop,
                 buttonsLeft + 2 * buttonWidth + 2 * margin, buttonTop + buttonHeight},
            IDCANCEL);
    SendMessageW(GetDlgItem(dialog, platform::kOpenFileNameId), WM_SETFONT,
                 reinterpret_cast<WPARAM>(state.font), 0);
    return dialog;
}

// Where the dialog starts: the folder of the caller's initial file when it names one that
// exists, else the root; the initial file's name goes to the field.
void StartAtInitialFile(FileDialogState& state) {
    const std::u16string& initial = state.request.initialFile;
    std::u16string name = initial;
    if (const std::size_t slash = initial.find_last_of(u"\\/"); slash != std::u16string::npos) {
        const std::u16string folder = ResolvePath(u"\\", initial.substr(0, slash + 1));
        const DWORD attributes = GetFileAttributesW(folder.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
            state.folder = folder;
        name = initial.substr(slash + 1);
    }
    ShowFolder(state, state.folder);
    SetNameField(state, name);
}

} // namespace

namespace platform {

std::optional<std::u16string> ShowOpenFileDialogWindow(const OpenFileRequest& request) {
    RegisterFileDialogClasses();
    FileDialogState state;
    state.request = request;
    state.texts = LoadDialogTexts();
    state.filters = FiltersOf(request);
    state.scale = SystemScale();
    state.font = MakeSystemFont(kSystemFontHeight * state.scale, false);
    state.boldFont = MakeSystemFont(kSystemFontHeight * state.scale, true);
    const SystemPlacement placement = PlaceSystemWindow(request.owner);
    HWND window = CreateFileDialog(state, placement.owner, placement.over, placement.work);
    if (window != nullptr) {
        StartAtInitialFile(state);
        // The dialog's keys, whichever of its parts has the focus.
        RunSystemModal(window, placement.owner, GetDlgItem(window, kOpenFileNameId), state.isEnded,
                       OpenDialogsMutex(), OpenDialogs(), [&](const MSG& msg) {
                           return msg.message == WM_KEYDOWN &&
                                  TopLevelWindowOf(msg.hwnd) == window &&
                                  DialogKey(state, msg.wParam);
                       });
    }
    DeleteObject(state.boldFont);
    DeleteObject(state.font);
    return state.isEnded ? state.answer : std::nullopt;
}

std::u16string OpenFileDialogTitle(const OpenFileRequest& request) {
    return request.title.empty() ? LoadDialogText(kOpenFileTitleText, u"Open") : request.title;
}

void ShowOpenFileDialogsAsWindows() {
    SetOpenFilePresenter(ShowOpenFileDialogWindow);
}

bool IsOpenFileDialogWindow(HWND window) {
    std::lock_guard lock(OpenDialogsMutex());
    return OpenDialogs().contains(window);
}

} // namespace platform

namespace platform::gdi_detail {

void EndOpenFileDialogWindows() {
    std::lock_guard lock(OpenDialogsMutex());
    for (HWND dialog : OpenDialogs())
        PostMessageW(dialog, kEndFileDialogMessage, 0, 0);
}

} // namespace platform::gdi_detail
