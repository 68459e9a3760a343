#include "platform/contacts/vcardreader.h"

#include "platform/kernel/codepage.h"

#include <algorithm>
#include <glib-object.h>
#include <libebook-contacts/libebook-contacts.h>
#include <string>

namespace platform {
namespace {

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) {
            return false;
        }
    }
    return true;
}

// A line without its line end and without blanks at its end.
std::string_view TrimmedLine(std::string_view line) {
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) {
        line.remove_suffix(1);
    }
    return line;
}

std::u16string PropertyText(const char* utf8) {
    if (utf8 == nullptr) {
        return {};
    }
    const std::string_view bytes(utf8);
    if (std::all_of(bytes.begin(), bytes.end(), [](char c) { return (c & 0x80) == 0; })) {
        // Plain ASCII, by far the most common text: widened in one pass into one allocation.
        const std::string_view kept = bytes.substr(0, kMaxContactPropertyLength);
        return std::u16string(kept.begin(), kept.end());
    }
    std::u16string text = Utf8ToUtf16(bytes);
    if (text.size() > kMaxContactPropertyLength) {
        text.resize(kMaxContactPropertyLength);
    }
    return text;
}

// The index-th component of a structured value (N, ORG, ADR), empty when it has fewer.
std::u16string Component(EVCardAttribute* attribute, guint index) {
    GList* values = e_vcard_attribute_get_values(attribute);
    return PropertyText(static_cast<const char*>(g_list_nth_data(values, index)));
}

// Address slot of an ADR attribute: 0 work, 1 home, 2 any other.
int AddressSlot(EVCardAttribute* attribute) {
    if (e_vcard_attribute_has_type(attribute, "WORK")) {
        return 0;
    }
    if (e_vcard_attribute_has_type(attribute, "HOME")) {
        return 1;
    }
    return 2;
}

// Fills fields, empty when made, from the card's text.
void ReadCard(const std::string& cardText, ContactFields& fields) {
    EVCard* card = e_vcard_new_from_string(cardText.c_str());
    if (card == nullptr) {
        return;
    }
    bool haveName = false;
    bool haveOrganisation = false;
    std::array<bool, 3> haveAddress = {};
    for (GList* node = e_vcard_get_attributes(card); node != nullptr; node = node->next) {
        auto* attribute = static_cast<EVCardAttribute*>(node->data);
        const char* name = e_vcard_attribute_get_name(attribute);
        if (name == nullptr) {
            continue;
        }
        if (!haveName && EqualsIgnoringAsciiCase(name, EVC_N)) {
            haveName = true;
            fields.familyName = Component(attribute, 0);
            fields.givenName = Component(attribute, 1);
        } else if (!haveOrganisation && EqualsIgnoringAsciiCase(name, EVC_ORG)) {
            haveOrganisation = true;
            fields.organisation = Component(attribute, 0);
        } else if (EqualsIgnoringAsciiCase(name, EVC_ADR)) {
            const int slot = AddressSlot(attribute);
            if (haveAddress[slot]) {
                continue;
            }
            haveAddress[slot] = true;
            // Components: post office box, extended address, street, locality, region, postal
            // code, country.
            ContactAddressFields& address = fields.addresses[slot];
            address.street = Component(attribute, 2);
            address.locality = Component(attribute, 3);
            address.postalCode = Component(attribute, 5);
        }
    }
    g_object_unref(card);
}

} // namespace

std::vector<ContactFields> ReadVCardContacts(std::string_view text) {
    std::vector<ContactFields> contacts;
    std::size_t cardStart = std::string_view::npos;
    std::size_t position = 0;
    std::string card; // one buffer for every card's C string
    while (position < text.size()) {
        std::size_t end = text.find('\n', position);
        const std::size_t next = end == std::string_view::npos ? text.size() : end + 1;
        const std::string_view line = TrimmedLine(
            text.substr(position, (end == std::string_view::npos ? text.size() : end) - position));
        if (EqualsIgnoringAsciiCase(line, "BEGIN:VCARD")) {
            cardStart = position; // a second begin without an end drops the first card
        } else if (cardStart != std::string_view::npos &&
                   EqualsIgnoringAsciiCase(line, "END:VCARD")) {
            // The parser takes a C string: a card holding a zero byte ends there.
            card.assign(text.substr(cardStart, next - cardStart));
            ReadCard(card, contacts.emplace_back());
            cardStart = std::string_view::npos;
        }
        position = next;
    }
    return contacts;
}

} // namespace platform

// The vCard library (libebook-contacts 3.46) loses its property group text on some malformed
// property names ("A.B" without a value, "A..:x"). Its allocations reach the sanitizer's stack
// only as far as GLib (built without frame pointers), and GLib is used here by that library
// alone: leak checking under AddressSanitizer leaves GLib out and keeps checking the rest.
#if defined(__SANITIZE_ADDRESS__)
#define NAV_CONTACTS_LEAK_HOOK 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define NAV_CONTACTS_LEAK_HOOK 1
#endif
#endif
#ifdef NAV_CONTACTS_LEAK_HOOK
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libebook-contacts-1.2.so\nleak:libglib-2.0.so\n";
}
#endif
