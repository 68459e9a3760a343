#include "app/contacts/contactsession.h"

#include "platform/files/modules.h"
#include "platform/kernel/com.h"

#include <new>

namespace {

// The shared session; emptied when the process ends.
CountedPtr<ContactSession>& SharedSession() {
    static CountedPtr<ContactSession> session;
    return session;
}

using PropertyGetter = HRESULT (IContactItem::*)(BSTR*);

// The twelve properties in the order they are read, with the record text each fills.
struct PropertyCopy {
    PropertyGetter getter;
    std::size_t string;
};
constexpr PropertyCopy kProperties[] = {
    {&IContactItem::get_GivenName, 9},        {&IContactItem::get_FamilyName, 10},
    {&IContactItem::get_Organisation, 1},     {&IContactItem::get_HomeStreet, 14},
    {&IContactItem::get_HomePostalCode, 15},  {&IContactItem::get_HomeCity, 16},
    {&IContactItem::get_BusinessStreet, 11},  {&IContactItem::get_BusinessPostalCode, 12},
    {&IContactItem::get_BusinessCity, 13},    {&IContactItem::get_OtherStreet, 17},
    {&IContactItem::get_OtherPostalCode, 18}, {&IContactItem::get_OtherCity, 19},
};

} // namespace

HRESULT RegisterContactStore() {
    HMODULE module = LoadLibraryW(u"pimstore.dll");
    if (module == nullptr) {
        return E_FAIL;
    }
    using RegisterServer = HRESULT (*)();
    HRESULT result = E_FAIL;
    if (FARPROC entry = GetProcAddressW(module, u"DllRegisterServer")) {
        result = reinterpret_cast<RegisterServer>(entry)();
    }
    FreeLibrary(module);
    return result;
}

ContactSession::ContactSession() {
    (void)RegisterContactStore(); // creation goes on without a registration
    const HRESULT com = CoInitializeEx(nullptr, 0);
    m_isComInitialized = com == S_OK || com == S_FALSE;
    m_comThread = std::this_thread::get_id();
    void* object = nullptr;
    if (CoCreateInstance(CLSID_ContactApplication, nullptr, CLSCTX_INPROC_SERVER,
                         IID_ContactApplication, &object) != S_OK) {
        return;
    }
    m_application = static_cast<IContactApplication*>(object);
    if (m_application->Logon(0) != S_OK) {
        m_logonFailed = true;
        m_application->Release();
        m_application = nullptr;
        return;
    }
    if (m_application->GetDefaultFolder(kContactsFolder, &m_folder) != S_OK ||
        m_folder == nullptr) {
        m_folder = nullptr;
        (void)m_application->Logoff();
        m_application->Release();
        m_application = nullptr;
        return;
    }
    if (m_folder->get_Items(&m_items) != S_OK || m_items == nullptr) {
        m_items = nullptr;
        return;
    }
    if (m_items->get_Count(&m_count) != S_OK || m_count < 0) {
        m_count = 0;
    }
}

ContactSession::~ContactSession() {
    if (m_items != nullptr) {
        m_items->Release();
    }
    if (m_folder != nullptr) {
        m_folder->Release();
    }
    if (m_application != nullptr) {
        (void)m_application->Logoff();
        m_application->Release();
    }
    if (m_isComInitialized && m_comThread == std::this_thread::get_id())
        CoUninitialize();
}

CountedPtr<ContactSession> ContactSession::Instance() {
    CountedPtr<ContactSession>& shared = SharedSession();
    if (!shared) {
        shared = CountedPtr<ContactSession>(new (std::nothrow) ContactSession());
    }
    return shared;
}

void ContactSession::ReleaseInstance() {
    SharedSession().Release();
}

int ContactSession::GetContacts(std::vector<ContactRecord>& records) {
    if (m_logonFailed) {
        return 0;
    }
    if (m_count == 0 || m_items == nullptr) {
        return 1;
    }
    records.reserve(records.size() + static_cast<std::size_t>(m_count));
    for (int index = 1; index <= m_count; ++index) {
        IContactItem* item = nullptr;
        if (m_items->Item(index, &item) != S_OK || item == nullptr) {
            return 0;
        }
        // Filled in its place in the list: twenty texts are not moved once more.
        ContactRecord& record = records.emplace_back();
        for (const PropertyCopy& property : kProperties) {
            BSTR text = nullptr;
            if ((item->*property.getter)(&text) == S_OK && text != nullptr) {
                record.strings[property.string] = text;
            }
            m_application->FreeString(text);
        }
        item->Release();
    }
    return 1;
}
