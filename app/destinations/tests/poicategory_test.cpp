#include "app/destinations/poicategory.h"
#include "testdata/destinationwriter.h"
#include "testdata/resourcebundlewriter.h"
#include "testdata/tempdir.h"
#include "testdata/testfiles.h"

#include "platform/files/modules.h"
#include "platform/kernel/text.h"
#include "platform/shell/modulepath.h"
#include "platform/shell/resources.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

constexpr char16_t kPoiExecutable[] = u"\\Program\\Navigator.exe";
constexpr char16_t kPoiFolder[] = u"\\Program\\";

struct PoiRow {
    std::u16string text;
    std::int32_t lower;
    std::int32_t upper;
    friend bool operator==(const PoiRow&, const PoiRow&) = default;
};

std::vector<PoiRow> PoiRows(const std::vector<PoiCategory>& categories) {
    std::vector<PoiRow> rows;
    for (const PoiCategory& category : categories) {
        rows.push_back({category.text, category.lowerType, category.upperType});
    }
    return rows;
}

std::vector<PoiRow> ReadPoiBytes(const std::string& bytes) {
    return PoiRows(ReadPoiCategories(
        std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size())));
}

// A device whose executable lies in "\Program" with the language library holding string 993.
class PoiDevice {
public:
    PoiDevice() {
        platform::SetExecutablePath(kPoiExecutable);
        platform::ResourceBundle bundle;
        bundle.strings = {{kAllTypesStringId, u"Every type"}};
        if (root.WriteFile(u"\\Windows\\LangEngCE.dll", testdata::WriteResourceBundle(bundle))) {
            module = LoadLibraryW(u"LangEngCE.dll");
        }
        platform::SetResourceInstance(module);
    }
    ~PoiDevice() {
        platform::SetResourceInstance(nullptr);
        if (module != nullptr) {
            (void)FreeLibrary(module);
        }
        platform::SetExecutablePath({});
    }
    PoiDevice(const PoiDevice&) = delete;
    PoiDevice& operator=(const PoiDevice&) = delete;

    testdata::TempDeviceRoot root;
    HMODULE module = nullptr;
};

const std::vector<testdata::PoiCategorySource> kPoiSources = {
    {"Streets", 1005, 1090}, {"All", -1, -1}, {"Zoo", 7, 8}, {"airport", 1, 2}, {"Bank", 3, 4}};

} // namespace

TEST(PoiCategoryFile, LoadsOurFilesByLanguageSortedFromTheThirdRecord) {
    const struct {
        std::int32_t language;
        const char* file;
        std::vector<PoiRow> expected;
    } cases[] = {
        {1,
         "PoiEng.bin",
         {{u"All", -1, -1},
          {u"Streets", 1005, 1090},
          {u"Fuel station", 5001, 5001},
          {u"Hospital", 5003, 5003},
          {u"Parking", 5002, 5002},
          {u"Railway station", 5004, 5004}}},
        {2,
         "PoiGer.bin",
         {{u"Alle", -1, -1},
          {u"Stra\u00DFen", 1005, 1090},
          {u"Bahnhof", 5004, 5004},
          {u"Krankenhaus", 5003, 5003},
          {u"Parkplatz", 5002, 5002},
          {u"Tankstelle", 5001, 5001}}},
        {0, "PoiGer.bin", {}},
        {3,
         "PoiFre.bin",
         {{u"Tout", -1, -1},
          {u"Rues", 1005, 1090},
          {u"Gare", 5004, 5004},
          {u"H\u00F4pital", 5003, 5003},
          {u"Parking", 5002, 5002},
          {u"Station-service", 5001, 5001}}},
        {4, "PoiSpa.bin", {}},
        {5, "PoiIta.bin", {}},
        {6, "PoiDut.bin", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        EXPECT_EQ(PoiCategoryFileName(c.language), std::u16string(c.file, c.file + strlen(c.file)));
        PoiDevice device;
        const std::string bytes =
            testdata::ReadTestFile(std::filesystem::path(NAV_POI_CATEGORY_DIR) / c.file);
        ASSERT_FALSE(bytes.empty());
        ASSERT_TRUE(device.root.WriteFile(
            std::u16string(kPoiFolder) + std::u16string(PoiCategoryFileName(c.language)), bytes));
        std::vector<PoiCategory> categories(3);
        LoadPoiCategories(categories, c.language);
        const std::vector<PoiRow> rows = PoiRows(categories);
        ASSERT_EQ(rows.size(), 6u);
        for (std::size_t i = 3; i < rows.size(); ++i) {
            EXPECT_LT(_wcsicmp(rows[i - 1].text.c_str(), rows[i].text.c_str()), 0);
        }
        if (!c.expected.empty()) {
            EXPECT_EQ(rows, c.expected);
        }
    }
}

TEST(PoiCategoryFile, ReadsWhatEachFaultLeaves) {
    const std::u16string seventy(63, u'x');
    const struct {
        const char* name;
        testdata::PoiCategoryFault fault;
        std::vector<PoiRow> expected;
    } cases[] = {
        {"whole file",
         testdata::PoiCategoryFault::None,
         {{u"Streets", 1005, 1090},
          {u"All", -1, -1},
          {u"airport", 1, 2},
          {u"Bank", 3, 4},
          {u"Zoo", 7, 8}}},
        {"empty record ends the list",
         testdata::PoiCategoryFault::EmptyRecord,
         {{u"Streets", 1005, 1090}, {u"All", -1, -1}}},
        {"bound below -1 is skipped",
         testdata::PoiCategoryFault::BoundBelowMinusOne,
         {{u"All", -1, -1}, {u"Zoo", 7, 8}, {u"airport", 1, 2}, {u"Bank", 3, 4}}},
        {"two fields are skipped",
         testdata::PoiCategoryFault::TwoFields,
         {{u"All", -1, -1}, {u"Zoo", 7, 8}, {u"airport", 1, 2}, {u"Bank", 3, 4}}},
        {"long text is cut to 63",
         testdata::PoiCategoryFault::SeventyCharacters,
         {{u"Streets" + seventy.substr(7), 1005, 1090},
          {u"All", -1, -1},
          {u"airport", 1, 2},
          {u"Bank", 3, 4},
          {u"Zoo", 7, 8}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ReadPoiBytes(testdata::WritePoiCategoryFile(kPoiSources, c.fault)), c.expected);
    }
}

TEST(PoiCategoryFile, SortsLikeTheCaseInsensitiveCompareFromTheThirdRecord) {
    // Code page 1252 texts with letters beyond ASCII; equal texts keep their order.
    const std::vector<testdata::PoiCategorySource> sources = {{"Zoo", 0, 0},
                                                              {"Bank", 1, 1},
                                                              {"\xD6l", 2, 2},
                                                              {"oben", 3, 3},
                                                              {"\xC4pfel", 4, 4},
                                                              {"apfel", 5, 5},
                                                              {"APFEL", 6, 6},
                                                              {"\xE4pfel", 7, 7},
                                                              {"\x8A"
                                                               "alter",
                                                               8, 8},
                                                              {"zoo", 9, 9},
                                                              {"Zo", 10, 10},
                                                              {"\xFF"
                                                               "a",
                                                               11, 11}};
    const std::vector<PoiRow> rows = ReadPoiBytes(testdata::WritePoiCategoryFile(sources));
    ASSERT_EQ(rows.size(), sources.size());
    std::vector<PoiRow> expected = rows;
    std::stable_sort(expected.begin() + 2, expected.end(), [](const PoiRow& a, const PoiRow& b) {
        return _wcsicmp(a.text.c_str(), b.text.c_str()) < 0;
    });
    EXPECT_EQ(rows, expected);
    EXPECT_EQ(rows[0].text, u"Zoo");
    EXPECT_EQ(rows[1].text, u"Bank");
    EXPECT_EQ(rows[2].lower, 5) << "apfel before APFEL: equal texts keep their order";
    EXPECT_EQ(rows[3].lower, 6);
}

TEST(PoiCategoryFile, EndsAtAGarbledLastBlock) {
    // 13 bytes: the first block holds one whole record; the part block after it would decipher
    // into garbage and must neither be listed nor read beyond.
    const std::string plain = "A|-1|-1#B|1|2";
    const std::string bytes = testdata::EncipherPoiCategories(plain, true);
    ASSERT_EQ(bytes.size(), 13u);
    EXPECT_EQ(ReadPoiBytes(bytes), (std::vector<PoiRow>{{u"A", -1, -1}}));
    const std::string unpadded = testdata::WritePoiCategoryFile(
        {{"Bus", 1, 2}, {"Ferry", 3, 4}}, testdata::PoiCategoryFault::UnpaddedLength);
    EXPECT_NE(unpadded.size() % 8, 0u);
    EXPECT_EQ(ReadPoiBytes(unpadded), (std::vector<PoiRow>{{u"Bus", 1, 2}}));
}

TEST(PoiCategoryFile, FallsBackToAllTypesWithoutAFile) {
    const struct {
        const char* name;
        std::string bytes; // none: no file
    } cases[] = {
        {"missing file", {}},
        {"nothing valid", testdata::EncipherPoiCategories("x|-2|1#y#")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        PoiDevice device;
        if (!c.bytes.empty()) {
            ASSERT_TRUE(device.root.WriteFile(u"\\Program\\PoiEng.bin", c.bytes));
        }
        std::vector<PoiCategory> categories(2);
        LoadPoiCategories(categories, 1);
        EXPECT_EQ(PoiRows(categories), (std::vector<PoiRow>{{u"Every type", -1, -1}}));
    }
}

TEST(PoiCategoryRecord, NeedsThreeFieldsWithBoundsFromMinusOne) {
    const struct {
        std::u16string_view record;
        bool isValid;
        std::u16string_view text;
        std::int32_t lower, upper;
    } cases[] = {
        {u"Fuel|5001|5001#", true, u"Fuel", 5001, 5001},
        {u"All|-1|-1", true, u"All", -1, -1},
        {u"||Fuel||5001|5002|", true, u"Fuel", 5001, 5002},
        {u"Fuel|5001", false, u"", 0, 0},
        {u"Fuel|-2|5", false, u"", 0, 0},
        {u"Fuel|5|-3#", false, u"", 0, 0},
        {u"", false, u"", 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.record.begin(), c.record.end()));
        std::u16string text;
        std::int32_t lower = 0;
        std::int32_t upper = 0;
        EXPECT_EQ(ParsePoiCategory(c.record, text, lower, upper), c.isValid);
        if (c.isValid) {
            EXPECT_EQ(text, c.text);
            EXPECT_EQ(lower, c.lower);
            EXPECT_EQ(upper, c.upper);
        }
    }
}
