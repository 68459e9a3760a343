#pragma once
// Runs a test's body in a fresh process of the test program, for code whose process-wide state a
// test cannot undo (a library kept loaded for good, a message shown once per process). The test
// then passes whatever ran before it in this process, and as often as it is repeated.

#include <gtest/gtest.h>

#include <cstdlib>

namespace testdata {

// Starts this program anew (a death test in the "threadsafe" style), runs body there and expects
// every check in it to pass. Objects body makes are gone before that process ends, so a
// TempDeviceRoot made inside body removes its folder.
template <class Body> void RunInFreshProcess(Body body) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            body();
            std::exit(::testing::Test::HasFailure() ? 1 : 0);
        },
        ::testing::ExitedWithCode(0), "");
}

} // namespace testdata
