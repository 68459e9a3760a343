#pragma once
// The map transform: converts between map units and window pixels for a centre, a scale, a
// window size and a rotation. The integer part is exact and deterministic (truncating division,
// arithmetic shifts); a rotation other than 0 goes through float cosine and sine. Intermediate
// values are 64-bit and results saturate at the 32-bit range. User-interface thread only.

#include "utilities/mapgeometry/mapgeometry.h"

#include "platform/window/windowtypes.h"

#include <algorithm>
#include <cstdint>
#include <limits>

// value clamped to the 32-bit range of map units and pixels.
[[nodiscard]] inline std::int32_t SaturateToInt32(std::int64_t value) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(
        value, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

class IMapTransform {
public:
    [[nodiscard]] virtual POINT WorldToScreen(const MapPoint& p) const = 0;
    [[nodiscard]] virtual MapPoint ScreenToWorld(const POINT& p) const = 0;
    [[nodiscard]] virtual MapRect GetExtent() const = 0;
    // Metres per pixel; a value that gives no positive map scale changes nothing.
    virtual void SetScale(double metresPerPixel) = 0;
    [[nodiscard]] virtual double GetScale() const = 0;
    virtual void SetCenter(const MapPoint& center) = 0;
    [[nodiscard]] virtual MapPoint GetCenter() const = 0;
    // Window width and height in pixels.
    virtual void SetSize(const SIZE& size) = 0;
    [[nodiscard]] virtual SIZE GetSize() const = 0;
    // In the process-wide AngleUnit.
    virtual void SetRotation(double rotation) = 0;
    [[nodiscard]] virtual double GetRotation() const = 0;
    // Always 0.
    [[nodiscard]] virtual int Query() const = 0;
    virtual ~IMapTransform() = default;
};

class MapTransform : public IMapTransform {
public:
    // The extent is normalised; rotation 0, nothing set yet.
    explicit MapTransform(const MapRect& extent);

    [[nodiscard]] POINT WorldToScreen(const MapPoint& p) const override;
    [[nodiscard]] MapPoint ScreenToWorld(const POINT& p) const override;
    [[nodiscard]] MapRect GetExtent() const override { return m_extent; }
    void SetScale(double metresPerPixel) override;
    [[nodiscard]] double GetScale() const override { return m_scale * kMetresPerMapUnit; }
    void SetCenter(const MapPoint& center) override;
    [[nodiscard]] MapPoint GetCenter() const override { return m_center; }
    void SetSize(const SIZE& size) override;
    [[nodiscard]] SIZE GetSize() const override { return SIZE{m_width, m_height}; }
    void SetRotation(double rotation) override;
    [[nodiscard]] double GetRotation() const override { return m_rotation; }
    [[nodiscard]] int Query() const override { return 0; }

    // The fixed-point resolution factors: 1 + 256 map units per pixel (x divided by the
    // cosine of the centre's latitude), within 1..INT32_MAX.
    [[nodiscard]] std::int32_t GetKx() const { return m_kx; }
    [[nodiscard]] std::int32_t GetKy() const { return m_ky; }

private:
    void Recompute();

    double m_rotation = 0.0;
    double m_scale = 0.0; // map units per pixel
    MapPoint m_center;
    MapRect m_extent;
    std::int32_t m_width = 0;
    std::int32_t m_height = 0;
    bool m_isCenterSet = false;
    bool m_isSizeSet = false;
    bool m_isScaleSet = false;
    float m_cos = 1.0f;
    float m_sin = 0.0f;
    std::int32_t m_kx = 1;
    std::int32_t m_ky = 1;
};

// The transform a viewport makes for itself.
class ViewportTransform final : public MapTransform {
public:
    using MapTransform::MapTransform;
};
