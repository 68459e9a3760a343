#include "basiccomp/retrievalengine/code/signinfo.h"

#include "platform/littleendian.h"

#include <new>
#include <utility>

namespace {

constexpr std::uint32_t kValuePresent = 1u;
constexpr std::uint32_t kEntriesPresent = 2u;
constexpr std::uint32_t kEntryHead = 8;

} // namespace

SignInfo::SignInfo(std::vector<std::uint8_t> record, std::u16string signText)
    : m_record(std::make_shared<const std::vector<std::uint8_t>>(std::move(record)))
    , m_signText(std::move(signText)) {
    const std::vector<std::uint8_t>& bytes = *m_record;
    const std::uint32_t presence = bytes.size() >= 8 ? platform::ReadU32(bytes.data() + 4) : 0;
    if ((presence & kValuePresent) != 0 && bytes.size() >= 12) {
        m_value = platform::ReadU32(bytes.data() + 8);
    }
    if ((presence & kEntriesPresent) != 0 && bytes.size() >= 14) {
        const std::uint32_t length = platform::ReadU16(bytes.data() + 12);
        const auto available = static_cast<std::uint32_t>(bytes.size() - 14);
        m_entries = 14;
        m_entryEnd = 14 + (length < available ? length : available);
    }
}

std::int32_t SignInfo::GetSignedValue() {
    return HasSignedValue() ? static_cast<std::int32_t>(Field(20, 8)) - 100 : 0;
}

std::vector<SignNote>& SignInfo::GetNotes(std::vector<SignNote>& notes) {
    const std::uint32_t kind = Field(28, 2);
    if (kind != 0) {
        notes.push_back({kind, Field(30, 1) == 1, Field(31, 1) == 1 ? m_signText : u""});
    }
    return notes;
}

void SignInfo::GetTextEntries(SignTextIteratorPtr& entries) {
    entries =
        SignTextIteratorPtr(new (std::nothrow) SignTextIterator(m_record, m_entries, m_entryEnd));
}

SignTextIterator::SignTextIterator(std::shared_ptr<const std::vector<std::uint8_t>> bytes,
                                   std::uint32_t begin, std::uint32_t end)
    : m_bytes(std::move(bytes))
    , m_end(end) {
    Place(begin);
}

void SignTextIterator::Place(std::uint32_t offset) {
    m_current = offset;
    m_length = -1;
    if (!m_bytes || offset >= m_end || m_end - offset < kEntryHead) {
        return;
    }
    const auto length = platform::ReadLittleEndian<std::int16_t>(m_bytes->data() + offset + 4);
    if (length < 0 || static_cast<std::uint32_t>(length) > m_end - offset - kEntryHead) {
        return;
    }
    m_length = length;
}

void SignTextIterator::Next() {
    if (IsValid()) {
        Place(m_current + kEntryHead + static_cast<std::uint32_t>(m_length));
    }
}

SignTextEntry SignTextIterator::GetCurrent() {
    SignTextEntry entry;
    if (!IsValid()) {
        return entry;
    }
    const std::uint8_t* at = m_bytes->data() + m_current;
    const std::uint32_t head = platform::ReadU32(at);
    entry.kind = head & 3u;
    entry.value = (head >> 2) & 0x3FFu;
    entry.entryClass = (head >> 12) & 7u;
    for (std::int32_t i = 0; i + 1 < m_length; ++i) {
        entry.text.push_back(static_cast<char16_t>(at[kEntryHead + static_cast<std::uint32_t>(i)]));
    }
    return entry;
}
