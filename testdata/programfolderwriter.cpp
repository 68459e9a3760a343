#include "testdata/programfolderwriter.h"

#include "testdata/gpssettingswriter.h"
#include "testdata/resourcebundlewriter.h"

#include "platform/kernel/codepage.h"

#include <fstream>
#include <sstream>

namespace testdata {

ProgramFolderWriter::ProgramFolderWriter(DataFolderWriter data)
    : m_data(std::move(data))
    , m_gpsSettings(GpsSettingsWriter().SetDefault("NMEA").AddProtocol(NmeaProtocol()).Build()) {}

ProgramFolderWriter& ProgramFolderWriter::GpsSettings(std::optional<std::string> text) {
    m_gpsSettings = std::move(text);
    return *this;
}

ProgramFolderWriter& ProgramFolderWriter::Bundle(const std::u16string& fileName,
                                                 const platform::ResourceBundle& bundle) {
    const std::vector<std::uint8_t> bytes = WriteResourceBundle(bundle);
    m_files[u"\\" + fileName] = std::string(bytes.begin(), bytes.end());
    return *this;
}

ProgramFolderWriter& ProgramFolderWriter::BundleBytes(const std::u16string& fileName,
                                                      std::string bytes) {
    m_files[u"\\" + fileName] = std::move(bytes);
    return *this;
}

ProgramFolderWriter& ProgramFolderWriter::HostFiles(std::filesystem::path hostFolder) {
    m_hostFolders.push_back(std::move(hostFolder));
    return *this;
}

ProgramFolderWriter& ProgramFolderWriter::ScreenDescription(const std::string& text) {
    for (const char16_t* language : {u"Ger", u"Eng", u"Fre", u"Spa", u"Ita", u"Dut"})
        m_files[u"\\ScreenDesc" + std::u16string(language) + u"CE.dat"] = text;
    return *this;
}

ProgramFolderWriter& ProgramFolderWriter::Pk(const std::string& section, const std::string& key,
                                             const std::string& value) {
    m_pk[section][key] = value;
    return *this;
}

ProgramFolderWriter& ProgramFolderWriter::ZeroedPkTail(std::size_t bytes) {
    m_zeroedPkTail = bytes;
    return *this;
}

ProgramFolderWriter& ProgramFolderWriter::ServerSetting(const std::string& section,
                                                        const std::string& key,
                                                        const std::string& value) {
    m_data.Setting(section, key, value);
    return *this;
}

ProgramFolderWriter& ProgramFolderWriter::ReceiverScenario(std::string text) {
    m_scenario = std::move(text);
    return *this;
}

std::optional<std::vector<WrittenDatabase>>
ProgramFolderWriter::WriteTo(const TempDeviceRoot& root) {
    for (const std::filesystem::path& folder : m_hostFolders) {
        std::error_code error;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(folder, error)) {
            if (!entry.is_regular_file())
                continue;
            std::ifstream file(entry.path(), std::ios::binary);
            std::stringstream bytes;
            bytes << file.rdbuf();
            std::u16string devicePath;
            for (const auto& part : entry.path().lexically_relative(folder))
                devicePath += u"\\" + platform::Utf8ToUtf16(part.string());
            if (!file || !root.WriteFile(devicePath, bytes.str()))
                return std::nullopt;
        }
        if (error)
            return std::nullopt;
    }
    for (const auto& [path, bytes] : m_files) {
        if (!root.WriteFile(path, bytes))
            return std::nullopt;
    }
    std::string pk;
    for (const auto& [section, keys] : m_pk) {
        pk += "[" + section + "]\r\n";
        for (const auto& [key, value] : keys) {
            pk += key;
            pk += '=';
            pk += value;
            pk += "\r\n";
        }
    }
    pk.append(m_zeroedPkTail, '\0');
    if (!root.WriteFile(u"\\PK.ini", pk))
        return std::nullopt;
    if (m_gpsSettings && !root.WriteFile(u"\\deziv.ini", *m_gpsSettings))
        return std::nullopt;
    if (m_scenario) {
        if (!root.InstallModule(u"gpstmc.dll", u"\\") ||
            !root.WriteFile(u"\\gpstmc.ini", *m_scenario))
            return std::nullopt;
    }
    return m_data.WriteTo(root, u"\\RarUderad.ini");
}

} // namespace testdata
