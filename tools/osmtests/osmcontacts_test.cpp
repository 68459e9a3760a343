// The contact destination page over the converted extract and the real server: the demo
// contacts listed, and a contact's work address "Äulestrasse 12, 9490 Vaduz" resolved to the
// city, its country and the street.
#include "app/contacts/extcontactdlg.h"
#include "app/destinations/addresspage.h"
#include "basiccomp/retrievalengine/code/retrievalengineimpl.h"
#include "testdata/vcardwriter.h"
#include "tools/osmtests/convertedextract.h"
#include "utilities/usefulcode/apppaths.h"

#include "platform/files/modules.h"
#include "platform/shell/modulepath.h"
#include "platform/shell/resources.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

class ExtractContacts : public ConvertedExtract {
protected:
    static void SetUpTestSuite() {
        osm2nav::ConvertOptions options;
        options.advisorData = NAV_DEMO_DATA;
        ConvertOnce({{"contacts", options}});
    }

    void SetUp() override {
        ASSERT_TRUE(s_root->WriteFile(u"\\Windows\\Quarn.ini",
                                      "[Quarn]\r\nDB=\\contacts\r\n[Properties]\r\nConfigFilesDir="
                                      "\\contacts\\ConfigFiles\r\n[GPS]\r\nAutoLog=0\r\n"));
        ASSERT_TRUE(s_root->InstallModule(u"pimstore.dll"));
        ASSERT_TRUE(s_root->WriteFile(
            platform::kContactsFilePath,
            testdata::WriteVCards(testdata::DemoContacts(), testdata::VCardVersion::V40)));
        platform::SetExecutablePath(u"\\Nav\\nav.exe");
        const auto bundle =
            testdata::ReadHostFile(std::filesystem::path(NAV_LANGUAGE_DIR) / "LangEngCE.dll");
        ASSERT_TRUE(bundle && s_root->WriteFile(u"\\Windows\\LangEngCE.dll", *bundle));
        m_module = LoadLibraryW(u"LangEngCE.dll");
        ASSERT_NE(m_module, nullptr);
        platform::SetResourceInstance(m_module);
        m_engine = RetrievalEngineImpl::CreateEngine(BlockCache::Create(2048));
        m_server = CreateIOnboardServer(RetrievalEngine::RetrievalEnginePtr(m_engine));
        ASSERT_TRUE(m_server && m_engine->IsOpen());
        PickedDestination::Instance().Clear();
    }
    void TearDown() override {
        ContactSession::ReleaseInstance();
        m_server.Release();
        m_engine.Release();
        platform::SetResourceInstance(nullptr);
        if (m_module != nullptr) {
            (void)FreeLibrary(m_module);
        }
        platform::SetExecutablePath(u"");
    }

    class Mode final : public ContactPageOwner {
    public:
        void OnPageCommand(int command, HWND) override { commands.push_back(command); }
        void RefreshMainPage() override { ++refreshes; }
        std::vector<int> commands;
        int refreshes = 0;
    };

    HMODULE m_module = nullptr;
    six::RefCntPtr<RetrievalEngineImpl> m_engine;
    Onboard::OnboardServerPtr m_server;
};

TEST_F(ExtractContacts, ResolvesTheWorkAddressToVaduzAndItsStreet) {
    Mode mode;
    DestinationDescription destination;
    auto page = CreateContactPage(m_server, mode, destination, 420);
    page->FillList();
    ASSERT_FALSE(page->GetEntries().empty());
    const ContactAddress& first = page->GetEntries()[0];
    EXPECT_EQ(first.city, u"Vaduz");
    EXPECT_EQ(first.street, u"\u00C4ulestrasse");
    EXPECT_EQ(first.houseNumber, u"12");
    EXPECT_EQ(first.postalCode, u"9490");
    std::vector<std::u16string> prompts;
    page->SetListChooser(
        [&](const std::vector<std::u16string>&, const std::u16string& prompt, UINT) {
            prompts.push_back(prompt);
            return 0;
        });
    std::vector<UINT> messages;
    page->SetMessageShower([&](UINT id) { messages.push_back(id); });
    page->SetCurSel(0);
    page->ChooseAddress();
    EXPECT_EQ(prompts, std::vector<std::u16string>{}) << "nothing to ask";
    EXPECT_EQ(messages, std::vector<UINT>{});
    EXPECT_EQ(mode.commands, std::vector<int>{ExtContactDlg::kMainPageCommand});
    EXPECT_EQ(mode.refreshes, 1);
    ASSERT_TRUE(destination.city);
    EXPECT_EQ(destination.city->GetName(), u"Vaduz");
    ASSERT_TRUE(destination.street);
    EXPECT_EQ(destination.street->GetName(), u"\u00C4ulestrasse");
    ASSERT_TRUE(destination.country);
    EXPECT_FALSE(destination.country->GetName().empty());
    EXPECT_FALSE(destination.location);
}

} // namespace
