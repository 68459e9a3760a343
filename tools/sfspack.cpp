// sfspack: writes ".sfs" archives (docs/sfs-format.md) and lists their members.
//
//   sfspack OUT.sfs INPUT...   pack files; a folder INPUT adds the files directly inside it
//   sfspack --list ARCHIVE     print each member's size and name
//
// Exit status: 0 done, 1 refused input or failed write, 2 wrong usage.

#include "testdata/archivewriter.h"

#include "platform/kernel/codepage.h"
#include "platform/sfs/sfsformat.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr int kDone = 0;
constexpr int kRefused = 1;
constexpr int kUsage = 2;

std::optional<std::vector<std::uint8_t>> ReadWhole(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                    std::istreambuf_iterator<char>());
    if (in.bad()) {
        return std::nullopt;
    }
    return bytes;
}

// The files one input stands for: itself, or the files directly inside a folder (sorted).
std::vector<std::filesystem::path> FilesOf(const std::filesystem::path& input) {
    std::error_code error;
    if (!std::filesystem::is_directory(input, error)) {
        return {input};
    }
    std::vector<std::filesystem::path> files;
    for (std::filesystem::directory_iterator it(input, error), end; !error && it != end;
         it.increment(error)) {
        std::error_code kindError;
        if (it->is_regular_file(kindError)) {
            files.push_back(it->path());
        } else {
            (void)std::fprintf(stderr, "sfspack: skipping %s: archives hold files only\n",
                               it->path().c_str());
        }
    }
    if (error) {
        (void)std::fprintf(stderr, "sfspack: %s: cannot list: %s\n", input.c_str(),
                           error.message().c_str());
    }
    std::sort(files.begin(), files.end());
    return files;
}

int Pack(const std::filesystem::path& output, const std::vector<std::filesystem::path>& inputs) {
    testdata::ArchiveWriter writer;
    for (const std::filesystem::path& input : inputs) {
        for (const std::filesystem::path& file : FilesOf(input)) {
            const std::string name = file.filename().string();
            if (!platform::IsValidSfsMemberName(name)) {
                (void)std::fprintf(stderr, "sfspack: %s: name not allowed in an archive\n",
                                   file.c_str());
                return kRefused;
            }
            const std::optional<std::vector<std::uint8_t>> bytes = ReadWhole(file);
            if (!bytes) {
                (void)std::fprintf(stderr, "sfspack: %s: cannot read\n", file.c_str());
                return kRefused;
            }
            if (!writer.AddMember(name, *bytes)) {
                (void)std::fprintf(
                    stderr,
                    "sfspack: %s: a member of that name (in any case) is already packed, "
                    "or the archive would exceed 4 GiB\n",
                    file.c_str());
                return kRefused;
            }
        }
    }
    if (!writer.WriteTo(output)) {
        (void)std::fprintf(stderr, "sfspack: %s: cannot write\n", output.c_str());
        return kRefused;
    }
    return kDone;
}

int List(const std::filesystem::path& archive) {
    const std::optional<std::vector<std::uint8_t>> bytes = ReadWhole(archive);
    if (!bytes) {
        (void)std::fprintf(stderr, "sfspack: %s: cannot read\n", archive.c_str());
        return kRefused;
    }
    std::vector<platform::SfsMember> members;
    const platform::SfsFormatError error = platform::ParseSfsArchive(*bytes, members);
    if (error != platform::SfsFormatError::None) {
        const std::string reason(platform::SfsFormatErrorText(error));
        (void)std::fprintf(stderr, "sfspack: %s: %s\n", archive.c_str(), reason.c_str());
        return kRefused;
    }
    for (const platform::SfsMember& member : members) {
        std::printf("%10u %s\n", member.size, platform::Utf16ToUtf8(member.name).c_str());
    }
    return kDone;
}

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    if (arguments.size() == 2 && arguments[0] == "--list") {
        return List(arguments[1]);
    }
    if (arguments.size() >= 2 && arguments[0].rfind("--", 0) != 0) {
        return Pack(arguments[0],
                    std::vector<std::filesystem::path>(arguments.begin() + 1, arguments.end()));
    }
    (void)std::fprintf(stderr, "usage: sfspack OUT.sfs INPUT...\n       sfspack --list ARCHIVE\n");
    return kUsage;
}
