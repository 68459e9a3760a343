#include "mapdisplay/painter.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

// 0.0001 degree: corner moves closer than this count as the same move.
constexpr double kSameMoveMapUnits = 74.56540444444445;
constexpr int kMinScrollPixels = 3;

PainterState::View ViewOf(const IMapTransform& transform, const RECT& rect, POINT residual) {
    PainterState::View view;
    view.rect = rect;
    view.scale = transform.GetScale();
    view.rotation = transform.GetRotation();
    view.centre = transform.GetCenter();
    view.residual = residual;
    view.corners = {transform.ScreenToWorld({rect.left, rect.top}),
                    transform.ScreenToWorld({rect.right, rect.top}),
                    transform.ScreenToWorld({rect.left, rect.bottom}),
                    transform.ScreenToWorld({rect.right, rect.bottom})};
    return view;
}

bool SameRect(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

// The change code and, for a one-axis scroll, the pixel move of the picture (full and applied).
struct Change {
    int code = 0;
    POINT shift{};   // where the last picture's content lies now
    POINT applied{}; // the part of it that is copied (components below 3 pixels are 0)
};

Change ClassifyChange(const PainterState& state, const IMapTransform& transform, const RECT& rect,
                      bool isFullRedraw) {
    if (isFullRedraw)
        return {7};
    if (!state.lastView)
        return {0};
    const PainterState::View& last = *state.lastView;
    if (transform.Query() != 0)
        return {7};
    if (!SameRect(rect, last.rect))
        return {1};
    const bool scaleChanged = transform.GetScale() != last.scale;
    const bool rotationChanged = transform.GetRotation() != last.rotation;
    if (scaleChanged && rotationChanged)
        return {7};
    const bool hasResidual = last.residual.x != 0 || last.residual.y != 0;
    if (state.isScrolled && transform.GetCenter() == last.centre && !scaleChanged &&
        !rotationChanged)
        return {7};
    if (transform.GetCenter() == last.centre && !hasResidual) {
        if (rotationChanged)
            return {2};
        if (scaleChanged)
            return {transform.GetScale() < last.scale ? 3 : 4};
        return {6};
    }
    if (!rotationChanged && !scaleChanged) {
        const PainterState::View now = ViewOf(transform, rect, {});
        const double moveX = static_cast<double>(now.corners[0].x) - last.corners[0].x;
        const double moveY = static_cast<double>(now.corners[0].y) - last.corners[0].y;
        bool isSameMove = true;
        for (std::size_t i = 1; i < 4; ++i) {
            const double dx = static_cast<double>(now.corners[i].x) - last.corners[i].x - moveX;
            const double dy = static_cast<double>(now.corners[i].y) - last.corners[i].y - moveY;
            isSameMove =
                isSameMove && std::abs(dx) < kSameMoveMapUnits && std::abs(dy) < kSameMoveMapUnits;
        }
        // Where the picture's centre lies now, plus what earlier scrolls did not copy.
        const POINT was = transform.WorldToScreen(last.centre);
        const POINT centre = transform.WorldToScreen(transform.GetCenter());
        const POINT shift{was.x - centre.x + last.residual.x, was.y - centre.y + last.residual.y};
        const POINT applied{std::abs(shift.x) < kMinScrollPixels ? 0 : shift.x,
                            std::abs(shift.y) < kMinScrollPixels ? 0 : shift.y};
        if (isSameMove && (applied.x == 0 || applied.y == 0))
            return {5, shift, applied};
    }
    return {scaleChanged ? 9 : 8};
}

} // namespace

BackBuffer::~BackBuffer() {
    if (dc != nullptr) {
        SelectObject(dc, oldBitmap);
        DeleteDC(dc);
    }
    if (bitmap != nullptr)
        DeleteObject(bitmap);
}

std::shared_ptr<BackBuffer> BackBuffer::Create(HDC compatible, int width, int height) {
    auto buffer = std::make_shared<BackBuffer>();
    buffer->dc = CreateCompatibleDC(compatible);
    if (buffer->dc == nullptr)
        return nullptr;
    buffer->bitmap = CreateCompatibleBitmap(compatible, width, height);
    if (buffer->bitmap == nullptr)
        return nullptr;
    buffer->oldBitmap = SelectObject(buffer->dc, buffer->bitmap);
    buffer->width = width;
    buffer->height = height;
    buffer->rect = {0, 0, width, height};
    return buffer;
}

void DiscardPicture(DrawContext& context) {
    if (context.options && context.options->state)
        context.options->state->lastView.reset();
}

PainterState::~PainterState() {
    if (savedClip != nullptr)
        DeleteObject(savedClip);
}

void BeginPaint(DrawContext& context, std::shared_ptr<DrawOptions> options, HDC dc,
                const RECT& rect, const IMapTransform& transform, HDC targetDc, bool isFullRedraw) {
    if (!options->state)
        options->state = std::make_unique<PainterState>();
    PainterState& state = *options->state;
    context = DrawContext{};
    context.options = options;
    context.dc = dc;
    context.rect = rect;
    context.transform = &transform;
    context.scale = static_cast<float>(transform.GetScale());
    context.clipActive = true;
    context.fillBackground = true;
    context.lineBatch = &state.lineBatch;
    context.labels = &state.labels;
    context.depthDiffers = GetDeviceCaps(dc, BITSPIXEL) != GetDeviceCaps(targetDc, BITSPIXEL);
    context.screenPpiX = static_cast<std::uint32_t>(GetDeviceCaps(dc, LOGPIXELSX));
    context.screenPpiY = static_cast<std::uint32_t>(GetDeviceCaps(dc, LOGPIXELSY));
    context.targetPpiX = static_cast<std::uint32_t>(GetDeviceCaps(targetDc, LOGPIXELSX));
    context.targetPpiY = static_cast<std::uint32_t>(GetDeviceCaps(targetDc, LOGPIXELSY));
    state.labels.Begin(targetDc);

    bool isNewBuffer = false;
    if (!options->backBuffer) {
        state.backBuffer.reset();
    } else if (!state.backBuffer || state.backBuffer->width < rect.right ||
               state.backBuffer->height < rect.bottom) {
        state.backBuffer.reset();
        state.backBuffer = BackBuffer::Create(dc, rect.right, rect.bottom);
        isNewBuffer = state.backBuffer != nullptr;
    }
    BackBuffer* buffer = state.backBuffer.get();

    // A new buffer holds no picture to reuse: after a first paint it is drawn whole.
    const Change change =
        ClassifyChange(state, transform, rect, isFullRedraw || (isNewBuffer && state.lastView));
    state.changeCode = change.code;
    state.isSettling = change.code == 7 && state.isScrolled;
    state.isScrolled = change.code == 5;
    // The scrolled picture is drawn whole again once the view stays (the window's next paint).
    if (HWND window = WindowFromDC(dc); window != nullptr && state.isScrolled)
        InvalidateRect(window, nullptr, FALSE);
    state.fullRect = rect;
    POINT residual{};
    if (change.code == 5 && buffer != nullptr) {
        const POINT d = change.applied;
        const LONG width = rect.right - rect.left;
        const LONG height = rect.bottom - rect.top;
        BitBlt(buffer->dc, rect.left + d.x, rect.top + d.y, width, height, buffer->dc, rect.left,
               rect.top, SRCCOPY);
        state.labels.Shift(d, rect);
        RECT strip = rect;
        if (d.x > 0)
            strip.right = rect.left + std::min(d.x, width);
        else if (d.x < 0)
            strip.left = rect.right - std::min(-d.x, width);
        else if (d.y > 0)
            strip.bottom = rect.top + std::min(d.y, height);
        else if (d.y < 0)
            strip.top = rect.bottom - std::min(-d.y, height);
        else
            strip.right = strip.left; // nothing uncovered
        context.rect = strip;
        state.scrollOffset = d;
        // The picture shows the view moved by what was not copied; the next paint compares
        // with that, so small moves add up instead of being lost.
        residual = {change.shift.x - d.x, change.shift.y - d.y};
    } else if (change.code == 6) {
        RECT box{};
        if (GetClipBox(dc, &box) == NULLREGION || box.right <= box.left || box.bottom <= box.top)
            box = {0, 0, 2, 2};
        context.rect = box;
        // The picture around the box stays with its labels: they are drawn again whole and new
        // ones stay inside the box.
        state.labels.KeepAround(rect, box);
    } else {
        state.labels.Clear();
    }
    state.lastView = ViewOf(transform, rect, residual);

    if (buffer != nullptr) {
        buffer->realDc = dc;
        context.dc = buffer->dc;
    }
    if (state.savedClip != nullptr) {
        DeleteObject(state.savedClip);
        state.savedClip = nullptr;
    }
    state.savedClip = CreateRectRgn(0, 0, 0, 0);
    if (state.savedClip != nullptr && GetClipRgn(context.dc, state.savedClip) != 1) {
        DeleteObject(state.savedClip);
        state.savedClip = nullptr;
    }
    HRGN clip = CreateRectRgnIndirect(&context.rect);
    if (clip != nullptr) {
        SelectClipRgn(context.dc, clip);
        DeleteObject(clip);
    }
}

void SetPaintDay(DrawContext& context, bool isDay) {
    if (context.labels == nullptr)
        return;
    PainterState* state = context.options ? context.options->state.get() : nullptr;
    if (context.labels->IsDay() != isDay && state != nullptr && context.labels == &state->labels &&
        !SameRect(context.rect, state->fullRect)) {
        // The picture around the part shows the labels of the other setting, which go with it.
        context.rect = state->fullRect;
        HRGN clip = CreateRectRgnIndirect(&context.rect);
        if (clip != nullptr) {
            SelectClipRgn(context.dc, clip);
            DeleteObject(clip);
        }
        state->labels.Clear();
        // Drawn whole, the picture shows the view itself, not one a scroll left behind it.
        if (state->lastView)
            state->lastView->residual = {};
    }
    context.labels->SetDay(isDay);
}

void FinishLabels(DrawContext& context) {
    if (!context.clipActive || !context.options || !context.options->state)
        return;
    context.clipActive = false;
    PainterState& state = *context.options->state;
    SelectClipRgn(context.dc, state.savedClip);
    if (state.savedClip != nullptr) {
        DeleteObject(state.savedClip);
        state.savedClip = nullptr;
    }
    state.labels.Draw(context.dc, context.options->halo);
}

void EndPaint(DrawContext& context) {
    if (!context.options || !context.options->state)
        return;
    PainterState& state = *context.options->state;
    if (const int band = context.transform->Query(); band > 0) {
        HBRUSH brush = CreateSolidBrush(0xC00000);
        if (brush != nullptr) {
            const RECT top{0, 0, state.fullRect.right - state.fullRect.left, band};
            FillRect(context.dc, &top, brush);
            DeleteObject(brush);
        }
    }
    FinishLabels(context);
    context.rect = state.fullRect;
    if (state.backBuffer && state.backBuffer->realDc != nullptr) {
        BackBuffer& buffer = *state.backBuffer;
        const RECT& r = context.rect;
        BitBlt(buffer.realDc, r.left, r.top, r.right - r.left, r.bottom - r.top, buffer.dc, r.left,
               r.top, SRCCOPY);
        context.dc = buffer.realDc;
        buffer.realDc = nullptr;
    }
    // The picture drawn whole after a scroll covers the children, which may have painted since
    // (during the scroll's paint or this one): they paint again over it.
    if (HWND window = WindowFromDC(context.dc); window != nullptr && state.isSettling) {
        RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
        ValidateRect(window, nullptr);
    }
    state.isSettling = false;
    if (context.options->northArrow)
        DrawNorthArrow(context.dc, {context.rect.right, context.rect.bottom},
                       context.transform->GetRotation());
    if (context.style != nullptr)
        state.lastBackground = context.style->Background();
    context.nameReader.reset();
}

void DrawNorthArrow(HDC dc, POINT corner, double angle) {
    constexpr double kRadiansPerDegree = 0.01745327777777778;
    const double a = angle * kRadiansPerDegree;
    const double c = std::cos(a);
    const double s = std::sin(a);
    const POINT centre{corner.x - 75, corner.y - 75};
    // (x, y) with y up, turned by the angle.
    const auto at = [&](double x, double y) {
        return POINT{static_cast<LONG>(centre.x + x * c + y * s),
                     static_cast<LONG>(centre.y + x * s - y * c)};
    };
    HPEN pen = CreatePen(PS_SOLID, 3, 0x000000);
    if (pen == nullptr)
        return;
    HGDIOBJ old = SelectObject(dc, pen);
    const POINT needle[] = {at(0, -50), at(0, 70)};
    const POINT head[] = {at(-5, 50), at(0, 70), at(5, 50)};
    const POINT letter[] = {at(-6, 10), at(-6, 26), at(6, 10), at(6, 26)};
    Polyline(dc, needle, 2);
    Polyline(dc, head, 3);
    Polyline(dc, letter, 4);
    SelectObject(dc, old);
    DeleteObject(pen);
}
