#include "tablefiles/namefile.h"

#include "tablefiles/fsrblockpointer.h"
#include "utilities/usefulcode/cache/blockfile.h"
#include "utilities/usefulcode/cache/mappedfile.h"

#include "platform/kernel/text.h"

#include <array>
#include <optional>
#include <utility>

namespace {

constexpr std::uint8_t kEndMark = '|';
constexpr std::size_t kTextBufferSize = 256;

struct TextSpan {
    const std::uint8_t* data = nullptr;
    std::uint32_t length = 0;
};

std::u16string ToWide(TextSpan text) {
    if (text.length == 0) {
        return {};
    }
    std::array<WCHAR, kTextBufferSize> buffer{};
    const int count = MultiByteToWideChar(GetACP(), 0, reinterpret_cast<const char*>(text.data),
                                          static_cast<int>(text.length), buffer.data(),
                                          static_cast<int>(buffer.size() - 1));
    return std::u16string(buffer.data(), count > 0 ? static_cast<std::size_t>(count) : 0);
}

TextSpan WithoutLeadingSlash(TextSpan text) {
    if (text.length > 0 && text.data[0] == '/') {
        return {text.data + 1, text.length - 1};
    }
    return text;
}

} // namespace

// A record's bytes from its first length byte to the end of its block.
struct NameFile::RecordView {
    FsrBlockPointer block;
    const std::uint8_t* data = nullptr;
    std::uint32_t available = 0;

    // The text whose length byte stands at `at`; nothing when it runs past the block.
    std::optional<TextSpan> TextAt(std::uint32_t at) const {
        if (at >= available || data[at] > available - at - 1) {
            return std::nullopt;
        }
        return TextSpan{data + at + 1, data[at]};
    }

    // Whether the end mark stands inside the block where the length byte of a further text
    // would, behind the main text and every further text with their codes.
    bool HasEndMark() const {
        const std::optional<TextSpan> main = TextAt(0);
        std::uint32_t codeAt = main ? main->length + 1 : available;
        while (codeAt + 1 < available) {
            const std::uint32_t next = codeAt + 1;
            if (data[next] == kEndMark) {
                return true;
            }
            const std::optional<TextSpan> further = TextAt(next);
            if (!further) {
                return false;
            }
            codeAt = next + 1 + further->length;
        }
        return false;
    }
};

NameFile::NameFile(BlockCachePtr cache, std::shared_ptr<SfsMountSet> mountSet)
    : m_cache(std::move(cache))
    , m_mountSet(std::move(mountSet)) {}

NameFile::~NameFile() {
    NameFile::Close();
}

bool NameFile::Open(const std::u16string& basePath) {
    Close();
    if (!m_cache) {
        return false;
    }
    const std::u16string path = basePath + u".nam";
    m_file = m_cache->GetMappedFile(path, FileCreation::OpenExisting, FileAccess::Read,
                                    FileShare::Read, kBlockSize);
    if (m_file) {
        // A last block cut short by the end of the file still holds names.
        if (auto* mapped = dynamic_cast<MappedFile*>(m_file.Get())) {
            mapped->SetBlockCount(mapped->GetRoundedUpUnits());
        }
    } else if (m_mountSet && m_mountSet->IsMounted(u"")) {
        m_file = m_cache->GetArchiveFile(path, FileCreation::OpenExisting, FileAccess::Read,
                                         FileShare::Read, kBlockSize);
        // The same for a member read block by block: its short last block reads zero-filled.
        if (auto* blocks = dynamic_cast<BlockFile*>(m_file.Get())) {
            const std::uint64_t size = blocks->GetLogicalSize();
            blocks->SetBlockCount(static_cast<DWORD>((size + kBlockSize - 1) / kBlockSize));
        }
    }
    if (!m_file) {
        Close();
        return false;
    }
    return true;
}

bool NameFile::Attach(CachedFilePtr file) {
    Close();
    m_file = std::move(file);
    return IsOpen();
}

bool NameFile::IsOpen() const {
    return static_cast<bool>(m_file);
}

void NameFile::Close() {
    m_isDamaged = false;
    m_isDamagedTold = false;
    if (m_file) {
        if (m_cache) {
            m_cache->RemoveFile(m_file);
        }
        m_file.Release();
    }
}

bool NameFile::FindRecord(std::uint32_t offset, RecordView& record) const {
    if (offset == kNoName || !m_file) {
        return false;
    }
    record.block = FsrBlockPointer(m_file, kBlockSize);
    const std::uint32_t position = offset % kBlockSize;
    if (!record.block.MoveTo(offset / kBlockSize) || position >= record.block.GetLength()) {
        m_isDamaged = m_isDamaged || offset / kBlockSize >= m_file->GetBlockCount() ||
                      position >= record.block.GetLength();
        return false;
    }
    record.data = record.block.GetData() + position;
    record.available = record.block.GetLength() - position;
    return true;
}

void NameFile::NoteMissingEndMark(const RecordView& record) const {
    m_isDamaged = m_isDamaged || !record.HasEndMark();
}

std::u16string NameFile::TakeDamagedFile() {
    if (!m_isDamaged || m_isDamagedTold || !m_file) {
        return {};
    }
    m_isDamagedTold = true;
    return m_file->GetName();
}

bool NameFile::GetName(std::uint32_t offset, std::u16string& text) {
    return ReadName(offset, text, false, false);
}

bool NameFile::GetNameForCode(std::uint32_t offset, std::u16string& text, std::u16string& mainText,
                              std::int16_t& code) {
    return ReadNameForCode(offset, text, mainText, code);
}

bool NameFile::GetAlternativeNames(std::uint32_t offset, std::u16string& text) {
    return ReadName(offset, text, true, false);
}

bool NameFile::GetRawName(std::uint32_t offset, std::u16string& text) {
    return ReadName(offset, text, false, true);
}

void NameFile::GetCodes(std::vector<std::int16_t>& codes, std::uint32_t offset) {
    ReadCodes(codes, offset);
}

bool NameFile::ReadName(std::uint32_t offset, std::u16string& text, bool alternatives, bool raw) {
    RecordView record;
    if (!FindRecord(offset, record)) {
        return false;
    }
    NoteMissingEndMark(record);
    const std::optional<TextSpan> stored = record.TextAt(0);
    if (!stored) {
        return false;
    }
    TextSpan name = *stored;
    if (!raw && alternatives) {
        std::uint32_t slash = 0;
        while (slash < name.length && name.data[slash] != '/') {
            ++slash;
        }
        if (slash == name.length) {
            return false;
        }
        name = {name.data + slash + 1, name.length - slash - 1};
    } else if (!raw) {
        name = WithoutLeadingSlash(name);
    }
    text = ToWide(name);
    return true;
}

bool NameFile::ReadNameForCode(std::uint32_t offset, std::u16string& text, std::u16string& mainText,
                               std::int16_t& code) {
    RecordView record;
    if (!FindRecord(offset, record)) {
        return false;
    }
    NoteMissingEndMark(record);
    const std::optional<TextSpan> stored = record.TextAt(0);
    std::uint32_t codeAt = stored ? stored->length + 1 : 0;
    if (!stored || codeAt >= record.available) {
        return false;
    }
    const TextSpan main = WithoutLeadingSlash(*stored);
    const auto mainCode = static_cast<std::int8_t>(record.data[codeAt]);
    std::optional<TextSpan> match;
    bool isMainMatch = false;
    if (code > 0) {
        TextSpan entry = main;
        for (bool isMain = true;; isMain = false) {
            if (static_cast<std::int8_t>(record.data[codeAt]) == code) {
                match = entry;
                isMainMatch = isMain;
                break;
            }
            const std::uint32_t next = codeAt + 1;
            if (next >= record.available) {
                return false; // no end mark inside the block
            }
            if (record.data[next] == kEndMark) {
                break;
            }
            const std::optional<TextSpan> further = record.TextAt(next);
            if (!further || next + 1 + further->length >= record.available) {
                return false;
            }
            entry = *further;
            codeAt = next + 1 + further->length;
        }
    }
    if (match) {
        text = ToWide(*match);
        if (isMainMatch) {
            code = static_cast<std::int16_t>(code + 100);
        }
    } else {
        text = ToWide(main);
        code = static_cast<std::int16_t>(mainCode + 100);
    }
    mainText = ToWide(main);
    return true;
}

void NameFile::ReadCodes(std::vector<std::int16_t>& codes, std::uint32_t offset) {
    codes.clear();
    RecordView record;
    if (!FindRecord(offset, record)) {
        return;
    }
    NoteMissingEndMark(record);
    const std::optional<TextSpan> main = record.TextAt(0);
    if (!main) {
        return;
    }
    std::uint32_t codeAt = main->length + 1;
    while (true) {
        const std::uint32_t next = codeAt + 1;
        if (codeAt >= record.available || next >= record.available) {
            codes.clear(); // the record runs past its block
            return;
        }
        if (record.data[next] == kEndMark) {
            return;
        }
        const std::optional<TextSpan> further = record.TextAt(next);
        if (!further) {
            codes.clear();
            return;
        }
        codeAt = next + 1 + further->length;
        if (codeAt >= record.available) {
            codes.clear();
            return;
        }
        codes.push_back(static_cast<std::int8_t>(record.data[codeAt]));
    }
}
