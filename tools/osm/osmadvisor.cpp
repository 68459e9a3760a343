#include "tools/osm/osmadvisor.h"

#include "advisor/advisorconfiguration.h"
#include "tools/osm/osmmapping.h"

#include "platform/sfs/sfsformat.h"
#include "platform/sound/sound.h"

#include <array>
#include <span>
#include <vector>

namespace osm2nav {
namespace {

std::span<const std::uint8_t> BytesOf(std::string_view text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

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
    const auto voices = testdata::ReadHostFile(voicePath);
    std::vector<platform::SfsMember> configMembers;
    std::vector<platform::SfsMember> voiceMembers;
    if (!config || !voices) {
        return (config ? voicePath : configPath).string() + ": no such file";
    }
    if (platform::ParseSfsArchive(BytesOf(*config), configMembers) !=
        platform::SfsFormatError::None) {
        return configPath.string() + ": not an archive";
    }
    if (platform::ParseSfsArchive(BytesOf(*voices), voiceMembers) !=
        platform::SfsFormatError::None) {
        return voicePath.string() + ": not an archive";
    }
    files.configFiles = static_cast<std::uint32_t>(configMembers.size());
    files.voiceSamples = static_cast<std::uint32_t>(voiceMembers.size());
    bool isWritten = root.WriteFile(VoiceArchive(language), *voices);
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

std::string ReadBackAdvisorData(const testdata::TempDeviceRoot& root, const std::string& language) {
    {
        AdvisorConfiguration configuration;
        DecisionTableStore tables;
        // The empty folder is the advisor's own: "\ConfigFiles" and its "Advisor.sfs".
        if (!configuration.LoadGeneralProperties(u"") ||
            !configuration.LoadDecisionTables(u"", tables)) {
            return "the written advisor data do not load";
        }
    }
    const auto voices = root.ReadFile(VoiceArchive(language));
    const std::span<const std::uint8_t> bytes = voices ? BytesOf(*voices) : BytesOf({});
    std::vector<platform::SfsMember> members;
    if (!voices || platform::ParseSfsArchive(bytes, members) != platform::SfsFormatError::None ||
        members.empty()) {
        return "the written voice archive does not open";
    }
    for (const auto& member : members) {
        if (!platform::ParseWaveImage(bytes.subspan(member.offset, member.size))) {
            return "a written voice sample is not a wave: " +
                   std::string(member.name.begin(), member.name.end());
        }
    }
    return {};
}

} // namespace osm2nav
