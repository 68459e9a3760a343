#pragma once
// The program's one connection to the device's contact store ("pimstore.dll"): ContactSession
// logs on, opens the contacts folder, takes the number of contacts once and copies contacts into
// plain records. One session is shared by the process through a CountedPtr (Instance).
// User-interface thread only.

#include "six/countedptr.h"

#include "platform/contacts/pimstore.h"

#include <array>
#include <string>
#include <thread>
#include <vector>

// Twenty texts of one contact, all empty when made. Filled: 1 (organisation, shown after the
// first address's label), 9 and 10 (given and family name), the first address 11-13 (street,
// postal code, city), the second 14-16 and the third 17-19.
struct ContactRecord {
    std::array<std::u16string, 20> strings;
};

class ContactSession {
public:
    // Registers the store, initialises the component library for this thread and logs on; with
    // no store, no logon or no contacts folder the session has no contacts (a failed logon is
    // reported by GetContacts).
    ContactSession();
    virtual ~ContactSession();
    ContactSession(const ContactSession&) = delete;
    ContactSession& operator=(const ContactSession&) = delete;

    // A copy of the shared session, made on the first call or after the last copy was released;
    // empty when it cannot be made.
    [[nodiscard]] static CountedPtr<ContactSession> Instance();
    // Empties the shared pointer (at process exit); the session ends with its last copy.
    static void ReleaseInstance();

    // Appends one record per contact. 1 when every item was read (also with none); 0 when the
    // store gave no item for an index (the records read before it stay), or when its logon
    // failed (its contacts file could not be read whole).
    [[nodiscard]] virtual int GetContacts(std::vector<ContactRecord>& records);

    // Number of contacts when the session was made.
    [[nodiscard]] int GetCount() const { return m_count; }

private:
    IContactApplication* m_application = nullptr;
    IContactItems* m_items = nullptr;
    IContactFolder* m_folder = nullptr;
    int m_count = 0;
    bool m_logonFailed = false;
    // The COM initialisation the session took, given back by its destructor on the same thread.
    bool m_isComInitialized = false;
    std::thread::id m_comThread;
};

// Loads "pimstore.dll", calls its DllRegisterServer and frees it: that result, or E_FAIL when the
// library or the entry point is missing.
[[nodiscard]] HRESULT RegisterContactStore();
