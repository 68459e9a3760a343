// Fuzzes the metafile player from memory: any input is refused or played into a 64 x 64 memory
// DC without reading outside it, and leaves as many live GDI objects as before. Even mode bytes
// patch a valid skin picture.

#include "testdata/emfwriter.h"
#include "testdata/fuzzinput.h"
#include "ui/emfplayer.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::vector<std::uint8_t> base = testdata::SampleSkinPicture().Build();
    static HDC dc = [] {
        HDC memory = CreateCompatibleDC(nullptr);
        SelectObject(memory, CreateBitmap(64, 64, 1, 32, nullptr));
        return memory;
    }();
    const std::vector<std::uint8_t> file = testdata::FileFromFuzzInput(base, data, size);
    std::unique_ptr<EmfPlayer> player = EmfPlayer::Create();
    const platform::GdiObjectCounts before = platform::CountLiveGdiObjects();
    if (player->LoadBytes(file.data(), file.size()))
        (void)player->Play(dc, RECT{0, 0, 64, 64});
    if (!(platform::CountLiveGdiObjects() == before))
        std::abort();
    return 0;
}
