#pragma once
// Reads the contacts of a vCard file (versions 2.1, 3.0 and 4.0) into the fields the contact
// store hands out, in one pass over the bytes as they come. Not thread-safe per object; the free
// function is pure.
//
// What is read: a leading UTF-8 byte-order mark is skipped; lines end in CR, LF or CR LF; folded
// lines (a line end and one blank or tab) and quoted-printable soft line breaks ("=" at the line
// end) are joined on the bytes before anything is decoded; quoted-printable values are decoded;
// CHARSET names UTF-8, US-ASCII, ISO-8859-1 or Windows-1252, and a value without a known charset
// that is not valid UTF-8 is taken as Windows-1252; the escapes "\," "\;" "\n" "\N" "\\" (other
// backslashes stay); parameter values may be quoted and comma-separated ("TYPE=\"home,work\""),
// or bare 2.1 words ("ADR;HOME;WORK:"); groups ("item1.ADR") are ignored. Only BEGIN, END, N, FN,
// ORG and ADR are kept; the values of every other property (photos, keys, sounds, logos) are
// skipped without being kept or decoded. Any byte sequence is read without looking past it.

#include <array>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace platform {

struct ContactAddressFields {
    std::u16string street;
    std::u16string postalCode;
    std::u16string locality;
};

struct ContactFields {
    std::u16string familyName; // N's family name; without N (or with N empty) FN, else ORG
    std::u16string givenName;
    std::u16string organisation; // first component of ORG
    // [0] work, [1] home, [2] other: each slot takes the first ADR of its type; a further ADR
    // takes a free slot (other first, then work, then home), when one is left.
    std::array<ContactAddressFields, 3> addresses;
};

// Longest property text kept, in UTF-16 units; longer texts are cut.
constexpr std::size_t kMaxContactPropertyLength = 1023;
// Default bound on what a reader keeps: the contacts' records and their texts, in bytes of the
// heap (the list's block and each text's, with the allocator's rounding and header).
constexpr std::size_t kMaxKeptContactBytes = std::size_t{64} << 20;

// The contacts read, in file order, in blocks of records that stay where they are: the list grows
// by a block without moving (or holding twice on the way) the records it has.
class ContactList {
public:
    // Records of a block; the last block may have fewer when the bound left no room for more.
    static constexpr std::size_t kBlockRecords = 128;

    ContactList() = default;
    // A list moved from is empty.
    ContactList(ContactList&& other) noexcept;
    ContactList& operator=(ContactList&& other) noexcept;

    [[nodiscard]] std::size_t size() const { return m_size; }
    [[nodiscard]] bool empty() const { return m_size == 0; }
    [[nodiscard]] const ContactFields& operator[](std::size_t index) const {
        return m_blocks[index / kBlockRecords][index % kBlockRecords];
    }
    // The records the blocks have room for.
    [[nodiscard]] std::size_t capacity() const;
    // The heap bytes of the blocks and of their table.
    [[nodiscard]] std::size_t HeapBytes() const;
    // The records, moved out in order.
    [[nodiscard]] std::vector<ContactFields> TakeAll();

private:
    friend class VCardReader;
    using Block = std::unique_ptr<ContactFields[]>;
    std::vector<Block> m_blocks;
    std::size_t m_lastBlockRecords = 0;
    std::size_t m_size = 0;
};

// Reads the cards of a vCard file piece by piece. A card runs from a line "BEGIN:VCARD" to a
// line "END:VCARD"; a card without its end (a cut file, or a second BEGIN before the END) and
// text outside cards are skipped.
class VCardReader {
public:
    explicit VCardReader(std::size_t keptBytesBound = kMaxKeptContactBytes);

    // The next bytes of the file. Does nothing more once the bound was passed.
    void Read(std::string_view bytes);
    // The end of the file: the last line is taken.
    void Finish();

    // True when the contacts read would keep more than the bound: reading stopped there and the
    // contacts read were dropped.
    [[nodiscard]] bool PassedBound() const { return m_passedBound; }
    // The heap bytes the contacts read so far hold: the list's blocks, records not yet used
    // included, and the texts' blocks; texts are kept at their length.
    [[nodiscard]] std::size_t KeptBytes() const;
    // Property lines with more components than their property has (N: 5, ADR: 7); the ones
    // past those were dropped.
    [[nodiscard]] std::size_t CutLines() const { return m_cutLines; }
    [[nodiscard]] const ContactList& Contacts() const { return m_contacts; }
    // The contacts read, leaving the reader without any.
    [[nodiscard]] ContactList TakeContacts() {
        m_textBytes = 0;
        return std::move(m_contacts);
    }

private:
    enum class Part : unsigned char { Header, Value, Skipped };

    void TakeByte(char byte);
    void KeepValueByte(char byte); // of a kept property's value, up to its limit
    void StartLine(char byte);
    void EndPhysicalLine();
    void EndLogicalLine();
    void OpenValue();
    void TakeProperty();
    void TakeAddress(std::string_view value, bool windows1252);
    void EndCard();
    // Room in the list for one more record whose texts hold these heap bytes, a block added when
    // the list is full; false when the record or the growth would pass the bound.
    bool MakeRoom(std::size_t textBytes);

    std::size_t m_bound;
    std::size_t m_textBytes = 0; // heap bytes of the kept records' texts
    bool m_passedBound = false;
    std::size_t m_cutLines = 0;
    ContactList m_contacts;

    // Position in the bytes.
    bool m_atFileStart = true;
    std::size_t m_markMatched = 0; // bytes of a leading byte-order mark seen so far
    bool m_afterCr = false;        // the last byte was a CR (a following LF belongs to it)
    bool m_atLineStart = true;     // at the start of a physical line
    bool m_lineOpen = false;       // a logical line is being collected
    bool m_softBreak = false;      // the last physical line ended in a quoted-printable "="
    bool m_pendingEquals = false;  // a quoted-printable "=" not yet known to be a soft break
    bool m_inQuotes = false;       // inside a quoted parameter value
    Part m_part = Part::Header;
    bool m_quotedPrintable = false;
    std::string m_header; // name and parameters of the line
    std::string m_value;  // the raw value of a kept property

    // The property of the line, known at its ':'.
    enum class Property : unsigned char {
        Other,
        Begin,
        End,
        Name,
        FormattedName,
        Organisation,
        Address
    };
    enum class Charset : unsigned char { Unnamed, Utf8, Windows1252 };
    Property m_property = Property::Other;
    Charset m_charset = Charset::Unnamed;
    unsigned m_types = 0; // address types of the line: work, home

    // The card being read.
    struct PendingCard {
        ContactFields fields;
        std::u16string formattedName;
        bool haveName = false;
        bool haveFormattedName = false;
        bool haveOrganisation = false;
        std::array<bool, 3> slotTaken = {};
        std::vector<ContactAddressFields> overflow; // addresses whose slot was taken (at most 2)
    };
    bool m_inCard = false;
    PendingCard m_card;
};

// The cards of a whole vCard file, in file order (VCardReader without a bound).
[[nodiscard]] std::vector<ContactFields> ReadVCardContacts(std::string_view text);

} // namespace platform
