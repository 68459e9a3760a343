// Fuzzes advice decoding from memory: any bytes decode into whole advices only, each text within
// its field, and decoding the same bytes again gives the same records.

#include "advisor/advicelist.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    AdviceList list;
    list.encoding.AddPiece(u"TurnLeft=1\n");
    list.encoding.AddPiece(u"SOA.Left.A1=2\n");
    const auto length = static_cast<std::int32_t>(size);
    list.DecodeRecords(data, length);
    // Every advice is at least 27 bytes long.
    if (list.Size() * 27 > size) {
        std::abort();
    }
    AdviceList again;
    again.DecodeRecords(data, length);
    if (again.Size() != list.Size()) {
        std::abort();
    }
    for (const AdviceRecord& record : list.Records()) {
        if (record.fromStreet.View().size() > 63 || record.junction.roadClass.View().size() > 2 ||
            (record.junction.flags & ~0x3u) != 0) {
            std::abort();
        }
    }
    return 0;
}
