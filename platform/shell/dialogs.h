#pragma once
// The system open-file dialog. It records each request and answers from a queue of scripted
// answers that tests push; with none queued, the installed presenter answers (the dialog as a
// window of the screen: platform/gdi/openfilewindow.h), and without a presenter the user
// "cancels". Safe from any thread.

#include "platform/types.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

using LPOFNHOOKPROC = ULONG_PTR (*)(HWND, UINT, WPARAM, LPARAM);

struct OPENFILENAMEW {
    DWORD lStructSize;
    HWND hwndOwner;
    HINSTANCE hInstance;
    LPCWSTR lpstrFilter; // pairs of zero-terminated texts, ended by an empty text
    LPWSTR lpstrCustomFilter;
    DWORD nMaxCustFilter;
    DWORD nFilterIndex;
    LPWSTR lpstrFile; // in: initial file name; out: the chosen full path
    DWORD nMaxFile;   // characters in lpstrFile, terminating zero included
    LPWSTR lpstrFileTitle;
    DWORD nMaxFileTitle;
    LPCWSTR lpstrInitialDir;
    LPCWSTR lpstrTitle;
    DWORD Flags;
    WORD nFileOffset;
    WORD nFileExtension;
    LPCWSTR lpstrDefExt;
    LPARAM lCustData;
    LPOFNHOOKPROC lpfnHook;
    LPCWSTR lpTemplateName;
};
using LPOPENFILENAMEW = OPENFILENAMEW*;

// The structure size of the device's 32-bit layout; accepted beside sizeof(OPENFILENAMEW).
constexpr DWORD OPENFILENAME_DEVICE_SIZE = 76;

constexpr DWORD OFN_READONLY = 0x1;
constexpr DWORD OFN_OVERWRITEPROMPT = 0x2;
constexpr DWORD OFN_HIDEREADONLY = 0x4;
constexpr DWORD OFN_PATHMUSTEXIST = 0x800;
constexpr DWORD OFN_FILEMUSTEXIST = 0x1000;

// Error codes of CommDlgExtendedError.
constexpr DWORD CDERR_STRUCTSIZE = 0x0001;
constexpr DWORD CDERR_INITIALIZATION = 0x0002;
constexpr DWORD FNERR_BUFFERTOOSMALL = 0x3003;

// TRUE when the user chose a file: its full path is in lpstrFile, nFileOffset and
// nFileExtension point at its name and extension. FALSE on cancel (CommDlgExtendedError 0),
// for a bad structure (CDERR_STRUCTSIZE, CDERR_INITIALIZATION for a missing buffer), or when
// the path does not fit (FNERR_BUFFERTOOSMALL; the first character then holds the size needed).
[[nodiscard]] BOOL GetOpenFileNameW(LPOPENFILENAMEW openFileName);
// The reason of the calling thread's last failed dialog, 0 after a cancel or success.
[[nodiscard]] DWORD CommDlgExtendedError();

namespace platform {

// What a dialog was asked to show.
struct OpenFileRequest {
    HWND owner = nullptr;
    std::vector<std::u16string> filter; // the texts of lpstrFilter in order
    std::u16string initialFile;
    std::u16string title;
    DWORD flags = 0;
};

// A presenter returns the chosen path, or nullopt for cancel.
using OpenFilePresenter = std::function<std::optional<std::u16string>(const OpenFileRequest&)>;

// Queues the answer of the next dialog, which is then not presented: a path to choose, or
// nullopt to cancel.
void PushOpenFileAnswer(std::optional<std::u16string> answer);
// The requests recorded since the last clear, oldest first.
[[nodiscard]] std::vector<OpenFileRequest> RecordedOpenFileRequests();
// Forgets recorded requests and queued answers.
void ClearOpenFileDialogs();
// Presents the dialogs that no queued answer answers; an empty function: they are cancelled.
void SetOpenFilePresenter(OpenFilePresenter presenter);

} // namespace platform
