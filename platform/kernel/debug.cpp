#include "platform/kernel/debug.h"

#include "platform/kernel/codepage.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace platform {
namespace {

struct DebugState {
    std::mutex mutex;
    DebugOutputCapture* capture = nullptr;
};

DebugState& SharedDebugState() {
    static DebugState* state = new DebugState; // never destroyed: used by exit-time code
    return *state;
}

bool IsStderrEnabled() {
    static const bool isEnabled = [] {
        const char* value = std::getenv("NAV_DEBUG_OUTPUT");
        return value != nullptr && std::strcmp(value, "1") == 0;
    }();
    return isEnabled;
}

} // namespace

void AppendDebugText(DebugOutputCapture& capture, std::u16string text) {
    capture.m_texts.push_back(std::move(text));
}

DebugOutputCapture::DebugOutputCapture() {
    std::lock_guard lock(SharedDebugState().mutex);
    m_previous = SharedDebugState().capture;
    SharedDebugState().capture = this;
}

DebugOutputCapture::~DebugOutputCapture() {
    std::lock_guard lock(SharedDebugState().mutex);
    // Unlink this capture wherever it sits in the chain.
    for (DebugOutputCapture** link = &SharedDebugState().capture; *link != nullptr;
         link = &(*link)->m_previous) {
        if (*link == this) {
            *link = m_previous;
            break;
        }
    }
}

std::vector<std::u16string> DebugOutputCapture::Texts() const {
    std::lock_guard lock(SharedDebugState().mutex);
    return m_texts;
}

bool DebugOutputCapture::Contains(std::u16string_view part) const {
    std::lock_guard lock(SharedDebugState().mutex);
    for (const std::u16string& text : m_texts) {
        if (text.find(part) != std::u16string::npos) {
            return true;
        }
    }
    return false;
}

void DebugOutputCapture::Clear() {
    std::lock_guard lock(SharedDebugState().mutex);
    m_texts.clear();
}

} // namespace platform

void OutputDebugStringW(LPCWSTR text) {
    if (text == nullptr) {
        return;
    }
    platform::DebugState& state = platform::SharedDebugState();
    {
        std::lock_guard lock(state.mutex);
        if (state.capture != nullptr) {
            platform::AppendDebugText(*state.capture, text);
            return;
        }
    }
    if (platform::IsStderrEnabled()) {
        const std::string utf8 = platform::Utf16ToUtf8(text);
        // Debug output is best effort: a failed write is not reported anywhere.
        (void)std::fwrite(utf8.data(), 1, utf8.size(), stderr);
        (void)std::fflush(stderr);
    }
}
