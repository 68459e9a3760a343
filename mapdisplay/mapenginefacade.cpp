#include "mapdisplay/mapenginefacade.h"

#include "basiccomp/retrievalengine/code/leveltextfile.h"
#include "basiccomp/retrievalengine/code/mapelement.h"
#include "utilities/mapgeometry/elementrecord.h"
#include "utilities/usefulcode/filecheck.h"

#include "platform/files/files.h"

#include <algorithm>
#include <climits>
#include <new>

namespace {

bool IsBlank(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\v' || c == u'\f' || c == u'\r';
}

// Reads the fields of "%s %s %d %s" from a line, each bounded by the line.
class LineScanner {
public:
    explicit LineScanner(std::u16string_view line)
        : m_line(line) {}

    std::optional<std::u16string> Word() {
        SkipBlanks();
        const std::size_t begin = m_at;
        while (m_at < m_line.size() && !IsBlank(m_line[m_at]))
            ++m_at;
        if (m_at == begin)
            return std::nullopt;
        return std::u16string(m_line.substr(begin, m_at - begin));
    }
    std::optional<int> Number() {
        SkipBlanks();
        bool isNegative = false;
        if (m_at < m_line.size() && (m_line[m_at] == u'-' || m_line[m_at] == u'+'))
            isNegative = m_line[m_at++] == u'-';
        long long value = 0;
        const std::size_t digitsBegin = m_at;
        while (m_at < m_line.size() && m_line[m_at] >= u'0' && m_line[m_at] <= u'9') {
            value = std::min<long long>(value * 10 + (m_line[m_at] - u'0'), INT_MAX + 1LL);
            ++m_at;
        }
        if (m_at == digitsBegin)
            return std::nullopt;
        value = isNegative ? -value : value;
        return static_cast<int>(std::clamp<long long>(value, INT_MIN, INT_MAX));
    }

private:
    void SkipBlanks() {
        while (m_at < m_line.size() && IsBlank(m_line[m_at]))
            ++m_at;
    }
    std::u16string_view m_line;
    std::size_t m_at = 0;
};

bool EndsList(std::u16string_view line) {
    return line.empty() || line[0] == u'\r' || line[0] == u'\n' ||
           line.find(u".iso") != std::u16string_view::npos;
}

std::optional<std::vector<LevelLine>> ParseLines(LevelTextFile& file) {
    std::vector<LevelLine> lines;
    while (true) {
        const std::u16string text = file.ReadLine(LevelTextFile::kLineCapacity);
        if (EndsList(text))
            return lines;
        LineScanner scanner(text);
        LevelLine line;
        auto mapSet = scanner.Word();
        auto style = scanner.Word();
        auto scale = scanner.Number();
        if (!mapSet || !style || !scale)
            return std::nullopt;
        line.mapSet = std::move(*mapSet);
        line.style = std::move(*style);
        line.scale = *scale;
        line.alternateStyle = scanner.Word().value_or(line.style);
        lines.push_back(std::move(line));
    }
}

bool HasLevelExtension(const std::u16string& path) {
    const std::size_t dot = path.rfind(u'.');
    if (dot == std::u16string::npos)
        return false;
    const std::u16string_view extension = std::u16string_view(path).substr(dot);
    constexpr std::u16string_view kExtension = u".lvl";
    return extension.size() == kExtension.size() &&
           std::equal(extension.begin(), extension.end(), kExtension.begin(),
                      [](char16_t a, char16_t b) {
                          const char16_t lower = a >= u'A' && a <= u'Z' ? a - u'A' + u'a' : a;
                          return lower == b;
                      });
}

std::u16string FolderOf(const std::u16string& path) {
    const std::size_t slash = path.find_last_of(u"/\\");
    return slash == std::u16string::npos ? std::u16string() : path.substr(0, slash + 1);
}

} // namespace

std::optional<std::vector<LevelLine>> ParseLevelLines(std::span<const std::uint8_t> bytes) {
    LevelTextFile file;
    file.Attach(std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
    return ParseLines(file);
}

bool LevelEngine::IsDetailed() const {
    return m_engine->GetMapKind() == RidFile::kMapKindWithAddressIndex;
}

std::int16_t LevelEngine::GetCountryOfElement(std::uint32_t id) {
    return m_engine->GetCountryOfElement(id);
}

std::unique_ptr<LayerCursor> LevelEngine::QueryOnLayer(const LayerFilter& filter) {
    return QueryElementsOnLayer(*m_engine, filter);
}

std::unique_ptr<DrawCursor> LevelEngine::QueryForDrawing(const DrawFilter& filter) {
    return QueryElementsForDrawing(*m_engine, filter);
}

six::RefCntPtr<MapEngineFacade> MapEngineFacade::Create(std::uint32_t capacityKb,
                                                        LevelEngineFactory factory) {
    BlockCachePtr cache = BlockCache::Create(capacityKb);
    if (!cache)
        return nullptr;
    return six::RefCntPtr<MapEngineFacade>(new (std::nothrow)
                                               MapEngineFacade(cache, std::move(factory)));
}

MapEngineFacade::MapEngineFacade(BlockCachePtr cache, LevelEngineFactory factory)
    : m_cache(std::move(cache))
    , m_factory(std::move(factory)) {
    if (!m_factory) {
        m_factory = [](const BlockCachePtr& blockCache) -> std::unique_ptr<LevelEngine> {
            auto engine = RetrievalEngineImpl::CreateEngine(blockCache);
            if (!engine)
                return nullptr;
            return std::make_unique<LevelEngine>(std::move(engine));
        };
    }
}

MapEngineFacade::~MapEngineFacade() {
    Clear();
}

template <class Result, class Read> Result MapEngineFacade::ReadLevel0(Result fallback, Read read) {
    ReaderLockGuard guard(m_readers, m_loaders);
    if (m_levels.empty())
        return fallback;
    return read(m_levels.front().engine->Get());
}

bool MapEngineFacade::IsCookie2CountryOpen() {
    return ReadLevel0(false, [](RetrievalEngineImpl& e) { return e.IsCookie2CountryOpen(); });
}

bool MapEngineFacade::IsOpen() {
    return ReadLevel0(false, [](RetrievalEngineImpl& e) { return e.IsOpen(); });
}

GeoMoleculePtr MapEngineFacade::CreateGeoMolecule(std::uint32_t id, std::uint16_t code) {
    return ReadLevel0(GeoMoleculePtr(),
                      [&](RetrievalEngineImpl& e) { return e.CreateGeoMolecule(id, code); });
}

GeoMoleculePtr MapEngineFacade::CreateMappedGeoMolecule(std::uint32_t id,
                                                        const std::u16string& name,
                                                        std::uint16_t code) {
    return ReadLevel0(GeoMoleculePtr(), [&](RetrievalEngineImpl& e) {
        return e.CreateMappedGeoMolecule(id, name, code);
    });
}

QueryDefaults MapEngineFacade::GetQueryDefaults() {
    return ReadLevel0(QueryDefaults(), [](RetrievalEngineImpl& e) { return e.GetQueryDefaults(); });
}

QueryDefaults* MapEngineFacade::GetQueryDefaultsRef() {
    return ReadLevel0(&m_defaults, [](RetrievalEngineImpl& e) { return e.GetQueryDefaultsRef(); });
}

GeoMoleculeCursorPtr MapEngineFacade::FindAlong(const std::vector<std::vector<GeoPoint>>& geometry,
                                                float distance, const std::u16string& name) {
    return ReadLevel0(GeoMoleculeCursorPtr(), [&](RetrievalEngineImpl& e) {
        return e.FindAlong(geometry, distance, name);
    });
}

GeoMoleculeCursorPtr MapEngineFacade::FindInPostalCode(const std::u16string& postalCode,
                                                       std::uint32_t value,
                                                       const std::u16string& name) {
    return ReadLevel0(GeoMoleculeCursorPtr(), [&](RetrievalEngineImpl& e) {
        return e.FindInPostalCode(postalCode, value, name);
    });
}

GeoMoleculeCursorPtr MapEngineFacade::FindInArea(std::uint32_t areaId, const std::u16string& name) {
    return ReadLevel0(GeoMoleculeCursorPtr(),
                      [&](RetrievalEngineImpl& e) { return e.FindInArea(areaId, name); });
}

GeoMoleculeCursorPtr MapEngineFacade::FindAround(const GeoPoint& position, float radius,
                                                 const std::u16string& name) {
    return ReadLevel0(GeoMoleculeCursorPtr(),
                      [&](RetrievalEngineImpl& e) { return e.FindAround(position, radius, name); });
}

GeoMoleculeCursorPtr MapEngineFacade::FindInRect(const GeoRect& rect, const std::u16string& name) {
    return ReadLevel0(GeoMoleculeCursorPtr(),
                      [&](RetrievalEngineImpl& e) { return e.FindInRect(rect, name); });
}

std::u16string MapEngineFacade::LookupArea(std::uint32_t areaId) {
    return ReadLevel0(std::u16string(),
                      [&](RetrievalEngineImpl& e) { return e.LookupArea(areaId); });
}

std::u16string MapEngineFacade::GetETypeName(std::uint16_t typeId) {
    return ReadLevel0(std::u16string(),
                      [&](RetrievalEngineImpl& e) { return e.GetETypeName(typeId); });
}

std::vector<CountryPtr> MapEngineFacade::GetCountries(std::uint16_t language) {
    return ReadLevel0(std::vector<CountryPtr>(),
                      [&](RetrievalEngineImpl& e) { return e.GetCountries(language); });
}

AddressCursorPtr MapEngineFacade::FindCities(const std::u16string& name, std::uint16_t country) {
    return ReadLevel0(AddressCursorPtr(),
                      [&](RetrievalEngineImpl& e) { return e.FindCities(name, country); });
}

PostalCodeCursorPtr MapEngineFacade::FindPostalCodes(const std::u16string& postalCode,
                                                     std::uint16_t value) {
    return ReadLevel0(PostalCodeCursorPtr(),
                      [&](RetrievalEngineImpl& e) { return e.FindPostalCodes(postalCode, value); });
}

TypeCursorPtr MapEngineFacade::GetETypeCursor() {
    return ReadLevel0(TypeCursorPtr(), [](RetrievalEngineImpl& e) { return e.GetETypeCursor(); });
}

CountryPtr MapEngineFacade::GetCountry(std::uint16_t number, std::uint16_t language) {
    return ReadLevel0(CountryPtr(),
                      [&](RetrievalEngineImpl& e) { return e.GetCountry(number, language); });
}

AddressResultPtr MapEngineFacade::GetAddressOfElement(std::uint32_t elementId,
                                                      std::uint16_t value) {
    return ReadLevel0(AddressResultPtr(), [&](RetrievalEngineImpl& e) {
        return e.GetAddressOfElement(elementId, value);
    });
}

std::int32_t MapEngineFacade::WalkAreaHierarchy(std::uint32_t areaId, std::uint32_t value) {
    return ReadLevel0(std::int32_t{-1},
                      [&](RetrievalEngineImpl& e) { return e.WalkAreaHierarchy(areaId, value); });
}

bool MapEngineFacade::HasAddressIndex() {
    return ReadLevel0(false, [](RetrievalEngineImpl& e) { return e.HasAddressIndex(); });
}

bool MapEngineFacade::HasNameFile() {
    return ReadLevel0(false, [](RetrievalEngineImpl& e) { return e.HasNameFile(); });
}

bool MapEngineFacade::IsHouseNumbersOpen() {
    return ReadLevel0(false, [](RetrievalEngineImpl& e) { return e.IsHouseNumbersOpen(); });
}

GeoRect MapEngineFacade::GetExtent() {
    return ReadLevel0(GeoRect{}, [](RetrievalEngineImpl& e) { return e.GetExtent(); });
}

six::IntfPtr<MapElement> MapEngineFacade::GetMappedElement(std::uint32_t id) {
    return ReadLevel0(six::IntfPtr<MapElement>(),
                      [&](RetrievalEngineImpl& e) { return e.GetMappedElement(id); });
}

ElementCursorPtr MapEngineFacade::QueryArea(const GeoRect& rect, std::uint32_t from,
                                            std::uint32_t to) {
    return ReadLevel0(ElementCursorPtr(),
                      [&](RetrievalEngineImpl& e) { return e.QueryArea(rect, from, to); });
}

bool MapEngineFacade::LoadLevelFile(const std::u16string& path) {
    std::u16string damaged;
    switch (LoadLevels(path, damaged)) {
    case LevelLoad::AlreadyLoaded:
        return true;
    case LevelLoad::Loaded:
        NotifyOpened();
        return true;
    case LevelLoad::Damaged:
        // With the loader group left: the box's modal loop may draw the map.
        (void)ShowDamagedFileMessage(damaged);
        return false;
    case LevelLoad::Failed:
        break;
    }
    return false;
}

MapEngineFacade::LevelLoad MapEngineFacade::LoadLevels(const std::u16string& path,
                                                       std::u16string& damaged) {
    ReaderLockGuard guard(m_loaders, m_readers);
    if (!m_levels.empty() && m_levelFilePath == path)
        return LevelLoad::AlreadyLoaded;
    Clear();
    m_levelFilePath = path;
    if (!HasLevelExtension(path))
        return LevelLoad::Failed;
    const std::u16string folder = FolderOf(path);
    LevelTextFile file;
    if (!file.Open(path))
        return LevelLoad::Failed;
    // A level file without a byte names no map set: it is damaged, as one that does not scan.
    const bool isEmpty = file.IsAtEnd();
    const std::optional<std::vector<LevelLine>> lines = ParseLines(file);
    if (!lines || (lines->empty() && isEmpty)) {
        damaged = path;
        return LevelLoad::Damaged;
    }
    for (const LevelLine& line : *lines) {
        MapLevel level;
        level.engine = m_factory(m_cache);
        level.style = std::make_shared<MapStyle>();
        level.styleFile = folder + line.style;
        level.alternateStyleFile = folder + line.alternateStyle;
        level.scale = static_cast<float>(line.scale);
        if (!level.engine || !level.engine->Get().Open(folder + line.mapSet)) {
            m_levels.clear();
            return LevelLoad::Failed;
        }
        if (!level.style->Load(level.styleFile)) {
            m_levels.clear();
            // A style sheet that is there but does not load is damaged; a missing one is not.
            if (GetFileAttributesW(level.styleFile.c_str()) == INVALID_FILE_ATTRIBUTES)
                return LevelLoad::Failed;
            damaged = level.styleFile;
            return LevelLoad::Damaged;
        }
        level.isStyleLoaded = true;
        m_levels.push_back(std::move(level));
    }
    return LevelLoad::Loaded;
}

bool MapEngineFacade::HasLevels() {
    ReaderLockGuard guard(m_readers, m_loaders);
    return !m_levels.empty();
}

void MapEngineFacade::Clear() {
    {
        ReaderLockGuard guard(m_loaders, m_readers);
        m_levels.clear();
    }
    NotifyClosed();
}

MapEngineFacade::MapLevel* MapEngineFacade::ChooseLevel(float scale) {
    if (m_levels.empty())
        return nullptr;
    for (MapLevel& level : m_levels) {
        if (!(level.scale < scale))
            return &level;
    }
    return &m_levels.back();
}

bool MapEngineFacade::RebuildStyle(MapLevel& level) {
    level.style = std::make_shared<MapStyle>();
    level.isStyleLoaded =
        level.style->Load(m_isAlternate ? level.alternateStyleFile : level.styleFile);
    if (level.isStyleLoaded)
        level.isAlternateLoaded = m_isAlternate;
    return level.isStyleLoaded;
}

six::RefCntPtr<MapElement> MapEngineFacade::FindElementAt(const GeoRect& rect, float scale) {
    ReaderLockGuard guard(m_readers, m_loaders);
    MapLevel* level = ChooseLevel(scale);
    if (level == nullptr)
        return nullptr;
    std::shared_ptr<MapStyle> style;
    {
        std::lock_guard lock(m_styleMutex);
        style = level->style;
    }
    ScaleFilter filter;
    filter.rect = DegreesToMapUnits(rect);
    filter.rect.Normalize();
    filter.scale = scale;
    filter.table = &style->ScaleTable();
    auto cursor = QueryElementsByScale(level->engine->Get(), filter);
    if (!cursor)
        return nullptr;
    std::uint32_t foundId = kNoElementId;
    std::uint32_t linkId = kNoElementId;
    int foundLayer = -1;
    for (; cursor->IsValid(); cursor->Next()) {
        const GeometryRef& geometry = cursor->GetGeometry();
        if (!geometry || !geometry->Intersects(filter.rect))
            continue;
        const int layer = maprecord::RecordSubtype(cursor->GetRecord());
        if (layer >= foundLayer) {
            foundLayer = layer;
            foundId = cursor->GetElementId();
            linkId = maprecord::RecordAttributeWord(cursor->GetRecord());
        }
    }
    if (foundLayer < 0)
        return nullptr;
    RetrievalEngineImpl* engine = &level->engine->Get();
    if (!level->engine->IsDetailed()) {
        LevelEngine& first = *m_levels.front().engine;
        engine = &first.Get();
        if (first.IsDetailed())
            foundId = linkId;
    }
    return engine->GetElement(foundId);
}

RetrievalEngineImpl* MapEngineFacade::GetLevelEngine(float scale, float* levelScale) {
    ReaderLockGuard guard(m_readers, m_loaders);
    MapLevel* level = ChooseLevel(scale);
    if (level == nullptr)
        return nullptr;
    if (levelScale != nullptr)
        *levelScale = level->scale;
    return &level->engine->Get();
}

const char16_t* MapEngineFacade::GetLevelStyleName(float scale, bool alternate) {
    ReaderLockGuard guard(m_readers, m_loaders);
    MapLevel* level = ChooseLevel(scale);
    if (level == nullptr)
        return nullptr;
    return alternate ? level->alternateStyleFile.c_str() : level->styleFile.c_str();
}

bool MapEngineFacade::SelectLevelStyle(float scale, bool alternate) {
    ReaderLockGuard guard(m_readers, m_loaders);
    MapLevel* level = ChooseLevel(scale);
    if (level == nullptr)
        return false;
    std::lock_guard lock(m_styleMutex);
    m_isAlternate = alternate;
    return RebuildStyle(*level);
}
