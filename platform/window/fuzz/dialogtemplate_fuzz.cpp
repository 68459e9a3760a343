// Modeless dialogs from arbitrary in-memory templates: refused or created, never a crash.
#include "platform/window/dialog.h"
#include "platform/window/message.h"
#include "platform/window/window.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace {

BOOL QuietProcedure(HWND, UINT, WPARAM, LPARAM) {
    return FALSE;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // A template is read without a length, as the device reads it: give it at least the fixed
    // part and the three words after it.
    std::vector<std::uint8_t> bytes(data, data + size);
    bytes.resize(std::max<std::size_t>(bytes.size(), 24), 0);
    HWND dialog = CreateDialogIndirectParamW(nullptr, platform::AsTemplate(bytes), nullptr,
                                             QuietProcedure, 0);
    if (dialog != nullptr)
        DestroyWindow(dialog);
    MSG msg{};
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageW(&msg);
    return 0;
}
