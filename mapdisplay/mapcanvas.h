#pragma once
// The map canvas: the map control joined to a map display facade. It paints the map with the
// facade's drawing pass, turning each call of the pass's hook into a signal of the same name so
// that the window holding it can steer and add to the drawing; it re-fits its view when the
// facade loads a map and answers which element lies under a screen rectangle. User-interface
// thread only; the facade's opened and closed signals, which may come from a loading thread,
// are handled on the canvas's own thread (at once there, else through a posted message).

#include "mapdisplay/mapcontrol.h"
#include "mapdisplay/mapenginefacade.h"

#include <cstdint>
#include <memory>

class MapCanvas;

// What the canvas draws with: the facade (null until set or first used), the drawing options,
// the hook that turns the pass's calls into the canvas's signals.
struct MapCanvasDrawState {
    class Hook : public DrawHook {
    public:
        explicit Hook(MapCanvas& canvas)
            : m_canvas(canvas) {}
        std::uint32_t BeginDraw(DrawContext& context) override;
        std::uint32_t BeginLayer(DrawContext& context, std::uint32_t layerCode,
                                 std::uint32_t& state) override;
        std::uint32_t FilterClass(DrawContext& context, std::uint32_t classId) override;
        std::uint32_t FilterElement(DrawContext& context,
                                    const six::RefCntPtr<MapElement>& element) override;
        void EndLayer(DrawContext& context, std::uint32_t layerCode) override;
        void EndDraw(DrawContext& context) override;

    private:
        MapCanvas& m_canvas;
    };

    explicit MapCanvasDrawState(MapCanvas& canvas)
        : hook(canvas)
        , canvas(canvas) {}

    six::RefCntPtr<MapEngineFacade> facade;
    std::shared_ptr<DrawOptions> options = std::make_shared<DrawOptions>();
    Hook hook;
    MapCanvas& canvas;
};

class MapCanvas : public MapControl {
public:
    MapCanvas();
    ~MapCanvas();
    MapCanvas(const MapCanvas&) = delete;
    MapCanvas& operator=(const MapCanvas&) = delete;

    // Holds the facade (a null one releases the held one), listens to its opened and closed
    // signals and fits the view at once when it has levels. The facade already held changes
    // nothing; a replaced one is no longer listened to. Returns 1.
    int SetEngine(six::RefCntPtr<MapEngineFacade> facade);
    // The held facade; made with a 1024 KB block cache (and listened to) on first use. Null
    // when it cannot be made.
    [[nodiscard]] six::RefCntPtr<MapEngineFacade> GetEngine();
    [[nodiscard]] RetrievalEngine::RetrievalEnginePtr GetEngineIntf();
    [[nodiscard]] bool IsMapOpen() const;
    // A new view over the map's extent at its centre, 10 metres per pixel.
    void FitToMap();
    // The element under the screen rectangle (see MapUnderScreenRect); null without levels.
    [[nodiscard]] six::RefCntPtr<MapElement> FindElementAt(const RECT& screen);
    // The map rectangle a screen rectangle covers, sampled on a 3 x 3 grid (steps of at least
    // one pixel) so that a turned view is covered; the top-left point alone when left > right.
    [[nodiscard]] MapRect MapUnderScreenRect(const RECT& screen) const;
    [[nodiscard]] six::IntfPtr<MapElement> GetMappedElement(std::uint32_t id);

    // Drawing options; each setter acts only while the facade has levels and repaints.
    void SetHaloFlag(bool isOn);
    // The street-name flag.
    void SetOptionFlag(bool isOn);
    [[nodiscard]] bool GetOptionFlag() const;
    void SetShieldCountryFlag(bool isOn);
    [[nodiscard]] const std::shared_ptr<DrawOptions>& GetDrawOptions() const {
        return m_drawState->options;
    }

    // Paints the map into the DC, or white without a map.
    void OnPaint(HDC dc);

    // Result preset 2 (EndDraw wanted); observers may change it.
    SingleThreadedEventSource<std::uint32_t*, DrawContext*> BeginDraw;
    // Result preset 0; the layer code; the hook's state word.
    SingleThreadedEventSource<std::uint32_t*, DrawContext*, std::uint32_t, std::uint32_t*>
        BeginLayer;
    SingleThreadedEventSource<std::uint32_t*, DrawContext*, std::uint32_t> FilterClass;
    SingleThreadedEventSource<DrawContext*, six::RefCntPtr<MapElement>, std::uint32_t*>
        FilterElement;
    SingleThreadedEventSource<DrawContext*, std::uint32_t> EndLayer;
    SingleThreadedEventSource<DrawContext*> EndDraw;
    SingleThreadedEventSource<> MapOpened;
    SingleThreadedEventSource<> MapClosed;

private:
    void Connect();
    void Disconnect();
    void OnFacadeOpened();
    void OnFacadeClosed();
    void OnFacadeEvent(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result, bool* handled);
    void HandleFacadeEvent(bool isOpened);
    void OnPaintSignal(HDC dc) { OnPaint(dc); }

    std::unique_ptr<MapCanvasDrawState> m_drawState;
    DWORD m_thread;
};
