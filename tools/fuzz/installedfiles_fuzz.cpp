// Feeds arbitrary bytes, from memory, as an install's list of its own files: a list that reads
// names only paths below the root, and reads back the same when written again, in either format;
// the list of this installer's format reads whole only with its end line.
#include "tools/install/installedfiles.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const demoinstall::ParsedManifest parsed = demoinstall::ParseManifest(text);
    if (!parsed.files) {
        if (parsed.damage.empty())
            std::abort();
        return 0;
    }
    std::string written;
    for (const auto& [path, digest] : *parsed.files) {
        const std::filesystem::path normal = std::filesystem::path(path).lexically_normal();
        if (path.empty() || std::filesystem::path(path).is_absolute() || *normal.begin() == "..")
            std::abort();
        written += demoinstall::ManifestLine(digest, path);
    }
    const demoinstall::ParsedManifest again = demoinstall::ParseManifest(written);
    if (!again.files || *again.files != *parsed.files)
        std::abort();
    const std::string marked = demoinstall::kManifestFormat + written;
    const demoinstall::ParsedManifest whole =
        demoinstall::ParseManifest(marked + demoinstall::kManifestEnd);
    if (!whole.files || *whole.files != *parsed.files || demoinstall::ParseManifest(marked).files)
        std::abort();
    return 0;
}
