#include "onboard/serverconfig.h"

#include "utilities/usefulcode/directorywalker.h"
#include "utilities/usefulcode/iniprofile.h"

#include "platform/kernel/format.h"
#include "platform/kernel/text.h"
#include "platform/registry/registry.h"

#include <utility>

namespace {

constexpr char16_t kProperties[] = u"Properties";

std::u16string WithoutTrailingSeparator(std::u16string folder) {
    if (!folder.empty() && (folder.back() == u'\\' || folder.back() == u'/')) {
        folder.pop_back();
    }
    return folder;
}

float ExtentValue(const std::u16string& networkFile, const char16_t* key) {
    const std::u16string text = IniProfile::GetString(u"Map 0", key, networkFile.c_str(), u"0.0F");
    float value = 0.0F;
    (void)swscanf(text.c_str(), u"%f", &value);
    return value;
}

} // namespace

DatabaseEntry::DatabaseEntry(std::u16string folder, std::array<float, 4> extent,
                             std::shared_ptr<Link> link)
    : m_folder(std::move(folder))
    , m_extent(extent)
    , m_link(std::move(link)) {}

template <class Use> bool DatabaseEntry::WithOwner(Use use) const {
    ServerConfig* owner = nullptr;
    {
        const std::lock_guard guard(m_link->mutex);
        if (m_link->owner == nullptr) {
            return false;
        }
        owner = m_link->owner;
        ++m_link->busy;
    }
    bool result = false;
    {
        ScopedLock lock(&owner->m_serverLock);
        result = use(*owner);
    }
    const std::lock_guard guard(m_link->mutex);
    if (--m_link->busy == 0) {
        m_link->idle.notify_all();
    }
    return result;
}

bool DatabaseEntry::IsSelected() const {
    return WithOwner([&](ServerConfig& owner) { return owner.IsCurrentDatabase(m_folder); });
}

bool DatabaseEntry::Select() {
    return WithOwner([&](ServerConfig& owner) { return owner.SelectDatabase(m_folder); });
}

ServerConfig::ServerConfig(six::RefCntPtr<DataLocation> dataLocation, CritSect& serverLock)
    : m_dataLocation(std::move(dataLocation))
    , m_serverLock(serverLock)
    , m_link(std::make_shared<DatabaseEntry::Link>()) {
    m_link->owner = this;
    if (m_dataLocation) {
        std::u16string settingsFile = m_dataLocation->GetIniFile();
        if (!settingsFile.empty()) {
            m_settingsFile = std::move(settingsFile);
            m_language = IniProfile::GetInt(kProperties, u"Language", m_settingsFile.c_str(), 0);
        }
    }
}

ServerConfig::~ServerConfig() {
    DetachEntries();
}

void ServerConfig::DetachEntries() {
    std::unique_lock guard(m_link->mutex);
    m_link->owner = nullptr;
    m_link->idle.wait(guard, [&] { return m_link->busy == 0; });
}

std::u16string ServerConfig::ReadRegisteredSettingsFile() {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kRegistryKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_READ, nullptr, &key, nullptr) != ERROR_SUCCESS) {
        return kDefaultSettingsFile;
    }
    std::u16string path;
    DWORD type = REG_NONE;
    DWORD size = 0;
    if (RegQueryValueExW(key, kRegistryValue, nullptr, &type, nullptr, &size) == ERROR_SUCCESS &&
        type == REG_SZ && size >= sizeof(WCHAR)) {
        std::vector<BYTE> data(size);
        if (RegQueryValueExW(key, kRegistryValue, nullptr, &type, data.data(), &size) ==
                ERROR_SUCCESS &&
            type == REG_SZ) {
            // The text up to its terminating zero; none within the size: not a text.
            for (std::size_t i = 0; i + 1 < size; i += 2) {
                const auto unit = static_cast<char16_t>(data[i] | data[i + 1] << 8);
                if (unit == 0) {
                    (void)RegCloseKey(key);
                    return path.empty() ? std::u16string(kDefaultSettingsFile) : path;
                }
                path += unit;
            }
        }
    }
    (void)RegCloseKey(key);
    return kDefaultSettingsFile;
}

const std::u16string& ServerConfig::GetSettingsFile() {
    if (m_settingsFile.empty()) {
        m_settingsFile = ReadRegisteredSettingsFile();
        m_language = IniProfile::GetInt(kProperties, u"Language", m_settingsFile.c_str(), 0);
    }
    return m_settingsFile;
}

void ServerConfig::LoadDatabases() {
    if (!m_databaseDir.empty()) {
        return;
    }
    const std::u16string& settings = GetSettingsFile();
    if (m_dataLocation) {
        m_databaseDir = m_dataLocation->GetDataFolder();
    }
    if (m_databaseDir.empty()) {
        m_databaseDir = IniProfile::GetString(u"Quarn", u"DB", settings.c_str(), u"");
    }
    std::vector<std::u16string> folders;
    EnumDatasetFolders(m_databaseDir, folders);
    if (!folders.empty()) {
        auto* list = new (std::nothrow) DatabaseList;
        m_databases = DatabaseListPtr(list);
        for (const std::u16string& folder : folders) {
            const std::u16string network = FirstFile(folder + u"/kwa", u"*.rd");
            std::array<float, 4> extent{};
            if (!network.empty()) {
                extent = {ExtentValue(network, u"x1"), ExtentValue(network, u"y1"),
                          ExtentValue(network, u"x2"), ExtentValue(network, u"y2")};
            }
            DatabaseEntryPtr entry(new (std::nothrow) DatabaseEntry(folder, extent, m_link));
            if (entry && m_databases) {
                m_databases->push_back(std::move(entry));
            }
        }
        m_databaseDir = folders.front();
        const std::u16string last = IniProfile::GetString(
            kProperties, kLastDatabaseKey, settings.c_str(), folders.front().c_str());
        if (m_databases) {
            for (const DatabaseEntryPtr& entry : *m_databases) {
                if (platform::CompareNoCase(entry->GetPath(), last) == 0) {
                    m_databaseDir = entry->GetPath();
                    break;
                }
            }
        }
    }
    IniProfile::WriteString(kProperties, kLastDatabaseKey, m_databaseDir.c_str(), settings.c_str());
}

std::u16string ServerConfig::DatabasePath(const char16_t* suffix) {
    LoadDatabases();
    return WithoutTrailingSeparator(m_databaseDir) + suffix;
}

std::u16string ServerConfig::FirstFile(const std::u16string& folder, const char16_t* pattern) {
    const DirectoryWalker walker(folder, pattern, false);
    if (!walker.HasMatch()) {
        return {};
    }
    return folder + u"\\" + walker.Match().cFileName;
}

void ServerConfig::GetDatasetFolders(std::u16string& folder, std::u16string& language) {
    folder = DatabasePath(u"/db");
    language = IniProfile::GetString(kProperties, u"LanguageNative", GetSettingsFile().c_str(),
                                     u"English");
}

void ServerConfig::GetNetworkFile(std::u16string& path) {
    path = FirstFile(DatabasePath(u"/kwa"), u"*.rd");
}

void ServerConfig::GetMapSetFile(std::u16string& path) {
    path = FirstFile(DatabasePath(u"/maps"), u"*.lvl");
}

void ServerConfig::GetTmcFolder(std::u16string& path) {
    path = DatabasePath(u"/tmc");
}

const std::u16string& ServerConfig::GetConfigFilesDir() {
    if (m_configFilesDir.empty()) {
        m_configFilesDir =
            IniProfile::GetString(kProperties, u"ConfigFilesDir", GetSettingsFile().c_str(), u"");
        m_isConfigFilesDirNamed = !m_configFilesDir.empty();
        if (!m_isConfigFilesDirNamed) {
            m_configFilesDir = u"\\";
        }
    }
    return m_configFilesDir;
}

bool ServerConfig::IsConfigFilesDirNamed() {
    (void)GetConfigFilesDir();
    return m_isConfigFilesDirNamed;
}

bool ServerConfig::SelectDatabase(const std::u16string& folder) {
    if (folder == m_databaseDir || !m_databases) {
        return false;
    }
    const DatabaseEntry* found = nullptr;
    for (const DatabaseEntryPtr& entry : *m_databases) {
        if (entry->GetPath() == folder) {
            found = entry.Get();
            break;
        }
    }
    if (found == nullptr) {
        return false;
    }
    m_databaseDir = found->GetPath();
    IniProfile::WriteString(kProperties, kLastDatabaseKey, m_databaseDir.c_str(),
                            GetSettingsFile().c_str());
    if (m_dataLocation && !m_dataLocation->GetDataFolder().empty()) {
        (void)m_dataLocation->SetDataFolder(m_databaseDir);
    }
    changed.Emit();
    return true;
}

bool ServerConfig::IsCurrentDatabase(const std::u16string& folder) const {
    return folder == m_databaseDir;
}

void ServerConfig::GetDatabases(DatabaseListPtr& out) {
    out = m_databases;
}
