#include "ui/messagedialogs.h"

#include "ui/shellhelpers.h"
#include "ui/textface.h"

#include "platform/gdi/text.h"
#include "platform/shell/resources.h"
#include "platform/window/dialog.h"
#include "platform/window/input.h"
#include "platform/window/message.h"
#include "platform/window/window.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr int kMsgBoxTextLength = 512;
constexpr int kNotFoundTextLength = 255;
constexpr int kVersionValueLength = 32;
constexpr int kValueLength = 64;
constexpr int kStreetBlockLength = 16;
constexpr COLORREF kEditBackground = 0x78571E;
constexpr UINT kUpKeyCommand = 38;
constexpr UINT kDownKeyCommand = 40;

// "%.1lf" of value.
std::u16string Tenths(double value) {
    char text[64];
    std::snprintf(text, sizeof(text), "%.1f", value);
    return std::u16string(text, text + std::char_traits<char>::length(text));
}

double ToDouble(const std::u16string& text) {
    const std::string narrow(text.begin(), text.end());
    return std::strtod(narrow.c_str(), nullptr);
}

} // namespace

DestSavedMsgBox::DestSavedMsgBox()
    : DialogBase(u"DestSavedMsgBox") {
    AddText(u"Msg", 532);
    AddButton(u"OK", 1);
}

NoDatasetsMsgBox::NoDatasetsMsgBox()
    : DialogBase(u"NoDatasetsMsgBox") {
    AddText(u"Msg", 594);
    AddButton(u"OK", 1);
}

MsgBox::MsgBox(UINT textId)
    : DialogBase(u"MsgBox") {
    AddText(u"Msg", textId);
    AddButton(u"OK", 1);
}

MsgBox::MsgBox(UINT textId, const std::u16string& insert, const std::u16string& section)
    : DialogBase(section) {
    AddText(u"Msg", textId);
    AddButton(u"OK", 1);
    SetItemText(textId, ReplacePlaceholder(LoadDialogString(textId, kMsgBoxTextLength), insert));
}

BOOL ResultDialog::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (AnswerTab(message, lParam))
        return TRUE;
    return DialogBase::OnMessage(message, wParam, lParam);
}

YesNoDlg::YesNoDlg(UINT textId)
    : ResultDialog(u"YesNoDlg", 2) {
    AddText(u"Msg", textId);
    AddButton(u"Yes", 538);
    AddButton(u"No", 539);
}

BOOL YesNoDlg::OnInitDialog() {
    Centre();
    MoveUp(kRaisePixels);
    return TRUE;
}

BOOL YesNoDlg::OnCommand(UINT id, HWND, UINT) {
    result_ = id == 538 || id == 1 ? 1 : 2;
    EndModal(result_);
    return TRUE;
}

StopNavigDlg::StopNavigDlg(bool hasNextDestination)
    : ResultDialog(hasNextDestination ? u"StopNavigTourDlg" : u"StopNavigDlg", 2) {
    AddText(u"Msg2", 992);
    AddButton(u"Continue", 535);
    AddButton(u"Menu", 470);
    AddButton(u"Map", 430);
    AddButton(u"NewDest", 534);
    if (hasNextDestination)
        AddButton(u"NextDest", 1150);
}

BOOL StopNavigDlg::OnCommand(UINT id, HWND, UINT) {
    result_ = id == 1 || id == 2 ? 535 : static_cast<int>(id);
    EndModal(2);
    return TRUE;
}

DestNotFoundMsgBox::DestNotFoundMsgBox(UINT textId, const std::u16string& insert)
    : ResultDialog(u"DestNotFoundMsgBox", 1) {
    AddText(u"Msg", textId);
    AddText(u"Continue", 1067);
    AddButton(u"Back", 1068);
    AddButton(u"ShowMap", 1069);
    SetItemText(textId, ReplacePlaceholder(LoadDialogString(textId, kNotFoundTextLength), insert));
}

BOOL DestNotFoundMsgBox::OnCommand(UINT id, HWND, UINT) {
    result_ = id == 1 || id == 2 ? 1068 : static_cast<int>(id);
    EndModal(1);
    return TRUE;
}

StopLogDlg::StopLogDlg(UINT textId)
    : ResultDialog(u"StopLogDlg", 0) {
    AddText(u"Msg", textId);
    AddButton(u"OK", 1);
    AddButton(u"Cancel", 2);
}

BOOL StopLogDlg::OnCommand(UINT id, HWND, UINT) {
    result_ = static_cast<int>(id);
    if (id == 1 || id == 2)
        EndModal(id);
    return TRUE;
}

NavWithoutGPSDlg::NavWithoutGPSDlg()
    : ResultDialog(u"NavWithoutGPSDlg", 0) {
    AddText(u"Msg", 1209);
    AddButton(u"Cancel", 2);
}

BOOL NavWithoutGPSDlg::OnCommand(UINT id, HWND, UINT) {
    if (id == 1 || id == 2)
        result_ = 2;
    EndModal(2);
    return TRUE;
}

BOOL NavWithoutGPSDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CLOSE) {
        result_ = -1;
        EndModal(-1);
        return TRUE;
    }
    return ResultDialog::OnMessage(message, wParam, lParam);
}

VersionDlg::VersionDlg()
    : DialogBase(u"VersionDlg") {
    AddText(u"TITLE", 600);
    AddText(u"VERSION", 596);
    AddText(u"VERSIONVAL", 201);
    AddText(u"BUILD", 597);
    AddText(u"BUILDVAL", 202);
    AddText(u"DATE", 598);
    AddText(u"DATEVAL", 203);
    AddText(u"COPYRIGHT", 599);
    AddButton(u"OK", 1);
    ShowInputPanel(false);
}

void VersionDlg::DrawItem(HDC dc, UINT id, const RECT& rect, const std::u16string& text) {
    std::u16string value;
    switch (id) {
    case 201:
        value = LoadDialogString(601, kVersionValueLength);
        break;
    case 202:
        value = LoadDialogString(602, kVersionValueLength);
        break;
    case 203:
        value = u"Oct 17 2003";
        break;
    default:
        DialogBase::DrawItem(dc, id, rect, text);
        return;
    }
    SetTextColor(dc, 0x000000);
    SetBkMode(dc, TRANSPARENT);
    RECT box = rect;
    DrawTextW(dc, value.c_str(), static_cast<int>(value.size()), &box, DT_SINGLELINE | DT_VCENTER);
}

EditDialog::EditDialog(std::u16string section, int initialResult)
    : ResultDialog(std::move(section), initialResult) {}

EditDialog::~EditDialog() {
    edit_.reset();
    if (font_ != nullptr)
        DeleteObject(font_);
}

void EditDialog::MakeEdit(int x, int y, int width, int height, const std::u16string& text) {
    Centre();
    edit_ = std::make_unique<CustomEdit>(GetWindow(), kEditId, kEditBackground, 0);
    HWND edit = edit_->GetWindow();
    MoveWindow(edit, x, y, width, height, TRUE);
    if (font_ == nullptr) {
        LOGFONTW description{};
        description.lfHeight = -12;
        description.lfWeight = FW_BOLD;
        description.lfQuality = ANTIALIASED_QUALITY;
        const std::u16string face = u"Arial";
        face.copy(description.lfFaceName, face.size());
        font_ = CreateFontIndirectW(&description);
    }
    SendMessageW(edit, WM_SETFONT, reinterpret_cast<WPARAM>(font_), TRUE);
    SetWindowTextW(edit, text.c_str());
    SetFocus(edit);
}

std::u16string EditDialog::EditText(int maxLength) const {
    if (edit_ == nullptr)
        return {};
    std::vector<WCHAR> buffer(static_cast<std::size_t>(maxLength) + 1, 0);
    const int length = GetWindowTextW(edit_->GetWindow(), buffer.data(), maxLength + 1);
    return std::u16string(buffer.data(), static_cast<std::size_t>(std::max(0, length)));
}

ValueDlg::ValueDlg(UINT textId, std::u16string value)
    : ValueDlg(u"ValueDlg", std::move(value)) {
    AddText(u"Msg", textId);
    AddButton(u"Cancel", 2);
    AddButton(u"OK", 1);
}

ValueDlg::ValueDlg(std::u16string section, std::u16string value)
    : EditDialog(std::move(section), 2)
    , value_(std::move(value)) {}

BOOL ValueDlg::OnInitDialog() {
    MakeEdit(20, 20, 185, 17, value_);
    return FALSE;
}

BOOL ValueDlg::OnCommand(UINT id, HWND, UINT) {
    if (id == 1 || id == 1124 || id == 1125) {
        value_ = EditText(kValueLength);
        result_ = static_cast<int>(id);
    }
    if (id == 1) {
        result_ = 1125;
        EndModal(1);
    } else if (id == 2 || id == 1124 || id == 1125) {
        EndModal(id);
    }
    return TRUE;
}

ValueDlg1::ValueDlg1(bool, UINT textId, std::u16string value)
    : ValueDlg(u"ValueDlg1", std::move(value)) {
    AddText(u"Continue", 1067);
    AddText(u"Msg", textId);
    AddButton(u"StopLog", 1124);
    AddButton(u"EnterCheck", 1125);
    AddButton(u"Cancel", 2);
}

StreetBlockDlg::StreetBlockDlg(UINT textId, float initial)
    : EditDialog(u"StreetBlockDlg", 0)
    , initial_(initial)
    , value_(initial) {
    AddText(u"Msg", textId);
    AddButton(u"Cancel", 2);
    AddButton(u"OK", 1);
    AddButton(u"UP", 978);
    AddButton(u"DOWN", 982);
}

BOOL StreetBlockDlg::OnInitDialog() {
    MakeEdit(20, 60, 95, 17, Tenths(initial_));
    MoveUp(kRaisePixels);
    return FALSE;
}

float StreetBlockDlg::StepUp(float value) {
    float v = value;
    if (v >= 0.1f && v < 5.0f)
        v += 0.1f;
    if (v >= 5.0f && v < 10.0f)
        v += 0.5f;
    if (v >= 10.0f && v < 100.0f)
        v += 1.0f;
    if (v == 0.0f)
        v += 0.1f;
    return v;
}

float StreetBlockDlg::StepDown(float value) {
    float v = value;
    if (v >= 0.1f && v < 5.0f)
        v -= 0.1f;
    if (v >= 5.0f && v < 10.0f)
        v -= 0.5f;
    if (v >= 10.0f && v < 100.0f)
        v -= 1.0f;
    if (v == 100.0f)
        v -= 1.0f;
    return v;
}

BOOL StreetBlockDlg::OnCommand(UINT id, HWND, UINT) {
    const std::u16string text = EditText(kStreetBlockLength);
    const std::size_t run = text.find_first_not_of(u"0123456789.");
    HWND edit = GetEdit() != nullptr ? GetEdit()->GetWindow() : nullptr;
    if (run != std::u16string::npos)
        SetWindowTextW(edit, Tenths(ToDouble(text.substr(0, run))).c_str());
    const double shown = ToDouble(EditText(kStreetBlockLength));
    if (id == 1)
        value_ = shown;
    if (id == 978 || id == kUpKeyCommand || id == 982 || id == kDownKeyCommand) {
        const float current = static_cast<float>(shown);
        const bool isUp = id == 978 || id == kUpKeyCommand;
        const float next = isUp ? StepUp(current) : StepDown(current);
        SetWindowTextW(edit, Tenths(next).c_str());
        value_ = next;
    }
    if (id == 1 || id == 2)
        EndModal(id);
    return TRUE;
}
