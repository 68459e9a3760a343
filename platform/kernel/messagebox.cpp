#include "platform/kernel/messagebox.h"

#include <deque>
#include <mutex>

namespace platform {
namespace {

struct MessageBoxState {
    std::mutex mutex;
    std::vector<MessageBoxRecord> records;
    std::deque<int> answers;
    MessageBoxSink sink;
};

MessageBoxState& SharedMessageBoxState() {
    static MessageBoxState* state = new MessageBoxState; // never destroyed: used at exit
    return *state;
}

int DefaultAnswer(UINT type) {
    const UINT buttons = type & MB_TYPEMASK;
    return buttons == MB_YESNO || buttons == MB_YESNOCANCEL ? IDYES : IDOK;
}

} // namespace

std::vector<MessageBoxRecord> RecordedMessageBoxes() {
    std::lock_guard lock(SharedMessageBoxState().mutex);
    return SharedMessageBoxState().records;
}

void ClearRecordedMessageBoxes() {
    std::lock_guard lock(SharedMessageBoxState().mutex);
    SharedMessageBoxState().records.clear();
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
    {
        std::lock_guard lock(state.mutex);
        if (!state.sink) {
            state.records.push_back(record);
            if (state.answers.empty()) {
                return platform::DefaultAnswer(type);
            }
            const int answer = state.answers.front();
            state.answers.pop_front();
            return answer;
        }
        sink = state.sink;
    }
    return sink(record); // outside the lock: a visible box runs a modal loop
}
