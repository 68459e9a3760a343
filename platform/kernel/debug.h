#pragma once
// Debugger output. Lines go to the installed capture when there is one; otherwise to stderr
// (as UTF-8) when the environment variable NAV_DEBUG_OUTPUT is "1", else they are dropped.
// Safe from any thread.

#include "platform/types.h"

#include <string>
#include <vector>

// A null text is ignored.
void OutputDebugStringW(LPCWSTR text);

namespace platform {

// Collects every debug text written while it exists (one entry per call), instead of the
// default output. Captures nest: the innermost one receives the texts.
class DebugOutputCapture {
public:
    DebugOutputCapture();
    ~DebugOutputCapture();
    DebugOutputCapture(const DebugOutputCapture&) = delete;
    DebugOutputCapture& operator=(const DebugOutputCapture&) = delete;

    [[nodiscard]] std::vector<std::u16string> Texts() const;
    // True when some text contains part.
    [[nodiscard]] bool Contains(std::u16string_view part) const;
    void Clear();

private:
    friend void AppendDebugText(DebugOutputCapture& capture, std::u16string text);
    std::vector<std::u16string> m_texts; // guarded by the debug output lock
    DebugOutputCapture* m_previous;
};

} // namespace platform
