#include "advisor/voiceoutput.h"
#include "testdata/advisorwriter.h"
#include "testdata/tempdir.h"
#include "testdata/wavewriter.h"

#include "platform/kernel/time.h"
#include "platform/sound/sound.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <sys/resource.h>
#include <thread>

namespace {

using Samples = std::vector<std::pair<std::string, std::vector<std::uint8_t>>>;

// A tone whose pitch tells the samples apart.
std::vector<std::uint8_t> Tone(std::uint32_t frequencyHz, std::uint32_t durationMs = 5) {
    return testdata::WaveWriter().SetTone(frequencyHz, durationMs).Build();
}

std::vector<std::uint8_t> DataOf(const std::vector<std::uint8_t>& image) {
    const auto parsed = platform::ParseWaveImage(image);
    return parsed ? std::vector<std::uint8_t>(parsed->data.begin(), parsed->data.end())
                  : std::vector<std::uint8_t>();
}

std::vector<std::vector<std::uint8_t>> PlayedData() {
    std::vector<std::vector<std::uint8_t>> played;
    for (const platform::PlayedSound& sound : platform::RecordedSounds()) {
        played.push_back(sound.data);
    }
    return played;
}

// A device with the archive library and the German voice archive in "\Lang\sound".
class VoiceDevice {
public:
    explicit VoiceDevice(const Samples& samples) {
        EXPECT_TRUE(m_root.InstallModule(u"ziVur.dll"));
        EXPECT_TRUE(m_root.WriteFile(u"\\Lang\\sound\\" + testdata::VoiceArchiveName(u"german"),
                                     testdata::BuildVoiceArchive(samples)));
        platform::ClearRecordedSounds();
    }

private:
    testdata::TempDeviceRoot m_root;
};

TEST(SplitPhraseKeys, GivesOneSampleNamePerBracketedKey) {
    using Names = std::vector<std::u16string>;
    const struct {
        std::u16string text;
        Names names;
    } cases[] = {
        {u"[A]", {u"A.wav"}},
        {u"[A][B]", {u"A.wav", u"B.wav"}},
        {u"  [A]  [B]  ", {u"A.wav", u"B.wav"}},
        {u"[Attention] [DestinationInPedestrianZone]",
         {u"Attention.wav", u"DestinationInPedestrianZone.wav"}},
        {u"Hello", {u"ello.wav"}},
        {u"", {}},
        {u"    ", {}},
        {u"[A]]  [B]", {u"A.wav"}}, // splitting stops at the first empty piece
        {u"[A]  ]", {u"A.wav"}},    // a piece of blanks gives no name
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.text.begin(), c.text.end()));
        EXPECT_EQ(SplitPhraseKeys(c.text), c.names);
    }
}

TEST(VoiceOutput, PlaysQueuedSamplesInOrderAndSkipsMissingAndMalformedOnes) {
    platform::VirtualClock clock;
    clock.SetSleepAdvancesClock(true);
    platform::ScopedClock installed(clock);
    testdata::WaveWriter big;
    big.SetTone(200, 19000); // about 300 kB: beyond the first committed part of the buffer
    const Samples samples = {
        {"Attention", Tone(440)},
        {"DestinationInPedestrianZone", Tone(660)},
        {"ello", Tone(880)},
        {"Broken", testdata::WaveWriter().SetTone(300, 5).Build(testdata::WaveFault::BadByteRate)},
        {"Big", big.Build()},
    };
    using Played = std::vector<std::vector<std::uint8_t>>;
    const struct {
        std::u16string text;
        Played played;
    } cases[] = {
        {u"[Attention] [DestinationInPedestrianZone]",
         {DataOf(samples[0].second), DataOf(samples[1].second)}},
        {u"Hello", {DataOf(samples[2].second)}},
        {u"   ", {}},
        {u"[Missing] [Broken] [Attention]", {DataOf(samples[0].second)}},
        {u"[Big]", {DataOf(samples[4].second)}},
    };
    ASSERT_GT(samples[4].second.size(), 300000u);
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.text.begin(), c.text.end()));
        VoiceDevice device(samples);
        const six::RefCntPtr<IVoiceOutput> voice = CreateVoiceOutput();
        ASSERT_TRUE(voice);
        EXPECT_STREQ(voice->GetStatusText(), "OK");
        ASSERT_TRUE(voice->Init(u"\\lang\\SOUND", u"german"));
        EXPECT_STREQ(voice->GetStatusText(), "Not OK");
        EXPECT_TRUE(voice->Say(c.text));
        EXPECT_TRUE(voice->Shutdown()); // plays what is queued, then ends the thread
        EXPECT_EQ(PlayedData(), c.played);
        EXPECT_STREQ(voice->GetStatusText(), "OK");
    }
}

TEST(VoiceOutput, ReportsFalseWithoutAPlayer) {
    VoiceDevice device({{"A", Tone(440)}});
    const six::RefCntPtr<IVoiceOutput> voice = CreateVoiceOutput();
    const struct {
        const char* name;
        std::u16string folder;
        std::u16string prefix;
    } cases[] = {
        {"empty folder", u"", u"german"},
        {"no archive", u"\\Lang\\sound\\", u"english"},
        {"no folder", u"\\Nowhere", u"german"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(voice->Init(c.folder, c.prefix));
        EXPECT_FALSE(voice->Say(u"[A]"));
        EXPECT_FALSE(voice->Stop());
        EXPECT_FALSE(voice->Shutdown());
        EXPECT_STREQ(voice->GetStatusText(), "OK");
    }
    ASSERT_TRUE(voice->Init(u"\\Lang\\sound/", u"german"));
    EXPECT_FALSE(voice->Init(u"\\Lang\\sound", u"german")); // a player exists already
    EXPECT_TRUE(voice->Stop());
    EXPECT_TRUE(voice->Shutdown());
    EXPECT_TRUE(voice->Init(u"\\Lang\\sound/", u"german")); // again after a shutdown
    EXPECT_TRUE(platform::RecordedSounds().empty());
}

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kHasSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
constexpr bool kHasSanitizer = true;
#else
constexpr bool kHasSanitizer = false;
#endif
#else
constexpr bool kHasSanitizer = false;
#endif

// Bytes of address space the process holds now.
std::uint64_t AddressSpaceBytes() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmSize:", 0) == 0) {
            return std::stoull(line.substr(7)) * 1024;
        }
    }
    return 0;
}

TEST(VoiceOutput, KeepsNoPlayerWithoutASampleBuffer) {
    if (kHasSanitizer) {
        GTEST_SKIP() << "sanitizers reserve address space of their own";
    }
    VoiceDevice device({{"A", Tone(440)}});
    const six::RefCntPtr<IVoiceOutput> voice = CreateVoiceOutput();
    ASSERT_TRUE(voice->Init(u"\\Lang\\sound", u"german")); // mounts the archive for good
    ASSERT_TRUE(voice->Shutdown());
    rlimit previous{};
    ASSERT_EQ(getrlimit(RLIMIT_AS, &previous), 0);
    rlimit tight = previous;
    tight.rlim_cur = AddressSpaceBytes() + 1024 * 1024; // less than the 3 MB reservation
    ASSERT_EQ(setrlimit(RLIMIT_AS, &tight), 0);
    const bool isStarted = voice->Init(u"\\Lang\\sound", u"german");
    ASSERT_EQ(setrlimit(RLIMIT_AS, &previous), 0);
    EXPECT_FALSE(isStarted);
    EXPECT_FALSE(voice->Say(u"[A]"));
    EXPECT_STREQ(voice->GetStatusText(), "OK");
    EXPECT_TRUE(voice->Init(u"\\Lang\\sound", u"german"));
}

TEST(VoiceOutput, StopLetsTheCurrentSampleFinishAndDropsTheRest) {
    platform::VirtualClock clock; // Sleep waits until the test moves the clock
    platform::ScopedClock installed(clock);
    VoiceDevice device({{"A", Tone(440, 100)}, {"B", Tone(660, 100)}, {"C", Tone(880, 100)}});
    const six::RefCntPtr<IVoiceOutput> voice = CreateVoiceOutput();
    ASSERT_TRUE(voice->Init(u"\\Lang\\sound", u"german"));
    EXPECT_TRUE(voice->Say(u"[A] [B] [C]"));
    while (platform::RecordedSounds().empty()) {
        std::this_thread::yield(); // until A has started
    }
    EXPECT_TRUE(voice->Stop());
    while (!platform::RecordedSounds()[0].isFinished) {
        clock.Advance(10); // A plays to its end
        std::this_thread::yield();
    }
    clock.SetSleepAdvancesClock(true);
    EXPECT_TRUE(voice->Shutdown());
    const std::vector<platform::PlayedSound> played = platform::RecordedSounds();
    ASSERT_EQ(played.size(), 1u);
    EXPECT_TRUE(played[0].isFinished);
    EXPECT_EQ(played[0].data, DataOf(Tone(440, 100)));
}

TEST(VoiceOutput, LosesNoTextSaidFromSeveralThreadsWhileThePlayerDrains) {
    platform::VirtualClock clock;
    clock.SetSleepAdvancesClock(true);
    platform::ScopedClock installed(clock);
    VoiceDevice device({{"A", Tone(440, 1)}});
    const six::RefCntPtr<IVoiceOutput> voice = CreateVoiceOutput();
    ASSERT_TRUE(voice->Init(u"\\Lang\\sound", u"german"));
    constexpr int kThreads = 4;
    constexpr int kTextsEach = 50;
    std::vector<std::thread> speakers;
    for (int t = 0; t < kThreads; ++t) {
        speakers.emplace_back([&voice] {
            for (int i = 0; i < kTextsEach; ++i) {
                EXPECT_TRUE(voice->Say(u"[A] [A]"));
            }
        });
    }
    for (std::thread& speaker : speakers) {
        speaker.join();
    }
    // Without a shutdown: a wake-up lost between the player's last look at the queue and its
    // wait would leave samples queued for ever.
    constexpr std::size_t kExpected = kThreads * kTextsEach * 2;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (platform::RecordedSounds().size() < kExpected &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::yield();
    }
    EXPECT_EQ(platform::RecordedSounds().size(), kExpected);
    EXPECT_TRUE(voice->Shutdown());
}

} // namespace
