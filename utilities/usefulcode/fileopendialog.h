#pragma once
// The system open-file dialog used to ask the user for a file or folder: "All files" (*.*), no
// owner, no title. The prompt and the validator are kept with the dialog but the system dialog
// shows neither and applies no validator; callers check the chosen path themselves.

#include "platform/shell/dialogs.h"

#include <string>
#include <string_view>

class FileOpenDialog {
public:
    using Validator = bool (*)(const std::u16string& path);
    static constexpr std::size_t kMaxPathChars = 260;

    // prompt is kept up to 260 characters.
    FileOpenDialog(std::u16string_view prompt, Validator validator);

    // Shows the dialog; true when the user chose a file (GetPath then names it).
    [[nodiscard]] bool Show();
    // The chosen path; empty before a choice.
    [[nodiscard]] std::u16string GetPath() const;

    [[nodiscard]] const std::u16string& Prompt() const { return m_prompt; }
    [[nodiscard]] Validator GetValidator() const { return m_validator; }

private:
    std::u16string m_prompt;
    Validator m_validator;
    WCHAR m_file[kMaxPathChars] = {};
};
