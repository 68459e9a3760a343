#pragma once
// Advisors on the junction scenarios: our advisor data (with files replaced or left out) written
// into a folder of the scenarios' device root, and the store emptied, so that each advisor loads
// the configuration it is given.
#include "advisor/advisor.h"
#include "advisor/advisorcore.h"
#include "advisor/advisorstore.h"
#include "advisor/tests/junctionscenario.h"
#include "testdata/simulateddrive.h"
#include "testdata/testfiles.h"

#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace advisortest {

inline std::string ReadSource(const std::string& name) {
    return testdata::ReadTestFile(std::filesystem::path(NAV_ADVISOR_DATA_DIR) / "ConfigFiles" /
                                  name);
}

// File name -> its text, or nullopt to leave the file out; the others are ours.
using DataChanges = std::map<std::string, std::optional<std::string>>;

// Writes the data into a new upper-case folder of the scenario root and empties the store; the
// folder to create advisors with.
inline std::u16string WriteAdvisorData(const DataChanges& changes = {}) {
    static int folders = 0;
    const std::string folder = "\\CFG" + std::to_string(++folders);
    const std::u16string wideFolder(folder.begin(), folder.end());
    const std::set<std::string> ours = {"General.properties", "SOA.csv", "SpokenDistances.csv",
                                        "RouteNumbers.csv",   "SOD.csv", "DecisionTables.csv",
                                        "encode.properties"};
    for (const std::string& name : ours) {
        const auto change = changes.find(name);
        if (change != changes.end() && !change->second) {
            continue;
        }
        const std::string bytes = change != changes.end() ? *change->second : ReadSource(name);
        const std::u16string wideName(name.begin(), name.end());
        // The encoding table lies below "ConfigFiles" of the folder, the others in it.
        const std::u16string path = name == "encode.properties"
                                        ? wideFolder + u"\\ConfigFiles\\" + wideName
                                        : wideFolder + u"\\" + wideName;
        if (!junctiontest::ScenarioRoot().WriteFile(path, bytes)) {
            return {};
        }
    }
    // Any other file given (an archive, say) lies in the folder too.
    for (const auto& [name, bytes] : changes) {
        if (bytes && !ours.contains(name) &&
            !junctiontest::ScenarioRoot().WriteFile(
                wideFolder + u"\\" + std::u16string(name.begin(), name.end()), *bytes)) {
            return {};
        }
    }
    AdvisorStore::Instance().Reset();
    return wideFolder;
}

// Our general settings with its "Crossings" line replaced (removed for an empty line).
inline std::string GeneralWithCrossings(const std::string& line) {
    std::string general = ReadSource("General.properties");
    const std::size_t start = general.find("Crossings;");
    general.erase(start, general.find("\r\n", start) + 2 - start);
    return line.empty() ? general : general + line + "\r\n";
}

// The text with the line that begins with start in place of line.
inline std::string WithLine(const std::string& text, const std::string& start,
                            const std::string& line) {
    const std::size_t at = text.find("\r\n" + start);
    return at == std::string::npos
               ? text
               : text.substr(0, at + 2) + line + text.substr(text.find("\r\n", at + 2));
}

struct Said {
    std::int32_t distance;
    std::int32_t kind;
    std::u16string text;
};

// CreateAdvice (request 0) at every position of a drive in steps of 10 m; what each said.
inline std::vector<Said> Drive(IAdvisor& advisor, const RouteIteratorPtr& route,
                               std::size_t& positions, std::size_t& nulls) {
    std::vector<Said> said;
    testdata::SimulatedDrive drive(route, 10.0);
    testdata::DrivePosition at;
    positions = 0;
    nulls = 0;
    while (drive.Next(at)) {
        ++positions;
        AdvicePtr advice;
        if (!advisor.CreateAdvice(advice, at.position, at.route, 0) || !advice->IsValid()) {
            ++nulls;
            continue;
        }
        const AdviceValuePtr value = advice->Current();
        said.push_back({value->GetDistance(), value->GetKind(), value->GetSpeechText()});
    }
    return said;
}

inline Advisor MakeAdvisor(const junctiontest::ScenarioRun& run, const std::u16string& folder,
                           const AdviceSettings& settings = {}) {
    return Advisor(run.engine, run.result, folder, settings);
}

} // namespace advisortest
