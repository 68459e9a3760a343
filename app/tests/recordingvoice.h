#pragma once
// A voice output for the pages' tests: records "Say(text)" and "Stop" lines in order, from any
// thread.

#include "advisor/voiceoutput.h"

#include <mutex>
#include <string>
#include <vector>

class RecordingVoice final : public IVoiceOutput {
public:
    bool Init(const std::u16string&, const std::u16string&) override { return true; }
    bool Say(const std::u16string& text) override;
    [[nodiscard]] const char* GetStatusText() const override { return "OK"; }
    bool Stop() override;
    bool Shutdown() override { return true; }

    [[nodiscard]] std::vector<std::u16string> Calls() const;
    void Clear();

private:
    mutable std::mutex m_mutex;
    std::vector<std::u16string> m_calls;
};
