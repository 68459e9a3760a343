#include "mapdisplay/enginenamereader.h"

namespace {

class EngineNameReader final : public INameReader {
public:
    explicit EngineNameReader(six::RefCntPtr<RetrievalEngineImpl> engine)
        : m_engine(std::move(engine)) {}

    bool GetName(std::uint32_t nameId, std::u16string& text) override {
        return m_engine->ReadName(nameId, text, false, false) && !text.empty();
    }
    bool GetRoadNumber(std::uint32_t nameId, std::u16string& text) override {
        return m_engine->ReadName(nameId, text, true, false) && !text.empty();
    }

private:
    six::RefCntPtr<RetrievalEngineImpl> m_engine;
};

} // namespace

std::shared_ptr<INameReader> MakeEngineNameReader(six::RefCntPtr<RetrievalEngineImpl> engine) {
    if (!engine || !engine->HasNameFile())
        return nullptr;
    return std::make_shared<EngineNameReader>(std::move(engine));
}
