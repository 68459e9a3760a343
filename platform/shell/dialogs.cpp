#include "platform/shell/dialogs.h"

#include <algorithm>
#include <deque>
#include <mutex>

namespace {

// Longest filter text list scanned; a longer one lacks its closing empty text.
constexpr std::size_t kMaxFilterChars = 0x10000;

thread_local DWORD t_lastDialogError = 0;

struct DialogState {
    std::mutex mutex;
    std::deque<std::optional<std::u16string>> answers;
    std::vector<platform::OpenFileRequest> requests;
    platform::OpenFilePresenter presenter;
};

DialogState& SharedDialogState() {
    static DialogState state;
    return state;
}

std::u16string TextOf(LPCWSTR text) {
    return text != nullptr ? std::u16string(text) : std::u16string();
}

std::vector<std::u16string> FilterTexts(LPCWSTR filter) {
    std::vector<std::u16string> texts;
    if (filter == nullptr) {
        return texts;
    }
    std::size_t at = 0;
    while (at < kMaxFilterChars && filter[at] != u'\0') {
        std::u16string text;
        while (at < kMaxFilterChars && filter[at] != u'\0') {
            text.push_back(filter[at++]);
        }
        ++at;
        texts.push_back(std::move(text));
    }
    return texts;
}

platform::OpenFileRequest RequestOf(const OPENFILENAMEW& ofn) {
    platform::OpenFileRequest request;
    request.owner = ofn.hwndOwner;
    request.filter = FilterTexts(ofn.lpstrFilter);
    const WCHAR* end = std::find(ofn.lpstrFile, ofn.lpstrFile + ofn.nMaxFile, u'\0');
    request.initialFile.assign(static_cast<const WCHAR*>(ofn.lpstrFile), end);
    request.title = TextOf(ofn.lpstrTitle);
    request.flags = ofn.Flags;
    return request;
}

BOOL Fail(DWORD error) {
    t_lastDialogError = error;
    return FALSE;
}

// Copies the chosen path into the caller's structure.
BOOL Deliver(OPENFILENAMEW& ofn, const std::u16string& path) {
    if (path.size() + 1 > ofn.nMaxFile) {
        ofn.lpstrFile[0] = static_cast<WCHAR>(std::min<std::size_t>(path.size() + 1, 0xFFFF));
        return Fail(FNERR_BUFFERTOOSMALL);
    }
    std::copy(path.begin(), path.end(), ofn.lpstrFile);
    ofn.lpstrFile[path.size()] = u'\0';

    const std::size_t slash = path.find_last_of(u"\\/");
    const std::size_t nameStart = slash == std::u16string::npos ? 0 : slash + 1;
    const std::size_t dot = path.find_last_of(u'.');
    const std::size_t extension =
        dot == std::u16string::npos || dot < nameStart ? path.size() : dot + 1;
    ofn.nFileOffset = static_cast<WORD>(std::min<std::size_t>(nameStart, 0xFFFF));
    ofn.nFileExtension = static_cast<WORD>(std::min<std::size_t>(extension, 0xFFFF));
    if (ofn.lpstrFileTitle != nullptr && ofn.nMaxFileTitle > 0) {
        const std::u16string name = path.substr(nameStart);
        const std::size_t count = std::min<std::size_t>(name.size(), ofn.nMaxFileTitle - 1);
        std::copy_n(name.begin(), count, ofn.lpstrFileTitle);
        ofn.lpstrFileTitle[count] = u'\0';
    }
    t_lastDialogError = 0;
    return TRUE;
}

} // namespace

BOOL GetOpenFileNameW(LPOPENFILENAMEW openFileName) {
    if (openFileName == nullptr) {
        return Fail(CDERR_INITIALIZATION);
    }
    OPENFILENAMEW& ofn = *openFileName;
    if (ofn.lStructSize != sizeof(OPENFILENAMEW) && ofn.lStructSize != OPENFILENAME_DEVICE_SIZE) {
        return Fail(CDERR_STRUCTSIZE);
    }
    if (ofn.lpstrFile == nullptr || ofn.nMaxFile == 0) {
        return Fail(CDERR_INITIALIZATION);
    }
    const platform::OpenFileRequest request = RequestOf(ofn);
    platform::OpenFilePresenter presenter;
    std::optional<std::u16string> answer;
    {
        DialogState& state = SharedDialogState();
        std::lock_guard lock(state.mutex);
        state.requests.push_back(request);
        if (!state.answers.empty()) {
            answer = std::move(state.answers.front());
            state.answers.pop_front();
        } else {
            presenter = state.presenter;
        }
    }
    if (presenter) {
        answer = presenter(request); // may block on a user: not under the lock
    }
    if (!answer) {
        t_lastDialogError = 0;
        return FALSE;
    }
    return Deliver(ofn, *answer);
}

DWORD CommDlgExtendedError() {
    return t_lastDialogError;
}

namespace platform {

void PushOpenFileAnswer(std::optional<std::u16string> answer) {
    DialogState& state = SharedDialogState();
    std::lock_guard lock(state.mutex);
    state.answers.push_back(std::move(answer));
}

std::vector<OpenFileRequest> RecordedOpenFileRequests() {
    DialogState& state = SharedDialogState();
    std::lock_guard lock(state.mutex);
    return state.requests;
}

void ClearOpenFileDialogs() {
    DialogState& state = SharedDialogState();
    std::lock_guard lock(state.mutex);
    state.requests.clear();
    state.answers.clear();
}

void SetOpenFilePresenter(OpenFilePresenter presenter) {
    DialogState& state = SharedDialogState();
    std::lock_guard lock(state.mutex);
    state.presenter = std::move(presenter);
}

} // namespace platform
