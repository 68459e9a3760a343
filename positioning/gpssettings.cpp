#include "positioning/gpssettings.h"

#include "utilities/usefulcode/iniprofile.h"

namespace gpssettings {

std::u16string GetString(LPCWSTR section, LPCWSTR key, const std::u16string& file,
                         LPCWSTR defaultValue) {
    if (!IniProfile::Exists(file.c_str())) {
        return defaultValue != nullptr ? std::u16string(defaultValue) : std::u16string();
    }
    return IniProfile::GetString(section, key, file.c_str(), defaultValue);
}

INT GetInt(LPCWSTR section, LPCWSTR key, const std::u16string& file, INT defaultValue) {
    if (!IniProfile::Exists(file.c_str())) {
        return defaultValue;
    }
    return IniProfile::GetInt(section, key, file.c_str(), defaultValue);
}

std::vector<std::optional<std::u16string>>
GetStrings(LPCWSTR section, std::span<const LPCWSTR> keys, const std::u16string& file) {
    if (!IniProfile::Exists(file.c_str())) {
        return std::vector<std::optional<std::u16string>>(keys.size());
    }
    return IniProfile::GetStrings(section, keys, file.c_str());
}

bool IsUsable(const std::u16string& file) {
    const std::u16string protocol = GetString(u"Default GPS", u"GPS", file, u"NMEA");
    return !GetString(protocol.c_str(), u"Input1", file, u"").empty();
}

} // namespace gpssettings
