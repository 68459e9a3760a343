#include "app/startup/modalwindow.h"

#include "platform/shell/dialogs.h"
#include "platform/window/message.h"

#include <vector>

void RunModalWindow(WindowHandle& window) {
    ShowPageWindow(window, true);
    MSG msg{};
    for (;;) {
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        if (got == -1)
            break;
        if (msg.message == WM_CLOSE && msg.hwnd != nullptr && msg.hwnd == window.window)
            break;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    ShowPageWindow(window, false);
}

std::optional<std::u16string> RequestOpenFile(HWND owner, std::u16string_view filter) {
    constexpr DWORD kFileChars = 255;
    std::u16string filterTexts(filter);
    for (char16_t& c : filterTexts) {
        if (c == u'|')
            c = u'\0';
    }
    filterTexts.push_back(u'\0');
    std::vector<WCHAR> file(kFileChars, 0);
    OPENFILENAMEW request{};
    request.lStructSize = sizeof(request);
    request.hwndOwner = owner;
    request.lpstrFilter = filter.empty() ? nullptr : filterTexts.c_str();
    request.lpstrFile = file.data();
    request.nMaxFile = kFileChars;
    request.Flags = OFN_FILEMUSTEXIST | OFN_HIDEREADONLY;
    if (GetOpenFileNameW(&request) == FALSE)
        return std::nullopt;
    return std::u16string(file.data());
}
