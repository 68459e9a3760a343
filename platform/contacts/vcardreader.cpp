#include "platform/contacts/vcardreader.h"

#include "platform/kernel/codepage.h"

#include <algorithm>

namespace platform {
namespace {

// Longest name and parameters of a line; a longer one is no property the reader knows.
constexpr std::size_t kMaxHeaderBytes = 4096;
// Longest raw value kept of a property the reader uses: enough for every component it takes at
// full length, written in quoted-printable escapes of three-byte characters.
constexpr std::size_t kMaxValueBytes = std::size_t{128} << 10;
// Components of N and ADR; ORG has any number, FN one.
constexpr std::size_t kNameComponents = 5;
constexpr std::size_t kAddressComponents = 7;
constexpr unsigned kWorkType = 1;
constexpr unsigned kHomeType = 2;
constexpr char kByteOrderMark[] = "\xEF\xBB\xBF";

char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return LowerAscii(x) == LowerAscii(y);
           });
}

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) {
        text.remove_suffix(1);
    }
    return text;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    const char lower = LowerAscii(c);
    return lower >= 'a' && lower <= 'f' ? lower - 'a' + 10 : -1;
}

// Quoted-printable "=XX" escapes decoded in place; an "=" without two hex digits stays.
void DecodeQuotedPrintable(std::string& value) {
    std::size_t out = 0;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '=' && i + 2 < value.size()) {
            const int high = HexDigit(value[i + 1]);
            const int low = HexDigit(value[i + 2]);
            if (high >= 0 && low >= 0) {
                value[out++] = static_cast<char>(high * 16 + low);
                i += 2;
                continue;
            }
        }
        value[out++] = value[i];
    }
    value.resize(out);
}

// Length of the well-formed UTF-8 sequence at text[i], 0 when there is none.
std::size_t Utf8SequenceLength(std::string_view text, std::size_t i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    if (lead < 0x80) {
        return 1;
    }
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;  // no overlong forms
        high = lead == 0xED ? 0x9F : 0xBF; // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF; // nothing above U+10FFFF
    } else {
        return 0;
    }
    if (text.size() - i < length || byte(i + 1) < low || byte(i + 1) > high) {
        return 0;
    }
    for (std::size_t k = 2; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) {
            return 0;
        }
    }
    return length;
}

bool IsUtf8(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = Utf8SequenceLength(text, i);
        if (length == 0) {
            return false;
        }
        i += length;
    }
    return true;
}

// The text of component bytes, at most kMaxContactPropertyLength units (a surrogate pair is not
// cut in two), in a string holding just its units. UTF-8 puts U+FFFD for each byte that starts
// no well-formed sequence.
std::u16string DecodeText(std::string_view bytes, bool windows1252) {
    std::array<char16_t, kMaxContactPropertyLength> units;
    std::size_t length = 0;
    for (std::size_t i = 0; i < bytes.size() && length < units.size();) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        if (lead < 0x80) {
            units[length++] = static_cast<char16_t>(lead);
            ++i;
            continue;
        }
        if (windows1252) {
            units[length++] = AnsiToWideChar(lead);
            ++i;
            continue;
        }
        const std::size_t sequence = Utf8SequenceLength(bytes, i);
        if (sequence == 0) {
            units[length++] = u'\xFFFD';
            ++i;
            continue;
        }
        char32_t code = lead & (0xFF >> (sequence + 1));
        for (std::size_t k = 1; k < sequence; ++k) {
            code = (code << 6) | (static_cast<unsigned char>(bytes[i + k]) & 0x3F);
        }
        i += sequence;
        if (code < 0x10000) {
            units[length++] = static_cast<char16_t>(code);
        } else if (length + 2 <= units.size()) {
            code -= 0x10000;
            units[length++] = static_cast<char16_t>(0xD800 + (code >> 10));
            units[length++] = static_cast<char16_t>(0xDC00 + (code & 0x3FF));
        } else {
            break;
        }
    }
    return std::u16string(units.data(), length);
}

// The components of a structured value, unescaped: component k (below wanted) into parts[k].
// ';' separates components unless separate is false (one text). True when the value has more
// components than defined (0: any number); the scan stops there, or after the last wanted one
// when defined is 0.
template <std::size_t N>
bool SplitComponents(std::string_view value, std::size_t wanted, std::size_t defined, bool separate,
                     std::array<std::string, N>& parts) {
    std::size_t k = 0;
    for (std::size_t i = 0; i < value.size(); ++i) {
        char c = value[i];
        if (c == ';' && separate) {
            ++k;
            if ((defined != 0 && k >= defined) || (defined == 0 && k >= wanted)) {
                return defined != 0;
            }
            continue;
        }
        if (c == '\\' && i + 1 < value.size()) {
            const char next = value[i + 1];
            if (next == 'n' || next == 'N') {
                c = '\n';
                ++i;
            } else if (next == '\\' || next == ',' || next == ';' || next == ':') {
                c = next;
                ++i;
            }
        }
        if (k < wanted && parts[k].size() < kMaxValueBytes) {
            parts[k] += c;
        }
    }
    return false;
}

// What the heap holds for a block of this many bytes: the allocator rounds it up to 16 bytes
// and keeps a header of up to 16 bytes beside it.
constexpr std::size_t BlockBytes(std::size_t bytes) {
    return (bytes + 15) / 16 * 16 + 16;
}

// The heap bytes of a kept text: none while its units fit inside the string itself.
std::size_t TextHeapBytes(const std::u16string& text) {
    static const std::size_t inlineUnits = std::u16string().capacity();
    return text.capacity() > inlineUnits ? BlockBytes((text.capacity() + 1) * sizeof(char16_t)) : 0;
}

// The heap bytes of a record's texts (the record itself lies in the list's block).
std::size_t TextBytes(const ContactFields& fields) {
    std::size_t bytes = TextHeapBytes(fields.familyName) + TextHeapBytes(fields.givenName) +
                        TextHeapBytes(fields.organisation);
    for (const ContactAddressFields& address : fields.addresses) {
        bytes += TextHeapBytes(address.street) + TextHeapBytes(address.postalCode) +
                 TextHeapBytes(address.locality);
    }
    return bytes;
}

// The most records a block within this many bytes can have.
std::size_t RecordsWithin(std::size_t bytes) {
    return bytes < 16 ? 0 : (bytes - 16) / 16 * 16 / sizeof(ContactFields);
}

} // namespace

ContactList::ContactList(ContactList&& other) noexcept
    : m_blocks(std::exchange(other.m_blocks, {}))
    , m_lastBlockRecords(std::exchange(other.m_lastBlockRecords, 0))
    , m_size(std::exchange(other.m_size, 0)) {}

ContactList& ContactList::operator=(ContactList&& other) noexcept {
    if (this != &other) {
        m_blocks = std::exchange(other.m_blocks, {});
        m_lastBlockRecords = std::exchange(other.m_lastBlockRecords, 0);
        m_size = std::exchange(other.m_size, 0);
    }
    return *this;
}

std::size_t ContactList::capacity() const {
    return m_blocks.empty() ? 0 : (m_blocks.size() - 1) * kBlockRecords + m_lastBlockRecords;
}

std::size_t ContactList::HeapBytes() const {
    std::size_t bytes =
        m_blocks.capacity() == 0 ? 0 : BlockBytes(m_blocks.capacity() * sizeof(Block));
    if (!m_blocks.empty()) {
        bytes += (m_blocks.size() - 1) * BlockBytes(kBlockRecords * sizeof(ContactFields)) +
                 BlockBytes(m_lastBlockRecords * sizeof(ContactFields));
    }
    return bytes;
}

std::vector<ContactFields> ContactList::TakeAll() {
    std::vector<ContactFields> all;
    all.reserve(m_size);
    for (std::size_t i = 0; i < m_size; ++i) {
        all.push_back(std::move(m_blocks[i / kBlockRecords][i % kBlockRecords]));
    }
    *this = ContactList{};
    return all;
}

namespace {

// One parameter's values, comma-separated, quotes dropped ("TYPE=\"home,work\"" too).
template <class Visit> void ForEachParameterValue(std::string_view values, Visit visit) {
    std::size_t start = 0;
    for (std::size_t i = 0; i <= values.size(); ++i) {
        if (i == values.size() || values[i] == ',') {
            std::string_view value = TrimBlanks(values.substr(start, i - start));
            while (!value.empty() && value.front() == '"') {
                value.remove_prefix(1);
            }
            while (!value.empty() && value.back() == '"') {
                value.remove_suffix(1);
            }
            visit(TrimBlanks(value));
            start = i + 1;
        }
    }
}

} // namespace

VCardReader::VCardReader(std::size_t keptBytesBound)
    : m_bound(keptBytesBound) {}

void VCardReader::Read(std::string_view bytes) {
    std::size_t i = 0;
    while (m_atFileStart && i < bytes.size()) {
        if (bytes[i] == kByteOrderMark[m_markMatched]) {
            ++i;
            if (++m_markMatched == 3) {
                m_atFileStart = false;
            }
            continue;
        }
        // Not a mark after all: the bytes taken for one are text.
        m_atFileStart = false;
        for (std::size_t k = 0; k < m_markMatched; ++k) {
            TakeByte(kByteOrderMark[k]);
        }
    }
    while (i < bytes.size() && !m_passedBound) {
        if (m_part != Part::Header && m_lineOpen && !m_atLineStart && !m_quotedPrintable) {
            // A value without soft breaks: to the line end at once, kept or skipped.
            std::size_t end = i;
            while (end < bytes.size() && bytes[end] != '\r' && bytes[end] != '\n') {
                ++end;
            }
            if (m_part == Part::Value) {
                m_value.append(bytes.substr(i, std::min(end - i, kMaxValueBytes - m_value.size())));
            }
            i = end;
            if (i == bytes.size()) {
                return;
            }
        }
        TakeByte(bytes[i]);
        ++i;
    }
}

void VCardReader::Finish() {
    if (m_atFileStart) {
        m_atFileStart = false;
        for (std::size_t k = 0; k < m_markMatched; ++k) {
            TakeByte(kByteOrderMark[k]);
        }
    }
    if (m_lineOpen && !m_passedBound) {
        EndLogicalLine();
    }
    m_inCard = false; // a card without its end is not kept
}

void VCardReader::TakeByte(char byte) {
    if (byte == '\n' && m_afterCr) {
        m_afterCr = false;
        return;
    }
    m_afterCr = byte == '\r';
    if (byte == '\r' || byte == '\n') {
        EndPhysicalLine();
        return;
    }
    if (m_atLineStart) {
        StartLine(byte);
        if (m_atLineStart) { // the blank of a folded line
            m_atLineStart = false;
            return;
        }
    }
    if (!m_lineOpen) {
        m_lineOpen = true;
        m_part = Part::Header;
        m_header.clear();
        m_value.clear();
        m_inQuotes = false;
        m_quotedPrintable = false;
        m_pendingEquals = false;
    }
    if (m_part == Part::Header) {
        if (m_inQuotes) {
            m_inQuotes = byte != '"';
        } else if (byte == '"' && !m_header.empty() &&
                   (m_header.back() == '=' || m_header.back() == ',')) {
            m_inQuotes = true;
        } else if (byte == ':') {
            OpenValue();
            return;
        }
        if (m_header.size() < kMaxHeaderBytes) {
            m_header += byte;
        } else {
            m_part = Part::Skipped; // no property of ours has such a name
        }
        return;
    }
    if (m_quotedPrintable) {
        if (m_pendingEquals) {
            m_pendingEquals = false;
            KeepValueByte('=');
        }
        if (byte == '=') {
            m_pendingEquals = true;
            return;
        }
    }
    KeepValueByte(byte);
}

void VCardReader::KeepValueByte(char byte) {
    if (m_part == Part::Value && m_value.size() < kMaxValueBytes) {
        m_value += byte;
    }
}

// The first byte of a physical line: it continues the open logical line after a soft break
// (as text) or as a folded line (the blank dropped: m_atLineStart stays set for the caller);
// otherwise the open line ends here.
void VCardReader::StartLine(char byte) {
    const bool softBreak = m_softBreak;
    m_softBreak = false;
    if (m_lineOpen) {
        if (softBreak) {
            m_atLineStart = false;
            return;
        }
        if (byte == ' ' || byte == '\t') {
            return;
        }
        EndLogicalLine();
    }
    m_atLineStart = false;
}

void VCardReader::EndPhysicalLine() {
    if (m_atLineStart) { // an empty line ends the open one
        m_softBreak = false;
        if (m_lineOpen) {
            EndLogicalLine();
        }
        return;
    }
    m_atLineStart = true;
    if (m_pendingEquals) {
        m_pendingEquals = false;
        m_softBreak = true;
    }
}

void VCardReader::OpenValue() {
    std::string_view header = m_header;
    const std::size_t nameEnd = std::min(header.find(';'), header.size());
    std::string_view name = TrimBlanks(header.substr(0, nameEnd));
    if (const std::size_t dot = name.rfind('.'); dot != std::string_view::npos) {
        name.remove_prefix(dot + 1); // the group
    }
    static constexpr struct {
        std::string_view name;
        Property property;
    } kProperties[] = {{"BEGIN", Property::Begin},      {"END", Property::End},
                       {"N", Property::Name},           {"FN", Property::FormattedName},
                       {"ORG", Property::Organisation}, {"ADR", Property::Address}};
    m_property = Property::Other;
    for (const auto& known : kProperties) {
        if (EqualsIgnoringAsciiCase(name, known.name)) {
            m_property = known.property;
        }
    }
    m_charset = Charset::Unnamed;
    m_types = 0;
    m_quotedPrintable = false;
    // Parameters: ';'-separated outside quotes; "KEY=values" or a bare 2.1 word.
    bool quoted = false;
    std::size_t start = nameEnd + 1;
    for (std::size_t i = start; i <= header.size(); ++i) {
        if (i < header.size()) {
            if (header[i] == '"') {
                quoted = !quoted;
            }
            if (quoted || header[i] != ';') {
                continue;
            }
        }
        if (start >= header.size() || i <= start) {
            start = i + 1;
            continue;
        }
        const std::string_view parameter = header.substr(start, i - start);
        start = i + 1;
        const std::size_t equals = parameter.find('=');
        const std::string_view key =
            equals == std::string_view::npos ? "TYPE" : TrimBlanks(parameter.substr(0, equals));
        const std::string_view values =
            equals == std::string_view::npos ? parameter : parameter.substr(equals + 1);
        ForEachParameterValue(values, [&](std::string_view value) {
            if (EqualsIgnoringAsciiCase(value, "QUOTED-PRINTABLE") &&
                (equals == std::string_view::npos || EqualsIgnoringAsciiCase(key, "ENCODING"))) {
                m_quotedPrintable = true;
            } else if (EqualsIgnoringAsciiCase(key, "CHARSET")) {
                if (EqualsIgnoringAsciiCase(value, "UTF-8") ||
                    EqualsIgnoringAsciiCase(value, "UTF8")) {
                    m_charset = Charset::Utf8;
                } else if (EqualsIgnoringAsciiCase(value, "ISO-8859-1") ||
                           EqualsIgnoringAsciiCase(value, "ISO8859-1") ||
                           EqualsIgnoringAsciiCase(value, "LATIN1") ||
                           EqualsIgnoringAsciiCase(value, "WINDOWS-1252") ||
                           EqualsIgnoringAsciiCase(value, "CP1252")) {
                    // Latin-1 as its superset 1252, as the writers of such files mean it.
                    m_charset = Charset::Windows1252;
                }
            } else if (EqualsIgnoringAsciiCase(key, "TYPE")) {
                if (EqualsIgnoringAsciiCase(value, "WORK")) {
                    m_types |= kWorkType;
                } else if (EqualsIgnoringAsciiCase(value, "HOME")) {
                    m_types |= kHomeType;
                }
            }
        });
    }
    m_part = m_property == Property::Other ? Part::Skipped : Part::Value;
}

void VCardReader::EndLogicalLine() {
    m_lineOpen = false;
    m_atLineStart = true;
    if (m_pendingEquals) {
        m_pendingEquals = false;
        KeepValueByte('=');
    }
    if (m_part == Part::Value) {
        TakeProperty();
    }
    m_part = Part::Header;
    m_quotedPrintable = false;
}

void VCardReader::TakeProperty() {
    if (m_quotedPrintable) {
        DecodeQuotedPrintable(m_value);
    }
    const std::string_view value = m_value;
    if (m_property == Property::Begin || m_property == Property::End) {
        if (EqualsIgnoringAsciiCase(TrimBlanks(value), "VCARD")) {
            if (m_property == Property::Begin) {
                m_inCard = true; // a second begin without an end drops the first card
                m_card = PendingCard{};
            } else if (m_inCard) {
                EndCard();
            }
        }
        return;
    }
    if (!m_inCard) {
        return;
    }
    const bool windows1252 =
        m_charset == Charset::Windows1252 || (m_charset == Charset::Unnamed && !IsUtf8(value));
    std::array<std::string, 2> parts;
    switch (m_property) {
    case Property::Name:
        if (!m_card.haveName) {
            m_card.haveName = true;
            m_cutLines += SplitComponents(value, 2, kNameComponents, true, parts) ? 1 : 0;
            m_card.fields.familyName = DecodeText(parts[0], windows1252);
            m_card.fields.givenName = DecodeText(parts[1], windows1252);
        } else {
            m_cutLines += SplitComponents(value, 0, kNameComponents, true, parts) ? 1 : 0;
        }
        break;
    case Property::FormattedName:
        if (!m_card.haveFormattedName) {
            m_card.haveFormattedName = true;
            (void)SplitComponents(value, 1, 0, false, parts);
            m_card.formattedName = DecodeText(parts[0], windows1252);
        }
        break;
    case Property::Organisation:
        if (!m_card.haveOrganisation) {
            m_card.haveOrganisation = true;
            (void)SplitComponents(value, 1, 0, true, parts);
            m_card.fields.organisation = DecodeText(parts[0], windows1252);
        }
        break;
    case Property::Address:
        TakeAddress(value, windows1252);
        break;
    default:
        break;
    }
}

void VCardReader::TakeAddress(std::string_view value, bool windows1252) {
    // Components: post office box, extended address, street, locality, region, postal code,
    // country.
    std::array<std::string, 6> parts;
    const std::size_t slot = (m_types & kWorkType) != 0 ? 0 : (m_types & kHomeType) != 0 ? 1 : 2;
    const bool wanted = !m_card.slotTaken[slot] || m_card.overflow.size() < 2;
    m_cutLines += SplitComponents(value, wanted ? 6 : 0, kAddressComponents, true, parts) ? 1 : 0;
    if (!wanted) {
        return;
    }
    ContactAddressFields address{DecodeText(parts[2], windows1252),
                                 DecodeText(parts[5], windows1252),
                                 DecodeText(parts[3], windows1252)};
    if (m_card.slotTaken[slot]) {
        m_card.overflow.push_back(std::move(address));
    } else {
        m_card.slotTaken[slot] = true;
        m_card.fields.addresses[slot] = std::move(address);
    }
}

void VCardReader::EndCard() {
    m_inCard = false;
    ContactFields& fields = m_card.fields;
    if (fields.familyName.empty() && fields.givenName.empty()) {
        // A copy of the organisation made to its length (an assignment may keep more room).
        fields.familyName =
            !m_card.formattedName.empty()
                ? std::move(m_card.formattedName)
                : std::u16string(fields.organisation.data(), fields.organisation.size());
    }
    // Further addresses of a type into the slots left free: other, work, home.
    std::size_t next = 0;
    for (const std::size_t slot : {std::size_t{2}, std::size_t{0}, std::size_t{1}}) {
        if (!m_card.slotTaken[slot] && next < m_card.overflow.size()) {
            fields.addresses[slot] = std::move(m_card.overflow[next++]);
        }
    }
    const std::size_t textBytes = TextBytes(fields);
    if (!MakeRoom(textBytes)) {
        m_passedBound = true;
        m_contacts = ContactList{}; // nothing of a file that is not read whole
        m_textBytes = 0;
        return;
    }
    m_textBytes += textBytes;
    const std::size_t index = m_contacts.m_size++;
    m_contacts.m_blocks.back()[index % ContactList::kBlockRecords] = std::move(fields);
}

// A new block takes the records that are left room for, up to a whole block; when the table of
// blocks grows, its old and new array are held at once.
bool VCardReader::MakeRoom(std::size_t textBytes) {
    if (textBytes > m_bound - m_textBytes) {
        return false;
    }
    const std::size_t room = m_bound - m_textBytes - textBytes; // for the list
    const std::size_t held = m_contacts.HeapBytes();
    if (m_contacts.size() < m_contacts.capacity()) {
        return held <= room;
    }
    auto& blocks = m_contacts.m_blocks;
    if (!blocks.empty() && m_contacts.m_lastBlockRecords < ContactList::kBlockRecords) {
        return false; // the last block was cut short by the bound
    }
    const std::size_t tableCapacity = blocks.size() < blocks.capacity()
                                          ? blocks.capacity()
                                          : std::max<std::size_t>(8, 2 * blocks.size());
    const std::size_t newTable = tableCapacity == blocks.capacity()
                                     ? 0
                                     : BlockBytes(tableCapacity * sizeof(ContactList::Block));
    if (held + newTable >= room) {
        return false;
    }
    const std::size_t records =
        std::min(ContactList::kBlockRecords, RecordsWithin(room - held - newTable));
    if (records == 0) {
        return false;
    }
    blocks.reserve(tableCapacity);
    blocks.push_back(std::make_unique<ContactFields[]>(records)); // records made empty
    m_contacts.m_lastBlockRecords = records;
    return true;
}

std::size_t VCardReader::KeptBytes() const {
    return m_textBytes + m_contacts.HeapBytes();
}

std::vector<ContactFields> ReadVCardContacts(std::string_view text) {
    VCardReader reader(static_cast<std::size_t>(-1));
    reader.Read(text);
    reader.Finish();
    return reader.TakeContacts().TakeAll();
}

} // namespace platform
