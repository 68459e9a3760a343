// Feeds arbitrary bytes, from memory, as the file of a stored destination list: the list reads
// without failing; a damaged file is never written; a whole one takes its list back reversed
// and reads it again as written.
#include "app/destinations/storeddestinationlist.h"
#include "testdata/tempdir.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace {

constexpr char16_t kFuzzListFile[] = u"\\list.ini";

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static testdata::TempDeviceRoot root;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    if (!root.WriteFile(kFuzzListFile, bytes))
        __builtin_trap();
    StoredDestinationList list(kFuzzListFile, u"Recent");
    std::vector<std::u16string> reversed = list.Records();
    std::reverse(reversed.begin(), reversed.end());
    const bool isWritten = list.Replace(reversed);
    if (list.IsDamaged() && (isWritten || root.ReadFile(kFuzzListFile) != bytes))
        __builtin_trap();
    if (isWritten && StoredDestinationList(kFuzzListFile, u"Recent").Records() != reversed)
        __builtin_trap();
    return 0;
}
