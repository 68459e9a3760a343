// Feeds arbitrary bytes, from memory, as the device's contacts file: a new contact session
// reads it at logon, every contact is copied and the contact page's lines built. Never a crash;
// every contact read gives a record, and no listed line lacks its address entry.
#include "app/contacts/extcontactdlg.h"
#include "testdata/tempdir.h"

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static testdata::TempDeviceRoot root;
    static const bool isInstalled = root.InstallModule(u"pimstore.dll");
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    if (!isInstalled || !root.WriteFile(platform::kContactsFilePath, bytes))
        __builtin_trap();
    ContactSession::ReleaseInstance();
    const CountedPtr<ContactSession> session = ContactSession::Instance();
    std::vector<ContactRecord> records;
    if (!session || session->GetContacts(records) != 1 ||
        records.size() != static_cast<std::size_t>(session->GetCount()))
        __builtin_trap();
    std::vector<std::u16string> lines;
    std::vector<ContactAddress> entries;
    BuildContactLines(records, ContactLineTexts{u"N ", u"S ", u"C ", u"1", u"2", u"3"}, lines,
                      entries);
    if (lines.size() != entries.size() || lines.size() > 3 * records.size())
        __builtin_trap();
    for (const ContactAddress& entry : entries) {
        if (entry.city.empty())
            __builtin_trap();
    }
    return 0;
}
