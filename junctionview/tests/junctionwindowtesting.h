#pragma once
// Shared by the junction window tests: a headless device with a language library and a screen
// description, a page window to put the windows on, and an owner that counts its calls.

#include "junctionview/windows/junctionviewowner.h"
#include "testdata/screendescwriter.h"
#include "testdata/tempdir.h"
#include "utilities/usefulcode/apppaths.h"
#include "utilities/usefulcode/windowhandle.h"

#include "platform/gdi/text.h"
#include "platform/kernel/time.h"
#include "platform/shell/resources.h"
#include "platform/window/testdriver.h"
#include "platform/window/tests/windowtesting.h"
#include "platform/window/window.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>

namespace junctionwindowtesting {

class CountingOwner : public JunctionViewOwner {
public:
    void OnKey(UINT) override { ++keys; }
    bool OnTap() override {
        ++taps;
        return true;
    }
    void OnMapOpened() override { ++others; }
    void OnMapClosed() override { ++others; }
    void OnBarButton() override { ++barButtons; }

    std::atomic<int> keys{0};
    std::atomic<int> taps{0};
    std::atomic<int> barButtons{0};
    std::atomic<int> others{0};
};

// The screen at width x height, the language library of bundle, the screen description and a
// visible page window filling the screen; on a device root of its own or on shared.
class JunctionDevice {
public:
    JunctionDevice(int width, int height, const testdata::ScreenDescWriter& description,
                   const platform::ResourceBundle& bundle = {},
                   testdata::TempDeviceRoot* shared = nullptr)
        : m_own(shared == nullptr ? std::make_unique<testdata::TempDeviceRoot>() : nullptr)
        , root(shared != nullptr ? *shared : *m_own) {
        platform::SetScreenSize(width, height);
        platform::SetFontFile("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf");
        module = windowtesting::LoadLanguage(root, bundle);
        platform::SetResourceInstance(module);
        isReady = module != nullptr &&
                  root.WriteFile(AppPaths::GetScreenDescFilePath(), description.Build());
        CreateWindowExW(0, WindowClassRegistry::ClassName(), u"", WS_POPUP | WS_VISIBLE, 0, 0,
                        width, height, nullptr, nullptr, platform::ResourceInstance(), &page);
        isReady = isReady && page.window != nullptr;
    }
    ~JunctionDevice() {
        if (page.window != nullptr) {
            DestroyWindow(page.window);
            page.window = nullptr;
        }
        platform::SetResourceInstance(nullptr);
        if (module != nullptr)
            FreeLibrary(module);
        platform::SetFontFile({});
        platform::SetScreenSize(240, 320);
    }
    JunctionDevice(const JunctionDevice&) = delete;
    JunctionDevice& operator=(const JunctionDevice&) = delete;

private:
    std::unique_ptr<testdata::TempDeviceRoot> m_own;

public:
    testdata::TempDeviceRoot& root;
    HMODULE module{};
    WindowHandle page;
    bool isReady = false;
};

} // namespace junctionwindowtesting
