#pragma once
// Route options: the compact block that the application and the navigation server exchange, and
// the router's block with float speeds, tuning constants and the derived speed table. The
// router compares whole blocks byte for byte, so both have a fixed layout without indeterminate
// padding. Plain values; copy freely.

#include <array>
#include <cstddef>
#include <cstdint>

struct ExternalRouteOptions {
    ExternalRouteOptions(std::uint32_t routeType, std::uint32_t travelMode);

    std::array<std::uint16_t, 16> speed{};      // km/h per road class; 0 keeps the router's default
    std::array<std::uint32_t, 16> preference{}; // factor-table index per road class
    std::uint32_t specialLinkPreference = 0;    // links with class word bit 0x10
    std::uint32_t extraLinkPreference = 0;      // links with class word bit 0x20
    std::uint32_t routeType = 1;                // 0 shortest, 1 quickest, 2 mixed
    float customFactor = 0.25f;                 // factor-table entry 5
    float mixWeight = 0.3f;
    std::uint32_t travelMode = 1;
    std::uint8_t useAnnotations = 1;
    std::array<std::uint8_t, 3> padding{};

    friend bool operator==(const ExternalRouteOptions&, const ExternalRouteOptions&) = default;
};
static_assert(sizeof(ExternalRouteOptions) == 124);
static_assert(offsetof(ExternalRouteOptions, preference) == 32);
static_assert(offsetof(ExternalRouteOptions, routeType) == 104);
static_assert(offsetof(ExternalRouteOptions, useAnnotations) == 120);

struct RouteOptions {
    RouteOptions();

    // speedTable[i] from speed[i & 31]: up to index 64 the speed itself, from 65 on reduced by
    // the smallest reduction of the attribute bits 0x40..0x400 set in i, at least 1.
    void DeriveSpeedTable();
    // 1.0 for the shortest route, mixWeight for the mixed one, 0.0 otherwise.
    [[nodiscard]] float GetTimeWeight() const;
    [[nodiscard]] float GetMixWeight() const { return mixWeight; }
    void SetMixWeight(float weight) { mixWeight = weight; }
    // The external settings over this block; the speed table is derived again.
    void Apply(const ExternalRouteOptions& external);

    [[nodiscard]] static RouteOptions FromExternal(const ExternalRouteOptions& external);
    [[nodiscard]] static ExternalRouteOptions ToExternal(const RouteOptions& options);

    std::uint32_t magic = 0x15061999;
    std::array<float, 32> speed{}; // km/h per road class
    std::array<std::uint32_t, 2> zeroWords{};
    std::uint32_t routeType = 1;
    float mixWeight = 0.3f;
    float one = 1.0f;
    std::uint32_t searchProfile = 1;
    std::array<float, 5> reduction{}; // for the attribute bits 0x40, 0x80, 0x100, 0x200, 0x400
    std::array<float, 32> furtherValues{};
    std::array<std::int16_t, 2048> speedTable{};
    std::uint32_t word60 = 60;
    std::uint32_t travelMode = 1;
    std::array<std::uint32_t, 16> preference{};
    std::uint32_t specialLinkPreference = 0;
    std::uint32_t extraLinkPreference = 0;
    std::array<float, 6> factor{};

    friend bool operator==(const RouteOptions&, const RouteOptions&) = default;
};
static_assert(sizeof(RouteOptions) == 4504);
static_assert(offsetof(RouteOptions, speed) == 4);
static_assert(offsetof(RouteOptions, routeType) == 140);
static_assert(offsetof(RouteOptions, searchProfile) == 152);
static_assert(offsetof(RouteOptions, reduction) == 156);
static_assert(offsetof(RouteOptions, speedTable) == 304);
static_assert(offsetof(RouteOptions, word60) == 4400);
static_assert(offsetof(RouteOptions, preference) == 4408);
static_assert(offsetof(RouteOptions, factor) == 4480);
