#include "platform/kernel/com.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

// A call on the test's thread, and the result and count expected after it.
struct ComStep {
    enum Call { Initialize, Uninitialize } call;
    void* reserved;
    DWORD model;
    HRESULT result;
    int count;
};

} // namespace

TEST(ComInitialization, CountsEachThreadApart) {
    const ComStep steps[] = {
        {ComStep::Uninitialize, nullptr, 0, S_OK, 0}, // nothing to take back
        {ComStep::Initialize, nullptr, COINIT_MULTITHREADED, S_OK, 1},
        {ComStep::Initialize, nullptr, COINIT_MULTITHREADED, S_FALSE, 2},
        {ComStep::Initialize, nullptr, COINIT_APARTMENTTHREADED, RPC_E_CHANGED_MODE, 2},
        {ComStep::Initialize, reinterpret_cast<void*>(1), COINIT_MULTITHREADED, E_INVALIDARG, 2},
        {ComStep::Initialize, nullptr, 0x4, E_INVALIDARG, 2},
        {ComStep::Uninitialize, nullptr, 0, S_OK, 1},
        {ComStep::Uninitialize, nullptr, 0, S_OK, 0},
        {ComStep::Uninitialize, nullptr, 0, S_OK, 0},
        {ComStep::Initialize, nullptr, COINIT_APARTMENTTHREADED, S_OK, 1}, // a new model now
        {ComStep::Uninitialize, nullptr, 0, S_OK, 0},
    };
    for (std::size_t i = 0; i < std::size(steps); ++i) {
        SCOPED_TRACE(i);
        if (steps[i].call == ComStep::Initialize) {
            EXPECT_EQ(CoInitializeEx(steps[i].reserved, steps[i].model), steps[i].result);
        } else {
            CoUninitialize();
        }
        EXPECT_EQ(platform::ComInitializationCount(), steps[i].count);
    }
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    HRESULT other = S_FALSE;
    int otherCount = -1;
    std::thread thread([&other, &otherCount] {
        other = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        otherCount = platform::ComInitializationCount();
        CoUninitialize();
    });
    thread.join();
    EXPECT_EQ(other, S_OK);
    EXPECT_EQ(otherCount, 1);
    EXPECT_EQ(platform::ComInitializationCount(), 1);
    CoUninitialize();
}
