// Fuzzes the vCard reading of the contact store: any text must give cards without reading past
// it, every text within the store's length limit.

#include "platform/contacts/vcardreader.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    for (const platform::ContactFields& contact : platform::ReadVCardContacts(text)) {
        for (const std::u16string* field :
             {&contact.familyName, &contact.givenName, &contact.organisation}) {
            if (field->size() > platform::kMaxContactPropertyLength) {
                std::abort();
            }
        }
        for (const platform::ContactAddressFields& address : contact.addresses) {
            if (address.street.size() > platform::kMaxContactPropertyLength ||
                address.locality.size() > platform::kMaxContactPropertyLength) {
                std::abort();
            }
        }
    }
    return 0;
}
