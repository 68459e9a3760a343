// A TMC message from 28 arbitrary bytes over the sample database read from memory: decoding,
// lifetime, texts and element ids. The lifetime is never 0 and the texts end.

#include "traffic/fuzz/tmcmemorydatabase.h"
#include "traffic/tmcmessage.h"
#include "utilities/usefulcode/memoryarena.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool isReserved = MemoryArena::Shared().Reserve(8 << 20);
    static const TmcDatabasePtr database = [] {
        TmcDatabasePtr made = CreateTmcDatabase(BlockCache::Create(64));
        if (made) {
            AttachMemoryTables(*made, nullptr, {});
        }
        return made;
    }();
    if (size < sizeof(TmcRawMessage) || !isReserved || !database) {
        return 0;
    }
    TmcRawMessage raw{};
    std::memcpy(&raw, data, sizeof raw);
    TmcMessage message(raw, *database, nullptr, 0);
    (void)message.GetDuration();
    (void)message.GetExtent();
    (void)message.GetLocationCode();
    if (message.ComputeLifetime() == 0) {
        __builtin_trap();
    }
    if (message.IsValid()) {
        message.BuildText();
        if (message.GetText().size() != message.GetNarrowText().size()) {
            __builtin_trap();
        }
        (void)message.GetElementIds().size();
        (void)message.GetCountryText();
        (void)message.SameSituation(message);
    }
    return 0;
}
