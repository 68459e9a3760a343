#include "platform/kernel/messagebox.h"

#include <algorithm>
#include <cstdint>
#include <deque>
#include <mutex>

namespace platform {
namespace {

struct MessageBoxState {
    std::mutex mutex;
    std::vector<MessageBoxRecord> records;
    std::vector<std::uint64_t> serials; // of the records, to fill in a sink's answer
    std::uint64_t nextSerial = 1;
    std::deque<int> answers;
    MessageBoxSink sink;
};

MessageBoxState& SharedMessageBoxState() {
    static MessageBoxState* state = new MessageBoxState; // never destroyed: used at exit
    return *state;
}

} // namespace

std::vector<int> MessageBoxButtons(UINT type) {
    switch (type & MB_TYPEMASK) {
    case MB_OKCANCEL:
        return {IDOK, IDCANCEL};
    case MB_ABORTRETRYIGNORE:
        return {IDABORT, IDRETRY, IDIGNORE};
    case MB_YESNOCANCEL:
        return {IDYES, IDNO, IDCANCEL};
    case MB_YESNO:
        return {IDYES, IDNO};
    case MB_RETRYCANCEL:
        return {IDRETRY, IDCANCEL};
    default:
        return {IDOK};
    }
}

int MessageBoxDefaultButton(UINT type) {
    const std::vector<int> buttons = MessageBoxButtons(type);
    const std::size_t index = (type & MB_DEFMASK) >> 8;
    return index < buttons.size() ? buttons[index] : buttons.front();
}

int MessageBoxEscapeButton(UINT type) {
    const std::vector<int> buttons = MessageBoxButtons(type);
    for (const int id : {IDCANCEL, IDNO}) {
        if (std::find(buttons.begin(), buttons.end(), id) != buttons.end())
            return id;
    }
    return buttons.size() == 1 ? buttons.front() : 0;
}

std::u16string MessageBoxButtonText(int id) {
    switch (id) {
    case IDOK:
        return u"OK";
    case IDCANCEL:
        return u"Cancel";
    case IDABORT:
        return u"Abort";
    case IDRETRY:
        return u"Retry";
    case IDIGNORE:
        return u"Ignore";
    case IDYES:
        return u"Yes";
    case IDNO:
        return u"No";
    default:
        return {};
    }
}

std::vector<MessageBoxRecord> RecordedMessageBoxes() {
    std::lock_guard lock(SharedMessageBoxState().mutex);
    return SharedMessageBoxState().records;
}

void ClearRecordedMessageBoxes() {
    std::lock_guard lock(SharedMessageBoxState().mutex);
    SharedMessageBoxState().records.clear();
    SharedMessageBoxState().serials.clear();
    SharedMessageBoxState().answers.clear();
}

void PushMessageBoxAnswer(int answer) {
    std::lock_guard lock(SharedMessageBoxState().mutex);
    SharedMessageBoxState().answers.push_back(answer);
}

void SetMessageBoxSink(MessageBoxSink sink) {
    std::lock_guard lock(SharedMessageBoxState().mutex);
    SharedMessageBoxState().sink = std::move(sink);
}

} // namespace platform

int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type) {
    platform::MessageBoxRecord record{text != nullptr ? text : u"",
                                      caption != nullptr ? caption : u"Error", type, owner};
    platform::MessageBoxState& state = platform::SharedMessageBoxState();
    platform::MessageBoxSink sink;
    std::uint64_t serial = 0;
    {
        std::lock_guard lock(state.mutex);
        if (!state.answers.empty()) {
            record.answer = state.answers.front();
            state.answers.pop_front();
        } else if (!state.sink) {
            record.answer = platform::MessageBoxDefaultButton(type);
        } else {
            sink = state.sink;
            serial = state.nextSerial++;
        }
        state.records.push_back(record);
        state.serials.push_back(serial);
        if (!sink)
            return record.answer;
    }
    // Outside the lock: a box shown as a window runs a modal loop.
    const int answer = sink(record);
    std::lock_guard lock(state.mutex);
    const auto it = std::find(state.serials.begin(), state.serials.end(), serial);
    if (it != state.serials.end())
        state.records[static_cast<std::size_t>(it - state.serials.begin())].answer = answer;
    return answer;
}
