#include "app/tests/pagedevice.h"

#include "testdata/resourcebundlewriter.h"
#include "utilities/usefulcode/apppaths.h"

#include "platform/files/modules.h"
#include "platform/kernel/debug.h"
#include "platform/shell/modulepath.h"
#include "platform/shell/resources.h"
#include "platform/window/message.h"

namespace apptesting {

HMODULE InstallPageDevice(testdata::TempDeviceRoot& root, const platform::ResourceBundle& bundle,
                          const char* layoutFile) {
    platform::SetExecutablePath(u"\\Nav\\nav.exe");
    if (!root.WriteFile(u"\\Windows\\LangEngCE.dll", testdata::WriteResourceBundle(bundle))) {
        OutputDebugStringW(u"page device: \\Windows\\LangEngCE.dll cannot be written\n");
        return nullptr;
    }
    HMODULE module = LoadLibraryW(u"LangEngCE.dll");
    if (module == nullptr) {
        OutputDebugStringW(u"page device: LangEngCE.dll does not load\n");
        return nullptr;
    }
    platform::SetResourceInstance(module);
    const auto layout = testdata::ReadHostFile(layoutFile);
    if (!layout || !root.WriteFile(AppPaths::GetScreenDescFilePath(), *layout)) {
        OutputDebugStringW(u"page device: the screen layout cannot be read or written\n");
        RemovePageDevice(module);
        return nullptr;
    }
    return module;
}

void RemovePageDevice(HMODULE module) {
    platform::SetResourceInstance(nullptr);
    if (module != nullptr)
        (void)FreeLibrary(module);
    platform::SetExecutablePath(u"");
}

std::vector<std::u16string> ComboBoxTexts(HWND combo) {
    std::vector<std::u16string> texts;
    const auto count = static_cast<int>(SendMessageW(combo, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        char16_t buffer[256] = {};
        SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(buffer));
        texts.emplace_back(buffer);
    }
    return texts;
}

} // namespace apptesting
