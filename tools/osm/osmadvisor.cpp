#include "tools/osm/osmadvisor.h"

#include "advisor/advisorconfiguration.h"
#include "tools/osm/osmmapping.h"

#include "platform/files/files.h"
#include "platform/files/mapping.h"
#include "platform/files/memory.h"
#include "platform/sfs/sfsformat.h"
#include "platform/sound/sound.h"

#include <array>
#include <optional>
#include <span>
#include <system_error>
#include <vector>

namespace osm2nav {
namespace {

std::span<const std::uint8_t> BytesOf(std::string_view text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

// A device file mapped whole and read-only through the platform's file layer, for the voice
// archive's megabytes: no copy, only the pages a check touches are read.
class DeviceFileView {
public:
    explicit DeviceFileView(const std::u16string& path) {
        HANDLE file = CreateFileForMappingW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                            OPEN_EXISTING, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            return;
        }
        DWORD high = 0;
        const DWORD size = GetFileSize(file, &high);
        // An empty file cannot be mapped; it is no archive either.
        HANDLE mapping = size != INVALID_FILE_SIZE && high == 0 && size != 0
                             ? CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 0, nullptr)
                             : nullptr;
        (void)CloseHandle(file);
        if (mapping == nullptr) {
            return;
        }
        const void* view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0);
        (void)CloseHandle(mapping);
        if (view != nullptr) {
            m_bytes.emplace(static_cast<const std::uint8_t*>(view), size);
        }
    }
    ~DeviceFileView() {
        if (m_bytes) {
            (void)UnmapViewOfFile(m_bytes->data());
        }
    }
    DeviceFileView(const DeviceFileView&) = delete;
    DeviceFileView& operator=(const DeviceFileView&) = delete;

    // The file's bytes, or nullopt when it could not be mapped.
    [[nodiscard]] const std::optional<std::span<const std::uint8_t>>& Bytes() const {
        return m_bytes;
    }

private:
    std::optional<std::span<const std::uint8_t>> m_bytes;
};

std::u16string VoiceArchive(const std::string& language) {
    return std::u16string(kVoiceFolder) + u"\\" + WideOf(language) + u"_waves.sfs";
}

} // namespace

std::string VoiceLanguageOf(std::string_view code) {
    struct Language {
        std::string_view codes[2];
        std::string_view voice;
    };
    static constexpr std::array<Language, 6> kLanguages{{{{"ger", "deu"}, "german"},
                                                         {{"eng", "eng"}, "english"},
                                                         {{"fre", "fra"}, "french"},
                                                         {{"spa", "spa"}, "spanish"},
                                                         {{"ita", "ita"}, "italian"},
                                                         {{"dut", "nld"}, "dutch"}}};
    for (const auto& language : kLanguages) {
        if (code == language.codes[0] || code == language.codes[1]) {
            return std::string(language.voice);
        }
    }
    return {};
}

std::string WriteAdvisorData(const std::filesystem::path& source, const std::string& language,
                             bool isPacked, const testdata::TempDeviceRoot& root,
                             AdvisorFiles& files) {
    const auto configPath = source / "ConfigFiles" / "Advisor.sfs";
    const auto voicePath = source / "sound" / (language + "_waves.sfs");
    const auto config = testdata::ReadHostFile(configPath);
    std::error_code error;
    if (!config || !std::filesystem::is_regular_file(voicePath, error)) {
        return (config ? voicePath : configPath).string() + ": no such file";
    }
    std::vector<platform::SfsMember> configMembers;
    if (platform::ParseSfsArchive(BytesOf(*config), configMembers) !=
        platform::SfsFormatError::None) {
        return configPath.string() + ": not an archive";
    }
    // The file system copies the voice archive; the copy, the same bytes, is checked.
    if (!root.MakeFolder(kVoiceFolder) ||
        !std::filesystem::copy_file(voicePath, root.HostPathOf(VoiceArchive(language)), error)) {
        return "the advisor data cannot be written";
    }
    std::vector<platform::SfsMember> voiceMembers;
    {
        const DeviceFileView voices(VoiceArchive(language));
        if (!voices.Bytes() || platform::ParseSfsArchive(*voices.Bytes(), voiceMembers) !=
                                   platform::SfsFormatError::None) {
            return voicePath.string() + ": not an archive";
        }
    }
    files.configFiles = static_cast<std::uint32_t>(configMembers.size());
    files.voiceSamples = static_cast<std::uint32_t>(voiceMembers.size());
    bool isWritten = true;
    if (isPacked) {
        isWritten =
            isWritten && root.WriteFile(std::u16string(kAdvisorFolder) + u"\\Advisor.sfs", *config);
    }
    for (const auto& member : configMembers) {
        // The encoding table is read only as a plain file, so it lies beside the archive too.
        if (!isPacked || member.name == u"encode.properties") {
            isWritten =
                isWritten &&
                root.WriteFile(std::u16string(kAdvisorFolder) + u"\\" + member.name,
                               std::string_view(*config).substr(member.offset, member.size));
        }
    }
    return isWritten ? std::string() : "the advisor data cannot be written";
}

// The root is the device root the files are read from.
std::string ReadBackAdvisorData(const testdata::TempDeviceRoot& /*root*/,
                                const std::string& language) {
    {
        AdvisorConfiguration configuration;
        DecisionTableStore tables;
        // The empty folder is the advisor's own: "\ConfigFiles" and its "Advisor.sfs".
        if (!configuration.LoadGeneralProperties(u"") ||
            !configuration.LoadDecisionTables(u"", tables)) {
            return "the written advisor data do not load";
        }
    }
    const DeviceFileView voices(VoiceArchive(language));
    std::vector<platform::SfsMember> members;
    if (!voices.Bytes() ||
        platform::ParseSfsArchive(*voices.Bytes(), members) != platform::SfsFormatError::None ||
        members.empty()) {
        return "the written voice archive does not open";
    }
    for (const auto& member : members) {
        if (!platform::ParseWaveImage(voices.Bytes()->subspan(member.offset, member.size))) {
            return "a written voice sample is not a wave: " +
                   std::string(member.name.begin(), member.name.end());
        }
    }
    return {};
}

} // namespace osm2nav
