#include "testdata/tempdir.h"
#include "testdata/vcardwriter.h"

#include "platform/contacts/pimstore.h"
#include "platform/files/modules.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr GUID kOtherClass = {
    0x05058F24, 0x20BE, 0x11D2, {0x8F, 0x18, 0x00, 0x00, 0xF8, 0x7A, 0x43, 0x35}};

TEST(ContactStoreCreation, AnswersOnlyItsClassAndInterfaceWhileTheModuleExists) {
    const struct {
        const char* name;
        bool installModule;
        GUID classId;
        void* outer;
        DWORD context;
        GUID interfaceId;
        HRESULT result;
    } cases[] = {
        {"served", true, CLSID_ContactApplication, nullptr, CLSCTX_INPROC_SERVER,
         IID_ContactApplication, S_OK},
        {"module missing", false, CLSID_ContactApplication, nullptr, CLSCTX_INPROC_SERVER,
         IID_ContactApplication, REGDB_E_CLASSNOTREG},
        {"other class", true, kOtherClass, nullptr, CLSCTX_INPROC_SERVER, IID_ContactApplication,
         REGDB_E_CLASSNOTREG},
        {"out of process", true, CLSID_ContactApplication, nullptr, 0x4, IID_ContactApplication,
         REGDB_E_CLASSNOTREG},
        {"aggregated", true, CLSID_ContactApplication, reinterpret_cast<void*>(8),
         CLSCTX_INPROC_SERVER, IID_ContactApplication, CLASS_E_NOAGGREGATION},
        {"other interface", true, CLSID_ContactApplication, nullptr, CLSCTX_INPROC_SERVER,
         CLSID_ContactApplication, E_NOINTERFACE},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        testdata::TempDeviceRoot root;
        if (c.installModule) {
            ASSERT_TRUE(root.InstallModule(u"pimstore.dll"));
        }
        void* object = reinterpret_cast<void*>(1);
        EXPECT_EQ(CoCreateInstance(c.classId, c.outer, c.context, c.interfaceId, &object),
                  c.result);
        EXPECT_EQ(object != nullptr, c.result == S_OK);
        EXPECT_EQ(platform::LoadedModuleCount(), c.result == S_OK ? 1u : 0u);
        if (object != nullptr) {
            static_cast<IContactApplication*>(object)->Release();
        }
        EXPECT_EQ(platform::LoadedModuleCount(), 0u);
    }
}

// Logs on and reads every contact's twelve texts joined by '|', or the failing index as "fail N".
std::vector<std::u16string> ReadStore(IContactApplication& application, int* count) {
    std::vector<std::u16string> lines;
    *count = -1;
    if (application.Logon(0) != S_OK) {
        return lines;
    }
    IContactFolder* folder = nullptr;
    EXPECT_EQ(application.GetDefaultFolder(kContactsFolder, &folder), S_OK);
    IContactItems* items = nullptr;
    EXPECT_EQ(folder->get_Items(&items), S_OK);
    EXPECT_EQ(items->get_Count(count), S_OK);
    for (int index = 1; index <= *count; ++index) {
        IContactItem* item = nullptr;
        if (items->Item(index, &item) != S_OK) {
            lines.push_back(u"fail " + std::u16string(1, char16_t(u'0' + index)));
            continue;
        }
        std::u16string line;
        using Getter = HRESULT (IContactItem::*)(BSTR*);
        for (Getter getter :
             {&IContactItem::get_GivenName, &IContactItem::get_FamilyName,
              &IContactItem::get_Organisation, &IContactItem::get_HomeStreet,
              &IContactItem::get_HomePostalCode, &IContactItem::get_HomeCity,
              &IContactItem::get_BusinessStreet, &IContactItem::get_BusinessPostalCode,
              &IContactItem::get_BusinessCity, &IContactItem::get_OtherStreet,
              &IContactItem::get_OtherPostalCode, &IContactItem::get_OtherCity}) {
            BSTR text = nullptr;
            EXPECT_EQ((item->*getter)(&text), S_OK);
            line += text;
            line += u'|';
            application.FreeString(text);
        }
        item->Release();
        lines.push_back(line);
    }
    items->Release();
    folder->Release();
    EXPECT_EQ(application.Logoff(), S_OK);
    return lines;
}

TEST(ContactStoreReading, HandsOutEveryContactOfTheFileAndFailsTheSwitchedItem) {
    const std::string demo =
        testdata::WriteVCards(testdata::DemoContacts(), testdata::VCardVersion::V30);
    const std::u16string beck = u"Anna|Beck|Landesverwaltung|Landstrasse 5|9494|Schaan|"
                                u"\u00C4ulestrasse 12|9490|Vaduz|Postfach 1, Kirchstrasse|9490|"
                                u"Vaduz|";
    const std::u16string frick = u"Lukas|Frick||Hauptstr. 12|9494|Schaan|||||||";
    const std::u16string marxer =
        u"Eva|Marxer|Museum, Archiv; Bibliothek\\Depot||||St\u00E4dtle 43|9490|Vaduz||||";
    const std::u16string ospelt = u"Tim|Ospelt||Bahnstrasse 7|||||||||";
    const struct {
        const char* name;
        std::optional<std::string> file;
        int failing;
        int count;
        std::vector<std::u16string> lines;
    } cases[] = {
        {"demo", demo, 0, 4, {beck, frick, marxer, ospelt}},
        {"item 2 fails", demo, 2, 4, {beck, u"fail 2", marxer, ospelt}},
        {"no file", std::nullopt, 0, 0, {}},
        {"empty file", "", 0, 0, {}},
        {"not vCard", "\x89PNG\r\n", 0, 0, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        testdata::TempDeviceRoot root;
        ASSERT_TRUE(root.InstallModule(u"pimstore.dll"));
        if (c.file) {
            ASSERT_TRUE(root.WriteFile(platform::kContactsFilePath, *c.file));
        }
        platform::FailContactItem(c.failing);
        void* object = nullptr;
        ASSERT_EQ(CoCreateInstance(CLSID_ContactApplication, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_ContactApplication, &object),
                  S_OK);
        auto* application = static_cast<IContactApplication*>(object);
        int count = 0;
        EXPECT_EQ(ReadStore(*application, &count), c.lines);
        EXPECT_EQ(count, c.count);
        EXPECT_EQ(platform::OutstandingContactStrings(), 0);
        IContactFolder* folder = nullptr;
        EXPECT_EQ(application->GetDefaultFolder(kContactsFolder, &folder), E_FAIL); // logged off
        application->Release();
        platform::FailContactItem(0);
    }
}

} // namespace

namespace {

// The demo contacts file of the application is the writer's demo contacts in vCard 3.0; with
// NAV_UPDATE_GOLDEN=1 it is written instead.
TEST(DemoContactsFile, IsTheWrittenDemoContacts) {
    const std::string expected =
        testdata::WriteVCards(testdata::DemoContacts(), testdata::VCardVersion::V30);
    const char* update = std::getenv("NAV_UPDATE_GOLDEN");
    if (update != nullptr && std::string_view(update) == "1") {
        std::ofstream(NAV_DEMO_CONTACTS_FILE, std::ios::binary) << expected;
    }
    EXPECT_EQ(testdata::ReadHostFile(NAV_DEMO_CONTACTS_FILE), expected);
}

} // namespace
