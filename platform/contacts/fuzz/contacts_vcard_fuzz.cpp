// Fuzzes the vCard reading of the contact store: any bytes must give cards without reading past
// them, every text within the store's length limit, the same cards when the bytes come in pieces
// (as the store reads the file) as when they come whole, and under a bound all or none of them
// with no more kept than the bound.

#include "platform/contacts/vcardreader.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

namespace {

bool SameFields(const platform::ContactFields& a, const platform::ContactFields& b) {
    if (a.familyName != b.familyName || a.givenName != b.givenName ||
        a.organisation != b.organisation) {
        return false;
    }
    for (std::size_t slot = 0; slot < a.addresses.size(); ++slot) {
        const platform::ContactAddressFields& x = a.addresses[slot];
        const platform::ContactAddressFields& y = b.addresses[slot];
        if (x.street != y.street || x.postalCode != y.postalCode || x.locality != y.locality) {
            return false;
        }
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::vector<platform::ContactFields> whole = platform::ReadVCardContacts(text);
    for (const platform::ContactFields& contact : whole) {
        for (const std::u16string* field :
             {&contact.familyName, &contact.givenName, &contact.organisation}) {
            if (field->size() > platform::kMaxContactPropertyLength) {
                std::abort();
            }
        }
        for (const platform::ContactAddressFields& address : contact.addresses) {
            for (const std::u16string* field :
                 {&address.street, &address.postalCode, &address.locality}) {
                if (field->size() > platform::kMaxContactPropertyLength) {
                    std::abort();
                }
            }
        }
    }
    // In pieces whose size the first byte chooses (1 to 256).
    const std::size_t piece = size == 0 ? 1 : std::size_t{data[0]} + 1;
    platform::VCardReader reader;
    for (std::size_t at = 0; at < size; at += piece) {
        reader.Read(text.substr(at, piece));
    }
    reader.Finish();
    const platform::ContactList& pieces = reader.Contacts();
    if (pieces.size() != whole.size()) {
        std::abort();
    }
    for (std::size_t i = 0; i < whole.size(); ++i) {
        if (!SameFields(pieces[i], whole[i])) {
            std::abort();
        }
    }
    // Under a bound the second byte chooses (0 to 255 records' worth): every card or none, and
    // never more kept than the bound.
    const std::size_t bound =
        size < 2 ? 0 : std::size_t{data[1]} * sizeof(platform::ContactFields) + data[0];
    platform::VCardReader bounded(bound);
    bounded.Read(text);
    bounded.Finish();
    if (bounded.KeptBytes() > bound ||
        bounded.Contacts().size() != (bounded.PassedBound() ? 0 : whole.size())) {
        std::abort();
    }
    return 0;
}
