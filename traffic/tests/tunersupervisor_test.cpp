#include "testdata/receiverscenariowriter.h"
#include "testdata/tempdir.h"
#include "traffic/tunersupervisor.h"

#include "platform/kernel/time.h"
#include "platform/receiver/gpstmc.h"
#include "platform/window/testdriver.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

namespace {

using testdata::ScenarioStation;

ScenarioStation Station(unsigned frequency, int rdsHealth, int tmcHealth,
                        std::vector<unsigned> alternatives = {}) {
    ScenarioStation station;
    station.frequency = frequency;
    station.programmeId = 0xD300 + frequency % 256;
    station.name = "TMC";
    station.rdsHealth = rdsHealth;
    station.tmcHealth = tmcHealth;
    station.alternativeFrequencies = std::move(alternatives);
    return station;
}

template <class Predicate>
bool WaitForSupervisor(Predicate predicate,
                       std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!predicate()) {
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        std::this_thread::yield();
    }
    return true;
}

class Supervision : public ::testing::Test {
protected:
    void Open(const std::vector<ScenarioStation>& stations, unsigned frequency,
              unsigned acquireMs = 0) {
        ASSERT_TRUE(m_root.InstallModule(platform::kGpsTmcModuleName));
        testdata::ReceiverScenarioWriter scenario;
        scenario.SetTuner(100, acquireMs);
        for (const ScenarioStation& station : stations) {
            scenario.AddStation(station);
        }
        ASSERT_TRUE(m_root.WriteFile(u"\\Windows\\gpstmc.ini", scenario.Build()));
        m_tuner = CountedPtr<GpsTmcAdapter>(new GpsTmcAdapter);
        ASSERT_TRUE(m_tuner->Open(0, 38400, false, static_cast<int>(frequency)));
        Pump();
        m_supervisor.SetTuner(m_tuner);
    }
    void Pump() {
        platform::WaitForGpsTmcCatchUp();
        ASSERT_TRUE(m_driver.RunUntilIdle());
    }
    void Step(std::uint64_t ms) {
        m_clock.Advance(ms);
        Pump();
    }
    // Checks once a second until a check does not find reception good; its number, or 0.
    int ChecksUntilTrouble(int limit, int retuneAfter = 0, unsigned retuneTo = 0) {
        for (int check = 1; check <= limit; ++check) {
            if (check == retuneAfter + 1 && retuneTo != 0) {
                (void)m_tuner->Tune(1, static_cast<int>(retuneTo));
                Pump();
            }
            (void)m_supervisor.Check();
            if (m_supervisor.GetLastResult() != 0) {
                return check;
            }
            Step(1000);
        }
        return 0;
    }

    testdata::TempDeviceRoot m_root;
    platform::VirtualClock m_clock;
    platform::ScopedClock m_installed{m_clock};
    platform::ScreenDriver m_driver{&m_clock};
    CountedPtr<GpsTmcAdapter> m_tuner;
    TunerSupervisor m_supervisor;
};

TEST_F(Supervision, AbandonsAStationOnBadRdsHealthOnly) {
    const struct {
        const char* name;
        int rdsHealth;
        unsigned acquireMs;
        int retuneAfter; // checks on the good station 905 before tuning to 880
        int troubleAt;
    } cases[] = {
        {"good reception", 3, 0, 0, 0},
        {"30 bad among the oldest 30", 2, 0, 0, 30},
        {"TMC health 1 while acquiring does not count", 2, 4500, 0, 35},
        {"90 bad of 300", 2, 0, 30, 120},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const unsigned first = c.retuneAfter != 0 ? 905 : 880;
        Open({Station(880, c.rdsHealth, 2), Station(905, 3, 2)}, first, c.acquireMs);
        EXPECT_EQ(ChecksUntilTrouble(320, c.retuneAfter, c.retuneAfter != 0 ? 880 : 0),
                  c.troubleAt);
        if (c.troubleAt != 0) {
            EXPECT_EQ(m_supervisor.GetLastResult(), 2) << "no alternative frequency: search";
        }
        m_supervisor.SetTuner(CountedPtr<GpsTmcAdapter>());
        m_tuner = CountedPtr<GpsTmcAdapter>();
    }
}

TEST_F(Supervision, RetunesToAlternativeFrequenciesInTurnThenSearches) {
    Open({Station(880, 2, 2, {1017, 1042}), Station(1017, 2, 2)}, 880);
    EXPECT_TRUE(m_supervisor.GetAlternativeFrequencies().empty()) << "taken only with TMC good";
    EXPECT_EQ(m_supervisor.Check(), TunerSupervisor::kCheckMs);
    (void)m_tuner->Tune(1, 880); // the station reports its list again
    Pump();
    EXPECT_EQ(m_supervisor.GetAlternativeFrequencies(), (std::vector<DWORD>{1017, 1042}));

    EXPECT_EQ(ChecksUntilTrouble(40), 29) << "30 bad with the first check";
    EXPECT_EQ(m_supervisor.GetLastResult(), 1);
    Pump();
    EXPECT_EQ(m_tuner->ReadTunerFrequency(), 1017U);
    EXPECT_EQ(m_supervisor.GetAlternativeFrequencies(), std::vector<DWORD>{1042});

    Step(1000);
    EXPECT_EQ(ChecksUntilTrouble(40), 30) << "the history starts again";
    Pump();
    EXPECT_EQ(m_tuner->ReadTunerFrequency(), 1042U);
    EXPECT_TRUE(m_supervisor.GetAlternativeFrequencies().empty());

    Step(1000);
    EXPECT_EQ(m_supervisor.Check(), TunerSupervisor::kSearchRepeatMs) << "no TMC at 104.2";
    EXPECT_EQ(m_supervisor.GetLastResult(), 2);
    Step(100);
    EXPECT_EQ(m_tuner->ReadTunerFrequency(), 1043U) << "the search steps up";
}

TEST_F(Supervision, EndsASearchWhenAStationIsFoundOrTheBandEnds) {
    const struct {
        const char* name;
        DWORD frequency;
        DWORD stationId;
        DWORD nextWait;
    } cases[] = {
        {"nothing found yet", 950, 0, TunerSupervisor::kSearchRepeatMs},
        {"station found", 950, 0xD3C2, TunerSupervisor::kCheckMs},
        {"search reached 107.6 MHz", 1076, 0, TunerSupervisor::kCheckMs},
    };
    Open({Station(880, 3, 0), Station(905, 3, 2)}, 880);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        m_supervisor.SetTuner(m_tuner);
        (void)m_tuner->Tune(1, 880);
        Pump();
        EXPECT_EQ(m_supervisor.Check(), TunerSupervisor::kSearchRepeatMs) << "no TMC at 88.0";
        (void)m_tuner->Tune(1, 905); // its reports stay queued
        platform::WaitForGpsTmcCatchUp();
        m_tuner->GetStationSignal().Emit(c.frequency, c.stationId, u"");
        EXPECT_EQ(m_supervisor.Check(), c.nextWait);
    }
}

TEST_F(Supervision, ThreadChecksAtOnceThenRepeatsTheSearchEveryMinute) {
    Open({Station(880, 3, 0)}, 880);
    ASSERT_TRUE(m_supervisor.StartThread());
    ASSERT_TRUE(WaitForSupervisor(
        [&] { return m_supervisor.GetCheckCount() == 1 && m_supervisor.IsWaiting(); }));
    EXPECT_EQ(m_supervisor.GetLastResult(), 2);
    m_clock.Advance(59999);
    EXPECT_FALSE(WaitForSupervisor([&] { return m_supervisor.GetCheckCount() > 1; },
                                   std::chrono::milliseconds(50)));
    m_clock.Advance(1);
    ASSERT_TRUE(WaitForSupervisor(
        [&] { return m_supervisor.GetCheckCount() == 2 && m_supervisor.IsWaiting(); }));
    EXPECT_EQ(m_supervisor.GetLastResult(), 2);
    m_supervisor.StopThread();
    EXPECT_FALSE(m_supervisor.IsThreadRunning());
}

} // namespace
