#pragma once
// Contacts files in vCard text for the contact store (platform/contacts): names, organisation
// and addresses, with the text escaping and line folding of the format, in the shapes phones and
// address books export (2.1 quoted-printable with soft line breaks, 8-bit charsets, folds inside
// UTF-8 sequences, groups, quoted type lists, byte-order mark, CR-only line ends, photos), plus
// the demo contacts file of the application.

#include <cstddef>
#include <string>
#include <vector>

namespace testdata {

enum class VCardVersion { V21, V30, V40 };

struct VCardAddress {
    std::vector<std::string> types; // "work", "home", "postal" ...; written upper case in 2.1/3.0
    std::string street;             // UTF-8; may hold ',', ';', '\' and line breaks
    std::string postalCode;
    std::string locality;
    std::string country;
};

// How a card gives its name.
enum class VCardNameLine {
    Full,  // N with family and given name
    Empty, // "N:;;;;" (company cards of one address book)
    None,  // no N line (vCard 4.0 makes it optional)
};

struct VCardContact {
    std::string familyName;
    std::string givenName;
    std::string organisation; // empty: no ORG line
    std::vector<VCardAddress> addresses;
    VCardNameLine nameLine = VCardNameLine::Full;
    std::string formattedName = {}; // FN; empty: given and family name (no FN line when all empty)
    std::size_t photoBytes = 0;     // a PHOTO of this many bytes (base64), 0: none
    // Further content lines written as given (folded like the others), after the addresses.
    std::vector<std::string> otherLines = {};
    // Further components of ORG after the organisation (units; one empty unit gives the
    // trailing ';' of an address book's company card).
    std::vector<std::string> organisationUnits = {};
};

// How the text of N, FN, ORG and ADR is written.
enum class VCardText {
    Utf8,              // UTF-8, no CHARSET
    QuotedPrintable,   // 2.1: "CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE" on lines with 8-bit text
                       // or line breaks, wrapped before 76 octets with soft line breaks ("=")
    Windows1252,       // 8-bit bytes of code page 1252 with "CHARSET=Windows-1252"
    Latin1,            // 8-bit bytes of ISO-8859-1 with "CHARSET=ISO-8859-1"
    Windows1252Unnamed // 8-bit bytes of code page 1252 without CHARSET
};

// How address types are written.
enum class VCardTypes {
    List,       // "TYPE=WORK,POSTAL" (2.1: bare words "WORK;POSTAL")
    Repeated,   // "type=WORK;type=POSTAL"
    QuotedList, // "TYPE=\"work,postal\""
};

enum class VCardLineEnd { CrLf, Lf, Cr };

struct VCardStyle {
    VCardVersion version = VCardVersion::V30;
    std::size_t foldAt = 75; // octets of a content line before it is folded; 0: no folding
    bool foldInsideCharacters = false; // folds may fall between the octets of a UTF-8 sequence
    VCardLineEnd lineEnd = VCardLineEnd::CrLf;
    bool byteOrderMark = false;
    VCardText text = VCardText::Utf8;
    VCardTypes types = VCardTypes::List;
    bool groups = false; // each address "itemN.ADR" with a label line "itemN.X-ABLabel"
};

// The cards in the given style.
[[nodiscard]] std::string WriteVCards(const std::vector<VCardContact>& contacts,
                                      const VCardStyle& style);
// The cards, CR LF line ends, content lines folded after foldAt octets (never inside a UTF-8
// sequence; 0: no folding).
[[nodiscard]] std::string WriteVCards(const std::vector<VCardContact>& contacts,
                                      VCardVersion version, std::size_t foldAt = 75);

// Contacts without a family name as phones and address books export them, each with a home
// address in Vaduz, in this order: a name typed as one on a phone ("N:Elias Vogt;;;;" and FN), a
// card with FN alone (no N), an address book's company card ("N:;;;;", FN and ORG the company,
// ORG with an empty unit, "X-ABShowAs:COMPANY"), a company card with ORG alone ("N:;;;;", no
// FN), a given name alone ("N:;Mira;;;"), a family name alone ("N:Kaiser;;;;").
[[nodiscard]] std::vector<VCardContact> NoFamilyNameContacts();

// The demo contacts: addresses in Vaduz and Schaan (one contact with a work, a home and an other
// address, one with a street ending in a house number, one without any city).
[[nodiscard]] std::vector<VCardContact> DemoContacts();

} // namespace testdata
