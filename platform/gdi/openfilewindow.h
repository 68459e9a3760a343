#pragma once
// The system's open-file dialog as a window of the screen: a modal dialog over its owner (or
// over the active window) with a title strip, the folder it shows (the device root at first), a
// list of that folder's folders and of its files that match the filter chosen (never the
// platform's own files in the device root: the lock files of named mutexes, the program's
// single-instance lock ".mutex-<hash>.lock" among them, and their instance channels' sockets),
// the filter's name (a tap picks the next of the caller's filters), a file-name field that has
// the focus, a line for what was refused, and OK and Cancel. Its texts come from the language
// library of the program (platform::ResourceInstance), in English where it has none.
//
// A tap on a folder of the list opens it (on ".." the folder above), a tap on a file puts its
// name in the field; Up and Down pick the entry above or below, PageUp and PageDown a list's
// height on, and put its name in the field. Enter (or OK) takes the name in the field: relative
// to the folder shown or, beginning with '\', a device path; a folder opens, a file is the
// answer, a name that names nothing is refused, named on the dialog's refusal line. With the
// field empty, a caller that does not insist on a file (no OFN_FILEMUSTEXIST) gets the folder
// shown. Esc (or Cancel) cancels. While it is up it takes every key (platform::SetModalWindow):
// nothing beneath it reacts to one, the hot keys of the window beneath included.
//
// The dialog is a top-level window of class kOpenFileDialogClass whose text is its title; each
// part is a child window with its text (the folder, the filter's name, the field, the refusal,
// the buttons: control ids IDOK and IDCANCEL), so whatever looks at the shown windows finds
// them. Any thread: the dialog belongs to the calling thread and runs its own loop there.

#include "platform/shell/dialogs.h"
#include "platform/window/windowtypes.h"

#include <optional>
#include <string>

namespace platform {

inline constexpr char16_t kOpenFileDialogClass[] = u"SystemOpenFileDialog";
// The class of its list, which answers LB_GETCOUNT, LB_GETTEXTLEN, LB_GETTEXT (every entry, the
// rows scrolled away too), LB_GETCURSEL, LB_GETTOPINDEX and LB_GETITEMRECT as a list box does.
inline constexpr char16_t kOpenFileListClass[] = u"SystemOpenFileList";
// The control ids of its parts besides IDOK and IDCANCEL.
inline constexpr int kOpenFileFolderId = 0x4F01;
inline constexpr int kOpenFileListId = 0x4F02;
inline constexpr int kOpenFileTypeId = 0x4F03;
inline constexpr int kOpenFileNameId = 0x4F04;
inline constexpr int kOpenFileRefusalId = 0x4F05;

// The ids of the dialog's texts in the language library: the title, the field's and the
// filter's labels, OK, Cancel, the refusal of a name that names nothing ("%s" the name as
// typed) and the refusal of an empty field where a file is wanted.
inline constexpr unsigned kOpenFileTitleText = 9010;
inline constexpr unsigned kOpenFileNameText = 9011;
inline constexpr unsigned kOpenFileTypeText = 9012;
inline constexpr unsigned kOpenFileOkText = 9013;
inline constexpr unsigned kOpenFileCancelText = 9014;
inline constexpr unsigned kOpenFileMissingText = 9015;
inline constexpr unsigned kOpenFileNoNameText = 9016;

// Shows the dialog and returns the chosen device path, nullopt when it was cancelled, ended by a
// WM_QUIT (posted again, so that outer loops end too) or by EndMessageBoxWindows.
std::optional<std::u16string> ShowOpenFileDialogWindow(const OpenFileRequest& request);

// The title the dialog shows for the request: the caller's, else the language's.
[[nodiscard]] std::u16string OpenFileDialogTitle(const OpenFileRequest& request);

// Makes GetOpenFileNameW show the dialog (SetOpenFilePresenter); answers queued ahead still
// answer first.
void ShowOpenFileDialogsAsWindows();

// True for a shown or hidden open-file dialog. Any thread.
[[nodiscard]] bool IsOpenFileDialogWindow(HWND window);

} // namespace platform
