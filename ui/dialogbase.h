#pragma once
// Skinned dialogs without child controls: layout, background and buttons come from a section of
// the screen description, texts from the language library's string table. The texts are drawn
// and the buttons are faces the dialog tracks itself; a released button posts WM_COMMAND with
// its identifier. One process-wide map leads from a dialog window to its object.
// User-interface thread only, except where a derived dialog says otherwise.

#include "ui/skinface.h"

#include "platform/gdi/gdi.h"

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

struct DialogItem {
    UINT id = 0; // also the string-table id of its text and the bitmap id of its face
    RECT rect{}; // dialog client pixels
    std::u16string text;
    std::unique_ptr<SkinFace> face; // null for a text item
};

class DialogBase {
public:
    // Reads "Size" and "Bitmap" of the section.
    explicit DialogBase(std::u16string section);
    // A window still open is destroyed and leaves the dialog map.
    virtual ~DialogBase();
    DialogBase(const DialogBase&) = delete;
    DialogBase& operator=(const DialogBase&) = delete;

    // A text item at the entry's rectangle.
    void AddText(LPCWSTR entry, UINT id);
    // A button at the entry's rectangle with the face of the entry's face kind; a face that
    // cannot be made leaves a text item.
    void AddButton(LPCWSTR entry, UINT id);

    // Runs the dialog modally over parent; returns what EndDialog was given (-1 when the
    // dialog cannot be made).
    INT_PTR DoModal(HWND parent);

    [[nodiscard]] HWND GetWindow() const { return window_.load(); }
    [[nodiscard]] const std::u16string& GetSection() const { return section_; }
    // The dialog's size in dialog units.
    [[nodiscard]] SIZE GetUnits() const { return units_; }
    // The 1024-byte item-less template.
    [[nodiscard]] std::vector<std::uint8_t> MakeTemplate() const;
    [[nodiscard]] const DialogItem* FindItem(UINT id) const;
    // Every item by identifier.
    [[nodiscard]] const std::map<UINT, DialogItem>& GetItems() const { return items_; }

    // The dialog procedure of every DialogBase window.
    static BOOL DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    // The object of a dialog window; null when it is not in the map.
    [[nodiscard]] static DialogBase* FromWindow(HWND window);

    virtual BOOL OnInitDialog();
    // Ends the dialog with identifiers 1..7.
    virtual BOOL OnCommand(UINT id, HWND control, UINT code);
    virtual void EndModal(INT_PTR result);
    virtual BOOL OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    // Black text, transparent, word-broken.
    virtual void DrawItem(HDC dc, UINT id, const RECT& rect, const std::u16string& text);

protected:
    // Centres the dialog on its owner's window rectangle, or on the screen without an owner.
    void Centre();
    // How far the message and progress dialogs move up from where they are created.
    static constexpr int kRaisePixels = 38;
    // Moves the dialog up by pixels.
    void MoveUp(int pixels);
    // Sets the text of an item; nothing for an unknown item.
    void SetItemText(UINT id, std::u16string text);
    // Answers WM_GETDLGCODE for a Tab key-down by invalidating the dialog; false for anything
    // else.
    bool AnswerTab(UINT message, LPARAM lParam);
    // Creates the dialog modeless (hidden) over parent; false when it cannot be made.
    bool CreateModeless(HWND parent);
    // Destroys the window if it exists; it leaves the dialog map.
    void DestroyDialogWindow();

    std::atomic<HWND> window_{nullptr};

private:
    void DrawFace(const DialogItem& item, int state);

    std::u16string section_;
    SIZE units_{};
    std::unique_ptr<SkinBitmap> background_;
    std::map<UINT, DialogItem> items_;
    const DialogItem* pressed_ = nullptr;
};

// The text of string id of the language library, cut to at most maxLength characters.
[[nodiscard]] std::u16string LoadDialogString(UINT id, int maxLength);
// text with its first "<@>" replaced by insert.
[[nodiscard]] std::u16string ReplacePlaceholder(std::u16string text, const std::u16string& insert);
