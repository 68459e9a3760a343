#pragma once
// The map display facade: the one engine the rest of the system reads and draws a map through.
// It loads a level file (".lvl"), whose lines each name a map set, a style sheet, the largest
// scale the level serves and an alternate (night) style sheet; engine questions go to the first
// level, drawing and picking to the level that suits the scale. Every operation runs under the
// facade's two-group lock: queries and drawing together, loading and clearing alone. The opened
// and closed signals fire on the thread that loaded or cleared. Safe from any thread, but the
// drawing pass and picking make geometry elements and belong to the user-interface thread.

#include "basiccomp/retrievalengine/code/iretrievalengine.h"
#include "basiccomp/retrievalengine/code/retrievalengineimpl.h"
#include "mapdisplay/mapqueries.h"
#include "mapdisplay/painter.h"
#include "six/refcntptr.h"
#include "utilities/mapgeometry/readerlock.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

class MapElement;

// One map line of a level file, names as written (not yet joined to the file's folder).
struct LevelLine {
    std::u16string mapSet;
    std::u16string style;
    std::u16string alternateStyle; // the style when the line names none
    int scale = 0;
};

// The map lines of a level file's bytes: lines of at most 254 characters (a longer one goes on
// as the next line) up to an empty line, a line starting with CR or LF, a line containing
// ".iso" or the end. Each holds a map set name, a style name, a decimal scale and optionally an
// alternate style name, separated by blanks. Nullopt when a line before the end holds fewer
// than three fields or no number in the third.
[[nodiscard]] std::optional<std::vector<LevelLine>>
ParseLevelLines(std::span<const std::uint8_t> bytes);

// The engine of one level as the facade uses it: the engine itself and the few questions the
// drawing pass asks it, virtual so that a test can count them.
class LevelEngine {
public:
    explicit LevelEngine(six::RefCntPtr<RetrievalEngineImpl> engine)
        : m_engine(std::move(engine)) {}
    virtual ~LevelEngine() = default;
    LevelEngine(const LevelEngine&) = delete;
    LevelEngine& operator=(const LevelEngine&) = delete;

    [[nodiscard]] RetrievalEngineImpl& Get() const { return *m_engine; }
    [[nodiscard]] const six::RefCntPtr<RetrievalEngineImpl>& GetPtr() const { return m_engine; }
    // A detailed level: its map data has an address index (map kind 2).
    [[nodiscard]] bool IsDetailed() const;

    virtual std::int16_t GetCountryOfElement(std::uint32_t id);
    virtual std::unique_ptr<LayerCursor> QueryOnLayer(const LayerFilter& filter);
    virtual std::unique_ptr<DrawCursor> QueryForDrawing(const DrawFilter& filter);

private:
    six::RefCntPtr<RetrievalEngineImpl> m_engine;
};

// Makes the engine of a level over the facade's block cache (null when it cannot).
using LevelEngineFactory = std::function<std::unique_ptr<LevelEngine>(const BlockCachePtr&)>;

// The caller's steering of a drawing pass. The default object answers 0 to everything.
class DrawHook {
public:
    virtual ~DrawHook() = default;
    // Bit 0: skip the pass (Draw returns 1); bit 1: call EndDraw; bit 2: call BeginLayer.
    virtual std::uint32_t BeginDraw(DrawContext& context);
    // Bit 0: skip the layer; bit 1: call EndLayer; bit 3: offer elements to FilterElement;
    // bit 4: offer classes to FilterClass. `state` is the hook's own, kept across calls.
    virtual std::uint32_t BeginLayer(DrawContext& context, std::uint32_t layerCode,
                                     std::uint32_t& state);
    // Bit 0: skip the element.
    virtual std::uint32_t FilterClass(DrawContext& context, std::uint32_t classId);
    virtual std::uint32_t FilterElement(DrawContext& context,
                                        const six::RefCntPtr<MapElement>& element);
    virtual void EndLayer(DrawContext& context, std::uint32_t layerCode);
    virtual void EndDraw(DrawContext& context);

    // The hook used when the caller gives none.
    [[nodiscard]] static DrawHook& Default();
};

// Layer codes the hook sees: the layer byte plus 0x10000 times the class group (0 below class
// 1000, 1 for 1000 to 1999, 2 above); kLayersEnd follows the last layer.
inline constexpr std::uint32_t kLayersEnd = 0x300FF;
[[nodiscard]] std::uint32_t LayerCode(std::uint8_t layer, std::uint16_t elementClass);

class MapEngineFacade final : public RetrievalEngine::IRetrievalEngine,
                              public RetrievalEngine::IAreaQuery {
public:
    // A facade with a block cache of capacityKb; null when it cannot be made. The factory makes
    // each level's engine (default: a RetrievalEngineImpl).
    [[nodiscard]] static six::RefCntPtr<MapEngineFacade> Create(std::uint32_t capacityKb,
                                                                LevelEngineFactory factory = {});

    MapEngineFacade(BlockCachePtr cache, LevelEngineFactory factory);
    ~MapEngineFacade() override;
    MapEngineFacade(const MapEngineFacade&) = delete;
    MapEngineFacade& operator=(const MapEngineFacade&) = delete;

    // RetrievalEngine::IRetrievalEngine: level 0's answers, or the empty ones without levels.
    bool IsCookie2CountryOpen() override;
    bool IsOpen() override;
    GeoMoleculePtr CreateGeoMolecule(std::uint32_t id, std::uint16_t code) override;
    GeoMoleculePtr CreateMappedGeoMolecule(std::uint32_t id, const std::u16string& name,
                                           std::uint16_t code) override;
    QueryDefaults GetQueryDefaults() override;
    QueryDefaults* GetQueryDefaultsRef() override;
    GeoMoleculeCursorPtr FindAlong(const std::vector<std::vector<GeoPoint>>& geometry,
                                   float distance, const std::u16string& name) override;
    GeoMoleculeCursorPtr FindInPostalCode(const std::u16string& postalCode, std::uint32_t value,
                                          const std::u16string& name) override;
    GeoMoleculeCursorPtr FindInArea(std::uint32_t areaId, const std::u16string& name) override;
    GeoMoleculeCursorPtr FindAround(const GeoPoint& position, float radius,
                                    const std::u16string& name) override;
    GeoMoleculeCursorPtr FindInRect(const GeoRect& rect, const std::u16string& name) override;
    std::u16string LookupArea(std::uint32_t areaId) override;
    std::u16string GetETypeName(std::uint16_t typeId) override;
    std::vector<CountryPtr> GetCountries(std::uint16_t language) override;
    AddressCursorPtr FindCities(const std::u16string& name, std::uint16_t country) override;
    PostalCodeCursorPtr FindPostalCodes(const std::u16string& postalCode,
                                        std::uint16_t value) override;
    TypeCursorPtr GetETypeCursor() override;
    CountryPtr GetCountry(std::uint16_t number, std::uint16_t language) override;
    AddressResultPtr GetAddressOfElement(std::uint32_t elementId, std::uint16_t value) override;
    std::int32_t WalkAreaHierarchy(std::uint32_t areaId, std::uint32_t value) override;
    bool HasAddressIndex() override;
    bool HasNameFile() override;
    bool IsHouseNumbersOpen() override;
    // Open, IsMapSetOpen and Close are LoadLevelFile, HasLevels and Clear.
    bool Open(const std::u16string& path) override { return LoadLevelFile(path); }
    bool IsMapSetOpen() override { return HasLevels(); }
    void Close() override { Clear(); }
    GeoRect GetExtent() override;
    six::IntfPtr<MapElement> GetMappedElement(std::uint32_t id) override;
    BlockCachePtr GetBlockCache() override { return m_cache; }

    // RetrievalEngine::IAreaQuery: level 0's; the signals are the facade's own.
    ElementCursorPtr QueryArea(const GeoRect& rect, std::uint32_t from, std::uint32_t to) override;
    RetrievalEngineEvents& GetEngineEvents() override { return *this; }

    // Loads a level file; true at once when the same path (compared exactly) is loaded. Else
    // clears, then false for a path whose extension is not ".lvl" (any case), a file that cannot
    // be read, a line that does not scan, a map set that does not open or a style sheet that
    // does not load (no level kept); fires the opened signal after a load. A line that does not
    // scan also brings the file-check box naming the level file (filecheck.h).
    bool LoadLevelFile(const std::u16string& path);
    [[nodiscard]] bool HasLevels();
    // Drops every level and fires the closed signal.
    void Clear();

    // The drawing pass (see mapdraw.cpp): 1 when drawn or skipped by the hook, 0 without levels,
    // when the chosen level's style did not load, or when Esc or a tap interrupted it. Unless
    // it drew the pass to its end, the next paint draws the view whole (the back buffer holds no
    // picture of it to reuse).
    int Draw(DrawContext& context, float scale, DrawHook* hook);
    // The element of the highest layer whose geometry meets the rectangle (areas never do), the
    // later one on equal layers; from a level that is not detailed mapped to level 0 through its
    // link id. Null when nothing meets it or without levels.
    [[nodiscard]] six::RefCntPtr<MapElement> FindElementAt(const GeoRect& rect, float scale);
    // The engine of the level chosen for the scale (no count taken) and that level's scale.
    [[nodiscard]] RetrievalEngineImpl* GetLevelEngine(float scale, float* levelScale = nullptr);
    // The style file (or the alternate one) of the level chosen for the scale; null without
    // levels. Valid until the levels change.
    [[nodiscard]] const char16_t* GetLevelStyleName(float scale, bool alternate);
    // Remembers the choice for every level and rebuilds the chosen level's style from the file
    // it selects; false when it does not load or without levels.
    bool SelectLevelStyle(float scale, bool alternate);

private:
    struct MapLevel {
        std::unique_ptr<LevelEngine> engine;
        std::shared_ptr<MapStyle> style;
        std::u16string styleFile;
        std::u16string alternateStyleFile;
        float scale = 0;
        bool isAlternateLoaded = false;
        bool isStyleLoaded = false;
    };

    enum class LevelLoad { AlreadyLoaded, Loaded, Failed, Damaged };
    // LoadLevelFile's work under the loader group; damaged is set to the file that is there but
    // cannot be used (the level file or a style sheet) when it returns Damaged.
    LevelLoad LoadLevels(const std::u16string& path, std::u16string& damaged);
    // Under the reader group: the level for the scale, null without levels.
    MapLevel* ChooseLevel(float scale);
    // Under the style mutex: the level's style made anew from the file the choice selects.
    bool RebuildStyle(MapLevel& level);
    // The pass once the reader group is held.
    int DrawLocked(DrawContext& context, float scale, DrawHook& hook);
    template <class Result, class Read> Result ReadLevel0(Result fallback, Read read);

    BlockCachePtr m_cache;
    LevelEngineFactory m_factory;
    LockGroup m_readers;
    LockGroup m_loaders;
    std::vector<MapLevel> m_levels; // empty: no level file loaded
    std::mutex m_styleMutex;        // the levels' styles and the alternate choice
    bool m_isAlternate = false;
    std::u16string m_levelFilePath;
    QueryDefaults m_defaults; // handed out while no level is loaded
};
