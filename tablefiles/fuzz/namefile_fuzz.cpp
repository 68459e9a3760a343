// Name files from arbitrary bytes: the input's first bytes give offsets to read, the rest is laid
// over a valid name file. Every read must stay inside its block and the file.

#include "tablefiles/namefile.h"
#include "testdata/namefilewriter.h"
#include "testdata/tempdir.h"

#include "platform/littleendian.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace {

std::vector<std::uint8_t> BaseNames() {
    testdata::NameFileWriter writer;
    writer.SetPadLastBlock(false);
    for (int i = 0; i < 300; ++i) {
        (void)writer.Add("Name/" + std::string(static_cast<std::size_t>(i % 90), 'n'),
                         static_cast<std::int8_t>(i), {{"Alt", 3}, {"Other", -4}});
    }
    return writer.Build();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static testdata::TempDeviceRoot* root = new testdata::TempDeviceRoot(); // kept for the run
    static BlockCachePtr cache = BlockCache::Create(32);
    static const std::vector<std::uint8_t> base = BaseNames();
    if (size < 9) {
        return 0;
    }
    std::vector<std::uint8_t> file = base;
    const std::size_t overlayAt = platform::ReadU32(data + 4) % file.size();
    for (std::size_t i = 9; i < size && overlayAt + i - 9 < file.size(); ++i) {
        file[overlayAt + i - 9] = data[i];
    }
    if ((data[8] & 1) != 0) {
        file.resize(overlayAt);
    }
    if (!root->WriteFile(u"\\fuzz.nam", file)) {
        return 0;
    }
    NameFile names(cache, nullptr);
    if (!names.Open(u"\\fuzz")) {
        return 0;
    }
    const std::uint32_t offsets[] = {platform::ReadU32(data),
                                     platform::ReadU32(data) %
                                         (static_cast<std::uint32_t>(file.size()) + 16),
                                     static_cast<std::uint32_t>(overlayAt)};
    for (const std::uint32_t offset : offsets) {
        std::u16string text;
        std::u16string main;
        auto code = static_cast<std::int16_t>(data[8] - 128);
        std::vector<std::int16_t> codes;
        (void)names.GetName(offset, text);
        (void)names.GetRawName(offset, text);
        (void)names.GetAlternativeNames(offset, text);
        (void)names.GetNameForCode(offset, text, main, code);
        names.GetCodes(codes, offset);
    }
    return 0;
}
