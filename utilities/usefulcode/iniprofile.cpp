#include "utilities/usefulcode/iniprofile.h"

#include "utilities/usefulcode/apppaths.h"

#include "platform/files/filerewrite.h"
#include "platform/files/files.h"
#include "platform/files/stdio.h"
#include "platform/kernel/codepage.h"
#include "platform/kernel/debug.h"
#include "platform/kernel/format.h"
#include "platform/kernel/text.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <iterator>
#include <map>
#include <mutex>
#include <optional>
#include <shared_mutex>
#include <string_view>

namespace {

enum class LineKind { Other, Comment, Header, Key };

struct ParsedLine {
    LineKind kind = LineKind::Other;
    std::u16string name; // section name of a header, key of a key line; trimmed
    std::u16string value;
};

template <class Char> std::basic_string_view<Char> TrimBlanks(std::basic_string_view<Char> text) {
    while (!text.empty() && text.front() == Char(' ')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && text.back() == Char(' ')) {
        text.remove_suffix(1);
    }
    return text;
}

// One line's parts as views into it: of its text, or of its bytes for a rewrite (the characters
// that make a line's structure are ASCII, in code page 1252 and in UTF-8 alike).
template <class Char> struct BasicLineView {
    LineKind kind = LineKind::Other;
    std::basic_string_view<Char> name; // section name of a header, key of a key line; trimmed
    std::basic_string_view<Char> value;
};
using LineView = BasicLineView<char16_t>;

// Classifies one line as read (its '\n' included or not).
template <class Char> BasicLineView<Char> ViewLine(std::basic_string_view<Char> line) {
    BasicLineView<Char> parsed;
    if (line.empty()) {
        return parsed;
    }
    if (line.front() == Char(';')) {
        parsed.kind = LineKind::Comment;
        return parsed;
    }
    if (line.front() == Char('[')) {
        const std::size_t close = line.find(Char(']'));
        if (close != std::basic_string_view<Char>::npos) {
            parsed.kind = LineKind::Header;
            parsed.name = TrimBlanks(line.substr(1, close - 1));
            return parsed;
        }
    }
    const std::size_t equals = line.find(Char('='));
    if (equals == std::basic_string_view<Char>::npos) {
        return parsed;
    }
    std::basic_string_view<Char> value = line.substr(equals + 1);
    if (!value.empty() && value.back() == Char('\n')) {
        value.remove_suffix(1);
    }
    if (!value.empty() && value.back() == Char('\r')) {
        value.remove_suffix(1);
    }
    parsed.kind = LineKind::Key;
    parsed.name = TrimBlanks(line.substr(0, equals));
    parsed.value = TrimBlanks(value);
    return parsed;
}

ParsedLine ParseLine(std::u16string_view line) {
    const LineView view = ViewLine(line);
    return {view.kind, std::u16string(view.name), std::u16string(view.value)};
}

bool NamesEqual(std::u16string_view name, LPCWSTR wanted) {
    return platform::CompareNoCase(name, wanted) == 0;
}

// A character as platform::CompareNoCase folds it, ASCII without a call.
int FoldedCharacter(char16_t c) {
    if (c < 0x80) {
        return c >= u'A' && c <= u'Z' ? c + (u'a' - u'A') : c;
    }
    return TowLower(c);
}

// Orders names exactly as platform::LessNoCase does; the cache's maps compare names often.
struct NameLess {
    using is_transparent = void;
    [[nodiscard]] bool operator()(std::u16string_view a, std::u16string_view b) const {
        const std::size_t common = std::min(a.size(), b.size());
        for (std::size_t i = 0; i < common; ++i) {
            if (a[i] == b[i]) {
                continue;
            }
            const int ca = FoldedCharacter(a[i]);
            const int cb = FoldedCharacter(b[i]);
            if (ca != cb) {
                return ca < cb;
            }
        }
        return a.size() < b.size();
    }
};

using KeyMap = std::map<std::u16string, std::u16string, NameLess>;
using SectionMap = std::map<std::u16string, KeyMap, NameLess>;

// The process-wide cache of preloaded files. Never destroyed, so that reads during static
// destruction stay safe.
struct SettingsCache {
    std::shared_mutex mutex;
    std::map<std::u16string, SectionMap, NameLess> files;
};

SettingsCache& Cache() {
    static auto* cache = new SettingsCache;
    return *cache;
}

// Serialises rewrites, so that two threads writing one file cannot lose each other's change.
std::mutex& WriteMutex() {
    static auto* mutex = new std::mutex;
    return *mutex;
}

// The test switch of EndProcessDuringRewrite: bytes after which a rewrite ends the
// process; 0 when off.
std::atomic<std::size_t>& RewriteLimit() {
    static std::atomic<std::size_t> limit{0};
    return limit;
}

// A handler of settings files whose changes were refused, and the files it has heard of.
struct ReportedFiles {
    std::mutex mutex;
    std::function<void(const std::u16string& path)> handler;
    std::vector<std::u16string> reported;

    void SetHandler(std::function<void(const std::u16string& path)> newHandler) {
        std::lock_guard lock(mutex);
        handler = std::move(newHandler);
        reported.clear();
    }
    // Tells the handler of path, once while it is set.
    void Report(const std::u16string& path) {
        std::lock_guard lock(mutex);
        if (!handler ||
            std::any_of(reported.begin(), reported.end(), [&path](const std::u16string& known) {
                return platform::CompareNoCase(known, path) == 0;
            })) {
            return;
        }
        reported.push_back(path);
        handler(path);
    }
};

// Files holding NUL bytes.
ReportedFiles& TheDamagedFiles() {
    static auto* files = new ReportedFiles;
    return *files;
}

// Files that could not be rewritten for another reason.
ReportedFiles& TheUnsavedFiles() {
    static auto* files = new ReportedFiles;
    return *files;
}

// The byte-order mark of a UTF-8 text file.
constexpr unsigned char kUtf8Mark[] = {0xEF, 0xBB, 0xBF};

// A text-mode stream that reads whole lines, however long.
class TextStream {
public:
    TextStream() = default;
    TextStream(const TextStream&) = delete;
    TextStream& operator=(const TextStream&) = delete;
    ~TextStream() {
        if (m_stream != nullptr) {
            (void)fclose(m_stream);
        }
    }

    [[nodiscard]] bool Open(const std::u16string& path, const WCHAR* mode) {
        m_stream = _wfopen(path.c_str(), mode);
        return m_stream != nullptr;
    }

    // One line with its '\n' (the last line of a file may lack it); false at the end. A NUL
    // (zero-filled sectors after a power loss) ends the text of its line: the rest of the line
    // is dropped, its line feed kept.
    [[nodiscard]] bool ReadLine(std::u16string& line) {
        line.clear();
        WCHAR piece[128]; // most settings lines fit; longer ones take several reads
        for (;;) {
            // fgetws terminates what it read, which may hold NULs of its own: in a buffer filled
            // with blanks beforehand, the terminator is the last NUL.
            std::fill(std::begin(piece), std::end(piece), u' ');
            if (fgetws(piece, static_cast<int>(std::size(piece)), m_stream) == nullptr) {
                break;
            }
            // fgetws stops after a line feed: the terminator then follows the first one.
            const std::u16string_view read(piece, std::size(piece));
            const std::size_t lineFeed = read.find(u'\n');
            line.append(piece,
                        lineFeed != std::u16string_view::npos ? lineFeed + 1 : read.rfind(u'\0'));
            if (!line.empty() && line.back() == u'\n') {
                break;
            }
        }
        if (const std::size_t nul = line.find(u'\0'); nul != std::u16string::npos) {
            const bool hasLineFeed = line.back() == u'\n';
            line.erase(nul);
            if (hasLineFeed) {
                line += u'\n';
            }
        }
        return !line.empty();
    }

private:
    NavFile* m_stream = nullptr;
};

void Report(const std::u16string& path, std::u16string_view what) {
    const std::u16string line = u"IniProfile: " + path + u": " + std::u16string(what) + u"\n";
    OutputDebugStringW(line.c_str());
}

bool IsEmpty(LPCWSTR text) {
    return text == nullptr || *text == u'\0';
}

// Opens a settings file for reading; a missing file is created empty.
bool OpenForReading(TextStream& stream, const std::u16string& path) {
    return stream.Open(path, u"rt") || stream.Open(path, u"w+t");
}

// Finds the first header of section; the stream is then just past it.
bool SeekSection(TextStream& stream, LPCWSTR section) {
    std::u16string line;
    while (stream.ReadLine(line)) {
        const auto parsed = ParseLine(line);
        if (parsed.kind == LineKind::Header && NamesEqual(parsed.name, section)) {
            return true;
        }
    }
    return false;
}

// Fills values[i] with the value of keys[i]: the first line of the key after the first header
// of section, up to the next line that starts with "[". One scan of the file for every key; a
// null key finds nothing. A missing file is created empty.
void ScanFileForKeys(const std::u16string& path, LPCWSTR section, std::span<const LPCWSTR> keys,
                     std::vector<std::optional<std::u16string>>& values) {
    if (path.empty()) {
        return;
    }
    TextStream stream;
    if (!OpenForReading(stream, path) || IsEmpty(section)) {
        return;
    }
    std::size_t left = static_cast<std::size_t>(
        std::count_if(keys.begin(), keys.end(), [](LPCWSTR key) { return key != nullptr; }));
    if (left == 0 || !SeekSection(stream, section)) {
        return;
    }
    std::u16string line;
    while (left > 0 && stream.ReadLine(line)) {
        if (line.starts_with(u'[')) {
            return;
        }
        auto parsed = ParseLine(line);
        if (parsed.kind != LineKind::Key) {
            continue;
        }
        // The first line of a key counts, as for a scan for that key alone.
        for (std::size_t i = 0; i < keys.size(); ++i) {
            if (keys[i] != nullptr && !values[i] && NamesEqual(parsed.name, keys[i])) {
                values[i] = parsed.value;
                --left;
            }
        }
    }
}

// The value of a preloaded file from the cache; none when the section or key is missing.
std::optional<std::u16string> CachedValue(const SectionMap& file, LPCWSTR section, LPCWSTR key) {
    if (section == nullptr || key == nullptr) {
        return std::nullopt;
    }
    const auto foundSection = file.find(std::u16string_view(section));
    if (foundSection == file.end()) {
        return std::nullopt;
    }
    const auto foundKey = foundSection->second.find(std::u16string_view(key));
    if (foundKey == foundSection->second.end()) {
        return std::nullopt;
    }
    return foundKey->second;
}

// The values from the cache (when the file is preloaded) or from one scan of the file.
std::vector<std::optional<std::u16string>> LookUpKeys(LPCWSTR section,
                                                      std::span<const LPCWSTR> keys, LPCWSTR file) {
    std::vector<std::optional<std::u16string>> values(keys.size());
    const std::u16string path = AppPaths::MakeFullPath(file != nullptr ? file : u"");
    {
        SettingsCache& cache = Cache();
        std::shared_lock lock(cache.mutex);
        const auto cached = cache.files.find(path);
        if (cached != cache.files.end()) {
            for (std::size_t i = 0; i < keys.size(); ++i) {
                values[i] = CachedValue(cached->second, section, keys[i]);
            }
            return values;
        }
    }
    ScanFileForKeys(path, section, keys, values);
    return values;
}

// The value from the cache (when the file is preloaded) or from the file.
std::optional<std::u16string> LookUp(LPCWSTR section, LPCWSTR key, LPCWSTR file) {
    return std::move(LookUpKeys(section, std::span(&key, 1), file)[0]);
}

bool HasUtf8Mark(std::string_view bytes) {
    return bytes.size() >= std::size(kUtf8Mark) &&
           std::equal(std::begin(kUtf8Mark), std::end(kUtf8Mark),
                      reinterpret_cast<const unsigned char*>(bytes.data()));
}

// The bytes of a whole file; none when it cannot be opened.
std::optional<std::string> ReadFileBytes(const WCHAR* path) {
    NavFile* file = _wfopen(path, u"rb");
    if (file == nullptr) {
        return std::nullopt;
    }
    std::string bytes;
    char chunk[16384];
    for (std::size_t read = 0; (read = fread(chunk, 1, sizeof chunk, file)) != 0;) {
        bytes.append(chunk, read);
    }
    (void)fclose(file);
    return bytes;
}

// A settings file's text encoding: code page 1252, or UTF-8 after its byte-order mark.
class FileEncoding {
public:
    explicit FileEncoding(bool isUtf8)
        : m_isUtf8(isUtf8) {}

    [[nodiscard]] std::u16string Decode(std::string_view bytes) const {
        return m_isUtf8 ? platform::Utf8ToUtf16(bytes) : platform::AnsiToWide(bytes);
    }
    [[nodiscard]] std::string Encode(std::u16string_view text) const {
        return m_isUtf8 ? platform::Utf16ToUtf8(text) : platform::WideToAnsi(text);
    }

private:
    bool m_isUtf8;
};

// The bytes of a rewritten settings file, line by line. Lines that are copied keep their bytes:
// only their line end is written as CR LF, as text-mode files end their lines. A line of the old
// file that is not edited is therefore never decoded and encoded again, so that bytes that are
// not valid in the file's encoding (a code page 1252 letter in a UTF-8 file) stay as they were.
class RewrittenText {
public:
    explicit RewrittenText(bool isUtf8)
        : m_encoding(isUtf8) {
        if (isUtf8) {
            m_bytes.assign(std::begin(kUtf8Mark), std::end(kUtf8Mark));
        }
    }

    [[nodiscard]] const FileEncoding& Encoding() const { return m_encoding; }

    // A line of the old file (with its line end, or the file's last line without one).
    void Copy(std::string_view line) {
        if (!line.empty() && line.back() == '\n') {
            AppendLine(WithoutLineEnd(line));
        } else if (!line.empty()) {
            m_bytes += line;
            m_isAtLineStart = false;
        }
    }
    // A line made of bytes of the old file, and a line end.
    void AppendLine(std::string_view bytes) {
        m_bytes += bytes;
        m_bytes += "\r\n";
        m_isAtLineStart = true;
    }
    // A new line of text in the file's encoding, and a line end.
    void AppendText(std::u16string_view text) { AppendLine(m_encoding.Encode(text)); }
    // Ends a last line that came without its line feed, so that nothing is appended to it.
    void EndLine() {
        if (!m_isAtLineStart) {
            AppendLine({});
        }
    }

    [[nodiscard]] const std::string& Bytes() const { return m_bytes; }

    static std::string_view WithoutLineEnd(std::string_view line) {
        if (!line.empty() && line.back() == '\n') {
            line.remove_suffix(1);
            if (!line.empty() && line.back() == '\r') {
                line.remove_suffix(1);
            }
        }
        return line;
    }

private:
    FileEncoding m_encoding;
    std::string m_bytes;
    bool m_isAtLineStart = true;
};

// The lines of a settings file's bytes (after the byte-order mark), each with its line feed.
class RawLines {
public:
    explicit RawLines(std::string_view bytes)
        : m_rest(bytes) {}

    // The next line; false at the end.
    [[nodiscard]] bool Next(std::string_view& line) {
        if (m_rest.empty()) {
            return false;
        }
        const std::size_t lineFeed = m_rest.find('\n');
        const std::size_t length =
            lineFeed == std::string_view::npos ? m_rest.size() : lineFeed + 1;
        line = m_rest.substr(0, length);
        m_rest.remove_prefix(length);
        return true;
    }
    // Makes the next Next return line again (the line it returned last).
    void Unread(std::string_view line) {
        m_rest = std::string_view(line.data(), line.size() + m_rest.size());
    }

private:
    std::string_view m_rest;
};

// Whether the bytes name (a section or key name of the old file) match wanted.
bool BytesNameEqual(const FileEncoding& encoding, std::string_view name, LPCWSTR wanted) {
    return NamesEqual(encoding.Decode(name), wanted);
}

// Copies the lines before the first header of section, rewriting each header passed as
// "[name]"; true when the section was found (its header is consumed).
bool CopyUpToSection(RawLines& in, RewrittenText& out, LPCWSTR section) {
    std::string_view line;
    while (in.Next(line)) {
        const auto parsed = ViewLine(line);
        if (parsed.kind != LineKind::Header) {
            out.Copy(line);
        } else if (BytesNameEqual(out.Encoding(), parsed.name, section)) {
            return true;
        } else {
            out.AppendLine("[" + std::string(parsed.name) + "]");
        }
    }
    return false;
}

// Writes the header of section as the caller spells it, then passes the section's old lines to
// keep (each line up to the next line that starts with "["), and leaves the input at that line.
template <class Keep>
void RewriteSectionLines(RawLines& in, RewrittenText& out, LPCWSTR section, bool isSectionFound,
                         Keep keep) {
    out.EndLine();
    out.AppendText(std::u16string(u"[") + section + u"]");
    if (!isSectionFound) {
        return;
    }
    std::string_view line;
    while (in.Next(line)) {
        if (line.starts_with('[')) {
            in.Unread(line);
            break;
        }
        if (!keep(line)) {
            break;
        }
    }
    out.EndLine();
}

void CopyRest(RawLines& in, RewrittenText& out) {
    std::string_view line;
    while (in.Next(line)) {
        out.Copy(line);
    }
}

// Copies the settings file to out with key set in section (see WriteString).
void CopyWithKey(RawLines& in, RewrittenText& out, LPCWSTR section, LPCWSTR key, LPCWSTR value) {
    const bool isSectionFound = CopyUpToSection(in, out, section);
    RewriteSectionLines(in, out, section, isSectionFound, [&](std::string_view line) {
        const auto parsed = ViewLine(line);
        if (parsed.kind != LineKind::Key) {
            out.Copy(line);
        } else if (BytesNameEqual(out.Encoding(), parsed.name, key)) {
            return false; // replaced where it stood
        } else if (parsed.name.starts_with('[') || parsed.name.starts_with(';')) {
            // Trimmed, " [x=1" would end the section and " ;x=1" become a comment when read
            // again: such a line keeps its leading blanks.
            out.Copy(line);
        } else {
            out.AppendLine(std::string(parsed.name) + "=" + std::string(parsed.value));
        }
        return true;
    });
    out.AppendText(std::u16string(key) + u"=" + value);
    CopyRest(in, out);
}

// Copies the settings file to out with the key lines of section replaced by keys (see
// WriteSection).
void CopyWithSection(RawLines& in, RewrittenText& out, LPCWSTR section,
                     const std::vector<std::pair<std::u16string, std::u16string>>& keys) {
    const bool isSectionFound = CopyUpToSection(in, out, section);
    RewriteSectionLines(in, out, section, isSectionFound, [&](std::string_view line) {
        if (ViewLine(line).kind != LineKind::Key) {
            out.Copy(line); // comments and blank lines stay
        }
        return true;
    });
    std::u16string keyLine;
    for (const auto& [key, value] : keys) {
        keyLine.assign(key).append(u"=").append(value);
        out.AppendText(keyLine);
    }
    CopyRest(in, out);
}

// Writes the new file's bytes into the rewrite's temporary file.
bool WriteTemporaryFile(platform::FileRewrite& rewrite, std::string_view bytes) {
    const std::size_t limit = RewriteLimit().load();
    if (limit != 0 && bytes.size() >= limit) {
        // The test switch: the process ends in the middle of this write.
        (void)rewrite.Write(bytes.data(), limit);
        std::_Exit(IniProfile::kEndedDuringRewrite);
    }
    return rewrite.Write(bytes.data(), bytes.size()) == ERROR_SUCCESS;
}

// What became of a rewrite.
enum class Rewritten { Written, Refused, Damaged };

// Rewrites the settings file through a temporary file beside it: copy writes the new text from
// the old. The file is left as it was when it cannot be read, holds a NUL, or any step fails.
// Other processes' rewrites of the files of its folder wait meanwhile (where its folder may be
// read), so that none of them replaces the file with a copy made before this change.
template <class Copy> Rewritten Rewrite(const std::u16string& path, Copy copy) {
    std::lock_guard writing(WriteMutex());
    if (path.empty()) {
        Report(path, u"cannot be opened; the setting was not written");
        return Rewritten::Refused;
    }
    platform::FileRewrite rewrite(path, u"pro");
    if (const DWORD error = rewrite.Error(); error != ERROR_SUCCESS) {
        Report(path, error == ERROR_SHARING_VIOLATION
                         ? u"another writer keeps its folder locked; the setting was not written"
                         : u"cannot be opened; the setting was not written");
        return Rewritten::Refused;
    }
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        Report(path, u"is read-only; the setting was not written");
        return Rewritten::Refused;
    }
    std::optional<std::string> bytes = ReadFileBytes(path.c_str());
    // A missing file is created empty, as a read creates it.
    TextStream created;
    if (!bytes && attributes == INVALID_FILE_ATTRIBUTES && created.Open(path, u"w+t")) {
        bytes.emplace();
    }
    if (!bytes) {
        Report(path, u"cannot be opened; the setting was not written");
        return Rewritten::Refused;
    }
    if (bytes->find('\0') != std::string::npos) {
        Report(path, u"holds NUL bytes (a damaged file); it was left as it was");
        return Rewritten::Damaged;
    }
    const bool isUtf8 = HasUtf8Mark(*bytes);
    RawLines in(std::string_view(*bytes).substr(isUtf8 ? std::size(kUtf8Mark) : 0));
    RewrittenText out(isUtf8);
    copy(in, out);
    if (rewrite.Create() != ERROR_SUCCESS) {
        Report(path, u"no temporary file can be made beside it; the setting was not written");
        return Rewritten::Refused;
    }
    if (!WriteTemporaryFile(rewrite, out.Bytes())) {
        Report(path, u"writing the temporary file failed; the file was left as it was");
        return Rewritten::Refused;
    }
    if (rewrite.Commit() != ERROR_SUCCESS) {
        Report(path, u"cannot be replaced by the rewritten file; it was left as it was");
        return Rewritten::Refused;
    }
    return Rewritten::Written;
}

} // namespace

std::u16string IniProfile::GetString(LPCWSTR section, LPCWSTR key, LPCWSTR file,
                                     LPCWSTR defaultValue) {
    if (auto value = LookUp(section, key, file)) {
        return std::move(*value);
    }
    return defaultValue != nullptr ? std::u16string(defaultValue) : std::u16string();
}

bool IniProfile::Exists(LPCWSTR file) {
    const std::u16string path = AppPaths::MakeFullPath(file != nullptr ? file : u"");
    {
        SettingsCache& cache = Cache();
        std::shared_lock lock(cache.mutex);
        if (cache.files.contains(path)) {
            return true;
        }
    }
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

std::vector<std::optional<std::u16string>>
IniProfile::GetStrings(LPCWSTR section, std::span<const LPCWSTR> keys, LPCWSTR file) {
    return LookUpKeys(section, keys, file);
}

INT IniProfile::GetInt(LPCWSTR section, LPCWSTR key, LPCWSTR file, INT defaultValue) {
    const auto value = LookUp(section, key, file);
    return value ? static_cast<INT>(_wtol(value->c_str())) : defaultValue;
}

double IniProfile::GetDouble(LPCWSTR section, LPCWSTR key, LPCWSTR file, double defaultValue) {
    const auto value = LookUp(section, key, file);
    if (!value || value->empty()) {
        return defaultValue;
    }
    double result = 0;
    if (swscanf(value->c_str(), u"%lf", &result) != 1) {
        return defaultValue;
    }
    return result;
}

int IniProfile::WriteString(LPCWSTR section, LPCWSTR key, LPCWSTR value, LPCWSTR file) {
    if (IsEmpty(key) || IsEmpty(section)) {
        return 1;
    }
    const std::u16string path = AppPaths::MakeFullPath(file != nullptr ? file : u"");
    const Rewritten rewritten = Rewrite(path, [&](RawLines& in, RewrittenText& out) {
        CopyWithKey(in, out, section, key, value != nullptr ? value : u"");
    });
    if (rewritten == Rewritten::Damaged) {
        ReportDamagedFile(path);
    } else if (rewritten == Rewritten::Refused) {
        ReportUnsavedFile(path); // nothing else tells: the result is 1 in every case
    }
    return 1;
}

bool IniProfile::WriteSection(LPCWSTR section,
                              const std::vector<std::pair<std::u16string, std::u16string>>& keys,
                              LPCWSTR file) {
    if (IsEmpty(section)) {
        return false;
    }
    for (const auto& [key, value] : keys) {
        if (key.empty() || key.find_first_of(u"=\n\r") != std::u16string::npos ||
            value.find_first_of(u"\n\r") != std::u16string::npos) {
            return false;
        }
    }
    const std::u16string path = AppPaths::MakeFullPath(file != nullptr ? file : u"");
    const Rewritten rewritten = Rewrite(
        path, [&](RawLines& in, RewrittenText& out) { CopyWithSection(in, out, section, keys); });
    if (rewritten == Rewritten::Damaged) {
        ReportDamagedFile(path);
    }
    return rewritten == Rewritten::Written;
}

void IniProfile::SetDamagedFileHandler(DamagedFileHandler handler) {
    TheDamagedFiles().SetHandler(std::move(handler));
}

void IniProfile::ReportDamagedFile(const std::u16string& path) {
    TheDamagedFiles().Report(path);
}

void IniProfile::SetUnsavedFileHandler(UnsavedFileHandler handler) {
    TheUnsavedFiles().SetHandler(std::move(handler));
}

void IniProfile::ReportUnsavedFile(const std::u16string& path) {
    TheUnsavedFiles().Report(path);
}

void IniProfile::EndProcessDuringRewrite(std::size_t bytes) {
    RewriteLimit().store(bytes);
}

int IniProfile::WriteInt(LPCWSTR section, LPCWSTR key, INT value, LPCWSTR file) {
    const std::u16string text = platform::FormatW(u"%d", value);
    return WriteString(section, key, text.c_str(), file);
}

namespace {

// Collects the key lines of a settings file under their sections, line by line.
class SectionCollector {
public:
    explicit SectionCollector(SectionMap& loaded)
        : m_loaded(loaded) {}

    void Add(std::u16string_view line) {
        const LineView parsed = ViewLine(line);
        if (parsed.kind == LineKind::Header) {
            m_section = parsed.name;
            m_keys = nullptr;
        } else if (parsed.kind == LineKind::Key && !m_section.empty()) {
            if (m_keys == nullptr) {
                m_keys = &m_loaded[m_section]; // a section holds a map once it has a key
            }
            // A key the map holds already (a file preloaded again) takes the value in place.
            if (const auto found = m_keys->find(parsed.name); found != m_keys->end()) {
                found->second.assign(parsed.value);
            } else {
                m_keys->emplace(parsed.name, parsed.value);
            }
        }
    }

private:
    SectionMap& m_loaded;
    std::u16string m_section;
    KeyMap* m_keys = nullptr; // the current section's keys once it has any
};

// Adds the key lines of text under their sections.
void ParseInto(SectionMap& loaded, std::u16string_view text) {
    SectionCollector collector(loaded);
    // One pass over each line finds its end and its first NUL.
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = start;
        std::size_t nul = std::u16string_view::npos;
        for (; end < text.size(); ++end) {
            const char16_t c = text[end];
            if (c == u'\n') {
                ++end;
                break;
            }
            if (c == u'\0' && nul == std::u16string_view::npos) {
                nul = end;
            }
        }
        collector.Add(text.substr(start, (nul != std::u16string_view::npos ? nul : end) - start));
        start = end;
    }
}

// Code page 1252 bytes as a text stream reads them: CR LF becomes LF, every other byte one
// character.
std::u16string DecodeAnsiText(std::string_view bytes) {
    std::u16string text(bytes.size(), u'\0');
    std::size_t length = 0;
    for (std::size_t at = 0; at < bytes.size(); ++at) {
        const auto byte = static_cast<unsigned char>(bytes[at]);
        if (byte == '\r' && at + 1 < bytes.size() && bytes[at + 1] == '\n') {
            continue; // the LF follows
        }
        text[length++] = byte < 0x80 ? static_cast<char16_t>(byte) : platform::AnsiToWideChar(byte);
    }
    text.resize(length);
    return text;
}

// The text of a settings file's bytes: code page 1252, or UTF-8 after its byte-order mark.
std::u16string DecodeSettingsText(std::string_view bytes) {
    UINT codePage = CP_ACP;
    if (bytes.size() >= std::size(kUtf8Mark) &&
        std::equal(std::begin(kUtf8Mark), std::end(kUtf8Mark),
                   reinterpret_cast<const unsigned char*>(bytes.data()))) {
        codePage = CP_UTF8;
        bytes.remove_prefix(std::size(kUtf8Mark));
    }
    std::u16string text;
    if (!bytes.empty() && bytes.size() < std::size_t{1} << 30) {
        const int length = static_cast<int>(bytes.size());
        text.resize(bytes.size());
        const int converted =
            MultiByteToWideChar(codePage, 0, bytes.data(), length, text.data(), length);
        text.resize(static_cast<std::size_t>(std::max(converted, 0)));
    }
    return text;
}

} // namespace

std::vector<std::pair<std::u16string, std::u16string>>
IniProfile::GetSectionOfText(std::string_view bytes, LPCWSTR section) {
    std::vector<std::pair<std::u16string, std::u16string>> keys;
    if (IsEmpty(section)) {
        return keys;
    }
    const std::u16string decoded = DecodeSettingsText(bytes);
    std::u16string_view text = decoded;
    bool isInSection = false;
    while (!text.empty()) {
        const std::size_t lineFeed = text.find(u'\n');
        const std::size_t length =
            lineFeed == std::u16string_view::npos ? text.size() : lineFeed + 1;
        std::u16string_view line = text.substr(0, length);
        text.remove_prefix(length);
        line = line.substr(0, line.find(u'\0'));
        if (!isInSection) {
            const auto parsed = ParseLine(line);
            isInSection = parsed.kind == LineKind::Header && NamesEqual(parsed.name, section);
            continue;
        }
        if (line.starts_with(u'[')) {
            break;
        }
        auto parsed = ParseLine(line);
        if (parsed.kind == LineKind::Key) {
            keys.emplace_back(std::move(parsed.name), std::move(parsed.value));
        }
    }
    return keys;
}

void IniProfile::PreloadText(LPCWSTR path, std::string_view bytes) {
    if (path == nullptr) {
        return;
    }
    const std::u16string text = DecodeSettingsText(bytes);
    SectionMap loaded;
    ParseInto(loaded, text);
    SettingsCache& cache = Cache();
    std::unique_lock lock(cache.mutex);
    cache.files[path] = std::move(loaded);
}

bool IniProfile::Preload(LPCWSTR path) {
    if (path == nullptr) {
        return false;
    }
    const std::optional<std::string> bytes = ReadFileBytes(path);
    if (!bytes) {
        return false;
    }
    std::u16string text;
    if (HasUtf8Mark(*bytes)) {
        // UTF-8 text is read line by line, as the scans read it.
        TextStream stream;
        if (!stream.Open(path, u"rt")) {
            return false;
        }
        std::u16string line;
        while (stream.ReadLine(line)) {
            text += line;
        }
    } else {
        text = DecodeAnsiText(*bytes);
    }
    SettingsCache& cache = Cache();
    std::unique_lock lock(cache.mutex);
    // Collected straight into the cache: a second preload merges into what it holds, a key's
    // last line wins.
    ParseInto(cache.files[path], text);
    return true;
}
