#include "utilities/usefulcode/fileopendialog.h"

namespace {

// "All files%c*.*%c" with both insertions a zero character; the literal's own terminator ends
// the list.
constexpr WCHAR kFilter[] = u"All files\0*.*\0";

} // namespace

FileOpenDialog::FileOpenDialog(std::u16string_view prompt, Validator validator)
    : m_prompt(prompt.substr(0, kMaxPathChars))
    , m_validator(validator) {}

bool FileOpenDialog::Show() {
    OPENFILENAMEW ofn{};
    ofn.lStructSize = OPENFILENAME_DEVICE_SIZE;
    ofn.lpstrFilter = kFilter;
    ofn.lpstrFile = m_file;
    ofn.nMaxFile = kMaxPathChars;
    return GetOpenFileNameW(&ofn) != FALSE;
}

std::u16string FileOpenDialog::GetPath() const {
    return std::u16string(m_file);
}
