// Sign information over arbitrary ADAS records (patches over a valid record, or the raw bytes):
// every field and every text entry is read; nothing may read outside the record or loop.
#include "basiccomp/retrievalengine/code/signinfo.h"
#include "testdata/addressindexwriter.h"
#include "testdata/fuzzinput.h"

#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::vector<std::uint8_t> base = testdata::EncodeAdasRecord(
        5, {3,
            0xB0912345,
            {{0x1234, "A1", true, {}}, {0x5, "", false, {}}, {0x9, "x", true, {}}},
            {}});
    SignInfo info(testdata::FileFromFuzzInput(base, data, size), u"Stop");
    volatile std::uint32_t sink = info.GetValue1() + info.GetValue2() + info.GetValue3() +
                                  info.GetValue4() +
                                  static_cast<std::uint32_t>(info.GetSignedValue());
    std::vector<SignNote> notes;
    sink = sink + static_cast<std::uint32_t>(info.GetNotes(notes).size());
    SignTextIteratorPtr entries;
    info.GetTextEntries(entries);
    for (int steps = 0; entries && entries->IsValid() && steps < 100000; entries->Next(), ++steps) {
        sink = sink + static_cast<std::uint32_t>(entries->GetCurrent().text.size());
    }
    (void)sink;
    return 0;
}
