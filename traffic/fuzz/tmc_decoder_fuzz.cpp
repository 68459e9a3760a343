// Fuzzes the RDS-TMC decoder with arbitrary text, fed in pieces whose sizes come from the first
// byte. Every finished message must keep the record's rules: bytes 22-23 zero; a multi-group
// message has its continuity index cleared and no free-format bits beyond the groups received;
// a single-group message has no free-format bits at all. Whole groups are counted for lines of
// their own only.

#include "traffic/tmcdecoder.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

bool HasBitsFrom(const TmcRawMessage& message, int firstBit) {
    for (int bit = firstBit; bit < 8 * static_cast<int>(sizeof message.freeFormat); ++bit) {
        if ((message.freeFormat[bit / 8] & (0x80U >> (bit % 8))) != 0) {
            return true;
        }
    }
    return false;
}

void Check(const TmcRawMessage& message, int buildState) {
    if (message.reserved[0] != 0 || message.reserved[1] != 0) {
        std::abort();
    }
    if ((message.blockBLow & 0x10U) != 0) {
        std::abort(); // T = 1 is never decoded
    }
    const bool isSingle = (message.blockBLow & 0x08U) != 0;
    if (isSingle) {
        if (HasBitsFrom(message, 0)) {
            std::abort();
        }
        return;
    }
    if ((message.blockBLow & 0x07U) != 0 || buildState < 2 || buildState > 5 ||
        HasBitsFrom(message, (buildState - 1) * 28)) {
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const int pieceSize = 1 + data[0] % 32;
    const char* text = reinterpret_cast<const char*>(data + 1);
    int remaining = static_cast<int>(size - 1);
    TmcDecoder decoder;
    std::uint64_t lineEnds = 0;
    while (remaining > 0) {
        const int piece = remaining < pieceSize ? remaining : pieceSize;
        const int consumed = decoder.Decode(text, piece);
        if (consumed <= 0 || consumed > piece) {
            std::abort();
        }
        if (const TmcRawMessage* message = decoder.TakeMessage()) {
            Check(*message, decoder.GetBuildState());
            if (decoder.IsMessageReady() || decoder.TakeMessage() != nullptr) {
                std::abort();
            }
        } else if (consumed < piece) {
            std::abort(); // stopping early means a message is ready
        }
        if (decoder.GetLocationTableNumber() > 63) {
            std::abort();
        }
        for (int index = 0; index < consumed; ++index) {
            lineEnds += text[index] == '\n' || text[index] == '\r' ? 1 : 0;
        }
        text += consumed;
        remaining -= consumed;
    }
    // A group counts for a line of its own: one at most for each line end, and the last line.
    if (decoder.EndInput()) {
        Check(*decoder.TakeMessage(), decoder.GetBuildState());
    }
    if (decoder.GetGroupCount() > lineEnds + 1) {
        std::abort();
    }
    return 0;
}
