// Name files from arbitrary bytes: the input's first bytes give offsets to read, the rest is laid
// over a valid name file. Every read must stay inside its block and the file. The file stays in
// memory, read as one mapped page with a short last block counted.

#include "tablefiles/namefile.h"
#include "testdata/memoryblockfile.h"
#include "testdata/namefilewriter.h"

#include "platform/littleendian.h"

#include <cstddef>
#include <cstdint>
#include <utility>
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
    if (file.empty()) {
        return 0; // an empty file is not mapped
    }
    const auto fileSize = static_cast<std::uint32_t>(file.size());
    CachedFilePtr memory = testdata::MakeMemoryBlockFile(std::move(file), NameFile::kBlockSize);
    if (!memory) {
        return 0;
    }
    memory->SetBlockCount((fileSize + NameFile::kBlockSize - 1) / NameFile::kBlockSize);
    NameFile names(nullptr, nullptr);
    if (!names.Attach(std::move(memory))) {
        return 0;
    }
    const std::uint32_t offsets[] = {platform::ReadU32(data),
                                     platform::ReadU32(data) % (fileSize + 16),
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
    (void)names.TakeDamagedFile();
    return 0;
}
