#pragma once
// The contact store "pimstore.dll": a built-in module exporting DllRegisterServer, and the one
// component class it serves, made by CoCreateInstance while the module's file exists. Behind the
// class the store reads "\My Documents\Contacts.vcf" (vCard) at each logon. The objects are
// reference counted and meant for one thread; the positions in the comments are each
// operation's place in the published interface (IUnknown and IDispatch count 0 to 6).

#include "platform/kernel/com.h"
#include "platform/types.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

struct GUID {
    std::uint32_t data1;
    std::uint16_t data2;
    std::uint16_t data3;
    std::uint8_t data4[8];
    friend bool operator==(const GUID&, const GUID&) = default;
};

// A string handed out by a property getter; free it with IContactApplication::FreeString.
using BSTR = WCHAR*;

constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005);
constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003);
constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002);
constexpr HRESULT CLASS_E_NOAGGREGATION = static_cast<HRESULT>(0x80040110);
constexpr HRESULT REGDB_E_CLASSNOTREG = static_cast<HRESULT>(0x80040154);
constexpr DWORD CLSCTX_INPROC_SERVER = 0x1;

// The contact application class and its interface.
constexpr GUID CLSID_ContactApplication = {
    0x05058F23, 0x20BE, 0x11D2, {0x8F, 0x18, 0x00, 0x00, 0xF8, 0x7A, 0x43, 0x35}};
constexpr GUID IID_ContactApplication = {
    0x05058F22, 0x20BE, 0x11D2, {0x8F, 0x18, 0x00, 0x00, 0xF8, 0x7A, 0x43, 0x35}};

// The folder number of the contacts for GetDefaultFolder.
constexpr int kContactsFolder = 10;

// One contact. Each getter gives a new string (empty when the contact has no such text, at most
// 1023 characters); S_OK, or E_POINTER for a null out pointer.
class IContactItem {
public:
    virtual ULONG Release() = 0;                            // position 2
    virtual HRESULT get_Organisation(BSTR* text) = 0;       // position 10: ORG
    virtual HRESULT get_GivenName(BSTR* text) = 0;          // position 32
    virtual HRESULT get_FamilyName(BSTR* text) = 0;         // position 34
    virtual HRESULT get_HomeStreet(BSTR* text) = 0;         // position 36
    virtual HRESULT get_HomeCity(BSTR* text) = 0;           // position 37
    virtual HRESULT get_HomePostalCode(BSTR* text) = 0;     // position 39
    virtual HRESULT get_OtherStreet(BSTR* text) = 0;        // position 41
    virtual HRESULT get_OtherCity(BSTR* text) = 0;          // position 42
    virtual HRESULT get_OtherPostalCode(BSTR* text) = 0;    // position 44
    virtual HRESULT get_BusinessStreet(BSTR* text) = 0;     // position 46
    virtual HRESULT get_BusinessCity(BSTR* text) = 0;       // position 47
    virtual HRESULT get_BusinessPostalCode(BSTR* text) = 0; // position 49

protected:
    ~IContactItem() = default;
};

// The items of the contacts folder, as they were at logon.
class IContactItems {
public:
    virtual ULONG Release() = 0;               // position 2
    virtual HRESULT get_Count(int* count) = 0; // position 8
    // index 1 to count: a new item (release it); E_INVALIDARG outside, E_FAIL for the item the
    // test switch names, E_POINTER for a null out pointer.
    virtual HRESULT Item(int index, IContactItem** item) = 0; // position 11

protected:
    ~IContactItems() = default;
};

class IContactFolder {
public:
    virtual ULONG Release() = 0;                          // position 2
    virtual HRESULT get_Items(IContactItems** items) = 0; // position 7

protected:
    ~IContactFolder() = default;
};

class IContactApplication {
public:
    virtual ULONG Release() = 0; // position 2
    // Reads the contacts file. A missing file, or one without a vCard, gives a store without
    // contacts and one debug line. A file that exists but cannot be read, or whose contacts pass
    // the bound on what the store keeps (SetContactsKeptBound), gives E_FAIL, a debug line and no
    // folder; a window handle other than 0 gives E_INVALIDARG.
    virtual HRESULT Logon(LONG_PTR window) = 0; // position 7
    virtual HRESULT Logoff() = 0;               // position 8
    // The contacts folder (10) after a logon; E_INVALIDARG for other folders, E_FAIL before
    // the logon or after the logoff.
    virtual HRESULT GetDefaultFolder(int folder, IContactFolder** result) = 0; // position 10
    // Frees a string from a getter; null is ignored.
    virtual void FreeString(BSTR text) = 0; // position 24

protected:
    ~IContactApplication() = default;
};

// Makes the contact application object. REGDB_E_CLASSNOTREG for another class, a context without
// CLSCTX_INPROC_SERVER or when "pimstore.dll" cannot be loaded; CLASS_E_NOAGGREGATION with an
// outer object; E_NOINTERFACE for another interface; E_POINTER for a null out pointer. The object
// keeps the module loaded until its last release.
[[nodiscard]] HRESULT CoCreateInstance(const GUID& classId, void* outer, DWORD context,
                                       const GUID& interfaceId, void** object);

namespace platform {

// The device path of the contacts file read at logon.
constexpr std::u16string_view kContactsFilePath = u"\\My Documents\\Contacts.vcf";

// Test switch: IContactItems::Item fails for this 1-based index from now on (0: none).
void FailContactItem(int index);

// The bound on what a logon keeps of the contacts file: records and their texts in bytes
// (default kMaxKeptContactBytes, 64 MiB); for tests.
void SetContactsKeptBound(std::size_t bytes);

// Strings handed out by getters and not yet freed (for leak checks in tests).
[[nodiscard]] long OutstandingContactStrings();

} // namespace platform
