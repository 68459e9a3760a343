#pragma once
// A stored destination list: the values of keys "0", "1", ... of one section of a settings
// file, each a destination record, up to the first missing or empty value. This is the one
// reader and writer of the list files; a change rewrites the section in one step, so that a
// crash leaves the old list or the new one. A file that cannot be read or holds NUL bytes
// (zeroed sectors after a power loss) is damaged: its list is empty and it is never written.
// One list belongs to one thread; the file rewrite is serialised by the settings store.

#include "platform/types.h"

#include <cstddef>
#include <string>
#include <vector>

class StoredDestinationList {
public:
    // The message naming a list file that cannot be read or written ("%s": the path).
    static constexpr UINT kUnusableFileMessageId = 1400;

    // Reads the list of section from file: a full device path, a bare name beside the executable,
    // or empty for the settings file. A missing file is an empty list and is not created.
    StoredDestinationList(const std::u16string& file, std::u16string section);

    [[nodiscard]] const std::vector<std::u16string>& Records() const { return m_records; }
    [[nodiscard]] bool IsDamaged() const { return m_isDamaged; }
    [[nodiscard]] const std::u16string& Path() const { return m_path; }
    [[nodiscard]] const std::u16string& Section() const { return m_section; }

    // Makes records the list: the section then holds exactly the keys "0" to "n-1". False, with
    // the list and the file unchanged, for a damaged file, an empty record (it would end the
    // list) or a file that cannot be rewritten (read-only media).
    [[nodiscard]] bool Replace(std::vector<std::u16string> records);
    // Removes entry index (Replace without it); false as Replace, or for an index beyond the list.
    [[nodiscard]] bool Remove(std::size_t index);

    // Tells the user (a message box over owner, which may be null) that the list's file cannot
    // be read or written.
    void ShowUnusableMessage(HWND owner) const;

private:
    std::u16string m_path;
    std::u16string m_section;
    std::vector<std::u16string> m_records;
    bool m_isDamaged = false;
};
