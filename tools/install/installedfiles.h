#pragma once
// The list of the files a demo install laid out ("InstalledFiles.txt" at its root), by which a
// later install tells its own files from the user's: comment lines ("#") and one line a file,
// "<FNV-1a hash of its bytes, 64 bits in 16 hexadecimal digits> <size> <path below the root, '/'
// separators>", each line ended by '\n'.

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace demoinstall {

inline constexpr char kManifestFile[] = "InstalledFiles.txt";

// The size and FNV-1a hash (64 bits) of a file's bytes, as the list records them.
struct Digest {
    std::uint64_t hash = 0xcbf29ce484222325ULL;
    std::uint64_t size = 0;

    void Add(std::string_view bytes) {
        for (const char byte : bytes) {
            hash ^= static_cast<unsigned char>(byte);
            hash *= 0x100000001b3ULL;
        }
        size += bytes.size();
    }
    bool operator==(const Digest&) const = default;
};

// The files of a list by their paths below the root.
using Manifest = std::map<std::string, Digest, std::less<>>;

// A list's line for one file, its end included.
[[nodiscard]] std::string ManifestLine(const Digest& digest, std::string_view path);

// A list read from its text, or why it does not read whole (`damage`): a line that does not read
// or names a path outside the root or holding a carriage return or NUL, or a last line cut short.
// A line may end in CR LF.
struct ParsedManifest {
    std::optional<Manifest> files;
    std::string damage;
};

[[nodiscard]] ParsedManifest ParseManifest(std::string_view text);

} // namespace demoinstall
