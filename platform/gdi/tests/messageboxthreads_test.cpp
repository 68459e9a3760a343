// A message box shown by a worker thread while the user-interface thread waits for that worker.
#include "platform/gdi/gdi.h"
#include "platform/gdi/messageboxwindow.h"
#include "platform/gdi/text.h"
#include "platform/window/input.h"
#include "platform/window/message.h"
#include "platform/window/testdriver.h"
#include "platform/window/window.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>

namespace {

using namespace std::chrono_literals;

HWND ShownMessageBox() {
    for (HWND window : platform::ShownWindows()) {
        if (platform::IsMessageBoxWindow(window))
            return window;
    }
    return nullptr;
}

// The worker's box takes the activation and the keys without waiting for the user-interface
// thread, which waits for the worker (as at the end of the program) and takes the activation
// messages afterwards, in order.
TEST(MessageBoxThreads, AWorkersBoxIsAnsweredWhileTheInterfaceThreadWaitsForTheWorker) {
    platform::SetFontFile("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf");
    platform::ShowMessageBoxesAsWindows();
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    windowClass.lpszClassName = u"BoxThreadMain";
    (void)RegisterClassW(&windowClass);
    HWND main = CreateWindowExW(0, u"BoxThreadMain", u"", WS_POPUP | WS_VISIBLE, 0, 0, 240, 320,
                                nullptr, nullptr, nullptr, nullptr);
    SetActiveWindow(main);
    platform::ScreenDriver driver;
    ASSERT_TRUE(driver.RunUntilIdle());
    ASSERT_EQ(GetFocus(), main);
    platform::MessageSpy spy(main, {WM_ACTIVATE});
    std::promise<int> answered;
    std::future<int> answer = answered.get_future();
    std::thread worker([&answered] {
        answered.set_value(MessageBoxW(nullptr, u"ERROR: No memory", u"Routing", MB_ICONERROR));
    });
    // The user presses Enter once the box is up with the keys.
    std::thread user([] {
        const auto deadline = std::chrono::steady_clock::now() + 5s;
        for (;;) {
            HWND box = ShownMessageBox();
            if ((box != nullptr && GetFocus() == box) ||
                std::chrono::steady_clock::now() > deadline)
                break;
            std::this_thread::sleep_for(1ms);
        }
        platform::InjectKey(VK_RETURN, true);
        platform::InjectKey(VK_RETURN, false);
    });
    const bool isAnswered = answer.wait_for(5s) == std::future_status::ready;
    user.join();
    // A box that waits for this thread is ended, so that a failing run ends too.
    for (int i = 0; i < 1000 && answer.wait_for(1ms) != std::future_status::ready; ++i) {
        platform::EndMessageBoxWindows();
        (void)driver.RunUntilIdle();
    }
    worker.join();
    EXPECT_TRUE(isAnswered);
    EXPECT_EQ(answer.get(), isAnswered ? IDOK : 0);
    ASSERT_TRUE(driver.RunUntilIdle());
    std::vector<WORD> states;
    for (const platform::SpiedMessage& message : spy.Messages())
        states.push_back(LOWORD(message.wParam));
    EXPECT_EQ(states, (std::vector<WORD>{WA_INACTIVE, WA_ACTIVE}));
    EXPECT_EQ(GetActiveWindow(), main);
    EXPECT_EQ(ShownMessageBox(), nullptr);
    DestroyWindow(main);
    platform::SetMessageBoxSink(nullptr);
    platform::SetFontFile({});
}

} // namespace
