#pragma once
// A test fixture base holding the shared OpenStreetMap extract converted once per test program,
// into folders of one device root (the conversions are slow, the tests only read them).

#include "testdata/osmextractwriter.h"
#include "testdata/tempdir.h"
#include "tools/osm/osmconvert.h"
#include "utilities/usefulcode/memoryarena.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <utility>
#include <vector>

// Writes a hand-made extract into the root and converts it into "\<folder>" with the default
// options; the converter's error, empty when it converted.
inline std::string ConvertWritten(const testdata::OsmExtractWriter& extract,
                                  const testdata::TempDeviceRoot& root, const std::string& folder) {
    osm2nav::ConvertOptions options;
    options.extract = root.HostPath() / (folder + ".osm");
    options.output = root.HostPath() / folder;
    if (!extract.WriteTo(options.extract)) {
        return options.extract.string() + ": cannot be written";
    }
    std::ostringstream summary;
    return osm2nav::Convert(options, summary);
}

class ConvertedExtract : public ::testing::Test {
protected:
    // The device root, made by the first call (a fixture may call it early to put input there).
    static void CreateRoot() {
        if (s_root == nullptr) {
            s_root = new testdata::TempDeviceRoot;
            ASSERT_TRUE(s_root->InstallModule(u"ziVur.dll"));
        }
    }
    // From SetUpTestSuite: converts NAV_OSM_EXTRACT with each options into "\<folder>" (the
    // options' extract and output are set here).
    static void ConvertOnce(std::vector<std::pair<std::string, osm2nav::ConvertOptions>> runs) {
        CreateRoot();
        for (auto& [folder, options] : runs) {
            options.extract = NAV_OSM_EXTRACT;
            options.output = s_root->HostPath() / folder;
            std::ostringstream summary;
            ASSERT_EQ(osm2nav::Convert(options, summary), "") << folder;
        }
        if (!MemoryArena::Shared().HoldsMemory()) {
            ASSERT_TRUE(MemoryArena::Shared().Reserve(4 << 20));
        }
    }
    static void TearDownTestSuite() {
        delete s_root;
        s_root = nullptr;
    }

    static inline testdata::TempDeviceRoot* s_root = nullptr;
};
