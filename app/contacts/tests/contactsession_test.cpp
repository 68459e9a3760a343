#include "app/contacts/contactsession.h"
#include "testdata/tempdir.h"
#include "testdata/vcardwriter.h"

#include "platform/contacts/vcardreader.h"
#include "platform/files/modules.h"
#include "platform/kernel/com.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

// Records as lines of their twenty texts joined by '|'.
std::vector<std::u16string> SessionLines(const std::vector<ContactRecord>& records) {
    std::vector<std::u16string> lines;
    for (const ContactRecord& record : records) {
        std::u16string line;
        for (const std::u16string& text : record.strings) {
            line += text + u"|";
        }
        lines.push_back(line);
    }
    return lines;
}

const std::u16string kBeckLine = u"|Landesverwaltung||||||||Anna|Beck|\u00C4ulestrasse 12|9490|"
                                 u"Vaduz|Landstrasse 5|9494|Schaan|Postfach 1, Kirchstrasse|9490|"
                                 u"Vaduz|";
const std::u16string kFrickLine = u"|||||||||Lukas|Frick||||Hauptstr. 12|9494|Schaan||||";

TEST(ContactSessionContacts, CopiesEveryContactOrStopsAtTheFailingItem) {
    const std::string v3 =
        testdata::WriteVCards(testdata::DemoContacts(), testdata::VCardVersion::V30);
    const std::string v4 =
        testdata::WriteVCards(testdata::DemoContacts(), testdata::VCardVersion::V40);
    const std::size_t secondEnd = v3.find("END:VCARD", v3.find("END:VCARD") + 1);
    constexpr std::size_t kAll = platform::kMaxKeptContactBytes;
    const struct {
        const char* name;
        bool module;
        bool hideRegister;
        std::optional<std::string> file;
        std::size_t keptBound; // of the store, in bytes
        int failing;
        HRESULT registered;
        int count;
        int result;
        std::size_t records;
    } cases[] = {
        {"vCard 3.0", true, false, v3, kAll, 0, S_OK, 4, 1, 4},
        {"vCard 4.0", true, false, v4, kAll, 0, S_OK, 4, 1, 4},
        {"item 3 fails", true, false, v3, kAll, 3, S_OK, 4, 0, 2},
        {"item 1 fails", true, false, v3, kAll, 1, S_OK, 4, 0, 0},
        {"no contacts file", true, false, std::nullopt, kAll, 0, S_OK, 0, 1, 0},
        {"cut after two cards", true, false, v3.substr(0, secondEnd + 12), kAll, 0, S_OK, 2, 1, 2},
        {"cut in the first card", true, false, v3.substr(0, 40), kAll, 0, S_OK, 0, 1, 0},
        {"store missing", false, false, v3, kAll, 0, E_FAIL, 0, 1, 0},
        {"no registration entry", true, true, v3, kAll, 0, E_FAIL, 4, 1, 4},
        // The store's logon fails: a failure, not an empty list.
        {"past the store's bound", true, false, v3, 1000, 0, S_OK, 0, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        testdata::TempDeviceRoot root;
        if (c.module) {
            ASSERT_TRUE(root.InstallModule(u"pimstore.dll"));
        }
        if (c.hideRegister) {
            platform::HideEntryPoint(u"pimstore.dll", u"DllRegisterServer");
        }
        if (c.file) {
            ASSERT_TRUE(root.WriteFile(platform::kContactsFilePath, *c.file));
        }
        platform::FailContactItem(c.failing);
        platform::SetContactsKeptBound(c.keptBound);
        EXPECT_EQ(RegisterContactStore(), c.registered);
        {
            const CountedPtr<ContactSession> session = ContactSession::Instance();
            ASSERT_TRUE(session);
            EXPECT_EQ(ContactSession::Instance().Get(), session.Get()); // one per process
            EXPECT_EQ(session->GetCount(), c.count);
            std::vector<ContactRecord> records(1); // appended to what is there
            EXPECT_EQ(session->GetContacts(records), c.result);
            ASSERT_EQ(records.size(), c.records + 1);
            const std::vector<std::u16string> lines = SessionLines(records);
            if (c.records >= 2 && c.failing != 1) {
                EXPECT_EQ(lines[1], kBeckLine);
                EXPECT_EQ(lines[2], kFrickLine);
            }
            ContactSession::ReleaseInstance();
        }
        EXPECT_EQ(CountedPtr<ContactSession>::GetPool().GetInUse(), 0u);
        EXPECT_EQ(platform::LoadedModuleCount(), 0u);     // logged off and released
        EXPECT_EQ(platform::ComInitializationCount(), 0); // its COM use given back
        platform::FailContactItem(0);
        platform::SetContactsKeptBound(kAll);
        platform::ResetHiddenEntryPoints();
    }
}

} // namespace
