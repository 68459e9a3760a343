#include "advisor/advisorcore.h"

#include "platform/kernel/debug.h"

#include <cmath>

namespace {

constexpr std::u16string_view kEncodingFile = u"\\ConfigFiles\\encode.properties";
constexpr std::u16string_view kArrivalMark = u"@";

// Tables of which a file could not be used whole give wrong or missing words (or none, and the
// advice name stays), so nothing at all is said from them; only the arrival mark stays, which
// ends the guidance at the destination.
void Silence(AdviceRecord& record) {
    record.SetText(record.text.find(kArrivalMark) != std::u16string::npos ? kArrivalMark
                                                                          : std::u16string_view());
}

} // namespace

bool Advisor::FindRecordsAhead(const RouteIterator& route, AdviceRecord& first,
                               AdviceRecord& second, bool& hasSecond) const {
    hasSecond = false;
    const RouteIteratorPtr walker = route.Clone();
    if (!walker || !m_adviceList.FindRecordForRoute(first, *walker)) {
        return false;
    }
    hasSecond = m_adviceList.FindRecordForRoute(second, *walker);
    return true;
}

void Advisor::MeasureToJunction(const MatchedPosition& position, RouteIterator& route,
                                AdviceRecord& record) const {
    if (!route.IsValid()) {
        return;
    }
    // Reading the polyline leaves the vehicle's iterator where it is; only the walk ahead needs
    // a clone.
    const RouteRecord& current = route.Current();
    std::vector<GeoPoint> polyline;
    if (!route.GetItemPolyline(RouteItemRef(current), polyline)) {
        polyline.clear();
    }
    double distance = std::round(RemainingPolylineDistance(position.matched, polyline));
    // A route item of no length has no time to share out.
    double time = current.length > 0 ? distance / current.length * current.time : 0.0;
    if (current.linkId != record.elementId) {
        const RouteIteratorPtr walker = route.Clone();
        while (walker && walker->Next()) {
            const RouteRecord& item = walker->Current();
            distance += item.length;
            time += item.time;
            if (item.linkId == record.elementId) {
                break;
            }
        }
    }
    const auto newDistance = static_cast<std::int32_t>(distance);
    const auto newTime = static_cast<float>(time);
    record.remainingDistance += static_cast<std::uint32_t>(newDistance - record.distance);
    record.remainingTime += newTime - record.travelTime;
    record.distance = newDistance;
    record.travelTime = newTime;
}

AdvicePtr& Advisor::CreateAdvice(AdvicePtr& out, const MatchedPosition& position,
                                 const RouteIteratorPtr& route, std::int32_t request) {
    out = nullptr;
    if (!route) {
        return out;
    }
    AdviceRecord first;
    AdviceRecord second;
    bool hasSecond = false;
    bool hasFirst = FindRecordsAhead(*route, first, second, hasSecond);
    if (!hasFirst || !hasSecond) {
        AdvicePtr ignored;
        m_isFreshStart = false;
        AnalyseRoute(ignored);
        hasFirst = FindRecordsAhead(*route, first, second, hasSecond);
        if (!hasFirst) {
            m_isFreshStart = true;
            AnalyseRoute(ignored);
            hasFirst = FindRecordsAhead(*route, first, second, hasSecond);
        }
    }
    if (!hasFirst) {
        OutputDebugStringW(u"Create Adv returns null\n");
        return out;
    }
    MeasureToJunction(position, *route, first);
    AdviceList ahead;
    ahead.Append(std::move(first));
    ahead.Append(hasSecond ? std::move(second) : AdviceRecord());
    m_phraseBuilder.BuildAdvice(ahead, request);
    if (m_tables && !m_tables->unusableFiles.empty()) {
        AdviceRecord said;
        (void)ahead.GetRecord(0, said);
        Silence(said);
        ahead.SetRecord(0, std::move(said));
    }
    out = MakeAdvice(std::move(ahead), m_phraseBuilder.GetPhraseTable());
    return out;
}

std::int32_t Advisor::EncodeNextAdvice(std::uint8_t* buffer, AdvicePtr advice) {
    advice.Release();
    (void)m_adviceList.encoding.Load(m_folder + std::u16string(kEncodingFile));
    if (m_encodeCounter < 0 || static_cast<std::size_t>(m_encodeCounter) >= m_adviceList.Size()) {
        return 0;
    }
    const std::int32_t bytes = m_adviceList.EncodeRecord(m_encodeCounter, buffer);
    ++m_encodeCounter;
    return bytes;
}

void Advisor::DecodeAdvice(const std::uint8_t* data, std::int32_t length) {
    (void)m_adviceList.encoding.Load(m_folder + std::u16string(kEncodingFile));
    m_adviceList.DecodeRecords(data, length);
}
