#include "advisor/advisorconfiguration.h"

#include "utilities/usefulcode/cache/sfsfile.h"
#include "utilities/usefulcode/handlefile.h"

#include "platform/files/files.h"
#include "platform/kernel/codepage.h"
#include "platform/kernel/text.h"

#include <memory>

namespace {

constexpr char kEndOfFile[] = "EOF";
constexpr char kTab = '\t';
constexpr char kCarriageReturn = '\r';
constexpr char kLineFeed = '\n';

constexpr std::u16string_view kRootConfigFolder = u"\\ConfigFiles\\";
constexpr std::u16string_view kRootArchive = u"\\ConfigFiles\\Advisor.sfs";
constexpr std::u16string_view kArchiveMark = u".SFS";

constexpr char16_t kGeneralFile[] = u"General.properties";
constexpr char16_t kDestinationFile[] = u"SOD.csv";
constexpr char16_t kDecisionFile[] = u"DecisionTables.csv";
constexpr const char16_t* kPhraseFiles[] = {u"SOA.csv", u"SpokenDistances.csv",
                                            u"RouteNumbers.csv"};
// The six files that may lie plain or in the archive.
constexpr const char16_t* kConfigFiles[] = {kGeneralFile,           u"SOA.csv",
                                            u"SpokenDistances.csv", u"RouteNumbers.csv",
                                            kDestinationFile,       kDecisionFile};

bool IsThere(const std::u16string& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool StartsWith(const std::string& text, std::string_view prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

template <class FileType> six::RefCntPtr<IFile> OpenAs(const std::u16string& path, FileHint hint) {
    auto file = std::make_unique<FileType>(path, FileAccess::Read, FileShare::Read,
                                           FileCreation::OpenExisting, hint);
    if (!file->IsOpen()) {
        return nullptr;
    }
    return six::RefCntPtr<IFile>(file.release()); // frees the file when it cannot count it
}

} // namespace

AdvisorConfiguration::AdvisorConfiguration() {
    (void)m_archives.Mount(u""); // only loads the archive library
}

std::u16string AdvisorConfiguration::SpelledConfigFilePath(const std::u16string& folder,
                                                           const std::u16string& name,
                                                           std::u16string* archive) {
    if (folder.empty() || folder == u"\\") {
        if (archive != nullptr) {
            *archive = kRootArchive;
        }
        return std::u16string(kRootConfigFolder) + name;
    }
    std::u16string upper = folder;
    for (char16_t& c : upper) {
        c = towupper(c);
    }
    std::u16string spelled = folder;
    if (upper.find(kArchiveMark) != std::u16string::npos) {
        if (archive != nullptr) {
            *archive = folder;
        }
        const std::size_t cut = folder.find_last_of(u"\\/");
        if (cut != std::u16string::npos) {
            spelled.erase(cut);
        }
    }
    return spelled + u"\\" + name;
}

std::u16string AdvisorConfiguration::ConfigFilePath(const std::u16string& folder,
                                                    const std::u16string& name,
                                                    std::u16string* archive) {
    std::u16string path = SpelledConfigFilePath(folder, name, archive);
    if (folder.empty() || folder == u"\\") {
        return path;
    }
    // The folder is upper-cased, the name is not.
    for (std::size_t i = 0; i + name.size() < path.size(); ++i) {
        path[i] = towupper(path[i]);
    }
    if (archive != nullptr) {
        for (char16_t& c : *archive) {
            c = towupper(c);
        }
    }
    return path;
}

six::RefCntPtr<IFile> AdvisorConfiguration::OpenConfigFile(const std::u16string& folder,
                                                           const std::u16string& name) {
    std::u16string archive;
    const std::u16string path = ConfigFilePath(folder, name, &archive);
    if (auto plain = OpenAs<HandleFile>(path, FileHint::RandomAccess)) {
        return plain;
    }
    // With no archive name this asks whether any archive is mounted, and mounting "" does nothing.
    if (!m_archives.IsMounted(archive)) {
        (void)m_archives.Mount(archive);
    }
    return OpenAs<SfsFile>(path, FileHint::RandomAccess);
}

std::u16string AdvisorConfiguration::MissingFileToName(const std::u16string& folder,
                                                       const std::u16string& name) const {
    std::u16string spelledArchive;
    const std::u16string path = SpelledConfigFilePath(folder, name, &spelledArchive);
    std::u16string archive;
    (void)ConfigFilePath(folder, name, &archive);
    if (!archive.empty() && m_archives.IsMounted(archive)) {
        return path;
    }
    if (!archive.empty() && IsThere(archive)) {
        return spelledArchive; // there, but refused
    }
    if (HoldsConfigFiles(folder)) {
        return path; // the files lie plain, and this one is missing
    }
    // Nothing is there: the archive, else the folder, is what is missing.
    return archive.empty() ? path.substr(0, path.size() - name.size() - 1) : spelledArchive;
}

bool AdvisorConfiguration::HoldsConfigFiles(const std::u16string& folder) {
    std::u16string archive;
    for (const char16_t* name : kConfigFiles) {
        if (IsThere(ConfigFilePath(folder, name, &archive))) {
            return true;
        }
    }
    return !archive.empty() && IsThere(archive);
}

void AdvisorConfiguration::NoteUnusable(const std::u16string& folder, const std::u16string& name) {
    m_unusableFiles[name] = SpelledConfigFilePath(folder, name);
}

six::RefCntPtr<IFile> AdvisorConfiguration::OpenCheckedFile(const std::u16string& folder,
                                                            const std::u16string& name) {
    six::RefCntPtr<IFile> file = OpenConfigFile(folder, name);
    if (!file) {
        m_unusableFiles[name] = MissingFileToName(folder, name);
        return file;
    }
    // Every line ends with CR LF, the last one too: a file that does not was emptied or cut.
    const DWORD size = file->GetSize();
    char end[2] = {};
    const bool isWhole = size != kInvalidFilePosition && size >= sizeof end &&
                         file->Seek(static_cast<LONG>(size - sizeof end), SeekOrigin::Begin) !=
                             kInvalidFilePosition &&
                         file->Read(end, sizeof end) == sizeof end && end[0] == kCarriageReturn &&
                         end[1] == kLineFeed;
    (void)file->Seek(0, SeekOrigin::Begin);
    if (isWhole) {
        m_unusableFiles.erase(name);
    } else {
        NoteUnusable(folder, name);
    }
    return file;
}

std::u16string AdvisorConfiguration::GetUnusableFile(const std::u16string& name) const {
    const auto found = m_unusableFiles.find(name);
    return found == m_unusableFiles.end() ? std::u16string() : found->second;
}

std::string AdvisorConfiguration::ReadTextLine(IFile* file, std::string* asWritten) {
    std::string line;
    std::string written;
    if (file == nullptr) {
        return line;
    }
    // Reads ahead a block at a time and gives back what follows the line, so that the file
    // stands just after the line's CR LF as if it had been read a byte at a time.
    char block[256];
    for (;;) {
        const DWORD got = file->Read(block, sizeof block);
        if (got == 0 || got > sizeof block) {
            break;
        }
        DWORD next = 0;
        while (next < got) {
            const char byte = block[next++];
            if (byte == kTab) {
                written.push_back(byte);
                continue;
            }
            if (byte != kCarriageReturn) {
                line.push_back(byte);
                written.push_back(byte);
                continue;
            }
            char after = 0;
            bool ended = false;
            if (next < got) {
                after = block[next++];
            } else {
                ended = file->Read(&after, 1) != 1;
            }
            if (ended || after == kLineFeed) {
                if (next < got) {
                    (void)file->Seek(-static_cast<LONG>(got - next), SeekOrigin::Current);
                }
                if (ended) {
                    written.push_back(byte);
                }
                if (asWritten != nullptr) {
                    *asWritten = std::move(written);
                }
                return line;
            }
            written.push_back(byte);
            written.push_back(after);
            if (after != kTab) {
                line.push_back(after);
            }
        }
    }
    if (asWritten != nullptr) {
        *asWritten = std::move(written);
    }
    // A last line without CR LF is still a line; only an empty rest is the end.
    return line.empty() ? std::string(kEndOfFile) : line;
}

std::string AdvisorConfiguration::ReadContentLine(IFile* file, std::string* asWritten) {
    for (;;) {
        std::string line = ReadTextLine(file, asWritten);
        if (line == kEndOfFile) {
            return line;
        }
        if (file == nullptr) {
            return kEndOfFile;
        }
        if (!line.empty() && line[0] != '#' && line[0] != ';') {
            return line;
        }
    }
}

bool AdvisorConfiguration::LoadKeyValueTable(IFile* file, Table& table, unsigned column) {
    (void)ReadWholeKeyValueRows(file, table, column);
    return true;
}

bool AdvisorConfiguration::ReadWholeKeyValueRows(IFile* file, Table& table, unsigned column,
                                                 Table* lines) {
    bool hasRow = false;
    bool isEveryValueThere = true;
    std::string written;
    for (std::string line = ReadContentLine(file, &written); line != kEndOfFile;
         line = ReadContentLine(file, &written)) {
        CellSplitter cells(line);
        const std::string key = cells.Next();
        std::string value;
        for (unsigned i = 0; i <= column; ++i) {
            isEveryValueThere = isEveryValueThere && !cells.IsAtEnd();
            value = cells.Next();
        }
        if (lines != nullptr) {
            lines->emplace(platform::AnsiToWide(key), platform::AnsiToWide(written));
        }
        table.emplace(platform::AnsiToWide(key), platform::AnsiToWide(value));
        hasRow = true;
    }
    return hasRow && isEveryValueThere;
}

bool AdvisorConfiguration::LoadGeneralProperties(const std::u16string& folder) {
    const six::RefCntPtr<IFile> file = OpenCheckedFile(folder, kGeneralFile);
    if (!file) {
        return false;
    }
    if (!ReadWholeKeyValueRows(file.Get(), m_generalSettings, 0, &m_generalLines)) {
        NoteUnusable(folder, kGeneralFile);
    }
    return true;
}

bool AdvisorConfiguration::LoadPhraseTables(const std::u16string& folder, unsigned column) {
    m_phraseTable.clear();
    for (const char16_t* name : kPhraseFiles) {
        const six::RefCntPtr<IFile> file = OpenCheckedFile(folder, name);
        if (file && !ReadWholeKeyValueRows(file.Get(), m_phraseTable, column)) {
            NoteUnusable(folder, name);
        }
    }
    return true;
}

bool AdvisorConfiguration::LoadDestinationPhrases(const std::u16string& folder, unsigned column) {
    const six::RefCntPtr<IFile> file = OpenCheckedFile(folder, kDestinationFile);
    if (!file) {
        return false;
    }
    m_destinationPhrases.clear();
    if (!ReadWholeKeyValueRows(file.Get(), m_destinationPhrases, column)) {
        NoteUnusable(folder, kDestinationFile);
    }
    return true;
}

bool AdvisorConfiguration::LoadDecisionTables(const std::u16string& folder,
                                              DecisionTableStore& store) {
    const six::RefCntPtr<IFile> file = OpenCheckedFile(folder, kDecisionFile);
    if (!file) {
        return false;
    }
    const std::size_t modules = store.GetModules().size();
    ParseDecisionTables(file.Get(), store);
    if (store.GetModules().size() == modules) {
        NoteUnusable(folder, kDecisionFile);
    }
    m_decisionTables = &store;
    return true;
}

void AdvisorConfiguration::ParseDecisionTables(IFile* file, DecisionTableStore& store) {
    std::string line = ReadContentLine(file);
    while (line != kEndOfFile) {
        CellSplitter moduleCells(line);
        if (moduleCells.Next() != "Module") {
            line = ReadContentLine(file);
            continue;
        }
        const std::u16string moduleName = platform::AnsiToWide(moduleCells.Next());
        const std::string conditionLine = ReadContentLine(file);
        CellSplitter conditionCells(conditionLine);
        if (conditionLine == kEndOfFile) {
            return;
        }
        if (conditionCells.Next() != "Condition") {
            line = ReadContentLine(file); // the table goes with its broken condition line
            continue;
        }
        std::vector<std::u16string> conditions;
        for (std::string cell = conditionCells.Next(); !cell.empty();
             cell = conditionCells.Next()) {
            conditions.push_back(platform::AnsiToWide(cell));
        }
        std::vector<std::u16string> keys;
        std::vector<std::u16string> results;
        for (line = ReadContentLine(file); line != kEndOfFile && !StartsWith(line, "Module");
             line = ReadContentLine(file)) {
            CellSplitter rowCells(line);
            if (rowCells.Next() != "Value") {
                continue;
            }
            std::string key;
            for (std::size_t i = 0; i < conditions.size(); ++i) {
                key += (i == 0 ? "" : ".") + rowCells.Next();
            }
            keys.push_back(platform::AnsiToWide(key));
            results.push_back(platform::AnsiToWide(rowCells.Next()));
        }
        DecisionModule module;
        module.Set(moduleName, conditions, keys, results);
        store.Add(module);
    }
}
