#include "app/tests/recordingvoice.h"

bool RecordingVoice::Say(const std::u16string& text) {
    std::lock_guard lock(m_mutex);
    m_calls.push_back(u"Say(" + text + u")");
    return true;
}

bool RecordingVoice::Stop() {
    std::lock_guard lock(m_mutex);
    m_calls.push_back(u"Stop");
    return true;
}

std::vector<std::u16string> RecordingVoice::Calls() const {
    std::lock_guard lock(m_mutex);
    return m_calls;
}

void RecordingVoice::Clear() {
    std::lock_guard lock(m_mutex);
    m_calls.clear();
}
