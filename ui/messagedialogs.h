#pragma once
// The application's message boxes, questions and small value dialogs. Each reads the section of
// the screen description named after its class (MsgBox may be given another). Dialogs whose
// caller needs more than the EndDialog value keep it in GetResult. User-interface thread only.

#include "ui/customcombobox.h"
#include "ui/dialogbase.h"

#include <memory>
#include <string>

class DestSavedMsgBox : public DialogBase {
public:
    DestSavedMsgBox();
};

class NoDatasetsMsgBox : public DialogBase {
public:
    NoDatasetsMsgBox();
};

class MsgBox : public DialogBase {
public:
    // The text as it stands.
    explicit MsgBox(UINT textId);
    // The text with its first "<@>" replaced by insert, in section section.
    MsgBox(UINT textId, const std::u16string& insert, const std::u16string& section);
};

// A dialog answering WM_GETDLGCODE for Tab (the dialog is redrawn) and keeping a result.
class ResultDialog : public DialogBase {
public:
    ResultDialog(std::u16string section, int initialResult)
        : DialogBase(std::move(section))
        , result_(initialResult) {}
    [[nodiscard]] int GetResult() const { return result_; }
    BOOL OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

protected:
    int result_;
};

// 1 for "Yes" (538 or 1), 2 for any other command; sits 38 pixels above the centre.
class YesNoDlg : public ResultDialog {
public:
    explicit YesNoDlg(UINT textId);
    BOOL OnInitDialog() override;
    BOOL OnCommand(UINT id, HWND control, UINT code) override;
};

// Result: the command (1 and 2 count as "Continue", 535); every command ends with 2. With a next
// destination it has the fifth button, "NextDest", and the layout of section "StopNavigTourDlg",
// sized to five buttons; without, that of "StopNavigDlg", sized to four.
class StopNavigDlg : public ResultDialog {
public:
    explicit StopNavigDlg(bool hasNextDestination);
    BOOL OnCommand(UINT id, HWND control, UINT code) override;
};

// Result: the command (1 and 2 count as "Back", 1068); every command ends with 1.
class DestNotFoundMsgBox : public ResultDialog {
public:
    DestNotFoundMsgBox(UINT textId, const std::u16string& insert);
    BOOL OnCommand(UINT id, HWND control, UINT code) override;
};

// 1 and 2 end with themselves; other commands are only stored.
class StopLogDlg : public ResultDialog {
public:
    explicit StopLogDlg(UINT textId);
    BOOL OnCommand(UINT id, HWND control, UINT code) override;
};

// Commands end with 2 (the result becomes 2 for 1 and 2); closing the dialog ends it with -1.
class NavWithoutGPSDlg : public ResultDialog {
public:
    NavWithoutGPSDlg();
    BOOL OnCommand(UINT id, HWND control, UINT code) override;
    BOOL OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
};

// Switches the input panel off when made; draws the version, build and date values itself.
class VersionDlg : public DialogBase {
public:
    VersionDlg();
    void DrawItem(HDC dc, UINT id, const RECT& rect, const std::u16string& text) override;
};

// A dialog with a CustomEdit (identifier 2000) in Arial 12 pixels bold.
class EditDialog : public ResultDialog {
public:
    static constexpr UINT kEditId = 2000;

    EditDialog(std::u16string section, int initialResult);
    ~EditDialog() override;
    [[nodiscard]] CustomEdit* GetEdit() const { return edit_.get(); }

protected:
    // Centres the dialog and makes the edit at (x, y), width x height, showing text.
    void MakeEdit(int x, int y, int width, int height, const std::u16string& text);
    // The edit text, at most maxLength characters.
    [[nodiscard]] std::u16string EditText(int maxLength) const;

private:
    std::unique_ptr<CustomEdit> edit_;
    HFONT font_{};
};

// ValueDlg and ValueDlg1: 1, 1124 and 1125 take the edit text (at most 64 characters) as the
// value; 1 ends with 1 and result 1125, 2, 1124 and 1125 end with themselves.
class ValueDlg : public EditDialog {
public:
    ValueDlg(UINT textId, std::u16string value);
    BOOL OnInitDialog() override;
    BOOL OnCommand(UINT id, HWND control, UINT code) override;
    [[nodiscard]] const std::u16string& GetValue() const { return value_; }

protected:
    ValueDlg(std::u16string section, std::u16string value);

private:
    std::u16string value_;
};

class ValueDlg1 : public ValueDlg {
public:
    ValueDlg1(bool flag, UINT textId, std::u16string value);
};

// A value in tenths with "UP" (978, or the up key's command 38) and "DOWN" (982, 40) steps.
class StreetBlockDlg : public EditDialog {
public:
    StreetBlockDlg(UINT textId, float initial);
    BOOL OnInitDialog() override;
    BOOL OnCommand(UINT id, HWND control, UINT code) override;
    [[nodiscard]] double GetValue() const { return value_; }

    // The steps on their own (single precision).
    [[nodiscard]] static float StepUp(float value);
    [[nodiscard]] static float StepDown(float value);

private:
    float initial_;
    double value_;
};
