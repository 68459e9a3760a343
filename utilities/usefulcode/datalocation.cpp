#include "utilities/usefulcode/datalocation.h"

#include "utilities/usefulcode/directorywalker.h"
#include "utilities/usefulcode/fileopendialog.h"
#include "utilities/usefulcode/iniprofile.h"

#include "platform/files/files.h"

#include <mutex>
#include <new>

namespace {

constexpr char16_t kDataFolderPrompt[] =
    u"Please select folder that contains folders maps,kwa,db,tmc.";
constexpr char16_t kSoundsFolderPrompt[] =
    u"Please select folder that contains \"SENTENCES.SRC\" file.";

bool AcceptAnything(const std::u16string&) {
    return true;
}

bool HasDataSubfolders(const std::u16string& folder) {
    return PathExists(folder + u"/kwa") && PathExists(folder + u"/maps");
}

// sub-folder + '\' + the name of its first entry matching pattern; empty when none matches.
std::u16string FindFirstMatch(const std::u16string& subfolder, const std::u16string& pattern) {
    DirectoryWalker walker(subfolder, pattern, false);
    if (!walker.HasMatch()) {
        return {};
    }
    return subfolder + u"\\" + walker.Match().cFileName;
}

// The folder part of a path (without its last separator); empty without one.
std::u16string FolderPart(const std::u16string& path) {
    const std::size_t slash = path.find_last_of(u"\\/");
    return slash == std::u16string::npos || slash == 0 ? std::u16string() : path.substr(0, slash);
}

// The open-file dialog answers with a file; a file stands for the folder it lies in.
std::u16string FolderOfChoice(const std::u16string& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        const std::u16string folder = FolderPart(path);
        return folder.empty() ? path : folder;
    }
    return path;
}

class DataLocationImpl final : public DataLocation {
public:
    explicit DataLocationImpl(const std::u16string& settingsFile)
        : m_settingsFile(settingsFile) {
        const std::u16string dataFolder =
            IniProfile::GetString(u"DB", u"FileName", m_settingsFile.c_str(), u"");
        (void)SetDataFolder(dataFolder);
        m_soundsFolder = IniProfile::GetString(u"Sounds", u"Path", m_settingsFile.c_str(), u"");
    }

    bool SelectDataFolder() override {
        FileOpenDialog dialog(kDataFolderPrompt, &IsDatasetFolder);
        if (!dialog.Show()) {
            return false;
        }
        const std::u16string chosen = dialog.GetPath();
        if (SetDataFolder(chosen)) {
            return true;
        }
        const std::u16string folder = FolderPart(chosen);
        return !folder.empty() && SetDataFolder(folder);
    }

    bool SetDataFolder(const std::u16string& folder) override {
        if (folder.empty()) {
            return false;
        }
        std::u16string stored = folder;
        if (stored.back() == u'\\' || stored.back() == u'/') {
            stored.pop_back();
        }
        std::lock_guard lock(m_mutex);
        m_dataFolder = stored;
        if (!HasDataSubfolders(stored)) {
            m_dataFolder.clear();
            return false;
        }
        IniProfile::WriteString(u"DB", u"FileName", stored.c_str(), m_settingsFile.c_str());
        m_roadNetworkFile = FindFirstMatch(stored + u"/kwa", u"*.rd");
        m_levelFile = FindFirstMatch(stored + u"/maps", u"*.lvl");
        m_dbFolder = stored + u"/db";
        m_tmcFolder = stored + u"/tmc";
        return true;
    }

    std::u16string GetDataFolder() const override { return Read(m_dataFolder); }
    std::u16string GetRoadNetworkFile() const override { return Read(m_roadNetworkFile); }
    std::u16string GetLevelFile() const override { return Read(m_levelFile); }
    std::u16string GetDbFolder() const override { return Read(m_dbFolder); }
    std::u16string GetTmcFolder() const override { return Read(m_tmcFolder); }
    std::u16string GetIniFile() const override { return m_settingsFile; }

    std::u16string GetSoundsFolder() override {
        std::u16string chosen;
        if (Read(m_soundsFolder).empty()) {
            FileOpenDialog dialog(kSoundsFolderPrompt, &AcceptAnything);
            if (dialog.Show()) {
                chosen = FolderOfChoice(dialog.GetPath());
                IniProfile::WriteString(u"Sounds", u"Path", chosen.c_str(), m_settingsFile.c_str());
            }
        }
        std::u16string folder =
            IniProfile::GetString(u"Sounds", u"Path", m_settingsFile.c_str(), u"");
        if (!chosen.empty()) {
            folder = chosen; // a preloaded settings file would still answer with the old value
        }
        std::lock_guard lock(m_mutex);
        m_soundsFolder = folder;
        return folder;
    }

    LPCWSTR GetRootText() const override { return nullptr; }

    bool IsDataFolderValid() const override {
        const std::u16string folder = GetDataFolder();
        return !folder.empty() && IsDatasetFolder(folder);
    }

private:
    std::u16string Read(const std::u16string& member) const {
        std::lock_guard lock(m_mutex);
        return member;
    }

    const std::u16string m_settingsFile;
    mutable std::mutex m_mutex;
    std::u16string m_dataFolder;
    std::u16string m_roadNetworkFile;
    std::u16string m_levelFile;
    std::u16string m_dbFolder;
    std::u16string m_tmcFolder;
    std::u16string m_soundsFolder;
};

} // namespace

six::RefCntPtr<DataLocation> CreateDataLocation(const std::u16string& settingsFile) {
    return six::RefCntPtr<DataLocation>(new (std::nothrow) DataLocationImpl(settingsFile));
}
