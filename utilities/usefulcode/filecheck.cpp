#include "utilities/usefulcode/filecheck.h"

#include "platform/files/files.h"
#include "platform/files/paths.h"
#include "platform/kernel/format.h"
#include "platform/kernel/messagebox.h"
#include "platform/kernel/text.h"
#include "platform/shell/resources.h"

#include <array>
#include <initializer_list>
#include <mutex>
#include <set>
#include <utility>

namespace {

// The longest box text; a longer file name gives up characters from its middle.
constexpr std::size_t kFileCheckTextLimit = 511;
constexpr std::u16string_view kElidedPart = u"...";
// "Spoken guidance is not available: the file %s is missing or damaged."
constexpr UINT kSpokenGuidanceText = 1404;
// "Roundabouts and U-turns in %s are not announced: the line %s of the file %s gives no driving
// side (Left or Right)."
constexpr UINT kDrivingSideText = 1407;

struct NamedFiles {
    std::mutex mutex;
    std::set<std::u16string> names; // normalised device paths, lower case
};

NamedFiles& FilesNamedThisRun() {
    static NamedFiles files;
    return files;
}

// The files told with a language text, each as the text id and its normalised name.
struct ToldFiles {
    std::mutex mutex;
    std::set<std::pair<UINT, std::u16string>> told;
};

ToldFiles& FilesToldThisRun() {
    static ToldFiles files;
    return files;
}

// False when the normalised name was in the set already.
bool NoteNamed(NamedFiles& files, const std::u16string& shown) {
    const std::lock_guard lock(files.mutex);
    return files.names.insert(platform::ToLower(shown)).second;
}

bool IsHighSurrogate(char16_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}

bool IsLowSurrogate(char16_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

std::u16string FileCheckText(DWORD errorCode, const std::u16string& name, std::uint64_t size) {
    const std::u16string head =
        platform::FormatW(u"Error code %ld File name: ", static_cast<long>(errorCode));
    const std::u16string tail =
        platform::FormatW(u", file size: %llu bytes", static_cast<unsigned long long>(size));
    const std::size_t room = kFileCheckTextLimit - head.size() - tail.size();
    if (name.size() <= room) {
        return head + name + tail;
    }
    const std::size_t kept = room - kElidedPart.size();
    // Both cuts fall between characters: never between the halves of a surrogate pair.
    std::size_t front = kept / 2;
    if (front > 0 && IsHighSurrogate(name[front - 1])) {
        --front;
    }
    std::size_t back = name.size() - (kept - kept / 2);
    if (IsLowSurrogate(name[back])) {
        ++back;
    }
    return head + name.substr(0, front) + std::u16string(kElidedPart) + name.substr(back) + tail;
}

} // namespace

bool ShowFileCheckMessage(const std::u16string& name, DWORD errorCode, std::uint64_t size) {
    const std::u16string shown = platform::NormalizeDevicePath(name);
    if (!NoteNamed(FilesNamedThisRun(), shown)) {
        return false;
    }
    const std::u16string text = FileCheckText(errorCode, shown, size);
    (void)MessageBoxW(nullptr, text.c_str(), nullptr, MB_OK);
    return true;
}

bool HasNamedFileThisRun() {
    NamedFiles& files = FilesNamedThisRun();
    const std::lock_guard lock(files.mutex);
    return !files.names.empty();
}

bool ShowDamagedFileMessage(const std::u16string& name) {
    WIN32_FIND_DATAW found{};
    std::uint64_t size = 0;
    HANDLE search = FindFirstFileW(name.c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        size = (std::uint64_t{found.nFileSizeHigh} << 32) | found.nFileSizeLow;
        (void)FindClose(search);
    }
    return ShowFileCheckMessage(name, ERROR_FILE_INVALID, size);
}

namespace {

// The language library's text textId with each "%s" in turn replaced by the next of words; the
// words left over follow it, each after a blank.
std::u16string FilledText(UINT textId, std::initializer_list<std::u16string> words) {
    std::array<WCHAR, 256> format{};
    const int length = LoadStringW(platform::ResourceInstance(), textId, format.data(),
                                   static_cast<int>(format.size()));
    std::u16string text(format.data(), static_cast<std::size_t>(length > 0 ? length : 0));
    std::size_t from = 0;
    for (const std::u16string& word : words) {
        const std::size_t mark = text.find(u"%s", from);
        if (mark == std::u16string::npos) {
            text += text.empty() ? word : u" " + word;
            from = text.size();
        } else {
            text.replace(mark, 2, word);
            from = mark + word.size();
        }
    }
    return text;
}

// The text in double quotes, each control character written out ("\r", "\n", "\x1B").
std::u16string QuotedVisibly(const std::u16string& text) {
    std::u16string shown = u"\"";
    for (const char16_t c : text) {
        if (c == u'\r') {
            shown += u"\\r";
        } else if (c == u'\n') {
            shown += u"\\n";
        } else if (c < 0x20 || c == 0x7F) {
            shown += platform::FormatW(u"\\x%02X", static_cast<unsigned>(c));
        } else {
            shown += c;
        }
    }
    return shown + u"\"";
}

NamedFiles& DrivingSidesToldThisRun() {
    static NamedFiles lines;
    return lines;
}

} // namespace

void ShowFileMessage(HWND owner, UINT textId, const std::u16string& path) {
    const std::u16string text = FilledText(textId, {path});
    (void)MessageBoxW(owner, text.c_str(), nullptr, MB_OK | MB_ICONEXCLAMATION);
}

bool ShowFileMessageOnce(HWND owner, UINT textId, const std::u16string& name) {
    const std::u16string shown = platform::NormalizeDevicePath(name);
    {
        ToldFiles& files = FilesToldThisRun();
        const std::lock_guard lock(files.mutex);
        if (!files.told.emplace(textId, platform::ToLower(shown)).second) {
            return false;
        }
    }
    ShowFileMessage(owner, textId, shown);
    return true;
}

bool ShowSpokenGuidanceMessage(const std::u16string& name) {
    return ShowFileMessageOnce(nullptr, kSpokenGuidanceText, name);
}

bool ShowDrivingSideMessage(const std::u16string& file, const std::u16string& country,
                            const std::u16string& line) {
    const std::u16string shown = platform::NormalizeDevicePath(file);
    // The file's name ends with no ';', which the line holds: the pair is told apart whole.
    if (!NoteNamed(DrivingSidesToldThisRun(), shown + u";" + line)) {
        return false;
    }
    const std::u16string text = FilledText(kDrivingSideText, {country, QuotedVisibly(line), shown});
    (void)MessageBoxW(nullptr, text.c_str(), nullptr, MB_OK | MB_ICONEXCLAMATION);
    return true;
}

void ForgetFileCheckMessages() {
    for (NamedFiles* files : {&FilesNamedThisRun(), &DrivingSidesToldThisRun()}) {
        const std::lock_guard lock(files->mutex);
        files->names.clear();
    }
    ToldFiles& files = FilesToldThisRun();
    const std::lock_guard lock(files.mutex);
    files.told.clear();
}
