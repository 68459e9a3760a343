// RDS groups decoded per second by the TMC decoder over streams of about 1,000,000 groups mixed as
// on air (basic tuning, radiotext, 3A, single and multi-group 8A), against a baseline measured in
// the same run that only scans the same text into 64-bit group values with std::from_chars.
// "vs_baseline" is how many times longer decoding takes than that scan. The "repeated" stream sends
// each group 8A two or three times in a row, as stations do.
//
// ReplayFileOfAnotherForm: a recording of about 9,300 groups with the four blocks apart and the
// time after them (about 440 KB), which the receiver reads nothing from, given to a running TMC
// receiver as its replay file: the real time until the receiver has left it alone (closed it after
// its one pass), against a baseline measured in the same run: one pass of the receiver through the
// same groups joined one a line. "vs_baseline" is that ratio (about the ratio of the file sizes);
// a receiver that reads such a file again and again never leaves it ("left_alone" 0 after 10 s).
#include "testdata/alertcencoder.h"
#include "testdata/rdsgroupfilewriter.h"
#include "testdata/tempdir.h"
#include "traffic/tmcdecoder.h"
#include "traffic/tmcreceiver.h"

#include "platform/files/files.h"

#include <benchmark/benchmark.h>

#include <charconv>
#include <chrono>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr std::size_t kGroups = 1000000;

struct GroupStream {
    std::string text;
    std::size_t groups = 0;
};

// Per round: four 0A, three 2A, one 3A and groups 8A: a single group, then a three-group message
// or two more single groups at other locations. Each group 8A is written
// singleCopies times in a row when it is a single-group message, multiCopies times when it belongs
// to a multi-group one.
GroupStream MakeStream(int singleCopies, int multiCopies) {
    testdata::AlertCEncoder encoder;
    GroupStream stream;
    unsigned round = 0;
    const auto addMessage = [&](const testdata::AlertCMessage& message) {
        const std::vector<testdata::AlertCEncoder::Group> groups =
            testdata::AlertCEncoder::Encode(message);
        const int copies = groups.size() == 1 ? singleCopies : multiCopies;
        for (const testdata::AlertCEncoder::Group& group : groups) {
            for (int copy = 0; copy < copies; ++copy) {
                encoder.AddGroup(group);
            }
        }
        stream.groups += groups.size() * static_cast<std::size_t>(copies);
    };
    while (stream.groups < kGroups) {
        for (int index = 0; index < 4; ++index) {
            encoder.AddGroup({0xD301, 0x0408, static_cast<std::uint16_t>(round), 0x2020});
        }
        for (int index = 0; index < 3; ++index) {
            encoder.AddGroup({0xD301, 0x2400, 0x5354, static_cast<std::uint16_t>(round)});
        }
        encoder.AddTable(0xD301, 12);
        stream.groups += 8;
        testdata::AlertCMessage message;
        message.event = 101 + round % 1000;
        message.location = 10000 + round;
        addMessage(message);
        if (round % 2 == 0) {
            message.labels = {{1, 3}, {9, 803}, {9, 513}, {0, 2}};
            addMessage(message); // three groups
        } else {
            message.location += 1;
            addMessage(message);
            message.location += 1;
            addMessage(message);
        }
        ++round;
    }
    stream.text = encoder.Build();
    return stream;
}

const GroupStream& PlainStream() {
    static const GroupStream stream = MakeStream(1, 1);
    return stream;
}

const GroupStream& RepeatedStream() {
    static const GroupStream stream = MakeStream(3, 2);
    return stream;
}

std::size_t Decode(TmcDecoder& decoder, const std::string& text) {
    std::size_t messages = 0;
    const char* data = text.data();
    int left = static_cast<int>(text.size());
    while (left > 0) {
        const int used = decoder.Decode(data, left);
        if (const TmcRawMessage* message = decoder.TakeMessage()) {
            benchmark::DoNotOptimize(message);
            ++messages;
        }
        data += used;
        left -= used;
    }
    return messages;
}

std::uint64_t Scan(const std::string& text) {
    std::uint64_t sum = 0;
    const char* position = text.data();
    const char* end = position + text.size();
    while (position + 16 <= end) {
        std::uint64_t group = 0;
        const auto result = std::from_chars(position, position + 16, group, 16);
        sum += group;
        position = result.ptr + 1; // the line feed
    }
    return sum;
}

void BenchmarkDecodeGroups(benchmark::State& state, const GroupStream& (*streamOf)()) {
    const GroupStream& stream = streamOf();
    const std::string& text = stream.text;
    TmcDecoder decoder;
    std::size_t messages = 0;
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        messages = Decode(decoder, text);
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const auto baselineStart = std::chrono::steady_clock::now();
    for (benchmark::IterationCount pass = 0; pass < state.iterations(); ++pass) {
        benchmark::DoNotOptimize(Scan(text));
    }
    const double baseline =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - baselineStart).count();
    const double groups =
        static_cast<double>(state.iterations()) * static_cast<double>(stream.groups);
    state.counters["groups"] = benchmark::Counter(groups, benchmark::Counter::kIsRate);
    state.counters["messages_per_pass"] = static_cast<double>(messages);
    state.counters["vs_baseline"] = baseline > 0.0 ? seconds / baseline : 0.0;
}

constexpr std::size_t kRecordedGroups = 9300;
constexpr auto kGiveUp = std::chrono::seconds(10);

// A station's recording: tuning groups, its TMC announcement and single-group messages.
std::string Recording(testdata::RdsGroupLayout layout) {
    testdata::RdsGroupFileWriter writer;
    for (std::size_t index = 0; index < kRecordedGroups; ++index) {
        const auto number = static_cast<std::uint16_t>(index);
        if (index % 3 == 0) {
            writer.Add(testdata::RdsGroupFileWriter::TuningGroup(0xD395));
        } else if (index % 3 == 1) {
            writer.Add(testdata::RdsGroupFileWriter::ApplicationGroup(
                0xD395, testdata::kTmcApplicationId, 0x0280, 0x10));
        } else {
            writer.Add({0xD395, 0x840D, static_cast<std::uint16_t>(0x5000 | (number & 0x7FF)),
                        static_cast<std::uint16_t>(10000 + number)});
        }
    }
    return writer.SetLayout(layout).Build();
}

// Seconds of real time from opening the file until done() holds; negative when it did not
// within kGiveUp.
template <class Done> double ReceiverSeconds(const std::u16string& path, Done done) {
    const six::RefCntPtr<TmcReceiver> receiver = CreateTmcReceiver();
    std::thread runner([&receiver] { receiver->Run(); });
    const auto start = std::chrono::steady_clock::now();
    (void)receiver->OpenReplayFile(path);
    bool isDone = false;
    while (!(isDone = done(*receiver)) && std::chrono::steady_clock::now() - start < kGiveUp) {
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    receiver->Stop();
    runner.join();
    return isDone ? seconds : -1.0;
}

void BenchmarkReplayFileOfAnotherForm(benchmark::State& state) {
    testdata::TempDeviceRoot root;
    const std::string joined = Recording(testdata::RdsGroupLayout::Digits);
    const std::string apart = Recording(testdata::RdsGroupLayout::StampedBlocks);
    if (!root.WriteFile(u"\\joined.txt", joined) || !root.WriteFile(u"\\apart.txt", apart)) {
        state.SkipWithError("cannot write the recordings");
        return;
    }
    // Reads of one pass: the file in reads of kReadSize bytes, then the read at its end.
    const std::uint32_t passReads =
        static_cast<std::uint32_t>(joined.size() / TmcReceiver::kReadSize) + 2;
    double leftAlone = 0.0;
    double baseline = 0.0;
    bool isLeftAlone = true;
    for (auto _ : state) {
        const double seconds = ReceiverSeconds(u"\\apart.txt", [](TmcReceiver& receiver) {
            return receiver.GetFilePosition() == INVALID_SET_FILE_POINTER;
        });
        isLeftAlone = isLeftAlone && seconds >= 0.0;
        leftAlone += seconds >= 0.0 ? seconds : 0.0;
        baseline += ReceiverSeconds(u"\\joined.txt", [passReads](TmcReceiver& receiver) {
            return receiver.GetReadStats().count >= passReads;
        });
    }
    state.counters["file_kb"] = static_cast<double>(apart.size()) / 1024.0;
    state.counters["left_alone"] = isLeftAlone ? 1.0 : 0.0;
    state.counters["vs_baseline"] = baseline > 0.0 && isLeftAlone ? leftAlone / baseline : 0.0;
}

} // namespace

BENCHMARK(BenchmarkReplayFileOfAnotherForm)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_CAPTURE(BenchmarkDecodeGroups, plain, &PlainStream)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BenchmarkDecodeGroups, repeated, &RepeatedStream)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
