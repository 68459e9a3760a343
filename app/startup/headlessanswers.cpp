#include "app/startup/headlessanswers.h"

#include "platform/gdi/openfilewindow.h"
#include "platform/kernel/codepage.h"
#include "platform/kernel/messagebox.h"
#include "platform/shell/dialogs.h"

#include <optional>
#include <string>

void AnswerUnseenBoxesAndDialogs(std::FILE* told) {
    platform::SetMessageBoxSink([told](const platform::MessageBoxRecord& box) {
        const int answer = platform::MessageBoxDefaultButton(box.type);
        (void)std::fprintf(told, "navigator: message box \"%s\": %s -- answered %s (headless)\n",
                           platform::Utf16ToUtf8(box.caption).c_str(),
                           platform::Utf16ToUtf8(box.text).c_str(),
                           platform::Utf16ToUtf8(platform::MessageBoxButtonText(answer)).c_str());
        return answer;
    });
    platform::SetOpenFilePresenter(
        [told](const platform::OpenFileRequest& request) -> std::optional<std::u16string> {
            std::u16string filter;
            for (std::size_t i = 0; i < request.filter.size(); i += 2)
                filter += (filter.empty() ? u"" : u", ") + request.filter[i];
            (void)std::fprintf(
                told,
                "navigator: open-file dialog \"%s\"%s -- cancelled (headless: run with "
                "--screen=visible to choose a file)\n",
                platform::Utf16ToUtf8(platform::OpenFileDialogTitle(request)).c_str(),
                filter.empty() ? "" : (" (" + platform::Utf16ToUtf8(filter) + ")").c_str());
            return std::nullopt;
        });
}
