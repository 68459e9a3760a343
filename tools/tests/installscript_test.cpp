// scripts/install-demo.sh on a build folder of its own around this build's data tools, with tiny
// converted extracts: a folder named by --data is taken only when it is the current conversion of
// the extract and otherwise left as it was, with a message; the script's own folder is converted
// afresh, and a failed conversion leaves it as it was.
#include "testdata/hostprogram.h"
#include "testdata/osmextractwriter.h"
#include "testdata/tempdir.h"
#include "tools/osm/osmconvert.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

// The files and folders below a folder (symbolic links not followed), each with its bytes and
// modification time: a file written again, even with the same bytes, shows.
std::map<std::string, std::string> ScriptFilesAt(const fs::path& folder) {
    std::map<std::string, std::string> files;
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(folder, error);
         !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
        const std::string name = fs::relative(it->path(), folder).string();
        if (!it->is_regular_file()) {
            files[name] = "(folder)";
            continue;
        }
        files[name] = testdata::ReadHostFile(it->path()).value_or("?") + " @" +
                      std::to_string(it->last_write_time().time_since_epoch().count());
    }
    return files;
}

// An extract of one named road.
testdata::OsmExtractWriter ScriptExtract(const std::string& street) {
    testdata::OsmExtractWriter extract;
    extract.AddNode(1, 9.50, 47.10).AddNode(2, 9.52, 47.10);
    extract.AddWay(3, {1, 2}, {{"highway", "primary"}, {"name", street}});
    return extract;
}

enum class ScriptFolder { kNotes, kConverted, kConvertedLongAgo };

TEST(InstallScript, TakesTheUsersFolderOnlyWhenCurrentAndReplacesOnlyItsOwn) {
    const fs::file_time_type longAgo =
        fs::file_time_type::clock::now() - std::chrono::hours(24 * 365);
    testdata::TempDeviceRoot root;
    const fs::path work = root.HostPath();
    fs::create_directories(work / "build");
    // The build folder is named relative to the folder the test runs in.
    fs::create_directory_symlink(fs::absolute(NAV_BUILD_DIR) / "tools", work / "build" / "tools");
    osm2nav::ConvertOptions options;
    options.extract = work / "a.osm";
    options.output = work / "a";
    ASSERT_TRUE(ScriptExtract("Feld").WriteTo(options.extract));
    std::ostringstream summary;
    ASSERT_EQ(osm2nav::Convert(options, summary), "");
    ASSERT_TRUE(ScriptExtract("Wiese").WriteTo(work / "b.osm"));
    ASSERT_TRUE(root.WriteFile(u"\\garbage.osm.pbf", "not an extract"));
    fs::last_write_time(work / "garbage.osm.pbf", longAgo);
    ASSERT_TRUE(root.WriteFile(u"\\install\\old.txt", "old"));
    const std::string mine = (work / "mine").string();
    const struct {
        const char* name;
        ScriptFolder folder;
        bool isNamed; // --data names it; else the script's own, <build>/extract
        const char* extract;
        std::string said;
    } rows[] = {
        {"a folder of the user's", ScriptFolder::kNotes, true, "a.osm",
         mine + " holds no converted data"},
        {"converted before the converter was built", ScriptFolder::kConvertedLongAgo, true, "a.osm",
         mine + " is older than the converter"},
        {"converted from another extract", ScriptFolder::kConverted, true, "b.osm",
         mine + " was converted from another extract"},
        // Taken as it is: installdemo then refuses the output, which holds no install.
        {"a current conversion of the user's", ScriptFolder::kConverted, true, "a.osm",
         "installdemo: " + (work / "install").string()},
        {"the script's own, an older garbage extract", ScriptFolder::kConverted, false,
         "garbage.osm.pbf", "osm2nav: " + (work / "garbage.osm.pbf").string()},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const fs::path data = row.isNamed ? work / "mine" : work / "build" / "extract";
        fs::remove_all(work / "mine");
        fs::remove_all(work / "build" / "extract");
        if (row.folder == ScriptFolder::kNotes) {
            ASSERT_TRUE(root.WriteFile(u"\\mine\\notes.txt", "notes"));
        } else {
            fs::copy(work / "a", data, fs::copy_options::recursive);
        }
        if (row.folder == ScriptFolder::kConvertedLongAgo) {
            fs::last_write_time(data / "kwa" / "Net.rd", longAgo);
        }
        std::vector<std::string> words = {"bash",
                                          NAV_SOURCE_DIR "/scripts/install-demo.sh",
                                          (work / "build").string(),
                                          "--extract",
                                          (work / row.extract).string(),
                                          "--out",
                                          (work / "install").string()};
        if (row.isNamed) {
            words.insert(words.end(), {"--data", mine});
        }
        const auto before = ScriptFilesAt(work);
        const testdata::ProgramRun run = testdata::RunHostProgram(words, {}, "install_script.err");
        EXPECT_GT(run.exitCode, 0) << run.errors;
        EXPECT_NE(run.errors.find(row.said), std::string::npos) << run.errors;
        EXPECT_EQ(ScriptFilesAt(work), before) << run.errors;
    }
}

} // namespace
