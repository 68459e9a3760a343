#include "tools/install/installedfiles.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <filesystem>

namespace demoinstall {

std::string ManifestLine(const Digest& digest, std::string_view path) {
    char hash[24];
    (void)std::snprintf(hash, sizeof hash, "%016llx ",
                        static_cast<unsigned long long>(digest.hash));
    return hash + std::to_string(digest.size) + " " + std::string(path) + "\n";
}

namespace {

// The text without its line end ('\n' or CR LF).
std::string_view WithoutLineEnd(std::string_view line) {
    if (line.ends_with('\n'))
        line.remove_suffix(1);
    if (line.ends_with('\r'))
        line.remove_suffix(1);
    return line;
}

} // namespace

ParsedManifest ParseManifest(std::string_view text) {
    if (!text.empty() && text.back() != '\n')
        return {std::nullopt, "its last line is cut short"};
    const std::string_view endLine = WithoutLineEnd(kManifestEnd);
    bool hasEndLine = false; // a list of this installer's format
    bool isEnded = false;
    Manifest files;
    std::size_t number = 0;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t end = std::min(text.find('\n', at), text.size());
        const std::string_view line = WithoutLineEnd(text.substr(at, end - at));
        at = end + 1;
        if (++number == 1)
            hasEndLine = line == WithoutLineEnd(kManifestFormat);
        if (isEnded)
            return {std::nullopt, "line " + std::to_string(number) + " follows its end line"};
        if (hasEndLine && number > 1 && line == endLine) {
            isEnded = true;
            continue;
        }
        if (line.starts_with('#'))
            continue;
        Digest digest;
        const char* const last = line.data() + line.size();
        const auto hash = std::from_chars(line.data(), last, digest.hash, 16);
        const auto size = hash.ec == std::errc() && hash.ptr != last && *hash.ptr == ' '
                              ? std::from_chars(hash.ptr + 1, last, digest.size)
                              : std::from_chars_result{last, std::errc::invalid_argument};
        const std::string_view name =
            size.ec == std::errc() && last - size.ptr >= 2 && *size.ptr == ' '
                ? std::string_view(size.ptr + 1, last)
                : std::string_view();
        const std::filesystem::path path(name);
        const std::filesystem::path normal = path.lexically_normal();
        if (name.empty() || name.find_first_of(std::string_view("\0\r", 2)) != name.npos ||
            path.is_absolute() || normal.empty() || *normal.begin() == "..")
            return {std::nullopt, "line " + std::to_string(number) + " does not read"};
        files[std::string(name)] = digest;
    }
    if (hasEndLine && !isEnded)
        return {std::nullopt, "it ends before its end line (cut short)"};
    return {std::move(files), ""};
}

} // namespace demoinstall
