#pragma once
// Message boxes. Every box is recorded with its answer. A queued scripted answer answers the next
// box at once; otherwise the installed sink shows it (platform/gdi/messageboxwindow.h shows it
// as a window); without a sink nobody is asked and the box takes its default button at once.
// Safe from any thread.

#include "platform/types.h"

#include <functional>
#include <string>
#include <vector>

constexpr UINT MB_OK = 0x0;
constexpr UINT MB_OKCANCEL = 0x1;
constexpr UINT MB_ABORTRETRYIGNORE = 0x2;
constexpr UINT MB_YESNOCANCEL = 0x3;
constexpr UINT MB_YESNO = 0x4;
constexpr UINT MB_RETRYCANCEL = 0x5;
constexpr UINT MB_ICONHAND = 0x10;
constexpr UINT MB_ICONERROR = MB_ICONHAND;
constexpr UINT MB_ICONSTOP = MB_ICONHAND;
constexpr UINT MB_ICONQUESTION = 0x20;
constexpr UINT MB_ICONEXCLAMATION = 0x30;
constexpr UINT MB_ICONWARNING = MB_ICONEXCLAMATION;
constexpr UINT MB_ICONINFORMATION = 0x40;
constexpr UINT MB_ICONASTERISK = MB_ICONINFORMATION;
constexpr UINT MB_DEFBUTTON1 = 0x0;
constexpr UINT MB_DEFBUTTON2 = 0x100;
constexpr UINT MB_DEFBUTTON3 = 0x200;
constexpr UINT MB_APPLMODAL = 0x0;
constexpr UINT MB_SETFOREGROUND = 0x10000;
constexpr UINT MB_TOPMOST = 0x40000;
constexpr UINT MB_TYPEMASK = 0xF;
constexpr UINT MB_ICONMASK = 0xF0;
constexpr UINT MB_DEFMASK = 0xF00;

constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDABORT = 3;
constexpr int IDRETRY = 4;
constexpr int IDIGNORE = 5;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

// Shows a box and returns the id of the button chosen (0 when it was ended unanswered, as by
// the end of the program). A null caption shows as "Error", a null text as empty.
int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type);

namespace platform {

struct MessageBoxRecord {
    std::u16string text;
    std::u16string caption;
    UINT type = 0;
    HWND owner = nullptr;
    int answer = 0; // 0 while the box is open or when nobody answered it
};

// The buttons of a style, left to right; a style the system does not know shows OK alone.
[[nodiscard]] std::vector<int> MessageBoxButtons(UINT type);
// The button of MB_DEFBUTTON1..3 (Enter's), the first one when the style has no such button.
[[nodiscard]] int MessageBoxDefaultButton(UINT type);
// Esc's button: Cancel, else No, else OK when it is the only one; 0 when Esc answers nothing
// (MB_ABORTRETRYIGNORE).
[[nodiscard]] int MessageBoxEscapeButton(UINT type);
// The label of a button id ("OK", "Cancel", "Abort", "Retry", "Ignore", "Yes", "No"); empty for
// another id.
[[nodiscard]] std::u16string MessageBoxButtonText(int id);

// The boxes since the last clear, oldest first, with their answers.
[[nodiscard]] std::vector<MessageBoxRecord> RecordedMessageBoxes();
void ClearRecordedMessageBoxes(); // also drops unused scripted answers

// Queues the answer for the next box, which is then not shown. Without a queued answer and
// without a sink a box gets its default button.
void PushMessageBoxAnswer(int answer);

// Shows the boxes (null restores the default). The sink gets the record and returns the
// answer; it runs on the thread that called MessageBoxW, with no lock held.
using MessageBoxSink = std::function<int(const MessageBoxRecord&)>;
void SetMessageBoxSink(MessageBoxSink sink);

} // namespace platform
