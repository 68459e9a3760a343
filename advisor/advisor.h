#pragma once
// The manoeuvre advisor of one calculated route, made by CreateAdvisorFacade: it walks the route
// in stretches, records the junctions that need advice and builds the advice for the vehicle's
// position. Everything it knows is fixed at creation; a new route needs a new advisor. No lock:
// one caller at a time (the navigation server calls it under its own lock); the counted pointer
// may be copied and released on any thread.

#include "advisor/advice.h"
#include "basiccomp/retrievalengine/code/iretrievalengine.h"
#include "positioning/matchedposition.h"
#include "routing/routeservice.h"
#include "six/refcntptr.h"

#include <cstdint>
#include <string>
#include <vector>

// What the server keeps for its advisors, copied whole at creation.
struct AdviceSettings {
    std::int32_t mode = 0;                    // modes 3 and 5 analyse two junctions at a time
    std::int32_t phraseColumn = 0;            // of "SOA.csv", "SpokenDistances.csv", ...
    std::int32_t destinationPhraseColumn = 0; // of "SOD.csv"; 1 also speaks miles and yards
};

// The longest encoded advice, in bytes.
inline constexpr std::int32_t kMaxEncodedAdviceBytes = 405;

class IAdvisor {
public:
    virtual ~IAdvisor() = default;

    // The advice for the vehicle at the matched point, where route is an iterator at the
    // vehicle's route item; request goes to the phrase builder (1: the driver asked). Null when
    // no advice can be given. Returns out.
    virtual AdvicePtr& CreateAdvice(AdvicePtr& out, const MatchedPosition& position,
                                    const RouteIteratorPtr& route, std::int32_t request) = 0;
    // Analyses the next stretch of the route; out holds every advice found so far, or null for
    // a route that was not built. Returns out.
    virtual AdvicePtr& AnalyseRoute(AdvicePtr& out) = 0;
    // Encodes the next record not yet sent into buffer (kMaxEncodedAdviceBytes long); the bytes
    // written, 0 when every record was sent. The advice is only released.
    virtual std::int32_t EncodeNextAdvice(std::uint8_t* buffer, AdvicePtr advice) = 0;
    // Appends the advice encoded in the first length bytes of data (whole advices only).
    virtual void DecodeAdvice(const std::uint8_t* data, std::int32_t length) = 0;

protected:
    IAdvisor() = default;
    IAdvisor(const IAdvisor&) = default;
    IAdvisor& operator=(const IAdvisor&) = default;
};

using AdvisorPtr = six::RefCntPtr<IAdvisor, six::MTModel>;

// A new advisor for the route, whatever its status (only status 8 gives advice); the
// configuration files lie below folder ("\" for "\ConfigFiles"). The element source may be null.
// out is null when memory runs out.
void CreateAdvisorFacade(AdvisorPtr& out, const RetrievalEngine::RetrievalEnginePtr& source,
                         RouteRequestResult route, const std::u16string& folder,
                         const AdviceSettings& settings);

// The configuration files below folder ("\" for "\ConfigFiles") that the advisors made with these
// settings could not use whole: each one missing, empty, cut short, without a row or with a row
// that lacks the column read, or without an entry the advisor can ask of it (decision tables
// without a row for a question the junction analysis or the driver's request can put, general
// settings without the turn sectors, "SpokenDistances.csv" when a distance an announcement can
// speak has no words or empty ones, "SOA.csv" when it words no advice of the decision tables), as
// the folder spells its path; an archive that is there but cannot be mounted, or that is missing
// with every file it could hold, in their place. With any of them those advisors say nothing;
// their records, manoeuvre codes and distances stay. Empty when every file was read whole.
[[nodiscard]] std::vector<std::u16string> FindUnusableAdvisorFiles(const std::u16string& folder,
                                                                   const AdviceSettings& settings);

// A country's driving side in the general settings that is neither "Left" nor "Right" as written
// (" Left", "LEFT", a stray CR that joined the next line to it): the advisors tell neither a
// roundabout's exits nor a U-turn on that country's roads; everything else, and every other
// country, is told as usual.
struct UnusableDrivingSide {
    std::u16string file;    // "General.properties" below the folder, as the folder spells it
    std::u16string country; // as the settings name it ("England")
    // The setting's line as the file holds it, its TABs and stray CRs too
    // ("England.Drivingside;left")
    std::u16string line;
};

// Each such driving side of the general settings below folder ("\" for "\ConfigFiles") of a
// country that roads of the route belong to, as the advisor counts them (a road whose country
// code it does not know is Germany's), in the order of the country table: the sides that keep
// something of the route untold. Empty when there is none.
[[nodiscard]] std::vector<UnusableDrivingSide>
FindUnusableDrivingSides(const std::u16string& folder, const AdviceSettings& settings,
                         const RetrievalEngine::RetrievalEnginePtr& source,
                         const RouteIteratorPtr& route);

// True when the folder ("\" for "\ConfigFiles") holds any of the advisor's files, plain or in
// its archive.
[[nodiscard]] bool HoldsAdvisorFiles(const std::u16string& folder);
