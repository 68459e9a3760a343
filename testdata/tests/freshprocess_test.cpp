#include "testdata/freshprocess.h"
#include "testdata/hostprogram.h"
#include "testdata/tempdir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

// The row this test program was started for: its body then fails in a fresh process.
constexpr char kRowVariable[] = "NAV_FRESH_PROCESS_ROW";

// A check that fails in a fresh process is told in the failure of the test that started it, with
// the traces it was made under: a table's failing row is named.
TEST(FreshProcess, TellsTheFailedChecksOfItsBodyWithTheirTraces) {
    if (const char* started = std::getenv(kRowVariable); started != nullptr) {
        const std::string row = started;
        testdata::RunInFreshProcess([&row] {
            SCOPED_TRACE("the row " + row);
            if (row == "fatal")
                ASSERT_EQ(row, "a fatal check's value");
            else
                EXPECT_EQ(row, "a check's value");
        });
        return;
    }
    const struct {
        const char* row;
        const char* told; // besides the row's trace
    } rows[] = {{"nonfatal", "a check's value"}, {"fatal", "a fatal check's value"}};
    testdata::TempDeviceRoot root;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe");
    for (const auto& r : rows) {
        SCOPED_TRACE(r.row);
        // Its test output goes to the error output, which the run keeps.
        const testdata::ProgramRun run = testdata::RunHostProgram(
            {"sh", "-c", "exec \"$0\" \"$1\" 1>&2", program.string(),
             "--gtest_filter=FreshProcess.TellsTheFailedChecksOfItsBodyWithTheirTraces"},
            {std::string(kRowVariable) + "=" + r.row}, root.HostPath() / "errors.txt");
        EXPECT_EQ(run.exitCode, 1) << run.errors;
        EXPECT_NE(run.errors.find(std::string("the row ") + r.row), std::string::npos)
            << run.errors;
        EXPECT_NE(run.errors.find(r.told), std::string::npos) << run.errors;
    }
}

} // namespace
