#include "platform/contacts/pimstore.h"

#include "platform/contacts/vcardreader.h"
#include "platform/files/files.h"
#include "platform/files/modules.h"
#include "platform/kernel/codepage.h"
#include "platform/kernel/debug.h"
#include "platform/kernel/handles.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

constexpr std::u16string_view kModuleName = u"pimstore.dll";
// Bytes read from the contacts file at a time.
constexpr DWORD kReadBytes = 64u << 10;
// The most bytes read from the contacts file, in times the bound on what is kept: a file longer
// than that (photos of every contact, or one that never ends) is given up in bounded time.
constexpr std::size_t kReadBoundFactor = 4;

std::atomic<int> g_failingItem{0};
std::atomic<long> g_outstandingStrings{0};
std::atomic<std::size_t> g_keptBound{platform::kMaxKeptContactBytes};

using platform::ContactList;

void DebugLine(const std::u16string& text) {
    OutputDebugStringW(text.c_str());
}

// Reads the contacts file through the device file layer in one pass into contacts. False (with
// a debug line) when the file exists but cannot be read, or its contacts pass the bound on what
// is kept, or it is longer than the bytes read for that bound; a missing file, or something
// other than a file at its path (a folder, a FIFO, a device), is a store without contacts.
bool ReadContactsFile(ContactList& contacts) {
    const std::u16string path(platform::kContactsFilePath);
    const std::size_t keptBound = g_keptBound.load(std::memory_order_relaxed);
    const std::size_t readBound =
        keptBound > SIZE_MAX / kReadBoundFactor ? SIZE_MAX : keptBound * kReadBoundFactor;
    // The open does not wait (for the writer of a FIFO, say), and what is read is a file's.
    const platform::OpenedFile opened = platform::OpenDeviceFile(
        path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN);
    struct stat info {};
    if (!opened.file) {
        if (opened.error == ERROR_FILE_NOT_FOUND || opened.error == ERROR_PATH_NOT_FOUND) {
            DebugLine(path + u": missing, no contacts\n");
            return true;
        }
        const DWORD attributes = GetFileAttributesW(path.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            DebugLine(path + u": not a file, no contacts\n");
            return true;
        }
        DebugLine(path + u": cannot be opened\n");
        return false;
    }
    if (::fstat(opened.file->Descriptor(), &info) != 0) {
        DebugLine(path + u": cannot be opened\n");
        return false;
    }
    if (!S_ISREG(info.st_mode)) {
        DebugLine(path + u": not a file, no contacts\n");
        return true;
    }
    platform::VCardReader reader(keptBound);
    std::string buffer(kReadBytes, '\0');
    bool readAll = true;
    std::size_t total = 0;
    bool tooLong = static_cast<std::uint64_t>(info.st_size) > readBound;
    while (!tooLong) {
        DWORD read = 0;
        if (opened.file->Read(buffer.data(), kReadBytes, read) != ERROR_SUCCESS) {
            readAll = false;
            break;
        }
        if (read == 0) {
            break;
        }
        total += read;
        tooLong = total > readBound; // a file growing while it is read
        reader.Read(std::string_view(buffer.data(), read));
        if (reader.PassedBound()) {
            break;
        }
    }
    reader.Finish();
    if (!readAll) {
        DebugLine(path + u": read failed\n");
        return false;
    }
    if (tooLong) {
        DebugLine(path + u": longer than the " + platform::AnsiToWide(std::to_string(readBound)) +
                  u" bytes read for contacts\n");
        return false;
    }
    if (reader.PassedBound()) {
        DebugLine(path + u": its contacts pass the " +
                  platform::AnsiToWide(std::to_string(keptBound)) + u" bytes the store keeps\n");
        return false;
    }
    if (reader.CutLines() != 0) {
        DebugLine(path + u": " + platform::AnsiToWide(std::to_string(reader.CutLines())) +
                  u" lines with more components than N or ADR has, the rest dropped\n");
    }
    contacts = reader.TakeContacts();
    if (contacts.empty() && total != 0) {
        DebugLine(path + u": no vCard in the file, no contacts\n");
    }
    return true;
}

HRESULT HandOut(const std::u16string& text, BSTR* out) {
    if (out == nullptr) {
        return E_POINTER;
    }
    auto* copy = new WCHAR[text.size() + 1];
    text.copy(copy, text.size());
    copy[text.size()] = 0;
    g_outstandingStrings.fetch_add(1, std::memory_order_relaxed);
    *out = copy;
    return S_OK;
}

// Reference counting shared by the store's objects.
template <class Interface> class Counted : public Interface {
public:
    virtual ~Counted() = default;
    Counted() = default;
    Counted(const Counted&) = delete;
    Counted& operator=(const Counted&) = delete;

    ULONG Release() override {
        const ULONG left = --m_references;
        if (left == 0) {
            delete this;
        }
        return left;
    }

private:
    ULONG m_references = 1;
};

class ContactItem final : public Counted<IContactItem> {
public:
    explicit ContactItem(std::shared_ptr<const ContactList> contacts, std::size_t index)
        : m_contacts(std::move(contacts))
        , m_fields((*m_contacts)[index]) {}

    HRESULT get_Organisation(BSTR* t) override { return HandOut(m_fields.organisation, t); }
    HRESULT get_GivenName(BSTR* t) override { return HandOut(m_fields.givenName, t); }
    HRESULT get_FamilyName(BSTR* t) override { return HandOut(m_fields.familyName, t); }
    HRESULT get_HomeStreet(BSTR* t) override { return HandOut(Address(1).street, t); }
    HRESULT get_HomeCity(BSTR* t) override { return HandOut(Address(1).locality, t); }
    HRESULT get_HomePostalCode(BSTR* t) override { return HandOut(Address(1).postalCode, t); }
    HRESULT get_OtherStreet(BSTR* t) override { return HandOut(Address(2).street, t); }
    HRESULT get_OtherCity(BSTR* t) override { return HandOut(Address(2).locality, t); }
    HRESULT get_OtherPostalCode(BSTR* t) override { return HandOut(Address(2).postalCode, t); }
    HRESULT get_BusinessStreet(BSTR* t) override { return HandOut(Address(0).street, t); }
    HRESULT get_BusinessCity(BSTR* t) override { return HandOut(Address(0).locality, t); }
    HRESULT get_BusinessPostalCode(BSTR* t) override { return HandOut(Address(0).postalCode, t); }

private:
    const platform::ContactAddressFields& Address(std::size_t slot) const {
        return m_fields.addresses[slot];
    }

    std::shared_ptr<const ContactList> m_contacts; // keeps m_fields alive
    const platform::ContactFields& m_fields;
};

class ContactItems final : public Counted<IContactItems> {
public:
    explicit ContactItems(std::shared_ptr<const ContactList> contacts)
        : m_contacts(std::move(contacts)) {}

    HRESULT get_Count(int* count) override {
        if (count == nullptr) {
            return E_POINTER;
        }
        *count = static_cast<int>(m_contacts->size());
        return S_OK;
    }

    HRESULT Item(int index, IContactItem** item) override {
        if (item == nullptr) {
            return E_POINTER;
        }
        *item = nullptr;
        if (index < 1 || static_cast<std::size_t>(index) > m_contacts->size()) {
            return E_INVALIDARG;
        }
        if (index == g_failingItem.load(std::memory_order_relaxed)) {
            return E_FAIL;
        }
        *item = new ContactItem(m_contacts, static_cast<std::size_t>(index - 1));
        return S_OK;
    }

private:
    std::shared_ptr<const ContactList> m_contacts;
};

class ContactFolder final : public Counted<IContactFolder> {
public:
    explicit ContactFolder(std::shared_ptr<const ContactList> contacts)
        : m_contacts(std::move(contacts)) {}

    HRESULT get_Items(IContactItems** items) override {
        if (items == nullptr) {
            return E_POINTER;
        }
        *items = new ContactItems(m_contacts);
        return S_OK;
    }

private:
    std::shared_ptr<const ContactList> m_contacts;
};

class ContactApplication final : public Counted<IContactApplication> {
public:
    explicit ContactApplication(HMODULE module)
        : m_module(module) {}
    ~ContactApplication() override { FreeLibrary(m_module); }

    HRESULT Logon(LONG_PTR window) override {
        if (window != 0) {
            return E_INVALIDARG;
        }
        auto contacts = std::make_shared<ContactList>();
        if (!ReadContactsFile(*contacts)) {
            m_contacts.reset();
            return E_FAIL;
        }
        m_contacts = std::move(contacts);
        return S_OK;
    }

    HRESULT Logoff() override {
        m_contacts.reset();
        return S_OK;
    }

    HRESULT GetDefaultFolder(int folder, IContactFolder** result) override {
        if (result == nullptr) {
            return E_POINTER;
        }
        *result = nullptr;
        if (folder != kContactsFolder) {
            return E_INVALIDARG;
        }
        if (!m_contacts) {
            return E_FAIL;
        }
        *result = new ContactFolder(m_contacts);
        return S_OK;
    }

    void FreeString(BSTR text) override {
        if (text != nullptr) {
            g_outstandingStrings.fetch_sub(1, std::memory_order_relaxed);
            delete[] text;
        }
    }

private:
    HMODULE m_module;
    std::shared_ptr<const ContactList> m_contacts; // null while logged off
};

HRESULT DllRegisterServer() {
    return S_OK;
}

const platform::ModuleRegistration
    kRegistration(kModuleName, {platform::Export(u"DllRegisterServer", &DllRegisterServer)});

} // namespace

HRESULT CoCreateInstance(const GUID& classId, void* outer, DWORD context, const GUID& interfaceId,
                         void** object) {
    if (object == nullptr) {
        return E_POINTER;
    }
    *object = nullptr;
    if (classId != CLSID_ContactApplication || (context & CLSCTX_INPROC_SERVER) == 0) {
        return REGDB_E_CLASSNOTREG;
    }
    if (outer != nullptr) {
        return CLASS_E_NOAGGREGATION;
    }
    if (interfaceId != IID_ContactApplication) {
        return E_NOINTERFACE;
    }
    const std::u16string name(kModuleName);
    HMODULE module = LoadLibraryW(name.c_str());
    if (module == nullptr) {
        return REGDB_E_CLASSNOTREG;
    }
    *object = static_cast<IContactApplication*>(new ContactApplication(module));
    return S_OK;
}

namespace platform {

void FailContactItem(int index) {
    g_failingItem.store(index, std::memory_order_relaxed);
}

void SetContactsKeptBound(std::size_t bytes) {
    g_keptBound.store(bytes, std::memory_order_relaxed);
}

long OutstandingContactStrings() {
    return g_outstandingStrings.load(std::memory_order_relaxed);
}

} // namespace platform

extern "C" void NavBuiltinModule_pimstore() {}
