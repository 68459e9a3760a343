// Loads a protocol definition from arbitrary settings text given in memory, then parses and
// formats a fixed receiver cycle with it.
#include "positioning/sentenceparser.h"
#include "utilities/usefulcode/iniprofile.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    IniProfile::PreloadText(u"\\fuzz\\deziv.ini",
                            std::string_view(reinterpret_cast<const char*>(data), size));
    SentenceParser parser;
    parser.Load(u"\\fuzz\\deziv.ini", u"NMEA");
    if (parser.GetInputCount() > 9 || parser.GetBufferedLength() != 0) {
        std::abort();
    }
    constexpr std::string_view kCycle =
        "$GPGGA,120000.00,4706.0000,N,00931.2000,E,1,08,1.1,455.0,M,48.0,M,,*69\r\n"
        "$GPVTG,090.0,T,,M,027.0,N,050.0,K*4E\r\n";
    parser.Feed(kCycle.data(), kCycle.size());
    GpsFix fix;
    parser.FillFix(fix);
    std::u16string text;
    parser.FormatFix(fix, text);
    parser.Feed(nullptr, 0);
    (void)parser.GetInitText();
    (void)parser.PacingDelay();
    return 0;
}
