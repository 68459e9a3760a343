#pragma once
// The navigation server's configuration: its settings file (named by the data location, else by
// the registry, else "\Windows\Quarn.ini"), the language, and the databases (folders with "/kwa",
// "/db" and "/maps") found under the data folder, one of them current. The configuration has no
// lock of its own: the server's lock guards it, and a database entry selected from outside takes
// that lock itself. `changed` fires on the caller's thread after a database switch.

#include "six/refcntptr.h"
#include "utilities/usefulcode/critsect.h"
#include "utilities/usefulcode/datalocation.h"
#include "utilities/usefulcode/eventsource.h"

#include <array>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class ServerConfig;

// One database: its folder and extent (x1, y1, x2, y2 of the network file's "Map 0" section).
class DatabaseEntry {
public:
    // Shared between the configuration and its entries; the owner is cleared when the
    // configuration goes, so that an entry kept longer selects nothing. `mutex` is never held
    // while the server's lock is taken: an entry counts itself in `busy` instead, and the
    // configuration's destructor waits until no entry is busy.
    struct Link {
        std::mutex mutex;
        std::condition_variable idle;
        ServerConfig* owner = nullptr;
        int busy = 0;
    };

    DatabaseEntry(std::u16string folder, std::array<float, 4> extent, std::shared_ptr<Link> link);
    virtual ~DatabaseEntry() = default;
    DatabaseEntry(const DatabaseEntry&) = delete;
    DatabaseEntry& operator=(const DatabaseEntry&) = delete;

    [[nodiscard]] virtual const std::u16string& GetPath() const { return m_folder; }
    [[nodiscard]] virtual const float* GetExtent() const { return m_extent.data(); }
    // Whether the folder is the current database (exact comparison).
    [[nodiscard]] virtual bool IsSelected() const;
    // ServerConfig::SelectDatabase with the folder, under the server's lock; false once the
    // configuration is gone.
    virtual bool Select();

private:
    // Calls use(owner) under the server's lock while the configuration lives; false otherwise.
    template <class Use> bool WithOwner(Use use) const;

    std::u16string m_folder;
    std::array<float, 4> m_extent;
    std::shared_ptr<Link> m_link;
};

using DatabaseEntryPtr = six::RefCntPtr<DatabaseEntry>;
using DatabaseList = std::vector<DatabaseEntryPtr>;
using DatabaseListPtr = six::RefCntPtr<DatabaseList>;

class ServerConfig {
public:
    static constexpr char16_t kRegistryKey[] = u"Software\\Apps\\ZavurarodoVoraro";
    static constexpr char16_t kRegistryValue[] = u"Configuration file";
    static constexpr char16_t kDefaultSettingsFile[] = u"\\Windows\\Quarn.ini";
    static constexpr char16_t kLastDatabaseKey[] = u"Last used database directory";

    // The data location may be null. serverLock is the server's (re-entrant) lock; it must
    // outlive the configuration.
    ServerConfig(six::RefCntPtr<DataLocation> dataLocation, CritSect& serverLock);
    // Detaches the entries.
    ~ServerConfig();

    // From now on the database entries select nothing; waits for a selection in progress. Must
    // not be called with the server's lock held.
    void DetachEntries();
    ServerConfig(const ServerConfig&) = delete;
    ServerConfig& operator=(const ServerConfig&) = delete;

    OwnerHandlerList& GetOwnerHandlerList() { return m_handlers; }

    // Fired after a database switch.
    SingleThreadedEventSource<> changed;

    // The settings file; read from the registry on first use when the data location named none.
    [[nodiscard]] const std::u16string& GetSettingsFile();
    // The current database's "/db" folder and the address data's language name.
    void GetDatasetFolders(std::u16string& folder, std::u16string& language);
    // The first "*.rd" of the current database's "/kwa" as "<folder>/kwa\<name>"; empty if none.
    void GetNetworkFile(std::u16string& path);
    // The first "*.lvl" of "/maps", the same way.
    void GetMapSetFile(std::u16string& path);
    void GetTmcFolder(std::u16string& path);
    [[nodiscard]] const std::u16string& GetConfigFilesDir();
    // False when the settings file names no "ConfigFilesDir" (or an empty one), so that the
    // advisor's files are looked for in "\ConfigFiles".
    [[nodiscard]] bool IsConfigFilesDirNamed();
    // Makes the database of exactly this folder current; false when it already is or none has
    // this folder.
    bool SelectDatabase(const std::u16string& folder);
    [[nodiscard]] bool IsCurrentDatabase(const std::u16string& folder) const;
    void GetDatabases(DatabaseListPtr& out);
    [[nodiscard]] std::int32_t GetLanguage() const { return m_language; }
    // The current database folder; empty until the databases are loaded.
    [[nodiscard]] const std::u16string& GetDatabaseDir() const { return m_databaseDir; }

    // The settings file named by the registry value, or the default (also for a value that is
    // not REG_SZ or whose text has no terminating zero within its size).
    [[nodiscard]] static std::u16string ReadRegisteredSettingsFile();

private:
    friend class DatabaseEntry;

    void LoadDatabases();
    // The current database folder without one trailing separator, then suffix.
    [[nodiscard]] std::u16string DatabasePath(const char16_t* suffix);
    // The first file matching pattern in folder, as "<folder>\<name>"; empty when none.
    [[nodiscard]] static std::u16string FirstFile(const std::u16string& folder,
                                                  const char16_t* pattern);

    OwnerHandlerList m_handlers;
    six::RefCntPtr<DataLocation> m_dataLocation;
    std::u16string m_databaseDir;
    std::u16string m_settingsFile;
    std::u16string m_configFilesDir;
    bool m_isConfigFilesDirNamed = false;
    std::int32_t m_language = 2;
    DatabaseListPtr m_databases;
    CritSect& m_serverLock;
    std::shared_ptr<DatabaseEntry::Link> m_link;
};
