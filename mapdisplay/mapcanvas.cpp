#include "mapdisplay/mapcanvas.h"

#include "basiccomp/retrievalengine/code/mapelement.h"

#include "platform/gdi/gdi.h"
#include "platform/kernel/sync.h"
#include "platform/window/message.h"
#include "platform/window/paint.h"
#include "platform/window/window.h"

#include <algorithm>

namespace {

// Posted to the canvas's window: a facade signal that came from another thread (wParam 1
// opened, 0 closed).
constexpr UINT kFacadeEventMessage = WM_USER + 0x107;

} // namespace

std::uint32_t MapCanvasDrawState::Hook::BeginDraw(DrawContext& context) {
    std::uint32_t result = 2;
    m_canvas.BeginDraw.Emit(&result, &context);
    return result;
}

std::uint32_t MapCanvasDrawState::Hook::BeginLayer(DrawContext& context, std::uint32_t layerCode,
                                                   std::uint32_t& state) {
    std::uint32_t result = 0;
    m_canvas.BeginLayer.Emit(&result, &context, layerCode, &state);
    return result;
}

std::uint32_t MapCanvasDrawState::Hook::FilterClass(DrawContext& context, std::uint32_t classId) {
    std::uint32_t result = 0;
    m_canvas.FilterClass.Emit(&result, &context, classId);
    return result;
}

std::uint32_t MapCanvasDrawState::Hook::FilterElement(DrawContext& context,
                                                      const six::RefCntPtr<MapElement>& element) {
    std::uint32_t result = 0;
    m_canvas.FilterElement.Emit(&context, element, &result);
    return result;
}

void MapCanvasDrawState::Hook::EndLayer(DrawContext& context, std::uint32_t layerCode) {
    m_canvas.EndLayer.Emit(&context, layerCode);
}

void MapCanvasDrawState::Hook::EndDraw(DrawContext& context) {
    m_canvas.EndDraw.Emit(&context);
}

MapCanvas::MapCanvas()
    : m_drawState(std::make_unique<MapCanvasDrawState>(*this))
    , m_thread(GetCurrentThreadId()) {
    Paint.ConnectUnlocked(this, &MapCanvas::OnPaintSignal);
    ConnectMessageHandler(GetMessageMap(), kFacadeEventMessage, this, &MapCanvas::OnFacadeEvent);
}

MapCanvas::~MapCanvas() {
    Disconnect();
}

void MapCanvas::Connect() {
    if (m_drawState->facade) {
        m_drawState->facade->Opened().Connect(this, &MapCanvas::OnFacadeOpened);
        m_drawState->facade->Closed().Connect(this, &MapCanvas::OnFacadeClosed);
    }
}

void MapCanvas::Disconnect() {
    if (m_drawState->facade) {
        m_drawState->facade->Opened().Disconnect(this);
        m_drawState->facade->Closed().Disconnect(this);
    }
}

int MapCanvas::SetEngine(six::RefCntPtr<MapEngineFacade> facade) {
    if (facade.Get() == m_drawState->facade.Get())
        return 1;
    Disconnect();
    m_drawState->facade = std::move(facade);
    if (!m_drawState->facade)
        return 1;
    Connect();
    if (m_drawState->facade->HasLevels())
        FitToMap();
    return 1;
}

six::RefCntPtr<MapEngineFacade> MapCanvas::GetEngine() {
    if (!m_drawState->facade)
        (void)SetEngine(MapEngineFacade::Create(1024));
    return m_drawState->facade;
}

RetrievalEngine::RetrievalEnginePtr MapCanvas::GetEngineIntf() {
    return RetrievalEngine::RetrievalEnginePtr(GetEngine());
}

bool MapCanvas::IsMapOpen() const {
    return m_drawState->facade && m_drawState->facade->HasLevels();
}

void MapCanvas::FitToMap() {
    if (!m_drawState->facade)
        return;
    SetExtent(m_drawState->facade->GetExtent());
    InvalidateMap();
}

MapRect MapCanvas::MapUnderScreenRect(const RECT& screen) const {
    const IMapTransform* transform = GetTransform();
    if (transform == nullptr)
        return {};
    const MapPoint first = transform->ScreenToWorld(POINT{screen.left, screen.top});
    MapRect bounds{first.x, first.y, first.x, first.y};
    if (screen.left > screen.right)
        return bounds;
    const LONG hx = std::max<LONG>((screen.right - screen.left) / 2, 1);
    const LONG hy = std::max<LONG>((screen.bottom - screen.top) / 2, 1);
    for (LONG x = screen.left; x <= screen.right; x += hx) {
        for (LONG y = screen.top; y <= screen.bottom; y += hy)
            bounds.Extend(transform->ScreenToWorld(POINT{x, y}));
    }
    return bounds;
}

six::RefCntPtr<MapElement> MapCanvas::FindElementAt(const RECT& screen) {
    if (!IsMapOpen() || GetTransform() == nullptr)
        return nullptr;
    return m_drawState->facade->FindElementAt(MapUnitsToDegrees(MapUnderScreenRect(screen)),
                                              static_cast<float>(GetScale()));
}

six::IntfPtr<MapElement> MapCanvas::GetMappedElement(std::uint32_t id) {
    if (!IsMapOpen())
        return {};
    return m_drawState->facade->GetMappedElement(id);
}

void MapCanvas::SetHaloFlag(bool isOn) {
    if (!IsMapOpen())
        return;
    DrawOptions& options = *m_drawState->options;
    if (options.halo != isOn) {
        options.halo = isOn;
        InvalidateMap();
    }
}

void MapCanvas::SetOptionFlag(bool isOn) {
    if (!IsMapOpen())
        return;
    m_drawState->options->streetNames = isOn;
    InvalidateMap();
}

bool MapCanvas::GetOptionFlag() const {
    return IsMapOpen() && m_drawState->options->streetNames;
}

void MapCanvas::SetShieldCountryFlag(bool isOn) {
    if (!IsMapOpen())
        return;
    m_drawState->options->shieldCountry = isOn;
    InvalidateMap();
}

void MapCanvas::OnPaint(HDC dc) {
    RECT client{};
    GetClientRect(GetHwnd(), &client);
    const IMapTransform* transform = GetTransform();
    if (IsMapOpen() && transform != nullptr) {
        DrawContext context;
        BeginPaint(context, m_drawState->options, dc, client, *transform, dc, false);
        (void)m_drawState->facade->Draw(context, static_cast<float>(GetScale()),
                                        &m_drawState->hook);
        EndPaint(context);
        return;
    }
    FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
}

void MapCanvas::OnFacadeOpened() {
    if (GetCurrentThreadId() == m_thread)
        HandleFacadeEvent(true);
    else
        PostMessageW(GetHwnd(), kFacadeEventMessage, 1, 0);
}

void MapCanvas::OnFacadeClosed() {
    if (GetCurrentThreadId() == m_thread)
        HandleFacadeEvent(false);
    else
        PostMessageW(GetHwnd(), kFacadeEventMessage, 0, 0);
}

void MapCanvas::OnFacadeEvent(UINT, WPARAM wParam, LPARAM, LRESULT* result, bool* handled) {
    *handled = true;
    *result = 0;
    HandleFacadeEvent(wParam == 1);
}

void MapCanvas::HandleFacadeEvent(bool isOpened) {
    if (isOpened) {
        FitToMap();
        MapOpened.Emit();
    } else {
        MapClosed.Emit();
    }
}
