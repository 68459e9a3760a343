#include "ui/tmcmonitor.h"

#include "traffic/tmcmessage.h"
#include "ui/shellhelpers.h"

#include "platform/window/input.h"
#include "platform/window/message.h"
#include "platform/window/window.h"

#include <algorithm>
#include <utility>

namespace {

constexpr char16_t kBreak = u'\n';
// WM_ACTIVATE's wParam from a page that became active: WA_ACTIVE and a non-zero high word.
constexpr WPARAM kActivatedByPage = 0x10001;

// Letters of the Latin scripts the TMC tables use: ASCII and the Latin-1 and Latin Extended
// letters (the multiplication and division signs are not letters).
bool IsLetter(char16_t c) {
    if ((c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z'))
        return true;
    return c >= 0xC0 && c <= 0x24F && c != 0xD7 && c != 0xF7;
}

// The next c at or after from; a find at position 0 counts as none.
std::size_t FindFrom(const std::u16string& text, char16_t c, std::size_t from) {
    const std::size_t found = text.find(c, from);
    return found == 0 ? std::u16string::npos : found;
}

// Replaces the character at position by a line break and trims after it; returns where the
// search goes on.
std::size_t BreakAt(std::u16string& text, std::size_t position) {
    text[position] = kBreak;
    TmcMonitor::TrimAfterBreak(text, position + 1);
    return position + 1;
}

void FormatCommas(std::u16string& line) {
    std::size_t comma = FindFrom(line, u',', 0);
    for (int index = 0; comma != std::u16string::npos; ++index) {
        std::size_t next = comma;
        if (index == 1) {
            line.erase(comma, 1);
        } else {
            next = BreakAt(line, comma);
        }
        comma = FindFrom(line, u',', next);
    }
}

void FormatSemicolons(std::u16string& line) {
    std::size_t semicolon = FindFrom(line, u';', 0);
    while (semicolon != std::u16string::npos) {
        line.erase(semicolon, 1);
        if (semicolon >= line.size())
            return; // nothing followed it
        line.insert(semicolon + 1, 1, kBreak);
        semicolon = FindFrom(line, u';', semicolon + 2);
    }
}

void FormatArrows(std::u16string& line) {
    std::size_t open = FindFrom(line, u'<', 0);
    while (open != std::u16string::npos) {
        line.insert(open, 1, u' ');
        ++open; // the '<'
        if (open + 1 < line.size())
            line.erase(open + 1, 1);
        open = FindFrom(line, u'<', open + 1);
    }
    std::size_t close = FindFrom(line, u'>', 0);
    while (close != std::u16string::npos) {
        line.insert(close + 1, 1, u' ');
        if (line[close - 1] == u'-')
            line[close - 1] = u' ';
        close = FindFrom(line, u'>', close + 2);
    }
}

// Breaks each line after the first that ends with a break and has kBreakLength characters or
// more once, at its last blank among the first kBreakLength.
void BreakLongLines(std::u16string& line) {
    std::size_t start = line.find(kBreak);
    while (start != std::u16string::npos) {
        ++start;
        const std::size_t end = line.find(kBreak, start);
        if (end == std::u16string::npos)
            return;
        if (end - start >= TmcMonitor::kBreakLength) {
            const std::u16string_view head(line.data() + start, TmcMonitor::kBreakLength);
            const std::size_t blank = head.rfind(u' ');
            if (blank != std::u16string_view::npos)
                line[start + blank] = kBreak;
        }
        start = end;
    }
}

} // namespace

TmcMonitor& TmcMonitor::Instance() {
    static TmcMonitor monitor;
    return monitor;
}

TmcMonitor::~TmcMonitor() {
    CloseDialog();
}

void TmcMonitor::Changed() {
    HWND owner = m_ownerWindow.load();
    if (owner != nullptr)
        PostMessageW(owner, WM_PAINT, 0, 0);
    m_event.Emit();
}

void TmcMonitor::SetReceiverState(int state) {
    m_receiverState.store(state);
    Changed();
}

void TmcMonitor::AddMessage(const TmcMessage& message) {
    AddEntry(MakeEntry(message));
}

void TmcMonitor::AddEntry(const TmcListEntry& entry) {
    std::u16string line = MakeLineText(entry);
    if (m_knownIds.insert(entry.id).second) {
        m_lines.push_back(std::move(line));
        m_icons.push_back(entry.isLocated ? kLocatedIcon : kUnlocatedIcon);
        m_lineIds.push_back(entry.id);
        m_messageCount.store(static_cast<int>(m_lines.size()));
        if (m_dialog)
            m_dialog->SetData(m_lines, m_icons);
    }
    Changed();
}

void TmcMonitor::RemoveMessage(const TmcMessage& message) {
    RemoveEntry(message.GetId());
}

void TmcMonitor::RemoveEntry(std::uint32_t id) {
    const auto found = m_knownIds.erase(id) != 0 ? std::find(m_lineIds.begin(), m_lineIds.end(), id)
                                                 : m_lineIds.end();
    if (found != m_lineIds.end()) {
        const auto index = found - m_lineIds.begin();
        m_lines.erase(m_lines.begin() + index);
        m_icons.erase(m_icons.begin() + index);
        m_lineIds.erase(found);
        m_messageCount.store(static_cast<int>(m_lines.size()));
    }
    if (m_dialog)
        m_dialog->SetData(m_lines, m_icons);
    Changed();
}

void TmcMonitor::SetStatusText(std::u16string_view text) {
    m_statusText.assign(text.substr(0, kStatusTextLength));
    if (m_dialog)
        m_dialog->SetStatusText(m_statusText);
}

void TmcMonitor::SetDialog(std::unique_ptr<TmcMessageDialog> dialog) {
    m_dialog = std::move(dialog);
}

void TmcMonitor::CloseDialog() {
    std::unique_ptr<TmcMessageDialog> dialog = std::move(m_dialog);
    if (dialog)
        dialog->Close();
}

void TmcMonitor::ShowMessages() {
    const int state = m_receiverState.load();
    const int count = m_messageCount.load();
    if (!m_dialog || count < 0 || state == 1 || (state == 2 && count == 0))
        return;
    m_dialog->SetData(m_lines, {});
    const bool hadWindow = m_dialog->GetHwnd() != nullptr;
    m_dialog->Show();
    m_dialog->SetStatusText(m_statusText);
    HWND window = m_dialog->GetHwnd();
    if (!hadWindow && window != nullptr) {
        SetActiveWindow(window);
        SetSipButtonVisible(window, true);
        SetTaskBarHidden(window, true);
        FitWindowToWorkArea(window);
    }
}

bool TmcMonitor::IsDialogVisible() const {
    if (!m_dialog)
        return false;
    HWND window = m_dialog->GetHwnd();
    return window != nullptr && IsWindowVisible(window);
}

HWND TmcMonitor::GetVisibleDialogWindow() const {
    return IsDialogVisible() ? m_dialog->GetHwnd() : nullptr;
}

bool TmcMonitor::BringVisibleDialogToFront() const {
    HWND dialog = GetVisibleDialogWindow();
    if (dialog == nullptr)
        return false;
    SendMessageW(dialog, WM_ACTIVATE, kActivatedByPage,
                 reinterpret_cast<LPARAM>(GetActiveWindow()));
    SetForegroundWindow(dialog);
    return true;
}

std::u16string TmcMonitor::MakeLineText(const TmcListEntry& entry) {
    std::u16string line = entry.location;
    line += u", ";
    line += entry.event;
    line += kBreak;
    FormatMessageText(line);
    return line;
}

TmcListEntry TmcMonitor::MakeEntry(const TmcMessage& message) {
    TmcListEntry entry;
    entry.id = message.GetId();
    entry.isLocated = message.IsValid();
    const std::u16string& country = message.GetCountryText();
    if (!country.empty()) {
        entry.location = country;
        entry.location += u", ";
    }
    const std::u16string& text = message.GetText();
    const std::size_t separator = text.find(u": ");
    if (separator == std::u16string::npos) {
        entry.location += text;
    } else {
        entry.location.append(text, 0, separator);
        entry.event.assign(text, separator + 2);
    }
    return entry;
}

void TmcMonitor::FormatMessageText(std::u16string& line) {
    FormatCommas(line);
    const std::size_t colon = FindFrom(line, u':', 0);
    if (colon != std::u16string::npos)
        BreakAt(line, colon);
    FormatSemicolons(line);
    FormatArrows(line);
    BreakLongLines(line);
}

void TmcMonitor::TrimAfterBreak(std::u16string& text, std::size_t position) {
    while (position < text.size() && !IsLetter(text[position])) {
        const std::size_t blank = text.find(u' ', position);
        if (blank == std::u16string::npos)
            return;
        text.erase(blank, 1);
        position = blank;
    }
}
