#pragma once
// The traffic and parking overlay of the map canvas: the roads of the TMC messages in force as
// thick orange lines, the stretch of every blocking message as a red line with black arrows and
// its sign pictures, the access streets of parking lots by occupancy, and the text of the
// blocking message under the stylus in a hint window.
//
// Threads: the message handlers run on the threads that feed or expire the TMC message store,
// with the store's lock held. They fetch elements through the facade before taking the cache
// lock, change the cache under it and turn rectangles into screen rectangles with the copy of
// the view's transform taken at the last BeginDraw, then ask for a repaint (safe from any
// thread). Everything else belongs to the user-interface thread.

#include "mapdisplay/mapcanvas.h"
#include "mapdisplay/maptransform.h"
#include "mapdisplay/parkingdata.h"
#include "traffic/tmcmessagestore.h"
#include "ui/hintwindow.h"
#include "utilities/usefulcode/critsect.h"
#include "utilities/usefulcode/ownerhandlerlist.h"

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

// A parking lot whose occupancy was reported.
struct ParkingLot {
    std::vector<std::uint32_t> elementIds;
    std::int32_t occupancy = -1; // 0, 50 or 100 percent; -1 unknown
    std::map<std::uint32_t, std::pair<std::int16_t, std::int16_t>> ranges; // partly covered
    GeoRect rect;
};

// A blocking message as drawn.
struct TrafficEntry {
    std::vector<GeoPoint> polyline;
    std::vector<POINT> screenPoints; // of the last stretch-line drawing
    GeoRect rect;
    bool hasRect = false; // no element of the message was found
    std::vector<std::u16string> signNames;
    std::u16string text;
    bool isArrowForm = false;
};

struct TrafficCache {
    std::multiset<std::uint32_t> elementIds; // roads of the non-blocking messages
    std::map<std::uint32_t, ParkingLot> lots;
    std::map<std::uint32_t, TrafficEntry> entries; // by message id
    CritSect lock;
};

class ParkingLayer {
public:
    static constexpr COLORREF kHintBackground = 0x000099FF;
    static constexpr UINT kHintDelayMs = 3000;

    ParkingLayer();
    virtual ~ParkingLayer();
    ParkingLayer(const ParkingLayer&) = delete;
    ParkingLayer& operator=(const ParkingLayer&) = delete;

    // Empties the sign cache, takes "<folder>signs/" for the sign pictures and loads the
    // parking tables of the folder. Always true.
    virtual bool Load(const char16_t* folder);
    // Follows the store's Added, Removed and Replaced signals.
    virtual void Connect(six::RefCntPtr<TmcMessageStore> store);
    // Draws into this canvas (null: none); the store's messages are then announced again by
    // the caller.
    virtual void AttachMapView(MapCanvas* canvas);
    // Mode 1 asks the drawing pass for nothing; a change repaints.
    virtual void SetMode(std::uint32_t mode);
    [[nodiscard]] virtual std::uint32_t GetMode() const { return m_mode; }
    // Level 1 free, 2 half, 3 full, 0 unknown; needs a canvas and the open lot tables.
    virtual void SetParkingStatus(std::uint32_t parkingId, std::uint32_t level);

    [[nodiscard]] OwnerHandlerList& GetOwnerHandlerList() { return m_handlers; }

    void OnMessageAdded(TmcMessagePtr message);
    void OnMessageRemoved(TmcMessagePtr message);
    void OnMessageReplaced(TmcMessagePtr old, TmcMessagePtr replacement);
    void OnBeginDraw(std::uint32_t* result, DrawContext* context);
    // At the start of each layer: draws the roads, stretches and lots once per pass, at the
    // first layer of class group 1 or 3.
    void OnFilterClass(std::uint32_t* result, DrawContext* context, std::uint32_t layerCode,
                       std::uint32_t* state);
    void OnEndDraw(DrawContext* context);
    void OnMouseMoved(MapControlMessage message);

    // The copy of the cache's state, for tests: the element multiset and the entries' ids.
    [[nodiscard]] std::multiset<std::uint32_t> GetElementIds();
    [[nodiscard]] std::vector<std::uint32_t> GetEntryIds();
    [[nodiscard]] std::optional<TrafficEntry> GetEntry(std::uint32_t messageId);
    [[nodiscard]] HintWindow& GetHintWindow() { return m_hint; }

private:
    struct Link;
    [[nodiscard]] Link GetLink();
    void Invalidate(const GeoRect& rect, bool hasRect, int cx, int cy);
    // Draws with the pen selected into the DC (lines) or white without an outline.
    void DrawElement(HDC dc, std::uint32_t id, const GeoRect& visible, const ParkingLot* lot);
    void DrawMarks(HDC dc, const TrafficEntry& entry);

    OwnerHandlerList m_handlers;
    MapCanvas* m_canvas = nullptr;
    ParkingData m_parking;
    TrafficCache m_cache;
    HintWindow m_hint;
    bool m_isDrawn = false;
    std::uint32_t m_mode = 0;
    // Under the cache lock: what the message handlers work with.
    six::RefCntPtr<MapEngineFacade> m_facade;
    HWND m_window = nullptr;
    std::optional<MapTransform> m_view; // the view at the last BeginDraw
    six::RefCntPtr<TmcMessageStore> m_store;
    std::vector<GeoPoint> m_pointBuffer; // the drawing's, reused from element to element
};

// A new layer; null when it cannot be allocated.
[[nodiscard]] six::RefCntPtr<ParkingLayer> CreateParkingLayer();
