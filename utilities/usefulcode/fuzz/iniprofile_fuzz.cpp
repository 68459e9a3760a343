// Feeds arbitrary bytes as a settings file to the scanning reads, to a preload that reads the
// file whole into the cache, and to a rewrite; a rewrite must leave a file in which the written
// value reads back and a key of another section reads as before. A file holding NUL bytes is
// damaged: the rewrite leaves its bytes as they were.
#include "testdata/tempdir.h"
#include "utilities/usefulcode/iniprofile.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static auto* root = new testdata::TempDeviceRoot; // one device for the whole run
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    if (!root->WriteFile(u"\\fuzz.ini", bytes)) {
        return 0;
    }
    (void)IniProfile::GetString(u"A", u"k", u"\\fuzz.ini", u"");
    (void)IniProfile::GetInt(u"a", u"K", u"\\fuzz.ini", 0);
    (void)IniProfile::GetDouble(u"A", u"d", u"\\fuzz.ini", 0.0);
    const std::u16string other = IniProfile::GetString(u"B", u"k", u"\\fuzz.ini", u"");
    if (root->WriteFile(u"\\preloaded.ini", bytes)) {
        // The same bytes read whole into the cache (replacing what the last input left there)
        // and read back from it.
        IniProfile::PreloadText(u"\\preloaded.ini", "");
        if (!IniProfile::Preload(u"\\preloaded.ini")) {
            std::abort();
        }
        (void)IniProfile::GetString(u"A", u"k", u"\\preloaded.ini", u"");
        (void)IniProfile::GetInt(u"a", u"K", u"\\preloaded.ini", 0);
    }
    (void)IniProfile::WriteString(u"A", u"k", u"written", u"\\fuzz.ini");
    if (bytes.find('\0') != std::string_view::npos) {
        if (root->ReadFile(u"\\fuzz.ini") != std::string(bytes)) {
            std::abort();
        }
        return 0;
    }
    if (IniProfile::GetString(u"A", u"k", u"\\fuzz.ini", u"") != u"written" ||
        IniProfile::GetString(u"B", u"k", u"\\fuzz.ini", u"") != other) {
        std::abort();
    }
    return 0;
}
