// Feeds arbitrary bytes, in pieces of the reader's size, to a parser loaded with the shipped
// NMEA definition; the buffer must stay below its limit, and fixes must fill and format.
#include "positioning/sentenceparser.h"
#include "utilities/usefulcode/iniprofile.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

constexpr char kSettings[] =
    "[NMEA]\n"
    "Input1=GPGGA,utctime,latitude,ns,longitude,ew,quality,satellites,hdop\n"
    "Input2=GPVTG,course,,,,,,speed\n";

SentenceParser& Parser() {
    static auto* parser = [] {
        IniProfile::PreloadText(u"\\fuzz\\deziv.ini", kSettings);
        auto* made = new SentenceParser;
        made->Load(u"\\fuzz\\deziv.ini", u"NMEA");
        return made;
    }();
    return *parser;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    SentenceParser& parser = Parser();
    if (parser.GetInputCount() != 2) {
        std::abort();
    }
    const char* bytes = reinterpret_cast<const char*>(data);
    for (std::size_t at = 0; at < size; at += 32) {
        parser.Feed(bytes + at, std::min<std::size_t>(32, size - at));
        if (parser.GetBufferedLength() >= SentenceParser::kMaxUnterminated + 32) {
            std::abort();
        }
        if (parser.IsCycleComplete()) {
            GpsFix fix;
            parser.FillFix(fix);
            std::u16string text;
            parser.FormatFix(fix, text);
            parser.ResetCycle();
        }
    }
    return 0;
}
