#pragma once
// Contacts files in vCard text (3.0 or 4.0) for the contact store (platform/contacts): names,
// organisation and addresses, with the text escaping and line folding of the format, plus the
// demo contacts file of the application.

#include <cstddef>
#include <string>
#include <vector>

namespace testdata {

enum class VCardVersion { V30, V40 };

struct VCardAddress {
    std::vector<std::string> types; // "work", "home", "postal" ...; written upper case in 3.0
    std::string street;             // UTF-8; may hold ',', ';', '\' and line breaks
    std::string postalCode;
    std::string locality;
    std::string country;
};

struct VCardContact {
    std::string familyName;
    std::string givenName;
    std::string organisation; // empty: no ORG line
    std::vector<VCardAddress> addresses;
};

// The cards, CR LF line ends, content lines folded after foldAt octets (never inside a UTF-8
// sequence; 0: no folding).
[[nodiscard]] std::string WriteVCards(const std::vector<VCardContact>& contacts,
                                      VCardVersion version, std::size_t foldAt = 75);

// The demo contacts: addresses in Vaduz and Schaan (one contact with a work, a home and an other
// address, one with a street ending in a house number, one without any city).
[[nodiscard]] std::vector<VCardContact> DemoContacts();

} // namespace testdata
