#pragma once
// The files a test reads from the source tree or the build (shipped settings, advisor data, screen
// layouts, language libraries). Test programs name them relative to their build folder, so that a
// program run from another folder must fail naming the file rather than go on without it.

#include "testdata/tempdir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <utility>

namespace testdata {

// The bytes of a test's data file; when it does not open, a test failure naming it, and no bytes.
inline std::string ReadTestFile(const std::filesystem::path& path) {
    std::optional<std::string> bytes = ReadHostFile(path);
    if (!bytes) {
        ADD_FAILURE() << CannotOpen(path);
        return {};
    }
    return std::move(*bytes);
}

} // namespace testdata
