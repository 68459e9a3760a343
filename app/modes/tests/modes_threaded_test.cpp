// The traffic handler of a mode on the server's traffic thread: it only asks the user-interface
// thread for a re-plan, which runs there once for a burst of events.
#include "app/modes/tests/modetesting.h"
#include "app/settings/optionspage.h"

#include <thread>

namespace {

using modetesting::ModeFixture;

class ModeTrafficTest : public ModeFixture {
protected:
    // Guidance to Waldstrasse with the options page's choices (dynamic route, as it starts).
    void StartGuidance(NavigationMode& mode) {
        mode.Activate(-1, 0);
        mode.TakeOptions(*mode.GetOptionsPage());
        mode.GetStops() = {At(kWaldLink, m_wald, u"Waldstrasse")};
        mode.SetStopIndex(0);
        ASSERT_TRUE(mode.CalculateRoute(false));
    }
};

TEST_F(ModeTrafficTest, BurstOfTrafficEventsReplansOnceOnTheInterfaceThread) {
    NavigationMode mode(Context());
    ASSERT_NO_FATAL_FAILURE(StartGuidance(mode));
    // Avoidance is off while the route is requested and on for the route found.
    EXPECT_EQ(m_scripted->TrafficSwitches(), (std::vector<bool>{false, true}));
    const std::thread::id interfaceThread = std::this_thread::get_id();

    struct Case {
        const char* name;
        int events;
    };
    const Case cases[] = {{"a burst of three", 3}, {"one more later", 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_voice->Clear();
        const int before = m_scripted->Requests();
        std::thread traffic([this, &c] {
            for (int i = 0; i < c.events; ++i)
                m_server->TrafficEvent.Emit();
        });
        traffic.join();
        EXPECT_EQ(m_scripted->Requests(), before);
        EXPECT_TRUE(m_voice->Calls().empty());
        m_driver.RunUntilIdle();
        EXPECT_EQ(m_scripted->Requests(), before + 1);
        EXPECT_EQ(m_scripted->LastRequestThread(), interfaceThread);
        EXPECT_EQ(m_voice->Calls(),
                  (std::vector<std::u16string>{u"Say([TrafficJamCollideWithRoute])"}));
    }

    // Disconnected, the events change nothing.
    mode.DisconnectTrafficEvent();
    const int before = m_scripted->Requests();
    std::thread traffic([this] { m_server->TrafficEvent.Emit(); });
    traffic.join();
    m_driver.RunUntilIdle();
    EXPECT_EQ(m_scripted->Requests(), before);
}

TEST_F(ModeTrafficTest, ReplanWaitsForTheRequestInProgress) {
    NavigationMode mode(Context());
    ASSERT_NO_FATAL_FAILURE(StartGuidance(mode));
    // A jam is reported while the next route is calculated, and the progress dialog dispatches
    // the waiting messages.
    m_scripted->DuringNextRequest([this](const Onboard::RouteRequest& request) {
        std::thread traffic([this] { m_server->TrafficEvent.Emit(); });
        traffic.join();
        ASSERT_NE(request.observer, nullptr);
        (void)request.observer->IsCancelled();
    });
    const int before = m_scripted->Requests();
    ASSERT_TRUE(mode.CalculateRoute(false));
    m_driver.RunUntilIdle();
    EXPECT_EQ(m_scripted->Requests(), before + 2);
    EXPECT_EQ(m_scripted->DeepestNesting(), 1);
    EXPECT_EQ(m_voice->Calls(),
              (std::vector<std::u16string>{u"Say([TrafficJamCollideWithRoute])"}));
}

// Guidance stopped (the traffic event disconnected) after a jam was reported but before its
// re-plan ran: the re-plan is dropped, whether it was waiting in the queue or for a request in
// progress, and a later guidance does not inherit it.
TEST_F(ModeTrafficTest, ReplanPostedBeforeStopHasNoEffect) {
    enum class When { Queued, DuringRequest, QueuedThenGuidedAgain };
    const struct {
        const char* name;
        When when;
        int requests; // besides the route that starts guidance
    } cases[] = {{"waiting in the queue", When::Queued, 0},
                 {"waiting for a request in progress", When::DuringRequest, 1},
                 {"waiting while guidance starts again", When::QueuedThenGuidedAgain, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        NavigationMode mode(Context());
        ASSERT_NO_FATAL_FAILURE(StartGuidance(mode));
        m_driver.RunUntilIdle();
        m_voice->Clear();
        const int before = m_scripted->Requests();
        if (c.when == When::DuringRequest) {
            m_scripted->DuringNextRequest([&](const Onboard::RouteRequest& request) {
                std::thread traffic([this] { m_server->TrafficEvent.Emit(); });
                traffic.join();
                ASSERT_NE(request.observer, nullptr);
                (void)request.observer->IsCancelled(); // the re-plan waits for the request
            });
            ASSERT_TRUE(mode.CalculateRoute(false));
            mode.DisconnectTrafficEvent();
        } else {
            std::thread traffic([this] { m_server->TrafficEvent.Emit(); });
            traffic.join();
            mode.DisconnectTrafficEvent();
            if (c.when == When::QueuedThenGuidedAgain) {
                ASSERT_TRUE(mode.CalculateRoute(false));
            }
        }
        m_driver.RunUntilIdle();
        EXPECT_EQ(m_scripted->Requests() - before, c.requests);
        EXPECT_TRUE(m_voice->Calls().empty());
        if (c.when == When::QueuedThenGuidedAgain) {
            // The new guidance still re-plans for its own jams.
            std::thread traffic([this] { m_server->TrafficEvent.Emit(); });
            traffic.join();
            m_driver.RunUntilIdle();
            EXPECT_EQ(m_scripted->Requests() - before, c.requests + 1);
        }
    }
}

} // namespace
