#include "testdata/freshprocess.h"
#include "testdata/tempdir.h"
#include "testdata/vcardwriter.h"

#include "platform/contacts/pimstore.h"
#include "platform/contacts/vcardreader.h"
#include "platform/files/modules.h"
#include "platform/kernel/debug.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
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
    // A file above 64 MiB whose contacts keep little: 70 contacts with a photo of 1 MiB each.
    // Only what is kept is bounded, not the file's size.
    std::vector<testdata::VCardContact> withPhotos(70, testdata::DemoContacts()[1]);
    for (testdata::VCardContact& contact : withPhotos) {
        contact.photoBytes = std::size_t{1} << 20;
    }
    const std::string photos = testdata::WriteVCards(withPhotos, testdata::VCardVersion::V40, 0);
    ASSERT_GT(photos.size(), std::size_t{64} << 20);
    constexpr std::size_t kAll = platform::kMaxKeptContactBytes;
    const struct {
        const char* name;
        std::optional<std::string> file;
        std::size_t keptBound;
        int failing;
        int count; // -1: the logon fails
        std::vector<std::u16string> lines;
    } cases[] = {
        {"demo", demo, kAll, 0, 4, {beck, frick, marxer, ospelt}},
        {"item 2 fails", demo, kAll, 2, 4, {beck, u"fail 2", marxer, ospelt}},
        {"no file", std::nullopt, kAll, 0, 0, {}},
        {"empty file", "", kAll, 0, 0, {}},
        {"not vCard", "\x89PNG\r\n", kAll, 0, 0, {}},
        {"past the bound on what is kept", demo, 3 * sizeof(platform::ContactFields), 0, -1, {}},
        {"photos past 64 MiB", photos, kAll, 0, 70, std::vector<std::u16string>(70, frick)},
        {"a photo past four times the bound",
         photos.substr(0, photos.find("END:VCARD") + 11),
         4000,
         0,
         -1,
         {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        testdata::TempDeviceRoot root;
        ASSERT_TRUE(root.InstallModule(u"pimstore.dll"));
        if (c.file) {
            ASSERT_TRUE(root.WriteFile(platform::kContactsFilePath, *c.file));
        }
        platform::FailContactItem(c.failing);
        platform::SetContactsKeptBound(c.keptBound);
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
        platform::SetContactsKeptBound(kAll);
    }
}

// Something other than a file at the contacts path: a FIFO nobody writes to (whose open would
// wait for a writer), a link to a device that never ends, a folder. Each is a store without
// contacts at once; each runs in a process of its own, which an alarm ends should the logon hang.
TEST(ContactStoreReading, TakesWhatIsNotAFileAsNoContacts) {
    enum class NotAFile { Fifo, EndlessDevice, Folder };
    const struct {
        const char* name;
        NotAFile kind;
    } cases[] = {
        {"FIFO", NotAFile::Fifo},
        {"link to /dev/zero", NotAFile::EndlessDevice},
        {"folder", NotAFile::Folder},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        testdata::RunInFreshProcess([&] {
            ::alarm(10);
            testdata::TempDeviceRoot root;
            ASSERT_TRUE(root.InstallModule(u"pimstore.dll"));
            const std::filesystem::path host = root.HostPathOf(platform::kContactsFilePath);
            std::filesystem::create_directories(host.parent_path());
            switch (c.kind) {
            case NotAFile::Fifo:
                ASSERT_EQ(::mkfifo(host.c_str(), 0600), 0);
                break;
            case NotAFile::EndlessDevice:
                std::filesystem::create_symlink("/dev/zero", host);
                break;
            case NotAFile::Folder:
                std::filesystem::create_directory(host);
                break;
            }
            void* object = nullptr;
            ASSERT_EQ(CoCreateInstance(CLSID_ContactApplication, nullptr, CLSCTX_INPROC_SERVER,
                                       IID_ContactApplication, &object),
                      S_OK);
            auto* application = static_cast<IContactApplication*>(object);
            int count = -1;
            EXPECT_EQ(ReadStore(*application, &count), std::vector<std::u16string>{});
            EXPECT_EQ(count, 0);
            application->Release();
            ::alarm(0);
        });
    }
}

// Output of a logon: nothing on standard error, no debug line for a file read as it is (an
// address book's export with groups, labels and photos), one for a file it cannot take whole or
// in part.
TEST(ContactStoreReading, WritesOneDebugLineForWhatItCannotTake) {
    testdata::VCardStyle apple;
    apple.groups = true;
    apple.types = testdata::VCardTypes::Repeated;
    std::vector<testdata::VCardContact> contacts = testdata::DemoContacts();
    for (testdata::VCardContact& contact : contacts) {
        contact.photoBytes = 5000;
        contact.otherLines = {"item9.TEL;type=CELL;type=VOICE;type=pref:+423 000 00 00",
                              "X-ABShowAs:COMPANY", "NOTE:a\\b;c",
                              "BDAY;X-APPLE-OMIT-YEAR=1604:1604-05-06"};
    }
    const std::string exported = testdata::WriteVCards(contacts, apple);
    testdata::VCardContact many = contacts[0];
    many.otherLines = {"ADR:;;Street 1;Vaduz;;9490;LI" + std::string(100000, ';'),
                       "ADR:;;Street 2;Vaduz;;9490;LI;;"};
    const struct {
        const char* name;
        std::optional<std::string> file;
        bool folder; // a folder where the file should be
        std::size_t keptBound;
        std::vector<std::u16string> parts; // of the debug lines, one each
    } cases[] = {
        {"an export", exported, false, platform::kMaxKeptContactBytes, {}},
        {"lines with too many components",
         testdata::WriteVCards({many}, apple),
         false,
         platform::kMaxKeptContactBytes,
         {u"2 lines with more components"}},
        {"past the bound",
         testdata::WriteVCards(testdata::DemoContacts(), apple),
         false,
         1000,
         {u"pass the 1000 bytes"}},
        {"longer than the bytes read for the bound",
         exported,
         false,
         1000,
         {u"longer than the 4000 bytes read"}},
        {"no vCard", "\x89PNG\r\n", false, platform::kMaxKeptContactBytes, {u"no vCard"}},
        {"missing", std::nullopt, false, platform::kMaxKeptContactBytes, {u"missing"}},
        {"a folder", std::nullopt, true, platform::kMaxKeptContactBytes, {u"not a file"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        testdata::TempDeviceRoot root;
        ASSERT_TRUE(root.InstallModule(u"pimstore.dll"));
        if (c.file) {
            ASSERT_TRUE(root.WriteFile(platform::kContactsFilePath, *c.file));
        }
        if (c.folder) {
            std::filesystem::create_directories(root.HostPathOf(platform::kContactsFilePath));
        }
        platform::SetContactsKeptBound(c.keptBound);
        void* object = nullptr;
        ASSERT_EQ(CoCreateInstance(CLSID_ContactApplication, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_ContactApplication, &object),
                  S_OK);
        auto* application = static_cast<IContactApplication*>(object);
        platform::DebugOutputCapture capture;
        testing::internal::CaptureStderr();
        (void)application->Logon(0);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), ""); // no warnings of its own either
        const std::vector<std::u16string> texts = capture.Texts();
        ASSERT_EQ(texts.size(), c.parts.size());
        for (std::size_t i = 0; i < texts.size(); ++i) {
            EXPECT_NE(texts[i].find(c.parts[i]), std::u16string::npos) << i;
        }
        (void)application->Logoff();
        application->Release();
        platform::SetContactsKeptBound(platform::kMaxKeptContactBytes);
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
