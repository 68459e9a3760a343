#include "app/startup/gpssimulationdlg.h"
#include "testdata/screendescwriter.h"
#include "testdata/tempdir.h"
#include "utilities/usefulcode/apppaths.h"

#include "platform/shell/resources.h"
#include "platform/window/message.h"
#include "platform/window/testdriver.h"
#include "platform/window/tests/windowtesting.h"
#include "platform/window/window.h"

#include <gtest/gtest.h>

#include <climits>
#include <optional>
#include <string>
#include <vector>

namespace {

TEST(GpsSimulationDialog, ShowsValueInDecimalAndOkReadsLeadingNumber) {
    testdata::TempDeviceRoot root;
    platform::ResourceBundle bundle;
    bundle.strings = {{1, u"Navigator"}, {559, u"Position:"}};
    HMODULE module = windowtesting::LoadLanguage(root, bundle);
    ASSERT_NE(module, nullptr);
    platform::SetResourceInstance(module);
    testdata::ScreenDescWriter layout;
    layout.Section(u"GpsSimulationDlg")
        .Size(200, 110)
        .Rect(u"Msg", 10, 8, 190, 44)
        .Item(u"Cancel", 10, 74, 95, 102, 2)
        .Item(u"OK", 105, 74, 190, 102, 2);
    ASSERT_TRUE(root.WriteFile(AppPaths::GetScreenDescFilePath(), layout.Build()));
    const struct {
        int initial;
        const char16_t* typed; // null: left as shown
        const char16_t* keyed; // typed on the keys as the dialog opens ('\b': Backspace)
        UINT command;
        INT_PTR result;
        int value;
        const char16_t* shown;
        bool isDigitsOnly = false; // a byte position
    } cases[] = {
        {1234, nullptr, u"", 1, 1, 1234, u"1234"},
        {-7, nullptr, u"", 2, 2, -7, u"-7"},
        {5, u"42x", u"", 1, 1, 42, u"5"},
        {5, u"abc", u"", 1, 1, 0, u"5"},
        {5, u"-12", u"", 1, 1, -12, u"5"},
        {5, u"99", u"", 2, 2, 5, u"5"},
        // The field has the focus with its value selected: keys replace it without a tap.
        {5, nullptr, u"\b12", 1, 1, 12, u"5"},
        {1234, nullptr, u"7", 1, 1, 7, u"1234"},
        {1234, nullptr, u"7564+8", 1, 1, 75648, u"1234", true},
        {1234, nullptr, u"-12x3", 1, 1, 123, u"1234", true},
        // No position (a receiver without a file): nothing shown that the field could not take.
        {-1, nullptr, u"", 1, 1, 0, u"", true},
        {-1, nullptr, u"", 2, 2, -1, u"", true},
        // Beyond int: its largest value, never wrapped into another.
        {5, nullptr, u"99999999999", 1, 1, INT_MAX, u"5", true},
        {5, nullptr, u"4294967297", 1, 1, INT_MAX, u"5", true}, // wrapped to 32 bits: 1
        {5, u"-99999999999", u"", 1, 1, INT_MIN, u"5"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.initial);
        GpsSimulationDlg dialog(559, c.initial, c.isDigitsOnly);
        std::u16string shown;
        RECT editRect{};
        int editId = 0;
        platform::ScreenDriver driver;
        std::vector<platform::ScriptStep> steps{platform::ScriptStep::Run([&] {
            HWND edit = dialog.GetEdit()->GetWindow();
            shown = platform::WindowTextOf(edit);
            GetClientRect(edit, &editRect);
            editId = GetDlgCtrlID(edit);
            if (c.typed != nullptr)
                SetWindowTextW(edit, c.typed);
        })};
        for (const char16_t* key = c.keyed; *key != u'\0'; ++key) {
            steps.push_back(*key == u'\b' ? platform::ScriptStep::Press(VK_BACK)
                                          : platform::ScriptStep::Type(std::u16string(1, *key)));
        }
        steps.push_back(platform::ScriptStep::Run(
            [&] { PostMessageW(dialog.GetWindow(), WM_COMMAND, c.command, 0); }));
        driver.PlayWhenIdle(steps);
        EXPECT_EQ(dialog.DoModal(nullptr), c.result);
        EXPECT_EQ(dialog.GetValue(), c.value);
        EXPECT_EQ(shown, c.shown);
        EXPECT_EQ(editRect.right, 100);
        EXPECT_EQ(editRect.bottom, 15);
        EXPECT_EQ(editId, 559);
    }
    platform::SetResourceInstance(nullptr);
    FreeLibrary(module);
}

} // namespace
