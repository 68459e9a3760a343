#pragma once
// The open-by-mode check shared by the tests of the RawFile implementations: for each case the
// file exists with "old" in it or not, one file object opens it in the mode and goes out of
// scope, and what is left of the file is compared.

#include "testdata/tempdir.h"
#include "utilities/usefulcode/rawfile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <span>
#include <system_error>

struct RawFileModeCase {
    int mode;
    bool exists;
    bool opens;
    const char* contentsAfter; // null: no file is left
};

// Runs every case with a new File on `path`, removing the file after each case.
template <typename File>
void ExpectOpensByMode(testdata::TempDeviceRoot& root, const char16_t* path,
                       std::span<const RawFileModeCase> cases) {
    for (const RawFileModeCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "mode " << c.mode << " exists " << c.exists);
        if (c.exists) {
            ASSERT_TRUE(root.WriteFile(path, "old"));
        }
        {
            File file;
            file.Open(path, static_cast<RawFileMode>(c.mode));
            EXPECT_EQ(file.IsOpen(), c.opens);
        }
        const auto contents = root.ReadFile(path);
        EXPECT_EQ(contents.has_value(), c.contentsAfter != nullptr);
        if (contents && c.contentsAfter != nullptr) {
            EXPECT_EQ(*contents, c.contentsAfter);
        }
        std::error_code ignored;
        std::filesystem::remove(root.HostPathOf(path), ignored);
    }
}
