#pragma once
// The sign tables of a map set: three tab-separated text files in its "adas" folder.
// "\Cookie2Sign.txt" maps an element's sign cookie to a sign number, "\Sign2Enum.txt" a sign
// number to a sign kind, "\Enum2Info.txt" a sign kind to its text. Code page 1252 text, lines
// ending in LF or CR LF (a last line may end at the file's end), read whole; a line without a
// TAB is skipped; the first line of a key wins. Loaded once and then only read.

#include <cstdint>
#include <map>
#include <string>
#include <string_view>

class SignTables {
public:
    SignTables() = default;
    virtual ~SignTables() = default;
    SignTables(const SignTables&) = delete;
    SignTables& operator=(const SignTables&) = delete;

    // Each loads its file from the folder: -1 when it cannot be opened (the map stays as it
    // was), else the map is replaced by the file's lines and the result is 0.
    virtual int LoadCookie2Sign();
    virtual int LoadSign2Enum();
    virtual int LoadEnum2Info();
    // Keeps the folder and loads the three files; true when "\Cookie2Sign.txt" and
    // "\Enum2Info.txt" loaded (a missing "\Sign2Enum.txt" leaves every text empty). An empty
    // folder gives false and changes nothing. Stops at a missing "\Cookie2Sign.txt".
    virtual bool Load(const std::u16string& folder);

    // The maps replaced by the lines of a file's bytes.
    void ReadCookie2Sign(std::string_view bytes);
    void ReadSign2Enum(std::string_view bytes);
    void ReadEnum2Info(std::string_view bytes);

    // The text of the kind of the cookie's sign (cookie without a sign: sign 0); empty when a
    // step finds nothing.
    [[nodiscard]] std::u16string GetSignText(std::uint32_t cookie) const;

private:
    int LoadFile(const char16_t* name, void (SignTables::*read)(std::string_view));

    std::map<std::uint32_t, std::uint16_t> m_cookieToSign;
    std::map<std::uint16_t, std::uint16_t> m_signToKind;
    std::map<std::uint16_t, std::u16string> m_kindToText;
    std::u16string m_folder;
};
