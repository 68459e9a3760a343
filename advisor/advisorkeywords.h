#pragma once
// The advisor's vocabulary: module, condition and value names, direction words and advice
// qualifiers, as the configuration files spell them. Constant expressions, so they need no
// initialisation order and may be used from any thread at any time. Compare whole texts,
// case-sensitively unless a caller says otherwise.

#include <array>
#include <string_view>

namespace AdvisorKeywords {

inline constexpr std::u16string_view kLeft = u"Left";
inline constexpr std::u16string_view kRight = u"Right";
inline constexpr std::u16string_view kSlight = u"Slight";
inline constexpr std::u16string_view kHard = u"Hard";
inline constexpr std::u16string_view kStraightAhead = u"StraightAhead";
inline constexpr std::u16string_view kUTurn = u"UTurn";
inline constexpr std::u16string_view kDeadEnd = u"Dead_End";
inline constexpr std::u16string_view kTStreet = u"T_Street";
inline constexpr std::u16string_view kBifurcation = u"Bifurcation";
inline constexpr std::u16string_view kHighwayCrossings1 = u"HighwayCrossings1";
inline constexpr std::u16string_view kHighwayCrossings2 = u"HighwayCrossings2";
inline constexpr std::u16string_view kLeavingHighway = u"LeavingHighway";
inline constexpr std::u16string_view kLookLikeBifurcation = u"Look_Like_Bifurcation";
inline constexpr std::u16string_view kIdleTime = u"idleTime";
inline constexpr std::u16string_view kRoundabouts = u"Roundabouts";
inline constexpr std::u16string_view kGeometricSetting1 = u"Geometric_Setting_1";
inline constexpr std::u16string_view kGeometricSetting2 = u"Geometric_Setting_2";
inline constexpr std::u16string_view kGeometricSetting3 = u"Geometric_Setting_3";
inline constexpr std::u16string_view kDriverRequest = u"driverRequest";
inline constexpr std::u16string_view kPriorityManoeuvre = u"Priority_Manoeuvre";
inline constexpr std::u16string_view kDestination = u"Destination";
inline constexpr std::u16string_view kIgnoreJunction = u"IgnoreJunction";
inline constexpr std::u16string_view kNoAdvice = u"NoAdvice";
inline constexpr std::u16string_view kStreetType = u"StreetType";
inline constexpr std::u16string_view kSIOfTSComparedToOtherStreets =
    u"SI_Of_TS_Compared_To_Other_Streets";
inline constexpr std::u16string_view kRelativeDirectionOfTS = u"Relative_Direction_Of_TS";
inline constexpr std::u16string_view kGeneralDirectionOfTS = u"General_Direction_Of_TS";
inline constexpr std::u16string_view kRNChanges = u"RN_Changes";
inline constexpr std::u16string_view kAbsoluteDirectionOfTSIsStraightAhead =
    u"Absolute_Direction_Of_TS_Is_StraightAhead";
inline constexpr std::u16string_view kForkType = u"ForkType";
inline constexpr std::u16string_view kDrivingSideOfFork = u"DrivingSideOfFork";
inline constexpr std::u16string_view kKindOfApproachingDestination =
    u"Kind_Of_Approaching_Destination";
inline constexpr std::u16string_view kLastItemOfRouteResult = u"Last_Item_Of_Route_Result";
inline constexpr std::u16string_view kISIsPartOfDS = u"IS_Is_Part_Of_DS";
inline constexpr std::u16string_view kTSIsPartOfRoundabout = u"TS_Is_Part_Of_Roundabout";
inline constexpr std::u16string_view kOtherOSPartOfDS = u"Other_OS_Part_Of_DS";
inline constexpr std::u16string_view kApproaching = u"Approaching";
inline constexpr std::u16string_view kIsDistanceMoreThanRange = u"IsDistanceMoreThanRange";
inline constexpr std::u16string_view kAngleOfTSIsWithinGS1Range = u"Angle_Of_TS_Is_Within_GS1Range";
inline constexpr std::u16string_view kAngleOfTSIsWithinGS2Range = u"Angle_Of_TS_Is_Within_GS2Range";
inline constexpr std::u16string_view kKindOfTS = u"Kind_Of_TS";
inline constexpr std::u16string_view kStatus = u"status";
inline constexpr std::u16string_view kTSHasBiggerAngleToSAD = u"TS_Has_Bigger_Angle_To_SAD";
inline constexpr std::u16string_view kTSIsPriorityStreet = u"TS_Is_PriorityStreet";
inline constexpr std::u16string_view kMoreThan4Exits = u"More_Than_4Exits";
inline constexpr std::u16string_view kTSIsPartOfRoundaboutCondition = u"TS_Is_Part_Of_Roundabout";
inline constexpr std::u16string_view kDrivingSideOfRoad = u"DrivingSide_Of_Road";
inline constexpr std::u16string_view kTSIsDeadEndStreet = u"TS_Is_DeadEndStreet";
inline constexpr std::u16string_view kHighwayBifurcationLeft = u"highway_bifurcation_left";
inline constexpr std::u16string_view kHighwayBifurcationRight = u"highway_bifurcation_right";
inline constexpr std::u16string_view kLeftNotStraightAhead = u"left_not_straight_ahead";
inline constexpr std::u16string_view kRightNotStraightAhead = u"right_not_straight_ahead";
inline constexpr std::u16string_view kStraightAheadNotLeft = u"straight_ahead_not_left";
inline constexpr std::u16string_view kStraightAheadNotRight = u"straight_ahead_not_right";
inline constexpr std::u16string_view kSlightLeftNotSlightRight = u"slight_left_not_slight_right";
inline constexpr std::u16string_view kSlightRightNotSlightLeft = u"slight_right_not_slight_left";
inline constexpr std::u16string_view kApproachingDestination = u"approaching_destination";
inline constexpr std::u16string_view kReplacement = u"REPLACEMENT";

// Every keyword in declaration order. kTSIsPartOfRoundabout and kTSIsPartOfRoundaboutCondition
// are two entries with the same text.
inline constexpr std::array<std::u16string_view, 58> kAll = {kLeft,
                                                             kRight,
                                                             kSlight,
                                                             kHard,
                                                             kStraightAhead,
                                                             kUTurn,
                                                             kDeadEnd,
                                                             kTStreet,
                                                             kBifurcation,
                                                             kHighwayCrossings1,
                                                             kHighwayCrossings2,
                                                             kLeavingHighway,
                                                             kLookLikeBifurcation,
                                                             kIdleTime,
                                                             kRoundabouts,
                                                             kGeometricSetting1,
                                                             kGeometricSetting2,
                                                             kGeometricSetting3,
                                                             kDriverRequest,
                                                             kPriorityManoeuvre,
                                                             kDestination,
                                                             kIgnoreJunction,
                                                             kNoAdvice,
                                                             kStreetType,
                                                             kSIOfTSComparedToOtherStreets,
                                                             kRelativeDirectionOfTS,
                                                             kGeneralDirectionOfTS,
                                                             kRNChanges,
                                                             kAbsoluteDirectionOfTSIsStraightAhead,
                                                             kForkType,
                                                             kDrivingSideOfFork,
                                                             kKindOfApproachingDestination,
                                                             kLastItemOfRouteResult,
                                                             kISIsPartOfDS,
                                                             kTSIsPartOfRoundabout,
                                                             kOtherOSPartOfDS,
                                                             kApproaching,
                                                             kIsDistanceMoreThanRange,
                                                             kAngleOfTSIsWithinGS1Range,
                                                             kAngleOfTSIsWithinGS2Range,
                                                             kKindOfTS,
                                                             kStatus,
                                                             kTSHasBiggerAngleToSAD,
                                                             kTSIsPriorityStreet,
                                                             kMoreThan4Exits,
                                                             kTSIsPartOfRoundaboutCondition,
                                                             kDrivingSideOfRoad,
                                                             kTSIsDeadEndStreet,
                                                             kHighwayBifurcationLeft,
                                                             kHighwayBifurcationRight,
                                                             kLeftNotStraightAhead,
                                                             kRightNotStraightAhead,
                                                             kStraightAheadNotLeft,
                                                             kStraightAheadNotRight,
                                                             kSlightLeftNotSlightRight,
                                                             kSlightRightNotSlightLeft,
                                                             kApproachingDestination,
                                                             kReplacement};

// Degrees to radians with pi written to 11 decimals, as the junction view's drawing expects.
// Inside the namespace: the map element's header declares a function of the same name.
inline constexpr double DegreesToRadians = 3.14159265359 / 180;

} // namespace AdvisorKeywords
