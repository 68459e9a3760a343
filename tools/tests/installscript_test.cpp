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
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <sys/file.h>
#include <unistd.h>
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
    // The script's lock, made by its first run.
    ASSERT_TRUE(root.WriteFile(u"\\build\\install-demo.lock", ""));
    // The build folder is named relative to the folder the test runs in.
    fs::create_directory_symlink(fs::absolute(NAV_BUILD_DIR) / "tools", work / "build" / "tools");
    osm2nav::ConvertOptions options;
    options.extract = work / "a.osm";
    options.output = work / "a";
    ASSERT_TRUE(ScriptExtract("Feld").WriteTo(options.extract));
    std::ostringstream summary;
    ASSERT_EQ(osm2nav::Convert(options, summary), "");
    ASSERT_TRUE(ScriptExtract("Wiese").WriteTo(work / "b.osm"));
    // The same bytes elsewhere and touched since (a fresh clone), and other bytes of the size.
    fs::copy_file(work / "a.osm", work / "a-touched.osm");
    fs::last_write_time(work / "a-touched.osm", longAgo);
    ASSERT_TRUE(ScriptExtract("Fold").WriteTo(work / "a-other.osm"));
    ASSERT_EQ(fs::file_size(work / "a-other.osm"), fs::file_size(work / "a.osm"));
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
        bool isLocked = false; // another run holds the build folder's lock
    } rows[] = {
        {"a folder of the user's", ScriptFolder::kNotes, true, "a.osm",
         mine + " holds no converted data"},
        {"converted before the converter was built", ScriptFolder::kConvertedLongAgo, true, "a.osm",
         mine + " is older than the converter"},
        {"converted from another extract", ScriptFolder::kConverted, true, "b.osm",
         mine + " was converted from another extract than " + (work / "b.osm").string() +
             " as it is now: the size differs"},
        {"converted from an extract of the same size", ScriptFolder::kConverted, true,
         "a-other.osm",
         mine + " was converted from another extract than " + (work / "a-other.osm").string() +
             " as it is now: the content differs"},
        {"converted from the same bytes, touched since", ScriptFolder::kConverted, true,
         "a-touched.osm", mine + " was converted from the same content as"},
        {"while another run holds the lock", ScriptFolder::kConverted, false, "a.osm",
         "install-demo.sh: another install-demo.sh is running on", true},
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
        const int lock = ::open((work / "build" / "install-demo.lock").c_str(), O_RDWR);
        ASSERT_GE(lock, 0);
        ASSERT_EQ(::flock(lock, row.isLocked ? LOCK_EX : LOCK_UN), 0);
        const testdata::ProgramRun run = testdata::RunHostProgram(words, {}, "install_script.err");
        ::close(lock);
        EXPECT_GT(run.exitCode, 0) << run.errors;
        EXPECT_NE(run.errors.find(row.said), std::string::npos) << run.errors;
        EXPECT_EQ(ScriptFilesAt(work), before) << run.errors;
    }
}

} // namespace
