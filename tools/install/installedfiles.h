#pragma once
// The list of the files a demo install laid out ("InstalledFiles.txt" at its root), by which a
// later install tells its own files from the user's: comment lines ("#") and one line a file,
// "<FNV-1a hash of its bytes, 64 bits in 16 hexadecimal digits> <size> <path below the root, '/'
// separators>", each line ended by '\n'. A list of this installer begins with kManifestFormat and
// ends with kManifestEnd, so that one cut right after a line is told from a whole one; a list
// without the first line is one of the installer before, which wrote neither.

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace demoinstall {

inline constexpr char kManifestFile[] = "InstalledFiles.txt";
// The first and the last line of a list, their ends included.
inline constexpr char kManifestFormat[] = "# installdemo file list 2\n";
inline constexpr char kManifestEnd[] = "# end of the list\n";

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
// or names a path outside the root or holding a carriage return or NUL, a last line cut short, or
// a list of this installer's format without its end line or with lines after it. A line may end
// in CR LF.
struct ParsedManifest {
    std::optional<Manifest> files;
    std::string damage;
};

[[nodiscard]] ParsedManifest ParseManifest(std::string_view text);

} // namespace demoinstall
