#pragma once
// The advisor's analysis of one junction of a route: the turn angle and its sector, the decision
// table ("module") that decides the advice and the values of its conditions, and the texts of an
// advice (street names, exit numbers, signposts). Owned by one advisor; not thread-safe. Angles
// are degrees in (-180, 180], positive to the right.

#include "basiccomp/retrievalengine/code/iretrievalengine.h"
#include "basiccomp/retrievalengine/code/mapelement.h"
#include "routing/routeiterator.h"
#include "routing/routeposition.h"

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// The leading fields of a route record or of a junction street as the route iterator hands them
// out. `flags` is the route iterator's attribute word.
struct RouteItem {
    GeoPoint point;
    std::uint32_t linkId = 0; // the map element id
    std::int32_t length = 0;  // metres
    std::int32_t time = 0;    // seconds
    std::uint32_t flags = 0;

    [[nodiscard]] static RouteItem Of(const RouteRecord& record);
    [[nodiscard]] static RouteItem Of(const NeighbourLink& link);
};

// Flag-word bits the analysis reads.
namespace junctionflags {
inline constexpr std::uint32_t kStreetTypeSuffix = 0x1;
inline constexpr std::uint32_t kRoundabout = 0x10;
inline constexpr std::uint32_t kConnector40 = 0x40;
inline constexpr std::uint32_t kConnector80 = 0x80;
inline constexpr std::uint32_t kConnector100 = 0x100;
inline constexpr std::uint32_t kLookedPast = 0x800;
inline constexpr std::uint32_t kSignpost = 0x1000000;
inline constexpr std::uint32_t kPlaceName = 0x4000000;
// Kind test 2 and 4 on the junction-kind byte (bits 12-19) and nibble (bits 20-23).
[[nodiscard]] bool KindTest2OnByte(std::uint32_t flags);
[[nodiscard]] bool KindTest4OnByte(std::uint32_t flags);
[[nodiscard]] bool KindTest2OnNibble(std::uint32_t flags);
[[nodiscard]] bool KindTest4OnNibble(std::uint32_t flags);
} // namespace junctionflags

// Sector codes of ClassifyTurn.
namespace turnsector {
inline constexpr int kUnmeasurable = -1;
inline constexpr int kLeft = 0;
inline constexpr int kRight = 1;
inline constexpr int kStraightAhead = 2;
inline constexpr int kSlightLeft = 3;
inline constexpr int kHardRight = 4;
inline constexpr int kSlightRight = 5;
inline constexpr int kHardLeft = 6;
inline constexpr int kReturn = 7;
} // namespace turnsector

class JunctionRules {
public:
    using Settings = std::map<std::u16string, std::u16string>;
    // Longest text copied into a record field (64 characters with the terminator).
    static constexpr std::size_t kFieldLength = 63;
    static constexpr std::size_t kRoadClassLength = 2;

    // One signpost of the advisor's signpost set, by the element id it points to.
    struct SignpostRecord {
        std::uint32_t word = 0;
        std::u16string text;
        std::array<std::uint32_t, 6> words{};
    };

    JunctionRules();

    // --- angles and map tests ---
    // Copies the settings and reads the sector bounds, geometric-setting ranges, threshold,
    // signpost switch and rectangles once.
    void LoadSectorSettings(const Settings& settings);
    // Angle from the direction p1->p2 to q1->q2 with the data's rounded constants; side word
    // "Right"/"Left" (unchanged for 0). False (nothing written) when a segment has no length.
    [[nodiscard]] bool TurnAngle(const GeoPoint& p1, const GeoPoint& p2, const GeoPoint& q1,
                                 const GeoPoint& q2, float& angle, std::u16string& side) const;
    // The sector code of the turn from `arriving` to `leaving`: the arriving geometry comes from
    // the own iterator, the leaving one from `iterator` when `leavingFromPassed`. -1 (angle and
    // word unchanged) when the angle cannot be measured; 0 without writing when `iterator` is not
    // valid.
    int ClassifyTurn(const RouteItem& arriving, const RouteItem& leaving, RouteIterator* iterator,
                     float& angle, std::u16string& word, bool leavingFromPassed);
    // The turn angle of the junction as measured elsewhere, for tests of the range checks below.
    void SetTurnAngle(float angle) { m_turnAngle = angle; }
    [[nodiscard]] bool IsWithinGS1Range() const;
    [[nodiscard]] bool IsWithinGS2Range() const;
    [[nodiscard]] bool IsTStreet(const RouteItem& current);
    [[nodiscard]] static std::u16string_view GetForkType(const RouteItem& item);
    [[nodiscard]] bool CanIgnoreJunction() const;
    [[nodiscard]] bool GetCountryName(const RouteItem& item, std::u16string& name) const;
    void GetDrivingSide(const RouteItem& item, std::u16string& side) const;
    [[nodiscard]] bool GetRoadClass(const RouteItem& item, std::u16string& roadClass) const;
    [[nodiscard]] bool RoadClassMatches(std::u16string_view country, std::u16string_view letter,
                                        const std::vector<std::u16string>& routeNumbers) const;
    // Country name of a country code; "Germany" for a code outside the table.
    [[nodiscard]] static std::u16string_view CountryName(std::int32_t code);

    // --- modules and conditions ---
    // The module for the junction at the end of `item`; empty when the route iterator is not
    // valid.
    std::u16string AnalyseJunction(const RouteItem& item);
    // The value of a condition of the current module; empty for a pair the table does not list.
    [[nodiscard]] std::u16string GetConditionValue(std::u16string_view condition) const;
    // The modules AnalyseJunction names whose decision tables are asked: every one but
    // "IgnoreJunction", in the order of GetConditionValue's table.
    [[nodiscard]] static std::vector<std::u16string> DecidedModules();
    // Every value GetConditionValue can give for the condition while the module is the current
    // one (the driving sides: "Right" and those of the countries' ".Drivingside" settings); only
    // the empty text for a pair the table does not list.
    [[nodiscard]] static std::vector<std::u16string> ConditionValues(std::u16string_view module,
                                                                     std::u16string_view condition,
                                                                     const Settings& settings);
    // True when the settings hold every angle bound the classification reads, each a whole
    // number: the eight sectors and both geometric-setting ranges. Every other setting has its
    // default.
    [[nodiscard]] static bool HoldsAngleSettings(const Settings& settings);
    // True for "Left" and "Right" as written, the words a country's ".Drivingside" setting is
    // meant to hold: the U-turn table is asked with the setting's text as it stands, and only
    // "Left" numbers a roundabout's exits for traffic that keeps left.
    [[nodiscard]] static bool IsDrivingSideWord(std::u16string_view value);
    // Each country whose ".Drivingside" setting is there but no side word, with that setting's
    // value, in the order of the country table ("Germany" last).
    [[nodiscard]] static std::vector<std::pair<std::u16string, std::u16string>>
    UnusableDrivingSides(const Settings& settings);
    // True when the item's country is known and its ".Drivingside" setting is there but no side
    // word: what depends on the side (a roundabout's exits, a U-turn) cannot be told there.
    [[nodiscard]] bool IsDrivingSideUnusable(const RouteItem& item) const;
    bool CheckSpecialSituations(const RouteItem& item);
    bool DispatchModules(const RouteItem& item);
    bool EvaluateHighwayModules(const RouteItem& item);
    bool EvaluateHighwayCrossing(const RouteItem& item);
    bool EvaluateJunctionModules(const RouteItem& item);
    bool EvaluateShapeModules(const RouteItem& item);
    bool EvaluateGeometricSettings(const RouteItem& item);
    // 0 equal within "SpeedIndexTolerance", 1 a higher, 2 a lower.
    [[nodiscard]] int CompareSpeedIndex(const RouteItem& a, const RouteItem& b) const;
    [[nodiscard]] std::u16string RelativeDirectionTo(const RouteItem& item, const RouteItem& other);
    [[nodiscard]] std::u16string GeneralDirection() const;
    bool HasBiggerAngleToStraightAhead(const RouteItem& item);
    [[nodiscard]] bool IsInDestinationStreet(const RouteItem& item) const;
    bool IsFork(const RouteItem& item);
    [[nodiscard]] static bool IsConnector(const RouteItem& item);
    [[nodiscard]] std::u16string FindJoinedRouteNumber() const;
    [[nodiscard]] std::u16string GetRouteNumber(const RouteItem& item) const;
    [[nodiscard]] int SpeedIndex(const RouteItem& item) const;

    // --- route walk and attributes ---
    // Takes an iterator at the route's start and sets up the destination street from the
    // destination's kind and element (null: none).
    void AttachRoute(const RouteIteratorPtr& route, const RoutePosition* destination);
    void SetElementSource(RetrievalEngine::RetrievalEnginePtr source);
    // A new iterator on the route's first item with the element id; false (null) at the end.
    bool PositionAt(RouteIteratorPtr& iterator, std::uint32_t elementId) const;
    [[nodiscard]] std::u16string GetAdviceAttribute(RouteIterator* iterator,
                                                    std::u16string_view name);
    void GetStreetName(const RouteItem& item, std::u16string& name);
    [[nodiscard]] std::int32_t GetExitNumber(const RouteItem& item) const;
    // Texts about the current element, at most kFieldLength characters; false (text unchanged)
    // when there is none.
    bool GetElementPropertyText(std::u16string& text) const;
    bool GetPlaceName(std::u16string& text) const;

    // --- state the advisor core reads ---
    [[nodiscard]] const std::u16string& GetModule() const { return m_module; }
    [[nodiscard]] float GetTurnAngle() const { return m_turnAngle; }
    [[nodiscard]] const std::u16string& GetTurnWord() const { return m_turnWord; }
    [[nodiscard]] const RouteItem& GetNextItem() const { return m_nextItem; }
    [[nodiscard]] bool HasNextItem() const { return m_hasNextItem; }
    [[nodiscard]] std::int32_t GetEndOfRoute() const { return m_endOfRoute; }
    [[nodiscard]] const std::u16string& GetRouteNumberText() const { return m_routeNumberText; }
    [[nodiscard]] std::int32_t GetAngleThresholdLength() const { return m_angleThresholdLength; }
    [[nodiscard]] const std::vector<float>& GetRectangles() const { return m_rectangles; }
    [[nodiscard]] std::int32_t GetAccumulatedLength() const { return m_accumulatedLength; }
    [[nodiscard]] std::int32_t GetAccumulatedTime() const { return m_accumulatedTime; }
    [[nodiscard]] const std::vector<RouteItem>& GetOtherStreets() const { return m_otherStreets; }
    [[nodiscard]] const std::map<std::uint32_t, SignpostRecord>& GetSignposts() const {
        return m_signposts;
    }
    [[nodiscard]] std::int32_t GetDestinationKind() const { return m_destinationKind; }
    // Whether the item after the junction analysed last belongs to the destination street.
    [[nodiscard]] bool IsNextInDestinationStreet() const { return m_isNextInDestinationStreet; }

private:
    enum Condition : std::size_t {
        kDrivingSide,
        kForkType,
        kHighwayBifurcation,
        kKindOfTS,
        kFirstDirection,
        kSecondDirection,
        kStreetTypeField,
        kSpeedIndexComparison,
        kBiggerAngle,
        kMoreThan4Exits,
        kTSInRoundabout,
        kDeadEnd,
        kGS1Result,
        kGS2Result,
        kStraightAheadResult,
        kPriorityStreet,
        kApproachKind,
        kConditionCount
    };

    struct ConditionRow;
    // GetConditionValue's table: module, condition, field and the values the field can hold then.
    [[nodiscard]] static std::span<const ConditionRow> ConditionRows();
    // "Right" and the value of each country's ".Drivingside" setting.
    [[nodiscard]] static std::vector<std::u16string> DrivingSides(const Settings& settings);

    [[nodiscard]] six::IntfPtr<MapElement> ElementOf(std::uint32_t elementId) const;
    [[nodiscard]] std::int32_t IntegerSetting(std::u16string_view key, std::int32_t fallback) const;
    [[nodiscard]] double FloatSetting(std::u16string_view key, double fallback) const;
    [[nodiscard]] const std::u16string* FindSetting(const std::u16string& key) const;
    [[nodiscard]] bool InSector(int sector, float angle) const;
    // The first sector holding the angle, its word written; -1 (word unchanged) for none.
    int SectorOf(float angle, bool isOpposite, const std::u16string& side,
                 std::u16string& word) const;
    // Special situations when the destination is a street (destination kind 1).
    bool CheckDestinationStreet(const RouteItem& item);
    [[nodiscard]] std::u16string FirstName(std::uint32_t elementId) const;
    // The town area of the element; -1 when it lies in none or is not found.
    [[nodiscard]] std::int32_t TownOf(std::uint32_t elementId) const;
    // Narrows the destination street ids to the destination's own street: the elements of its
    // town, less those the route drives before it reaches the street at its end. Where the route
    // reaches that part from another town, the destination kind becomes 2 (arrival at the end).
    void KeepOwnDestinationStreet();
    [[nodiscard]] bool AreaName(std::uint32_t elementId, std::u16string& name) const;
    void SetStraightAheadResult();
    bool SetUTurnIfDrivingSideKnown(const RouteItem& item);
    void SetDestination(std::u16string_view kind);
    // Positions an iterator on `item` and walks past the items with `mask`; the first item after
    // them, or false when the route ends there.
    bool LookPast(const RouteItem& item, std::uint32_t mask, RouteIteratorPtr& walker,
                  RouteItem& after) const;
    void FillSignposts(const RouteItem& item);
    [[nodiscard]] std::u16string NextDirection(const RouteItem& current);

    Settings m_settings;
    RouteIteratorPtr m_route; // the route at its start; fresh iterators come from it
    RouteIteratorPtr m_iterator;
    RetrievalEngine::RetrievalEnginePtr m_source;
    six::IntfPtr<MapElement> m_currentElement;
    RouteItem m_currentItem;
    RouteItem m_nextItem;
    bool m_hasNextItem = false;
    std::vector<RouteItem> m_otherStreets;
    std::vector<RouteItem> m_secondJunctionList;
    float m_turnAngle = 0.0f;
    std::u16string m_turnWord;
    std::array<float, 16> m_sectors{}; // min, max per sector in the reading order
    float m_gs1Min = 0.0f;
    float m_gs1Max = 0.0f;
    float m_gs2Min = 0.0f;
    float m_gs2Max = 0.0f;
    std::int32_t m_angleThresholdLength = 0;
    bool m_isSignpostInfoWanted = true;
    std::vector<float> m_rectangles;

    std::u16string m_module;
    std::array<std::u16string, kConditionCount> m_conditions;
    std::u16string m_routeNumberText;
    bool m_isOnHighway = false;
    bool m_isNextInDestinationStreet = false;
    std::int32_t m_destinationKind = 1;
    std::uint32_t m_destinationElement = 0xFFFFFFFF;
    std::u16string m_destinationStreetName;
    std::vector<std::uint32_t> m_destinationStreetIds;
    std::int32_t m_accumulatedLength = 0;
    std::int32_t m_accumulatedTime = 0;
    std::int32_t m_endOfRoute = -1;
    std::map<std::uint32_t, SignpostRecord> m_signposts;
};
