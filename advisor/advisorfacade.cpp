#include "advisor/advisorcore.h"
#include "advisor/advisorstore.h"
#include "advisor/junctionrules.h"

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

std::vector<UnusableDrivingSide> FindUnusableDrivingSides(const std::u16string& folder,
                                                          const AdviceSettings& settings) {
    const AdvisorTablesPtr tables = AdvisorStore::Instance().TablesFor(
        folder, settings.phraseColumn, settings.destinationPhraseColumn);
    std::vector<UnusableDrivingSide> found;
    for (auto& [country, value] : JunctionRules::UnusableDrivingSides(tables->general)) {
        std::u16string line = country + u".Drivingside;" + value;
        found.push_back({AdvisorConfiguration::SpelledConfigFilePath(folder, u"General.properties"),
                         std::move(country), std::move(line)});
    }
    return found;
}

bool HoldsAdvisorFiles(const std::u16string& folder) {
    return AdvisorConfiguration::HoldsConfigFiles(folder);
}
