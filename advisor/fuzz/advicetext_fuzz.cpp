// Fuzzes phrase expansion and the advice texts from memory. Input: a flag byte (bit 0 miles,
// the other bits the distance to the junction in tens of metres), then lines: the phrase text,
// then "name=value" variables, "!name=value" phrase-table entries. Every input must end, and the
// display text must hold no markup.

#include "advisor/advice.h"
#include "advisor/spokenadvicebuilder.h"

#include <cstdlib>
#include <string>
#include <string_view>

namespace {

std::u16string Widen(std::string_view bytes) {
    std::u16string text;
    for (const char c : bytes) {
        text += static_cast<char16_t>(static_cast<unsigned char>(c));
    }
    return text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::uint8_t flags = data[0];
    const std::u16string input = Widen({reinterpret_cast<const char*>(data) + 1, size - 1});
    auto tables = std::make_shared<AdvisorTables>();
    tables->phrases = {{u"x", u"[x]"}, {u"xx", u"[x0][x]"}, {u"z", u"[z]"}, {u"z00", u"[z00]"}};
    tables->destinations = {{u"SOD.T.Bc.d1", u"800"},
                            {u"SOD.T.Bc.d2", u"300"},
                            {u"SOD.T.Bc.d3", u"100"},
                            {u"B2B.ShortDBA", u"150"}};
    SpokenAdviceBuilder::Variables variables;
    std::u16string text;
    std::size_t start = 0;
    for (bool isFirst = true; start <= input.size(); isFirst = false) {
        std::size_t end = input.find(u'\n', start);
        if (end == std::u16string::npos) {
            end = input.size();
        }
        const std::u16string line = input.substr(start, end - start);
        start = end + 1;
        if (isFirst) {
            text = line;
            continue;
        }
        const std::size_t equals = line.find(u'=');
        const bool isPhrase = !line.empty() && line[0] == u'!';
        const std::u16string name = line.substr(isPhrase ? 1 : 0, equals - (isPhrase ? 1 : 0));
        const std::u16string value = equals == std::u16string::npos ? u"" : line.substr(equals + 1);
        (isPhrase ? tables->phrases : variables).emplace(name, value);
    }
    tables->phrases[u"F.A1"] = text;
    tables->phrases[u"F.A2a"] = text;
    tables->phrases[u"F.A2b"] = text;
    tables->phrases[u"F.A3"] = text;

    SpokenAdviceBuilder builder;
    builder.SetTables(tables);
    builder.SetUnits({0, 0, flags & 1u});
    std::u16string expanded = text;
    builder.ExpandPhrase(variables, expanded);
    const std::u16string display = AdviceDisplayText(expanded);
    if (display.find_first_of(u"[]$#()") != std::u16string::npos) {
        std::abort();
    }
    (void)AdviceSpokenText(text, tables->phrases);
    (void)AdviceSpokenText(expanded, tables->phrases);

    // The same text as every announcement of a junction and of the one after it.
    AdviceRecord ahead;
    ahead.SetText(u"F");
    ahead.distance = (flags >> 1) * 10;
    ahead.junction.manoeuvre.Set(u"T");
    ahead.junction.roadClass.Set(u"Bc");
    ahead.junction.stretchLength = 1000;
    ahead.junction.targetRoadNumber.Set(text);
    AdviceRecord next = ahead;
    next.junction.junctionId = 1;
    next.distance = 100;
    AdviceList records;
    records.Append(ahead);
    records.Append(next);
    (void)builder.BuildAdvice(records, 0);
    (void)builder.BuildStaticTexts(records);
    const AdvicePtr advice = MakeAdvice(records, builder.GetPhraseTable());
    for (; advice && advice->IsValid(); advice->Next()) {
        const AdviceValuePtr value = advice->Current();
        if (value && std::u16string_view(value->GetDisplayText()).find_first_of(u"[]$#()") !=
                         std::u16string_view::npos) {
            std::abort();
        }
    }
    return 0;
}
