#include "platform/files/stdio.h"

#include "platform/files/files.h"
#include "platform/kernel/codepage.h"

#include <algorithm>
#include <cerrno>
#include <memory>
#include <string_view>
#include <unistd.h>
#include <utility>

struct NavFile {
    std::shared_ptr<platform::HostFile> file; // share-table entry and the original descriptor
    std::FILE* host = nullptr;                // buffered stream on a duplicate descriptor
    bool isText = true;
    bool isUtf8 = false;
    bool canRead = false;
    bool canWrite = false;
    bool isAtEnd = false;
    enum class LastOp { None, Read, Write } lastOp = LastOp::None;
    char16_t pendingUnit = 0; // second half of a surrogate pair that did not fit
};

namespace {

constexpr int kNoChar = -1;
constexpr char32_t kReplacement = 0xFFFD;
constexpr unsigned char kUtf8Mark[3] = {0xEF, 0xBB, 0xBF};

struct Mode {
    bool isValid = false;
    DWORD access = 0;
    DWORD creation = 0;
    bool isAppend = false;
    bool isText = true;
};

Mode ParseMode(std::u16string_view text) {
    Mode mode;
    if (text.empty()) {
        return mode;
    }
    switch (text[0]) {
    case u'r':
        mode.access = GENERIC_READ;
        mode.creation = OPEN_EXISTING;
        break;
    case u'w':
        mode.access = GENERIC_WRITE;
        mode.creation = CREATE_ALWAYS;
        break;
    case u'a':
        mode.access = GENERIC_WRITE;
        mode.creation = OPEN_ALWAYS;
        mode.isAppend = true;
        break;
    default:
        return mode;
    }
    bool hasKind = false;
    bool hasPlus = false;
    for (char16_t c : text.substr(1)) {
        if (c == u'+' && !hasPlus) {
            hasPlus = true;
            mode.access = GENERIC_READ | GENERIC_WRITE;
        } else if ((c == u'b' || c == u't') && !hasKind) {
            hasKind = true;
            mode.isText = c == u't';
        } else {
            return mode;
        }
    }
    mode.isValid = true;
    return mode;
}

int ErrnoFor(DWORD error) {
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return ENOENT;
    case ERROR_INVALID_PARAMETER:
        return EINVAL;
    default:
        return EACCES;
    }
}

// C requires a positioning call between reading and writing on one stream.
void SwitchTo(NavFile& stream, NavFile::LastOp op) {
    if (stream.lastOp != NavFile::LastOp::None && stream.lastOp != op) {
        (void)std::fseek(stream.host, 0, SEEK_CUR);
    }
    stream.lastOp = op;
}

// Holds the host stream's lock for a whole call that reads byte by byte: the bytes are then
// taken without locking each one (NextByte and the decoders below need it held).
class HostLock {
public:
    explicit HostLock(std::FILE* host)
        : m_host(host) {
        flockfile(m_host);
    }
    ~HostLock() { funlockfile(m_host); }
    HostLock(const HostLock&) = delete;
    HostLock& operator=(const HostLock&) = delete;

private:
    std::FILE* m_host;
};

int NextByte(NavFile& stream) {
    const int c = getc_unlocked(stream.host);
    if (c == EOF) {
        stream.isAtEnd = true;
    }
    return c;
}

char32_t DecodeUtf8(NavFile& stream, int lead) {
    int extra = 0;
    char32_t value = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        extra = 1;
        value = static_cast<char32_t>(lead & 0x1F);
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        extra = 2;
        value = static_cast<char32_t>(lead & 0x0F);
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        extra = 3;
        value = static_cast<char32_t>(lead & 0x07);
    } else {
        return kReplacement;
    }
    for (int i = 0; i < extra; ++i) {
        const int next = getc_unlocked(stream.host);
        if (next == EOF || (next & 0xC0) != 0x80) {
            if (next != EOF) {
                (void)std::ungetc(next, stream.host); // starts the next character
            }
            return kReplacement;
        }
        value = (value << 6) | static_cast<char32_t>(next & 0x3F);
    }
    const char32_t smallest[] = {0, 0x80, 0x800, 0x10000};
    if (value < smallest[extra] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
        return kReplacement;
    }
    return value;
}

// The next character of a text stream ('\n' for CR LF), or kNoChar at the end.
std::int32_t ReadTextChar(NavFile& stream) {
    const int c = NextByte(stream);
    if (c == EOF) {
        return kNoChar;
    }
    if (c == '\r') {
        const int next = getc_unlocked(stream.host);
        if (next == '\n') {
            return u'\n';
        }
        if (next != EOF) {
            (void)std::ungetc(next, stream.host);
        }
        return u'\r';
    }
    if (c < 0x80) {
        return c;
    }
    return stream.isUtf8
               ? static_cast<std::int32_t>(DecodeUtf8(stream, c))
               : static_cast<std::int32_t>(platform::AnsiToWideChar(static_cast<unsigned char>(c)));
}

// The next UTF-16 unit of a binary stream (little-endian), or kNoChar at the end.
std::int32_t ReadBinaryUnit(NavFile& stream) {
    const int low = NextByte(stream);
    const int high = low == EOF ? EOF : NextByte(stream);
    return high == EOF ? kNoChar : (high << 8) | low;
}

bool PutBytes(NavFile& stream, std::string_view bytes) {
    return std::fwrite(bytes.data(), 1, bytes.size(), stream.host) == bytes.size();
}

// Writes one character (a surrogate pair counts as one) in the stream's encoding.
bool WriteCharacter(NavFile& stream, std::u16string_view character) {
    if (character == u"\n" && stream.isText) {
        return PutBytes(stream, "\r\n");
    }
    if (stream.isUtf8) {
        return PutBytes(stream, platform::Utf16ToUtf8(character));
    }
    unsigned char byte = '?';
    if (character.size() != 1 || !platform::WideCharToAnsi(character[0], byte)) {
        byte = '?';
    }
    return std::fputc(byte, stream.host) != EOF;
}

// Keeps reading positions of a UTF-8 text file behind its byte-order mark.
void SkipMarkAtStart(NavFile& stream) {
    if (stream.isUtf8 && std::ftell(stream.host) == 0) {
        (void)std::fseek(stream.host, sizeof kUtf8Mark, SEEK_SET);
    }
}

bool StartsWithUtf8Mark(const platform::HostFile& file) {
    unsigned char start[sizeof kUtf8Mark] = {};
    DWORD transferred = 0;
    return file.ReadAt(0, start, sizeof start, transferred) == ERROR_SUCCESS &&
           transferred == sizeof start &&
           std::equal(std::begin(start), std::end(start), std::begin(kUtf8Mark));
}

} // namespace

NavFile* _wfopen(const WCHAR* fileName, const WCHAR* mode) {
    const Mode parsed = ParseMode(mode == nullptr ? std::u16string_view() : mode);
    if (fileName == nullptr || !parsed.isValid) {
        errno = EINVAL;
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    platform::OpenedFile opened =
        platform::OpenDeviceFile(fileName, parsed.access, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                 parsed.creation, FILE_ATTRIBUTE_NORMAL, parsed.isAppend);
    if (!opened.file) {
        errno = ErrnoFor(opened.error);
        SetLastError(opened.error);
        return nullptr;
    }
    const int duplicate = ::dup(opened.file->Descriptor());
    const bool isWritable = (parsed.access & GENERIC_WRITE) != 0;
    std::FILE* host = duplicate < 0 ? nullptr : ::fdopen(duplicate, isWritable ? "r+b" : "rb");
    if (host == nullptr) {
        if (duplicate >= 0) {
            ::close(duplicate);
        }
        errno = EMFILE;
        SetLastError(ERROR_TOO_MANY_OPEN_FILES);
        return nullptr;
    }
    auto* stream = new NavFile;
    stream->file = std::move(opened.file);
    stream->host = host;
    stream->isText = parsed.isText;
    stream->canRead = (parsed.access & GENERIC_READ) != 0;
    stream->canWrite = isWritable;
    stream->isUtf8 = parsed.isText && StartsWithUtf8Mark(*stream->file);
    SkipMarkAtStart(*stream);
    SetLastError(ERROR_SUCCESS);
    return stream;
}

NavFile* platform::fopen(const char* fileName, const char* mode) {
    if (fileName == nullptr || mode == nullptr) {
        errno = EINVAL;
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const auto widen = [](const char* text) {
        std::u16string wide;
        for (const char* c = text; *c != '\0'; ++c) {
            wide += platform::AnsiToWideChar(static_cast<unsigned char>(*c));
        }
        return wide;
    };
    return _wfopen(widen(fileName).c_str(), widen(mode).c_str());
}

int fclose(NavFile* stream) {
    if (stream == nullptr) {
        errno = EINVAL;
        return EOF;
    }
    const int result = std::fclose(stream->host);
    delete stream;
    return result == 0 ? 0 : EOF;
}

std::size_t fread(void* buffer, std::size_t size, std::size_t count, NavFile* stream) {
    if (stream == nullptr || buffer == nullptr || !stream->canRead || size == 0 || count == 0) {
        return 0;
    }
    if (count > SIZE_MAX / size) {
        return 0;
    }
    SwitchTo(*stream, NavFile::LastOp::Read);
    SkipMarkAtStart(*stream);
    auto* bytes = static_cast<unsigned char*>(buffer);
    const std::size_t wanted = size * count;
    std::size_t done = 0;
    if (!stream->isText) {
        done = std::fread(bytes, 1, wanted, stream->host);
        stream->isAtEnd = stream->isAtEnd || done < wanted;
        return done / size;
    }
    const HostLock lock(stream->host);
    while (done < wanted) {
        int c = NextByte(*stream);
        if (c == EOF) {
            break;
        }
        if (c == '\r') {
            const int next = getc_unlocked(stream->host);
            if (next == '\n') {
                c = '\n';
            } else if (next != EOF) {
                (void)std::ungetc(next, stream->host);
            }
        }
        bytes[done++] = static_cast<unsigned char>(c);
    }
    return done / size;
}

std::size_t fwrite(const void* buffer, std::size_t size, std::size_t count, NavFile* stream) {
    if (stream == nullptr || buffer == nullptr || !stream->canWrite || size == 0 || count == 0 ||
        count > SIZE_MAX / size) {
        return 0;
    }
    SwitchTo(*stream, NavFile::LastOp::Write);
    const auto* bytes = static_cast<const unsigned char*>(buffer);
    const std::size_t total = size * count;
    if (!stream->isText) {
        return std::fwrite(bytes, 1, total, stream->host) / size;
    }
    std::size_t done = 0;
    for (; done < total; ++done) {
        const bool isWritten = bytes[done] == '\n' ? PutBytes(*stream, "\r\n")
                                                   : std::fputc(bytes[done], stream->host) != EOF;
        if (!isWritten) {
            break;
        }
    }
    return done / size;
}

int fseek(NavFile* stream, long offset, int origin) {
    if (stream == nullptr || (origin != SEEK_SET && origin != SEEK_CUR && origin != SEEK_END)) {
        errno = EINVAL;
        return -1;
    }
    if (std::fseek(stream->host, offset, origin) != 0) {
        return -1;
    }
    stream->isAtEnd = false;
    stream->pendingUnit = 0;
    stream->lastOp = NavFile::LastOp::None;
    return 0;
}

long ftell(NavFile* stream) {
    if (stream == nullptr) {
        errno = EINVAL;
        return -1;
    }
    return std::ftell(stream->host);
}

int feof(NavFile* stream) {
    return stream != nullptr && stream->isAtEnd ? 1 : 0;
}

int fflush(NavFile* stream) {
    if (stream == nullptr) {
        errno = EINVAL;
        return EOF;
    }
    return std::fflush(stream->host) == 0 ? 0 : EOF;
}

int fgetc(NavFile* stream) {
    unsigned char byte = 0;
    return fread(&byte, 1, 1, stream) == 1 ? byte : EOF;
}

WCHAR* fgetws(WCHAR* buffer, int count, NavFile* stream) {
    if (buffer == nullptr || count <= 0 || stream == nullptr || !stream->canRead) {
        return nullptr;
    }
    SwitchTo(*stream, NavFile::LastOp::Read);
    SkipMarkAtStart(*stream);
    const HostLock lock(stream->host);
    int used = 0;
    while (used < count - 1) {
        if (stream->pendingUnit != 0) {
            buffer[used++] = std::exchange(stream->pendingUnit, u'\0');
            continue;
        }
        const std::int32_t c = stream->isText ? ReadTextChar(*stream) : ReadBinaryUnit(*stream);
        if (c == kNoChar) {
            break;
        }
        if (c > 0xFFFF) {
            const char32_t v = static_cast<char32_t>(c) - 0x10000;
            buffer[used++] = static_cast<WCHAR>(0xD800 + (v >> 10));
            stream->pendingUnit = static_cast<char16_t>(0xDC00 + (v & 0x3FF));
            continue;
        }
        buffer[used++] = static_cast<WCHAR>(c);
        if (c == u'\n') {
            break;
        }
    }
    if (used == 0 && count > 1) {
        return nullptr;
    }
    buffer[used] = 0;
    return buffer;
}

int fputws(const WCHAR* text, NavFile* stream) {
    if (text == nullptr || stream == nullptr || !stream->canWrite) {
        return -1;
    }
    SwitchTo(*stream, NavFile::LastOp::Write);
    for (const WCHAR* at = text; *at != 0; ++at) {
        bool isWritten = false;
        if (!stream->isText) {
            isWritten = std::fputc(*at & 0xFF, stream->host) != EOF &&
                        std::fputc(*at >> 8, stream->host) != EOF;
        } else {
            const bool isPair =
                *at >= 0xD800 && *at <= 0xDBFF && at[1] >= 0xDC00 && at[1] <= 0xDFFF;
            isWritten = WriteCharacter(*stream, std::u16string_view(at, isPair ? 2 : 1));
            at += isPair ? 1 : 0;
        }
        if (!isWritten) {
            return -1;
        }
    }
    return 0;
}
