// advisordrive DATA-FOLDER [--from PLACE] [--to PLACE] [--language L] [--wav OUT] [--play]:
// drives a route across a device data folder that osm2nav wrote (the folder as device root) in
// steps of 10 m, asks the advisor for advice at every position, prints each new announcement and
// speaks it through the voice output; the played samples go into one WAV file.
#include "advisor/advicetext.h"
#include "advisor/advisor.h"
#include "advisor/voiceoutput.h"
#include "basiccomp/retrievalengine/code/mapelement.h"
#include "basiccomp/retrievalengine/code/retrievalengineimpl.h"
#include "routing/routeservice.h"
#include "testdata/simulateddrive.h"
#include "tools/osm/osmconvert.h"

#include "platform/files/paths.h"
#include "platform/kernel/time.h"
#include "platform/sound/sound.h"
#ifdef NAV_WITH_SDL
#include "platform/sound/soundsdl.h"
#endif

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace {

constexpr double kStepMetres = 10.0;
constexpr std::uint64_t kStepMs = 720; // 10 m at 50 km/h

struct Options {
    std::filesystem::path folder;
    std::string from = "Ruggell";
    std::string to = "Balzers";
    std::string language = "german";
    std::filesystem::path wav;
    bool isPlaying = false;
};

std::u16string Wide(std::string_view text) {
    return {text.begin(), text.end()};
}
std::string Narrow(std::u16string_view text) {
    std::string out;
    for (const char16_t c : text) {
        out.push_back(c < 0x80 ? static_cast<char>(c) : '?');
    }
    return out;
}

std::optional<Options> ParseOptions(int argc, char** argv) {
    Options options;
    int positional = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        const bool hasValue = i + 1 < argc;
        if (argument == "--from" && hasValue) {
            options.from = argv[++i];
        } else if (argument == "--to" && hasValue) {
            options.to = argv[++i];
        } else if (argument == "--language" && hasValue) {
            options.language = argv[++i];
        } else if (argument == "--wav" && hasValue) {
            options.wav = argv[++i];
        } else if (argument == "--play") {
            options.isPlaying = true;
        } else if (!argument.starts_with("--") && positional == 0) {
            options.folder = argument;
            ++positional;
        } else {
            return std::nullopt;
        }
    }
    if (positional != 1) {
        return std::nullopt;
    }
    if (options.wav.empty()) {
        options.wav = "advisordrive-" + options.language + ".wav";
    }
    return options;
}

// The first drivable street of the municipality; null when the city search finds none.
RoutePositionPtr PositionIn(RetrievalEngineImpl& engine, RouteService& service,
                            const std::string& place) {
    auto found = engine.FindCities(Wide(place), 0);
    if (!found || !found->IsValid()) {
        return nullptr;
    }
    const auto area = static_cast<std::uint32_t>(found->GetCurrent()->GetAreaId());
    for (auto streets = engine.FindInArea(area, u""); streets && streets->IsValid();
         streets->Next()) {
        for (const std::uint32_t id : streets->GetCurrent()->GetElementIds()) {
            const MapElementPtr element = engine.GetElement(id);
            if (element && element->GetTypeCode() >= maprecord::kSecondaryType &&
                element->GetTypeCode() <= maprecord::kResidentialType) {
                return service.CreateElementPosition(&id);
            }
        }
    }
    return nullptr;
}

// The samples played, one after another, as one WAV file in the format of the first.
bool WriteWave(const std::filesystem::path& path,
               const std::vector<platform::PlayedSound>& played) {
    if (played.empty()) {
        return false;
    }
    const platform::WaveFormat format = played.front().format;
    std::vector<std::uint8_t> data;
    for (const platform::PlayedSound& sound : played) {
        if (sound.format.channels == format.channels &&
            sound.format.samplesPerSecond == format.samplesPerSecond &&
            sound.format.bitsPerSample == format.bitsPerSample) {
            data.insert(data.end(), sound.data.begin(), sound.data.end());
        }
    }
    std::vector<std::uint8_t> out;
    const auto put32 = [&out](std::uint32_t value) {
        for (int shift = 0; shift < 32; shift += 8) {
            out.push_back(static_cast<std::uint8_t>(value >> shift));
        }
    };
    const auto put16 = [&out](std::uint32_t value) {
        out.push_back(static_cast<std::uint8_t>(value));
        out.push_back(static_cast<std::uint8_t>(value >> 8));
    };
    const auto tag = [&out](const char* text) { out.insert(out.end(), text, text + 4); };
    tag("RIFF");
    put32(static_cast<std::uint32_t>(36 + data.size()));
    tag("WAVE");
    tag("fmt ");
    put32(16);
    put16(1);
    put16(format.channels);
    put32(format.samplesPerSecond);
    put32(format.samplesPerSecond * format.blockAlign);
    put16(format.blockAlign);
    put16(format.bitsPerSample);
    tag("data");
    put32(static_cast<std::uint32_t>(data.size()));
    out.insert(out.end(), data.begin(), data.end());
    std::ofstream file(path, std::ios::binary);
    file.write(reinterpret_cast<const char*>(out.data()), static_cast<std::streamsize>(out.size()));
    return static_cast<bool>(file);
}

// Drives the route and says every new announcement; the number of announcements, -1 when the
// advisor gave no advice somewhere on the way.
int DriveRoute(IAdvisor& advisor, const RouteRequestResult& route, IVoiceOutput& voice,
               platform::VirtualClock* clock) {
    testdata::SimulatedDrive drive(route.route, kStepMetres);
    testdata::DrivePosition at;
    int said = 0;
    int missing = 0;
    while (drive.Next(at)) {
        AdvicePtr advice;
        if (!advisor.CreateAdvice(advice, at.position, at.route, 0) || !advice->IsValid()) {
            ++missing;
        } else if (const AdviceValuePtr value = advice->Current()) {
            // As the navigation map page: spoken up to the arrival mark "@".
            std::u16string spoken = value->GetSpeechText();
            spoken.erase(std::min(spoken.find(u'@'), spoken.size()));
            if (!spoken.empty()) {
                std::printf("%7.0f m  in %5d m  code %3d  %-40s %s\n", at.metresDriven,
                            value->GetDistance(), value->GetKind(),
                            Narrow(value->GetDisplayText()).c_str(), Narrow(spoken).c_str());
                (void)voice.Say(spoken);
                ++said;
            }
        }
        if (clock != nullptr) {
            clock->Advance(kStepMs);
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(kStepMs));
        }
    }
    if (missing > 0) {
        std::fprintf(stderr, "advisordrive: no advice at %d positions\n", missing);
        return -1;
    }
    return said;
}

// The language's voice archive in the folder's "sound", copied from the build's demo data when the
// folder lacks it (osm2nav puts one language there), and the device's archive library, which the
// voice output loads to mount it.
bool ProvideVoices(const Options& options) {
    std::error_code error;
    const std::filesystem::path library = options.folder / "Windows" / "ziVur.dll";
    if (!std::filesystem::exists(library)) {
        std::filesystem::create_directories(library.parent_path(), error);
        std::ofstream(library).close();
    }
    const std::filesystem::path name = options.language + "_waves.sfs";
    const std::filesystem::path target = options.folder / "sound" / name;
    if (std::filesystem::exists(target)) {
        return true;
    }
    std::filesystem::create_directories(target.parent_path(), error);
    return std::filesystem::copy_file(std::filesystem::path(NAV_DEMO_DATA) / "sound" / name, target,
                                      error);
}

int Run(const Options& options) {
    if (!ProvideVoices(options)) {
        std::fprintf(stderr, "advisordrive: no %s voice archive in %s/sound\n",
                     options.language.c_str(), NAV_DEMO_DATA);
        return 1;
    }
    platform::SetDeviceRoot(std::filesystem::absolute(options.folder));
    auto engine = RetrievalEngineImpl::CreateEngine(BlockCache::Create(1024));
    if (!engine || !engine->Open(osm2nav::kLevelFile)) {
        std::fprintf(stderr, "advisordrive: %s holds no map set\n", options.folder.c_str());
        return 1;
    }
    const RouteServicePtr service = CreateRouteService(RetrievalEngine::RetrievalEnginePtr(engine));
    if (!service || !service->OpenNetwork(osm2nav::kNetworkFile)) {
        std::fprintf(stderr, "advisordrive: %s holds no road network\n", options.folder.c_str());
        return 1;
    }
    const RoutePositionPtr start = PositionIn(*engine, *service, options.from);
    const RoutePositionPtr destination = PositionIn(*engine, *service, options.to);
    if (!start || !destination) {
        std::fprintf(stderr, "advisordrive: no street found in %s\n",
                     (start ? options.to : options.from).c_str());
        return 1;
    }
    const RouteRequestResult route = service->RequestRoute(start, destination, nullptr);
    if (route.status != routestatus::kFound) {
        std::fprintf(stderr, "advisordrive: no route (status %u)\n", route.status);
        return 1;
    }
    std::printf("%s to %s: %d m, %d s\n", options.from.c_str(), options.to.c_str(), route.length,
                route.travelTime);
    AdvisorPtr advisor;
    CreateAdvisorFacade(advisor, RetrievalEngine::RetrievalEnginePtr(engine), route, u"\\", {});
    const six::RefCntPtr<IVoiceOutput> voice = CreateVoiceOutput();
    if (!advisor || !voice || !voice->Init(u"\\sound", Wide(options.language))) {
        std::fprintf(stderr, "advisordrive: no %s voice in %s/sound\n", options.language.c_str(),
                     options.folder.c_str());
        return 1;
    }
    platform::ClearRecordedSounds();
    int said = 0;
    if (options.isPlaying) {
#ifdef NAV_WITH_SDL
        const std::unique_ptr<platform::SdlSoundOutput> speaker =
            platform::SdlSoundOutput::Create();
        if (!speaker) {
            std::fprintf(stderr, "advisordrive: no audio device\n");
            return 1;
        }
        platform::SetSoundOutput(speaker.get());
        said = DriveRoute(*advisor, route, *voice, nullptr);
        (void)voice->Shutdown();
        platform::SetSoundOutput(nullptr);
#else
        std::fprintf(stderr, "advisordrive: built without SDL2, cannot play\n");
        return 1;
#endif
    } else {
        // Samples play on the virtual clock too: each one's sleep moves it on.
        platform::VirtualClock clock;
        clock.SetSleepAdvancesClock(true);
        const platform::ScopedClock installed(clock);
        said = DriveRoute(*advisor, route, *voice, &clock);
        (void)voice->Shutdown();
    }
    const std::vector<platform::PlayedSound> played = platform::RecordedSounds();
    if (!WriteWave(options.wav, played)) {
        std::fprintf(stderr, "advisordrive: cannot write %s\n", options.wav.c_str());
        return 1;
    }
    std::printf("%d announcements, %zu samples played, written to %s\n", said, played.size(),
                options.wav.c_str());
    return said > 0 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    const std::optional<Options> options = ParseOptions(argc, argv);
    if (!options) {
        std::fprintf(stderr, "usage: advisordrive DATA-FOLDER [--from PLACE] [--to PLACE] "
                             "[--language L] [--wav OUT] [--play]\n");
        return 2;
    }
    return Run(*options);
}
