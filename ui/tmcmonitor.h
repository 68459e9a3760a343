#pragma once
// The process-wide TMC state that the TMC indicators of the pages show, and the traffic messages
// listed for display: the receiver state, the listed lines with their icons and message ids,
// the status text, the indicator window that is repainted and owns the TMC message boxes, and
// the message dialog that the application installs. The receiver state, the message count and
// the owner window may be read and set from any thread; the list, the status text and the
// dialog belong to the user-interface thread. Every change posts WM_PAINT to the owner window
// and fires the event on the calling thread.

#include "utilities/usefulcode/eventsource.h"

#include "platform/types.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

class TmcMessage;

// The message dialog as the monitor sees it (the application's TMC page implements it).
class TmcMessageDialog {
public:
    virtual ~TmcMessageDialog() = default;
    // The lines to show and their icons; empty icons keep the ones the dialog has. The dialog
    // may keep references to both: they stay alive until the next SetData or its end.
    virtual void SetData(const std::vector<std::u16string>& lines,
                         const std::vector<UINT>& icons) = 0;
    virtual void SetStatusText(std::u16string_view text) = 0;
    // The dialog's window, null before it is first shown.
    [[nodiscard]] virtual HWND GetHwnd() const = 0;
    // Shows the window, creating it when there is none.
    virtual void Show() = 0;
    // Ends the dialog for good and destroys its window.
    virtual void Close() = 0;
};

// What the monitor takes of a message.
struct TmcListEntry {
    std::uint32_t id = 0;
    std::u16string location; // country, ", " and the location description
    std::u16string event;    // events, quantifiers and durations
    bool isLocated = false;  // the location is in the TMC tables
};

class TmcMonitor {
public:
    // The one monitor of the process.
    [[nodiscard]] static TmcMonitor& Instance();

    static constexpr UINT kLocatedIcon = 4;
    static constexpr UINT kUnlocatedIcon = 3;
    static constexpr std::size_t kStatusTextLength = 49;
    // Lines after the first of this length or more are broken once at a blank.
    static constexpr std::size_t kBreakLength = 28;

    TmcMonitor() = default;
    ~TmcMonitor();
    TmcMonitor(const TmcMonitor&) = delete;
    TmcMonitor& operator=(const TmcMonitor&) = delete;

    // The monitor's signal; every TMC indicator connects to it.
    [[nodiscard]] EventSource<>& GetEvent() { return m_event; }

    // 0 none, 1 receiver not available (the start value), 2 running without TMC data, 3 TMC data
    // received.
    [[nodiscard]] int GetReceiverState() const { return m_receiverState.load(); }
    void SetReceiverState(int state);
    // A second state word the application keeps (1 at the start).
    [[nodiscard]] int GetReceiverFlag() const { return m_receiverFlag.load(); }
    void SetReceiverFlag(int flag) { m_receiverFlag.store(flag); }
    // Number of listed messages, 0 at the start.
    [[nodiscard]] int GetMessageCount() const { return m_messageCount.load(); }
    void SetMessageCount(int count) { m_messageCount.store(count); }

    // The TMC indicator of the active page: repainted on changes, owner of the TMC message boxes.
    [[nodiscard]] HWND GetOwnerWindow() const { return m_ownerWindow.load(); }
    void SetOwnerWindow(HWND window) { m_ownerWindow.store(window); }

    // Lists a message as one formatted line with its icon. A message id that is listed already
    // only repaints.
    void AddMessage(const TmcMessage& message);
    void AddEntry(const TmcListEntry& entry);
    // Removes the line, icon and id listed for the message's id; the count goes down only when
    // a line went.
    void RemoveMessage(const TmcMessage& message);
    void RemoveEntry(std::uint32_t id);
    [[nodiscard]] const std::vector<std::u16string>& GetLines() const { return m_lines; }
    [[nodiscard]] const std::vector<UINT>& GetIcons() const { return m_icons; }
    [[nodiscard]] const std::vector<std::uint32_t>& GetLineIds() const { return m_lineIds; }

    // Keeps at most 49 characters of text and hands them to the dialog.
    void SetStatusText(std::u16string_view text);
    [[nodiscard]] const std::u16string& GetStatusText() const { return m_statusText; }

    // The dialog to show the messages in (null removes it); CloseDialog ends and drops it.
    void SetDialog(std::unique_ptr<TmcMessageDialog> dialog);
    [[nodiscard]] TmcMessageDialog* GetDialog() const { return m_dialog.get(); }
    void CloseDialog();
    // Shows the dialog, unless there is none, the receiver is not available (state 1), or it
    // runs without a message (state 2). A window made just now takes the whole screen.
    void ShowMessages();
    [[nodiscard]] bool IsDialogVisible() const;
    // The message dialog's window while it is shown, otherwise null.
    [[nodiscard]] HWND GetVisibleDialogWindow() const;
    // For a page that has just become active: the shown message dialog is activated again
    // (WM_ACTIVATE with 0x10001 and the active window) and brought to the foreground. Returns
    // whether it was shown; the page then leaves its WM_ACTIVATE handled, so that the default
    // handling does not take the focus back from the dialog (which would activate the page
    // again, and so on). User-interface thread.
    [[nodiscard]] bool BringVisibleDialogToFront() const;

    // The location, ", ", the event and a line feed, formatted.
    [[nodiscard]] static std::u16string MakeLineText(const TmcListEntry& entry);
    // The location text ("country, " before the text up to its first ": "), the event text (the
    // rest) and whether the location is in the TMC tables.
    [[nodiscard]] static TmcListEntry MakeEntry(const TmcMessage& message);
    // Lays a message text out in lines: the first comma and every one after the second become
    // line breaks (the second is dropped), so does the first colon; a semicolon goes and a break
    // follows the character after it; "<" and ">" get blanks around them; lines after the first
    // of 28 characters or more are broken once at their last blank among the first 28. A
    // pattern at the very start is not looked for. Each step goes on after what it inserted.
    static void FormatMessageText(std::u16string& line);
    // From position on, while the character there is not a letter, deletes the next blank and
    // looks at the character that followed it: a number at the start of a line keeps its unit.
    static void TrimAfterBreak(std::u16string& text, std::size_t position);

private:
    void Changed();

    EventSource<> m_event;
    std::atomic<int> m_receiverState{1};
    std::atomic<int> m_receiverFlag{1};
    std::atomic<int> m_messageCount{0};
    std::atomic<HWND> m_ownerWindow{nullptr};
    std::vector<std::u16string> m_lines;
    std::vector<UINT> m_icons;
    std::vector<std::uint32_t> m_lineIds;
    std::unordered_set<std::uint32_t> m_knownIds; // the ids of m_lineIds
    std::u16string m_statusText;
    std::unique_ptr<TmcMessageDialog> m_dialog;
};
