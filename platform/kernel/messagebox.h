#pragma once
// Message boxes. Headless (the default), a box is recorded and answered from a script instead of
// being shown: tests read the records and push the answers. A visible back end replaces the
// sink with SetMessageBoxSink. Safe from any thread.

#include "platform/types.h"

#include <functional>
#include <string>
#include <vector>

constexpr UINT MB_OK = 0x0;
constexpr UINT MB_OKCANCEL = 0x1;
constexpr UINT MB_YESNOCANCEL = 0x3;
constexpr UINT MB_YESNO = 0x4;
constexpr UINT MB_ICONHAND = 0x10;
constexpr UINT MB_ICONERROR = MB_ICONHAND;
constexpr UINT MB_ICONQUESTION = 0x20;
constexpr UINT MB_ICONEXCLAMATION = 0x30;
constexpr UINT MB_ICONWARNING = MB_ICONEXCLAMATION;
constexpr UINT MB_ICONINFORMATION = 0x40;
constexpr UINT MB_ICONASTERISK = MB_ICONINFORMATION;
constexpr UINT MB_APPLMODAL = 0x0;
constexpr UINT MB_SETFOREGROUND = 0x10000;
constexpr UINT MB_TOPMOST = 0x40000;
constexpr UINT MB_TYPEMASK = 0xF;

constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

// Shows (headless: records) a box and returns the button chosen. A null caption shows as "Error",
// a null text as empty.
int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type);

namespace platform {

struct MessageBoxRecord {
    std::u16string text;
    std::u16string caption;
    UINT type = 0;
    HWND owner = nullptr;
};

// Records of the headless sink, oldest first.
[[nodiscard]] std::vector<MessageBoxRecord> RecordedMessageBoxes();
void ClearRecordedMessageBoxes(); // also drops unused scripted answers

// Queues the answer for the next headless box. Without a queued answer a box gets IDYES when
// its buttons are MB_YESNO or MB_YESNOCANCEL, otherwise IDOK.
void PushMessageBoxAnswer(int answer);

// Replaces the headless sink (null restores it). The sink gets the record and returns the answer.
using MessageBoxSink = std::function<int(const MessageBoxRecord&)>;
void SetMessageBoxSink(MessageBoxSink sink);

} // namespace platform
