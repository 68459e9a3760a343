// Feeds arbitrary bytes to a parser loaded with a GGA+VTG or a GSA+RMC (status) definition, in
// pieces of 1 to 4096 bytes (both chosen by the input's size); the buffer must stay below its
// limit, every completed cycle must fill and format, and taking them must empty the queue.
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
    "Input2=GPVTG,course,,,,,,speed\n"
    "[RMC]\n"
    "Input1=GPGSA,,,,,,,,,,,,,,,,hdop\n"
    "Input2=GPRMC,utctime,status,latitude,ns,longitude,ew,speed,course\n"
    "speedMultiplier=1.852\n";

SentenceParser& Parser(bool isRmc) {
    static SentenceParser* parsers = [] {
        IniProfile::PreloadText(u"\\fuzz\\deziv.ini", kSettings);
        auto* made = new SentenceParser[2];
        made[0].Load(u"\\fuzz\\deziv.ini", u"NMEA");
        made[1].Load(u"\\fuzz\\deziv.ini", u"RMC");
        return made;
    }();
    return parsers[isRmc ? 1 : 0];
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    SentenceParser& parser = Parser(size % 2 == 1);
    if (parser.GetInputCount() != 2) {
        std::abort();
    }
    constexpr std::size_t kPieces[] = {32, 1, 7, 256, 4096};
    const std::size_t piece = kPieces[size / 2 % 5];
    const char* bytes = reinterpret_cast<const char*>(data);
    for (std::size_t at = 0; at < size; at += piece) {
        const std::size_t count = std::min(piece, size - at);
        parser.Feed(bytes + at, count);
        if (parser.GetBufferedLength() >= SentenceParser::kMaxUnterminated) {
            std::abort();
        }
        while (parser.IsCycleComplete()) {
            if (parser.GetCharactersAfterCycle() >= at + count) {
                std::abort(); // a cycle ends within the bytes fed
            }
            GpsFix fix;
            parser.FillFix(fix);
            std::u16string text;
            parser.FormatFix(fix, text);
            (void)parser.PacingDelay();
            parser.ResetCycle();
        }
    }
    return 0;
}
