#include "advisor/advisorcore.h"
#include "advisor/advisorstore.h"
#include "advisor/junctionrules.h"

#include <algorithm>
#include <new>

namespace {

// Forwards to the advisor it made; when that could not be made every operation gives nothing.
class AdvisorFacade final : public IAdvisor {
public:
    explicit AdvisorFacade(AdvisorPtr advisor)
        : m_advisor(std::move(advisor)) {}

    AdvicePtr& CreateAdvice(AdvicePtr& out, const MatchedPosition& position,
                            const RouteIteratorPtr& route, std::int32_t request) override {
        if (!m_advisor) {
            out = nullptr;
            return out;
        }
        return m_advisor->CreateAdvice(out, position, route, request);
    }
    AdvicePtr& AnalyseRoute(AdvicePtr& out) override {
        if (!m_advisor) {
            out = nullptr;
            return out;
        }
        return m_advisor->AnalyseRoute(out);
    }
    std::int32_t EncodeNextAdvice(std::uint8_t* buffer, AdvicePtr advice) override {
        return m_advisor ? m_advisor->EncodeNextAdvice(buffer, std::move(advice)) : 0;
    }
    void DecodeAdvice(const std::uint8_t* data, std::int32_t length) override {
        if (m_advisor) {
            m_advisor->DecodeAdvice(data, length);
        }
    }

private:
    AdvisorPtr m_advisor;
};

} // namespace

void CreateAdvisorFacade(AdvisorPtr& out, const RetrievalEngine::RetrievalEnginePtr& source,
                         RouteRequestResult route, const std::u16string& folder,
                         const AdviceSettings& settings) {
    AdvisorPtr advisor(new (std::nothrow) Advisor(source, std::move(route), folder, settings));
    out = MakeAdvisorFacade(std::move(advisor));
}

AdvisorPtr MakeAdvisorFacade(AdvisorPtr advisor) {
    return AdvisorPtr(new (std::nothrow) AdvisorFacade(std::move(advisor)));
}

std::vector<std::u16string> FindUnusableAdvisorFiles(const std::u16string& folder,
                                                     const AdviceSettings& settings) {
    return AdvisorStore::Instance()
        .TablesFor(folder, settings.phraseColumn, settings.destinationPhraseColumn)
        ->unusableFiles;
}

std::vector<UnusableDrivingSide>
FindUnusableDrivingSides(const std::u16string& folder, const AdviceSettings& settings,
                         const RetrievalEngine::RetrievalEnginePtr& source,
                         const RouteIteratorPtr& route) {
    const AdvisorTablesPtr tables = AdvisorStore::Instance().TablesFor(
        folder, settings.phraseColumn, settings.destinationPhraseColumn);
    std::vector<UnusableDrivingSide> found;
    std::vector<std::pair<std::u16string, std::u16string>> unusable =
        JunctionRules::UnusableDrivingSides(tables->general);
    if (unusable.empty() || !source) {
        return found;
    }
    // A side is told only where it keeps something untold: on the roads of a country the route
    // goes through, as the advisor counts their countries.
    std::vector<std::u16string> countries;
    for (RouteIteratorPtr walker = GetRouteIterator(route); walker && walker->IsValid();
         walker->Next()) {
        const six::IntfPtr<MapElement> element = source->GetMappedElement(walker->Current().linkId);
        if (!element) {
            continue;
        }
        std::u16string country(JunctionRules::CountryName(element->GetCountry()));
        if (std::find(countries.begin(), countries.end(), country) == countries.end()) {
            countries.push_back(std::move(country));
        }
    }
    for (auto& [country, value] : unusable) {
        if (std::find(countries.begin(), countries.end(), country) == countries.end()) {
            continue;
        }
        const std::u16string key = country + u".Drivingside";
        const auto written = tables->generalLines.find(key);
        std::u16string line =
            written != tables->generalLines.end() ? written->second : key + u";" + value;
        found.push_back({AdvisorConfiguration::SpelledConfigFilePath(folder, u"General.properties"),
                         std::move(country), std::move(line)});
    }
    return found;
}

bool HoldsAdvisorFiles(const std::u16string& folder) {
    return AdvisorConfiguration::HoldsConfigFiles(folder);
}
