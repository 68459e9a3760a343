// Fuzzes the "encode.properties" line rules from memory: the input, as code page 1252 text, is
// cut into pieces as the stream reader hands them out (at most 511 characters, each up to and
// with its "\n"); no name may keep a "#" or a line end.

#include "advisor/encodeproperties.h"

#include "platform/kernel/codepage.h"

#include <algorithm>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    constexpr std::size_t kPieceCharacters = 511;
    const std::u16string text =
        platform::AnsiToWide(std::string_view(reinterpret_cast<const char*>(data), size));
    EncodeProperties properties;
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = std::min(text.size(), start + kPieceCharacters);
        const std::size_t lineEnd = text.find(u'\n', start);
        if (lineEnd != std::u16string::npos && lineEnd < end) {
            end = lineEnd + 1;
        }
        properties.AddPiece(text.substr(start, end - start));
        start = end;
    }
    for (const auto& [name, code] : properties.GetCodes()) {
        (void)code;
        if (name.find(u'#') != std::u16string::npos || name.find(u'\n') != std::u16string::npos) {
            std::abort();
        }
    }
    return 0;
}
