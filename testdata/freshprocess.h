#pragma once
// Runs a test's body in a fresh process of the test program, for code whose process-wide state a
// test cannot undo (a library kept loaded for good, a message shown once per process). The test
// then passes whatever ran before it in this process, and as often as it is repeated.

#include <gtest/gtest.h>

#include <cstdlib>
#include <iostream>

namespace testdata {

// Writes the failed checks of the running test to the error output, each with its place and its
// message (the traces of SCOPED_TRACE included): the fresh process tells its test program's
// listeners nothing, so this is what the failure of its test shows of them.
inline void TellFailedChecks() {
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    if (test == nullptr)
        return;
    const ::testing::TestResult* result = test->result();
    for (int i = 0; i < result->total_part_count(); ++i) {
        const ::testing::TestPartResult& part = result->GetTestPartResult(i);
        if (!part.failed())
            continue;
        std::cerr << (part.file_name() != nullptr ? part.file_name() : "unknown file") << ':'
                  << part.line_number() << ": Failure\n"
                  << part.message() << '\n';
    }
    std::cerr.flush();
}

// Starts this program anew (a death test in the "threadsafe" style), runs body there and expects
// every check in it to pass; the checks that fail there are told in this test's failure. Objects
// body makes are gone before that process ends, so a TempDeviceRoot made inside body removes its
// folder.
template <class Body> void RunInFreshProcess(Body body) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            body();
            TellFailedChecks();
            std::exit(::testing::Test::HasFailure() ? 1 : 0);
        },
        ::testing::ExitedWithCode(0), "");
}

} // namespace testdata
