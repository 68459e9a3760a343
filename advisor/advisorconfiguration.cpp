#include "advisor/advisorconfiguration.h"

#include "utilities/usefulcode/cache/sfsfile.h"
#include "utilities/usefulcode/handlefile.h"

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

constexpr const char16_t* kPhraseFiles[] = {u"SOA.csv", u"SpokenDistances.csv",
                                            u"RouteNumbers.csv"};

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

std::u16string AdvisorConfiguration::ConfigFilePath(const std::u16string& folder,
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
    if (upper.find(kArchiveMark) != std::u16string::npos) {
        if (archive != nullptr) {
            *archive = upper;
        }
        const std::size_t cut = upper.find_last_of(u"\\/");
        if (cut != std::u16string::npos) {
            upper.erase(cut);
        }
    }
    return upper + u"\\" + name;
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

std::string AdvisorConfiguration::ReadTextLine(IFile* file) {
    std::string line;
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
                continue;
            }
            if (byte != kCarriageReturn) {
                line.push_back(byte);
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
                return line;
            }
            if (after != kTab) {
                line.push_back(after);
            }
        }
    }
    // A last line without CR LF is still a line; only an empty rest is the end.
    return line.empty() ? std::string(kEndOfFile) : line;
}

std::string AdvisorConfiguration::ReadContentLine(IFile* file) {
    for (;;) {
        std::string line = ReadTextLine(file);
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
    for (std::string line = ReadContentLine(file); line != kEndOfFile;
         line = ReadContentLine(file)) {
        CellSplitter cells(line);
        const std::string key = cells.Next();
        std::string value;
        for (unsigned i = 0; i <= column; ++i) {
            value = cells.Next();
        }
        table.emplace(platform::AnsiToWide(key), platform::AnsiToWide(value));
    }
    return true;
}

bool AdvisorConfiguration::LoadGeneralProperties(const std::u16string& folder) {
    const six::RefCntPtr<IFile> file = OpenConfigFile(folder, u"General.properties");
    if (!file) {
        return false;
    }
    return LoadKeyValueTable(file.Get(), m_generalSettings, 0);
}

bool AdvisorConfiguration::LoadPhraseTables(const std::u16string& folder, unsigned column) {
    m_phraseTable.clear();
    for (const char16_t* name : kPhraseFiles) {
        if (const six::RefCntPtr<IFile> file = OpenConfigFile(folder, name)) {
            LoadKeyValueTable(file.Get(), m_phraseTable, column);
        }
    }
    return true;
}

bool AdvisorConfiguration::LoadDestinationPhrases(const std::u16string& folder, unsigned column) {
    const six::RefCntPtr<IFile> file = OpenConfigFile(folder, u"SOD.csv");
    if (!file) {
        return false;
    }
    m_destinationPhrases.clear();
    return LoadKeyValueTable(file.Get(), m_destinationPhrases, column);
}

bool AdvisorConfiguration::LoadDecisionTables(const std::u16string& folder,
                                              DecisionTableStore& store) {
    const six::RefCntPtr<IFile> file = OpenConfigFile(folder, u"DecisionTables.csv");
    if (!file) {
        return false;
    }
    ParseDecisionTables(file.Get(), store);
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
