#include "traffic/tmcdatabase.h"

#include "traffic/detail/tmctables.h"
#include "utilities/usefulcode/filecheck.h"

#include "platform/files/files.h"
#include "platform/kernel/debug.h"
#include "platform/shell/modulepath.h"

#include <array>
#include <new>

namespace {

using enum ColumnType;

constexpr ColumnType kEventColumns[] = {UInt16, Text128, UInt8, UInt8, UInt8,
                                        UInt8,  UInt8,   UInt8, UInt8, UInt8};
constexpr ColumnType kPairColumns[] = {UInt32, UInt32};
constexpr ColumnType kChainColumns[] = {UInt32, UInt32, UInt32};
constexpr ColumnType kNameColumns[] = {UInt32, Text64};
constexpr ColumnType kNumberColumns[] = {UInt32, Text8};
constexpr ColumnType kTypeColumns[] = {UInt32, UInt8, UInt8, UInt8, UInt8};
constexpr ColumnType kCookieColumns[] = {Int32, Int32, Int16, Int16};
constexpr ColumnType kSignColumns[] = {UInt8, Text64};

void Report(const std::u16string& path, const std::u16string& what) {
    OutputDebugStringW((path + u": " + what + u"\n").c_str());
}

std::u16string Join(const std::u16string& folder, const std::u16string& name) {
    if (folder.empty() || folder.back() == u'\\' || folder.back() == u'/') {
        return folder + name;
    }
    return folder + u"\\" + name;
}

bool Exists(const std::u16string& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The program's folder + "\tmc".
std::u16string ProgramTmcFolder() {
    std::array<WCHAR, MAX_PATH + 1> buffer{};
    const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), MAX_PATH + 1);
    std::u16string path(buffer.data(), length < buffer.size() ? length : 0);
    const std::size_t separator = path.find_last_of(u"\\/");
    return (separator == std::u16string::npos ? std::u16string() : path.substr(0, separator)) +
           u"\\tmc";
}

// Which of the accepted layouts (0: the first count0 columns, 1: one more) the table has.
std::uint16_t LayoutOf(const FsrTable& table, const ColumnType* columns, std::uint32_t count0) {
    if (table.HasColumnTypes(columns, count0)) {
        return 0;
    }
    return table.HasColumnTypes(columns, count0 + 1) ? 1 : TmcTables::kNoLayout;
}

struct SlotInfo {
    const char16_t* name;
    FsrTable TmcTables::*table;
    const ColumnType* columns;
    std::uint32_t count; // of layout 0 where there are two
    std::uint16_t TmcTables::*layout;
};

constexpr SlotInfo kSlots[kTmcTableCount] = {
    {u"Loc2Cookie.fsr", &TmcTables::cookie, kCookieColumns, 3, &TmcTables::cookieLayout},
    {u"Events.fsr", &TmcTables::events, kEventColumns, 10, nullptr},
    {u"Loc2Area.fsr", &TmcTables::area, kPairColumns, 2, nullptr},
    {u"Loc2Chain.fsr", &TmcTables::chain, kChainColumns, 3, nullptr},
    {u"Loc2First.fsr", &TmcTables::first, kNameColumns, 2, nullptr},
    {u"Loc2Line.fsr", &TmcTables::line, kPairColumns, 2, nullptr},
    {u"Loc2RoadName.fsr", &TmcTables::roadName, kNameColumns, 2, nullptr},
    {u"Loc2RoadNum.fsr", &TmcTables::roadNumber, kNumberColumns, 2, nullptr},
    {u"Loc2Type.fsr", &TmcTables::type, kTypeColumns, 4, &TmcTables::typeLayout},
    {u"Loc2Second.fsr", &TmcTables::second, kNameColumns, 2, nullptr},
    {u"EUC2SFN.fsr", &TmcTables::signNames, kSignColumns, 2, nullptr},
};

// Checks the columns of an opened table; takes the layout of a two-layout table.
bool CheckColumns(TmcTables& tables, const SlotInfo& slot) {
    const FsrTable& table = tables.*slot.table;
    if (slot.layout == nullptr) {
        return table.HasColumnTypes(slot.columns, slot.count);
    }
    tables.*slot.layout = LayoutOf(table, slot.columns, slot.count);
    return tables.*slot.layout != TmcTables::kNoLayout;
}

// Opens a table mapped, else from the mounted archives, and checks its columns.
bool OpenTmcTable(TmcTables& tables, TmcTableSlot slotNumber, const std::u16string& folder) {
    const SlotInfo& slot = kSlots[static_cast<int>(slotNumber)];
    FsrTable& table = tables.*slot.table;
    const std::u16string path = Join(folder, slot.name);
    if (table.OpenMapped(path) && CheckColumns(tables, slot)) {
        return true;
    }
    table.Close();
    if (tables.archives.IsMounted(u"") && table.OpenArchived(path) && CheckColumns(tables, slot)) {
        return true;
    }
    table.Close();
    Report(path, u"missing, or not the columns of this TMC table");
    // A table that is there but refused is damaged, and named; a missing one is not.
    if (Exists(path)) {
        (void)ShowDamagedFileMessage(path);
    }
    return false;
}

} // namespace

const char16_t* TmcTableName(TmcTableSlot slot) {
    return kSlots[static_cast<int>(slot)].name;
}

bool AttachTmcTable(TmcTables& tables, TmcTableSlot slotNumber, IFile& headerFile,
                    CachedFilePtr file) {
    const SlotInfo& slot = kSlots[static_cast<int>(slotNumber)];
    FsrTable& table = tables.*slot.table;
    if (table.Attach(headerFile, std::move(file)) && CheckColumns(tables, slot)) {
        return true;
    }
    table.Close();
    return false;
}

FsrRowRange FindTmcRows(const FsrTable& table, ColumnType keyType, std::uint32_t key) {
    const std::array<std::uint8_t, 4> bytes = {
        static_cast<std::uint8_t>(key), static_cast<std::uint8_t>(key >> 8),
        static_cast<std::uint8_t>(key >> 16), static_cast<std::uint8_t>(key >> 24)};
    return table.FindRows(FieldValue(static_cast<std::uint32_t>(keyType), bytes.data()), false);
}

TmcDatabase::TmcDatabase(BlockCachePtr cache)
    : m_cache(std::move(cache))
    , m_tables(std::make_unique<TmcTables>(m_cache)) {}

TmcDatabase::~TmcDatabase() {
    Unload();
}

bool TmcDatabase::Load(const std::u16string& path) {
    Unload();
    TmcTables& t = *m_tables;
    const std::u16string tableFolder = Exists(Join(path, u"tmc.sfs")) ? path : ProgramTmcFolder();
    const std::u16string& cookieFolder = path;
    bool isOpen = false;
    if (tableFolder != cookieFolder) {
        (void)MountSfsArchivesInFolder(t.archives, cookieFolder);
        isOpen = OpenTmcTable(t, TmcTableSlot::Cookie, cookieFolder);
        // The opened member stays readable after its archive is unmounted.
        t.archives.UnmountAll();
        (void)MountSfsArchivesInFolder(t.archives, tableFolder);
    } else {
        (void)MountSfsArchivesInFolder(t.archives, tableFolder);
        isOpen = OpenTmcTable(t, TmcTableSlot::Cookie, cookieFolder);
    }
    for (int slot = 1; isOpen && slot < kTmcTableCount; ++slot) {
        isOpen = OpenTmcTable(t, static_cast<TmcTableSlot>(slot), tableFolder);
    }
    t.isLoaded = isOpen;
    return isOpen;
}

void TmcDatabase::Unload() {
    TmcTables& t = *m_tables;
    for (FsrTable* table : {&t.events, &t.area, &t.chain, &t.first, &t.line, &t.roadName,
                            &t.roadNumber, &t.second, &t.type, &t.cookie, &t.signNames}) {
        table->Close();
    }
    t.typeLayout = TmcTables::kNoLayout;
    t.cookieLayout = TmcTables::kNoLayout;
    t.archives.UnmountAll();
    t.isLoaded = false;
}

bool TmcDatabase::IsLoaded() const {
    return m_tables->isLoaded;
}

TmcLocationPtr TmcDatabase::FindLocation(std::uint32_t code) {
    if (!FindTmcRows(m_tables->type, ColumnType::UInt32, code).IsValid()) {
        return nullptr;
    }
    return TmcLocationPtr(new (std::nothrow) TmcLocation(*this, code));
}

TmcEventPtr TmcDatabase::FindEvent(std::uint16_t code) {
    if (!FindTmcRows(m_tables->events, ColumnType::UInt16, code).IsValid()) {
        return nullptr;
    }
    return TmcEventPtr(new (std::nothrow) TmcEvent(*this, code));
}

std::string TmcDatabase::GetSpareText(std::uint8_t key) {
    return std::string(
        FindTmcRows(m_tables->spareText, ColumnType::UInt8, key).GetValue(1).AsText());
}

TmcDatabasePtr CreateTmcDatabase(BlockCachePtr cache) {
    try {
        return TmcDatabasePtr(new TmcDatabase(std::move(cache)));
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
