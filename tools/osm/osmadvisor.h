#pragma once
// Our advisor data and the voice of one language in the output: the configuration files in
// "\ConfigFiles" (loose, or packed as its "Advisor.sfs") and the voice archive
// "\sound\<language>_waves.sfs", taken from a folder laid out like the build's demo data, and
// read back through the advisor's own configuration reader and the archive and wave parsers.

#include "testdata/tempdir.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace osm2nav {

inline constexpr char16_t kAdvisorFolder[] = u"\\ConfigFiles";
inline constexpr char16_t kVoiceFolder[] = u"\\sound";

// The voice language of a language code ("ger" or "deu" -> "german"); empty when unknown.
[[nodiscard]] std::string VoiceLanguageOf(std::string_view code);

struct AdvisorFiles {
    std::uint32_t configFiles = 0;
    std::uint32_t voiceSamples = 0;
};

// Copies "ConfigFiles/Advisor.sfs" (or its members, loose) and "sound/<language>_waves.sfs"
// from `source` into the device; empty on success, else what is missing or broken.
[[nodiscard]] std::string WriteAdvisorData(const std::filesystem::path& source,
                                           const std::string& language, bool isPacked,
                                           const testdata::TempDeviceRoot& root,
                                           AdvisorFiles& files);

// Loads the general settings and decision tables as the advisor does, and parses every sample
// of the voice archive; empty when sound.
[[nodiscard]] std::string ReadBackAdvisorData(const testdata::TempDeviceRoot& root,
                                              const std::string& language);

} // namespace osm2nav
