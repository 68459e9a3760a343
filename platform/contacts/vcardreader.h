#pragma once
// Reads the contacts of a vCard file (versions 2.1, 3.0 and 4.0) into the fields the contact
// store hands out. Pure functions; safe from any thread.

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

struct ContactAddressFields {
    std::u16string street;
    std::u16string postalCode;
    std::u16string locality;
};

struct ContactFields {
    std::u16string familyName;
    std::u16string givenName;
    std::u16string organisation; // first component of ORG
    // [0] the first ADR of type work, [1] the first of type home, [2] the first other one.
    std::array<ContactAddressFields, 3> addresses;
};

// Longest property text kept, in UTF-16 units; longer texts are cut.
constexpr std::size_t kMaxContactPropertyLength = 1023;

// The cards of a vCard text (UTF-8), in file order. A card runs from a line "BEGIN:VCARD" to a
// line "END:VCARD"; a card without its end (a cut file) and text outside cards are skipped.
[[nodiscard]] std::vector<ContactFields> ReadVCardContacts(std::string_view text);

} // namespace platform
