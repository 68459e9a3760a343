#pragma once
// The advisor's configuration: general settings, phrase tables and decision tables read from
// narrow CR LF text files that lie plain in a folder or inside its "Advisor.sfs" archive.
// Archives mounted while looking files up stay mounted until the configuration is destroyed.
// One user at a time; the tables may be read from any thread once loaded.

#include "advisor/cellsplitter.h"
#include "advisor/decisiontables.h"
#include "six/refcntptr.h"
#include "utilities/usefulcode/cache/sfsmountset.h"
#include "utilities/usefulcode/ifile.h"

#include <map>
#include <string>

class AdvisorConfiguration {
public:
    using Table = std::map<std::u16string, std::u16string>;

    // Loads the archive library (mounting nothing).
    AdvisorConfiguration();
    virtual ~AdvisorConfiguration() = default;
    AdvisorConfiguration(const AdvisorConfiguration&) = delete;
    AdvisorConfiguration& operator=(const AdvisorConfiguration&) = delete;

    // An empty folder or "\" stands for "\ConfigFiles" with its archive "Advisor.sfs". Any other
    // folder is upper-cased; when it holds ".SFS" it names the archive and its own folder is the
    // folder. The file is opened plain as folder + "\" + name, else from the archive (mounted on
    // first need). Null when it is found nowhere.
    [[nodiscard]] six::RefCntPtr<IFile> OpenConfigFile(const std::u16string& folder,
                                                       const std::u16string& name);
    // The path OpenConfigFile looks for the file at (plain or in the archive), and the archive it
    // mounts for that folder when archive is not null.
    [[nodiscard]] static std::u16string ConfigFilePath(const std::u16string& folder,
                                                       const std::u16string& name,
                                                       std::u16string* archive = nullptr);
    // True when any of the six files lies plain in the folder, or its archive is there.
    [[nodiscard]] static bool HoldsConfigFiles(const std::u16string& folder);
    // The same paths as the folder spells them (not upper-cased), to name them to the user.
    [[nodiscard]] static std::u16string SpelledConfigFilePath(const std::u16string& folder,
                                                              const std::u16string& name,
                                                              std::u16string* archive = nullptr);

    // "General.properties" (key;value) into the general settings, which are not emptied first.
    // False when the file is not found.
    [[nodiscard]] bool LoadGeneralProperties(const std::u16string& folder);
    // Empties the phrase table, then reads "SOA.csv", "SpokenDistances.csv" and
    // "RouteNumbers.csv", each when found, taking the value column given (0 = the first cell
    // after the key); a key keeps its first value. Always true.
    bool LoadPhraseTables(const std::u16string& folder, unsigned column);
    // "SOD.csv" into the emptied destination phrase table; false (table unchanged) when not found.
    [[nodiscard]] bool LoadDestinationPhrases(const std::u16string& folder, unsigned column);
    // Parses "DecisionTables.csv" into the store and remembers it; false when not found.
    [[nodiscard]] bool LoadDecisionTables(const std::u16string& folder, DecisionTableStore& store);

    // Inserts key (cell 0) and value (cell column + 1) of every content line; always true.
    static bool LoadKeyValueTable(IFile* file, Table& table, unsigned column);
    // The same; true when the file held a content line and every one reached its value's cell
    // (a row that ends before it is inserted with an empty value all the same).
    // With lines, each key's first line is also kept there as the file holds it (see
    // ReadTextLine).
    static bool ReadWholeKeyValueRows(IFile* file, Table& table, unsigned column,
                                      Table* lines = nullptr);
    // One raw line without its CR LF: TABs are dropped and only CR LF ends a line, so a lone CR
    // or LF stays in the line (the CR dropped). "EOF" at the end of the file; a last line without
    // CR LF is returned before that. Empty without a file. With asWritten, that gets the line's
    // bytes as the file holds them, TABs and lone CRs too (its CR LF not).
    [[nodiscard]] static std::string ReadTextLine(IFile* file, std::string* asWritten = nullptr);
    // The next raw line that is neither empty nor begins with "#" or ";"; "EOF" at the end and
    // for a line holding exactly "EOF". asWritten as for ReadTextLine.
    [[nodiscard]] static std::string ReadContentLine(IFile* file, std::string* asWritten = nullptr);
    // Parses decision tables (Module, Condition and Value lines) into the store.
    static void ParseDecisionTables(IFile* file, DecisionTableStore& store);

    [[nodiscard]] const Table& GetGeneralSettings() const { return m_generalSettings; }
    // Each key of the general settings with its line as "General.properties" holds it.
    [[nodiscard]] const Table& GetGeneralLines() const { return m_generalLines; }
    [[nodiscard]] const Table& GetPhraseTable() const { return m_phraseTable; }
    [[nodiscard]] const Table& GetDestinationPhrases() const { return m_destinationPhrases; }
    // The store given to the last successful LoadDecisionTables, else null.
    [[nodiscard]] const DecisionTableStore* GetDecisionTables() const { return m_decisionTables; }
    [[nodiscard]] const SfsMountSet& GetArchives() const { return m_archives; }

    // What the last load of the named file found when it could not use the file whole: the
    // file as the folder spells it, when it is missing, empty, holds no row or table, has a row
    // without the value column read, or ends without its line end as a file cut short does; or
    // the archive it was looked for in, when
    // that is there but cannot be mounted, or when neither it nor any of the files lies plain in
    // the folder (without an archive: the folder). Empty when the file was read whole or not yet
    // looked for.
    [[nodiscard]] std::u16string GetUnusableFile(const std::u16string& name) const;

private:
    // OpenConfigFile, noting a missing file or one that does not end with a line end (emptied or
    // cut short); the note is cleared when the file is there whole.
    six::RefCntPtr<IFile> OpenCheckedFile(const std::u16string& folder, const std::u16string& name);
    // The file or archive to name for a file found nowhere.
    [[nodiscard]] std::u16string MissingFileToName(const std::u16string& folder,
                                                   const std::u16string& name) const;
    void NoteUnusable(const std::u16string& folder, const std::u16string& name);

    Table m_generalSettings;
    Table m_generalLines;
    Table m_phraseTable;
    Table m_destinationPhrases;
    SfsMountSet m_archives;
    DecisionTableStore* m_decisionTables = nullptr;
    std::map<std::u16string, std::u16string> m_unusableFiles; // file name -> what to name
};
