#pragma once
// INI settings files: read a string, integer or double by section and key with a default, write
// a string or integer, or a whole section. Reads scan the file on every call, except for files
// preloaded into the process-wide cache; writes rewrite the whole file through a temporary file
// beside it and replace it in one step (platform::FileRewrite), so the settings file is never lost:
// it keeps its permissions, a symbolic link keeps pointing at the rewritten file, and a write
// killed on the way leaves no temporary file for long; a file holding NUL bytes (zeroed sectors
// after a power loss) is never rewritten. Section and key names match without letter case. A bare
// file name means a file next to the executable (AppPaths::MakeFullPath). Files are code page 1252
// text, or UTF-8 when they start with its byte-order mark; a rewrite keeps the encoding, and the
// lines it does not change keep their bytes (only their line ends become CR LF). Safe from any
// thread; writes are serialised within the process and, through a lock on the file's folder, with
// the writes of other processes (where this process may read the folder; a folder it may only
// write cannot be locked).

#include "platform/types.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class IniProfile {
public:
    // The value, or the default when the section or key is missing (an empty text for a null
    // default). A missing file is created empty.
    [[nodiscard]] static std::u16string GetString(LPCWSTR section, LPCWSTR key, LPCWSTR file,
                                                  LPCWSTR defaultValue);
    // True when the file is preloaded or lies on the storage (a file, not a folder): for
    // readers that must not leave an empty file behind where none was.
    [[nodiscard]] static bool Exists(LPCWSTR file);
    // The value's leading sign and digits (0 when it does not begin with a number); the default
    // when the section or key is missing.
    [[nodiscard]] static INT GetInt(LPCWSTR section, LPCWSTR key, LPCWSTR file, INT defaultValue);
    // The value read as "%lf"; the default when it is missing, empty or not a number.
    [[nodiscard]] static double GetDouble(LPCWSTR section, LPCWSTR key, LPCWSTR file,
                                          double defaultValue);
    // The values of several keys of one section, in the keys' order, each as GetString finds
    // it (none when missing), in one scan of the file.
    [[nodiscard]] static std::vector<std::optional<std::u16string>>
    GetStrings(LPCWSTR section, std::span<const LPCWSTR> keys, LPCWSTR file);

    // The key lines of section in settings text (the bytes of a file, as PreloadText takes
    // them) as (key, value) pairs in their order, read as the scans of GetString read a file:
    // the first header of the section, up to the next line that starts with "[". Empty when the
    // section is missing.
    [[nodiscard]] static std::vector<std::pair<std::u16string, std::u16string>>
    GetSectionOfText(std::string_view bytes, LPCWSTR section);

    // Sets key in section to value: an existing key is replaced where it stands, a new key goes
    // after the last line of its section, a missing section is appended with the key. Nothing
    // happens for a null or empty key or section. Returns 1 in every case; a write that fails
    // leaves the file as it was, writes a debug line naming the file and reports the file to the
    // damaged-file handler (a file holding NUL bytes) or else to the unsaved-file handler.
    static int WriteString(LPCWSTR section, LPCWSTR key, LPCWSTR value, LPCWSTR file);
    // Replaces the key lines of section by keys, in their order, in one rewrite of the file (a
    // missing section is appended; comments in it stay). True when the file was replaced; false,
    // with the file as it was, when it cannot be read or rewritten, holds NUL bytes (a damaged
    // file), or a key is empty or a key or value holds a line break or a key an "=". A damaged
    // file is reported to the damaged-file handler; other failures are the caller's to tell.
    [[nodiscard]] static bool
    WriteSection(LPCWSTR section,
                 const std::vector<std::pair<std::u16string, std::u16string>>& keys, LPCWSTR file);
    // The value formatted with "%d", then as WriteString.
    static int WriteInt(LPCWSTR section, LPCWSTR key, INT value, LPCWSTR file);

    // Reads the whole file into the cache under path as given (callers pass a full path).
    // Later reads of that file answer from the cache, also after writes to the file; a second
    // preload merges into what the cache holds. False only when the file cannot be opened.
    [[nodiscard]] static bool Preload(LPCWSTR path);
    // Puts the settings text (the bytes of a file, as Preload reads them) into the cache under
    // path, replacing what the cache held for it; the file itself is not touched. For readers
    // that take their settings from memory.
    static void PreloadText(LPCWSTR path, std::string_view bytes);

    // Who hears of a settings file that is damaged (it holds NUL bytes, as zeroed sectors after
    // a power loss leave it) when a write to it is refused: the application, to tell the user
    // that changes cannot be saved. Each file is reported once while one handler is set; the
    // handler runs on the writing thread after the write and must neither block nor write
    // settings. An empty handler hears nothing.
    using DamagedFileHandler = std::function<void(const std::u16string& path)>;
    static void SetDamagedFileHandler(DamagedFileHandler handler);
    // Reports a damaged file (a full path) as a refused write does: for the other writers of
    // settings files, which find the damage before they write.
    static void ReportDamagedFile(const std::u16string& path);

    // Who hears of a settings file whose change could not be saved for another reason than
    // damage (a read-only file, a full or read-only storage, a folder that cannot be written),
    // when a write that tells its caller nothing (WriteString, WriteInt) is refused: the
    // application, to tell the user. Each file is reported once while one handler is set; the
    // handler runs on the writing thread and must neither block nor write settings.
    using UnsavedFileHandler = std::function<void(const std::u16string& path)>;
    static void SetUnsavedFileHandler(UnsavedFileHandler handler);
    // Reports a file (a full path) whose change was refused, as a refused write does: for the
    // callers of WriteSection that have no one else to tell.
    static void ReportUnsavedFile(const std::u16string& path);

    // Test switch: the next rewrite ends the process with exit code kEndedDuringRewrite once it
    // has written this many bytes of its temporary file; 0 turns it off.
    static constexpr int kEndedDuringRewrite = 86;
    static void EndProcessDuringRewrite(std::size_t bytes);
};
