// The receiver library "gpstmc.dll": its state, its thread and the thirteen entry points.
// Everything the library does happens under one mutex: the thread's replay and the entry
// points' tuner commands alike, and so do the posts, so that Uninit knows nothing follows it.

#include "platform/receiver/gpstmc.h"

#include "platform/files/files.h"
#include "platform/files/modules.h"
#include "platform/kernel/codepage.h"
#include "platform/kernel/debug.h"
#include "platform/kernel/detail/waitcore.h"
#include "platform/kernel/sync.h"
#include "platform/kernel/time.h"
#include "platform/receiver/replayfiles.h"
#include "platform/receiver/scenario.h"
#include "platform/serial/serial.h"
#include "platform/window/message.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <limits>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

namespace {

using platform::GpsTmcInitResult;
using platform::RdsGroup;
using platform::ReceiverScenario;
using platform::ReceiverStation;

constexpr std::uint64_t kNever = std::numeric_limits<std::uint64_t>::max();
constexpr std::uint64_t kStationRepeatMs = 5000;
constexpr std::size_t kMaxAlternativeFrequencies = 25;
constexpr std::size_t kMaxNameCharacters = 8;
constexpr std::size_t kMaxRadiotextCharacters = 64;
constexpr DWORD kMaxReplayBytes = 16u << 20;

enum class Event { None, SearchStep, StationReport, Group, NmeaCycle, Notification };

struct Library {
    std::mutex lifecycle; // serialises Init and Uninit, held while the thread is joined
    std::mutex mutex;
    std::condition_variable caughtUp; // a round of the thread ended

    bool isOpen = false;
    HWND window = nullptr;
    ReceiverScenario scenario;
    std::u16string scenarioPath; // device paths of the scenario and its replay file
    std::u16string replayPath;
    // The file the last Init could not use, or that gives the replay no position; empty when
    // there is none.
    std::u16string fileAtFault;
    std::map<DWORD, std::vector<RdsGroup>> groups; // by station frequency
    std::vector<platform::NmeaCycle> cycles;
    std::size_t nextCycle = 0; // of cycles; a restart on the same cycles goes on from it
    platform::NmeaCycle latest;
    std::uint64_t openedAt = 0;
    std::uint64_t cyclesPosted = 0;
    bool isNotificationPending = false;

    DWORD frequency = 0;
    const ReceiverStation* station = nullptr; // into scenario.stations; null away from one
    bool isSearching = false;
    std::uint64_t tunedAt = 0; // arrival at the station (tune or search)
    std::uint64_t nextSearchStep = 0;
    std::uint64_t nextStationReport = 0;
    std::uint64_t groupsPosted = 0;

    std::thread thread;
    // The serial source: a port and the thread that reads it, ended through the flag.
    HANDLE port = INVALID_HANDLE_VALUE;
    std::thread serialThread;
    std::atomic<bool> isSerialStopping{false};
    HANDLE wake = nullptr; // auto-reset: a stop or a catch-up request
    bool isStopping = false;
    std::uint64_t handledUpTo = 0;
};

Library& TheLibrary() {
    static Library* library = new Library; // never destroyed: exit-time code may call in
    return *library;
}

std::uint64_t Now() {
    return platform::CurrentClock().TickMs();
}

void Report(const std::string& problem) {
    OutputDebugStringW((u"gpstmc: " + platform::Utf8ToUtf16(problem) + u"\n").c_str());
}

void Post(const Library& library, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    (void)PostMessageW(library.window, message, wParam, lParam);
}

// The bytes of a regular file; nullopt for one that is missing, too long or cannot be read, and
// for anything else at the path (a FIFO, a device), which the open does not wait for and which
// is never read.
std::optional<std::string> ReadDeviceFile(const std::u16string& path) {
    const platform::OpenedFile opened =
        platform::OpenDeviceFile(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, 0);
    struct stat info {};
    if (!opened.file || ::fstat(opened.file->Descriptor(), &info) != 0 || !S_ISREG(info.st_mode) ||
        info.st_size < 0 || info.st_size > off_t{kMaxReplayBytes}) {
        return std::nullopt;
    }
    std::string content(static_cast<std::size_t>(info.st_size), '\0');
    DWORD read = 0;
    if (opened.file->Read(content.data(), static_cast<DWORD>(content.size()), read) !=
            ERROR_SUCCESS ||
        read != content.size()) {
        return std::nullopt;
    }
    return content;
}

std::u16string InFolder(const std::u16string& folder, const std::u16string& path) {
    if (!path.empty() && (path.front() == u'\\' || path.front() == u'/')) {
        return path;
    }
    return folder + u"\\" + path;
}

// Reads the scenario and the files it names into the library (not yet open); a file that keeps
// it from loading becomes the file at fault.
GpsTmcInitResult Load(Library& library) {
    const std::u16string modulePath =
        platform::LoadedModulePath(GetModuleHandleW(platform::kGpsTmcModuleName));
    const std::size_t separator = modulePath.find_last_of(u"\\/");
    if (separator == std::u16string::npos) {
        library.fileAtFault = platform::kGpsTmcScenarioName;
        return GpsTmcInitResult::NoScenario;
    }
    const std::u16string folder = modulePath.substr(0, separator);
    library.scenarioPath = InFolder(folder, platform::kGpsTmcScenarioName);
    library.fileAtFault = library.scenarioPath;
    const std::optional<std::string> text = ReadDeviceFile(library.scenarioPath);
    if (!text) {
        Report("no readable scenario beside the module");
        return GpsTmcInitResult::NoScenario;
    }
    std::string problem;
    std::optional<ReceiverScenario> scenario = platform::ParseReceiverScenario(*text, &problem);
    if (!scenario) {
        Report(problem);
        return GpsTmcInitResult::BadScenario;
    }
    library.scenario = std::move(*scenario);
    library.cycles.clear();
    library.groups.clear();
    library.replayPath.clear();
    if (!library.scenario.replayPath.empty()) {
        library.replayPath = InFolder(folder, library.scenario.replayPath);
        const std::optional<std::string> bytes = ReadDeviceFile(library.replayPath);
        if (!bytes) {
            Report("[Gps] Replay: the file cannot be read");
            library.fileAtFault = library.replayPath;
            return GpsTmcInitResult::NoScenario;
        }
        library.cycles = platform::ParseNmeaCycles(*bytes);
    }
    for (const ReceiverStation& station : library.scenario.stations) {
        if (station.groupsPath.empty()) {
            continue;
        }
        const std::u16string groupsPath = InFolder(folder, station.groupsPath);
        const std::optional<std::string> bytes = ReadDeviceFile(groupsPath);
        if (!bytes) {
            Report("[Station " + std::to_string(station.frequency) +
                   "] Groups: the file cannot be read");
            library.fileAtFault = groupsPath;
            return GpsTmcInitResult::NoScenario;
        }
        platform::RdsGroupList list = platform::ParseRdsGroups(*bytes);
        if (list.refusedLines != 0) {
            Report("[Station " + std::to_string(station.frequency) +
                   "] Groups: " + std::to_string(list.refusedLines) + " lines are not groups");
        }
        library.groups[station.frequency] = std::move(list.groups);
    }
    library.fileAtFault.clear();
    return GpsTmcInitResult::Success;
}

const std::vector<RdsGroup>* GroupsOfStation(const Library& library) {
    if (library.station == nullptr || library.isSearching) {
        return nullptr;
    }
    const auto it = library.groups.find(library.station->frequency);
    return it != library.groups.end() && !it->second.empty() ? &it->second : nullptr;
}

std::pair<std::uint64_t, Event> NextEvent(const Library& library) {
    std::pair<std::uint64_t, Event> next{kNever, Event::None};
    const auto consider = [&next](std::uint64_t due, Event event) {
        if (due < next.first) {
            next = {due, event};
        }
    };
    if (library.isSearching) {
        consider(library.nextSearchStep, Event::SearchStep);
    }
    if (library.station != nullptr && !library.isSearching) {
        consider(library.nextStationReport, Event::StationReport);
    }
    if (const std::vector<RdsGroup>* groups = GroupsOfStation(library)) {
        (void)groups;
        consider(library.tunedAt +
                     (library.groupsPosted + 1) * 1000 / library.station->groupsPerSecond,
                 Event::Group);
    }
    if (!library.cycles.empty()) {
        consider(library.openedAt +
                     (library.cyclesPosted + 1) * 1000 / library.scenario.cyclesPerSecond,
                 Event::NmeaCycle);
    }
    if (library.isNotificationPending) {
        consider(library.openedAt + *library.scenario.notifyAfterMs, Event::Notification);
    }
    return next;
}

void ArriveAtStation(Library& library, const ReceiverStation& station, std::uint64_t at) {
    library.station = &station;
    library.isSearching = false;
    library.tunedAt = at;
    library.groupsPosted = 0;
    library.nextStationReport = at + kStationRepeatMs;
    Post(library, platform::kGpsTmcStation);
    if (!station.alternativeFrequencies.empty()) {
        Post(library, platform::kGpsTmcAlternativeFrequencies);
    }
    if (!station.radiotext.empty()) {
        Post(library, platform::kGpsTmcRadiotext);
    }
}

void StepSearch(Library& library, std::uint64_t at) {
    library.frequency = std::max(library.frequency + 1, platform::kLowestStationFrequency);
    if (const ReceiverStation* station = library.scenario.StationAt(library.frequency)) {
        ArriveAtStation(library, *station, at);
    } else if (library.frequency >= platform::kBandTop) {
        library.frequency = platform::kBandTop;
        library.isSearching = false;
        Post(library, platform::kGpsTmcFrequencyChanged);
    } else {
        library.nextSearchStep = at + library.scenario.searchStepMs;
    }
}

void PostGroup(Library& library, const std::vector<RdsGroup>& groups) {
    const RdsGroup& group = groups[library.groupsPosted % groups.size()];
    ++library.groupsPosted;
    const auto pair = [](std::uint16_t low, std::uint16_t high) {
        return static_cast<DWORD>(low) | static_cast<DWORD>(high) << 16;
    };
    Post(library, platform::kGpsTmcRdsGroup, static_cast<WPARAM>(pair(group[0], group[1])),
         static_cast<LPARAM>(pair(group[2], group[3])));
}

void PostCycle(Library& library) {
    const platform::NmeaCycle& cycle = library.cycles[library.nextCycle];
    library.nextCycle = (library.nextCycle + 1) % library.cycles.size();
    ++library.cyclesPosted;
    for (auto [from, to] :
         {std::pair{&cycle.gga, &library.latest.gga}, std::pair{&cycle.vtg, &library.latest.vtg},
          std::pair{&cycle.rmc, &library.latest.rmc}}) {
        if (!from->empty()) {
            *to = *from;
        }
    }
    Post(library, platform::kGpsTmcNmeaReady);
}

// Handles, in time order, everything due up to now.
void HandleDue(Library& library, std::uint64_t now) {
    while (library.isOpen) {
        const auto [due, event] = NextEvent(library);
        if (due > now) {
            break;
        }
        switch (event) {
        case Event::SearchStep:
            StepSearch(library, due);
            break;
        case Event::StationReport:
            library.nextStationReport = due + kStationRepeatMs;
            Post(library, platform::kGpsTmcStation);
            break;
        case Event::Group:
            PostGroup(library, *GroupsOfStation(library));
            break;
        case Event::NmeaCycle:
            PostCycle(library);
            break;
        case Event::Notification:
            library.isNotificationPending = false;
            Post(library, platform::kGpsTmcNotification);
            break;
        case Event::None:
            return;
        }
    }
    library.handledUpTo = std::max(library.handledUpTo, now);
}

void RunLibraryThread(Library& library) {
    std::unique_lock lock(library.mutex);
    while (!library.isStopping) {
        const std::uint64_t now = Now();
        HandleDue(library, now);
        library.caughtUp.notify_all();
        // Waits of at most 2^30 ms keep the 32-bit due tick unambiguous.
        const std::uint64_t due =
            std::min<std::uint64_t>(NextEvent(library).first, now + (1u << 30));
        HANDLE wake = library.wake;
        lock.unlock();
        (void)platform::WaitForSingleObjectUntilTick(wake, static_cast<DWORD>(due));
        lock.lock();
    }
}

// Opens "COM<port>:" at the rate, 8N1; INVALID_HANDLE_VALUE when it cannot.
HANDLE OpenSerialPort(DWORD port, DWORD rate) {
    const std::string name = "COM" + std::to_string(port) + ":";
    const std::u16string wide(name.begin(), name.end());
    HANDLE handle = CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return handle;
    }
    DCB dcb{};
    // Reads return at once: the thread polls on host time, so Uninit never waits for a clock.
    COMMTIMEOUTS timeouts{MAXDWORD, 0, 0, 0, 1000};
    bool isSet = GetCommState(handle, &dcb) != FALSE;
    dcb.BaudRate = rate;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    isSet = isSet && SetCommState(handle, &dcb) && SetCommTimeouts(handle, &timeouts);
    if (!isSet) {
        (void)CloseHandle(handle);
        return INVALID_HANDLE_VALUE;
    }
    return handle;
}

// Takes one received line into the cycle; a complete GGA, VTG, RMC cycle is posted.
void TakeSentence(Library& library, platform::NmeaCycle& cycle, const std::string& line) {
    if (line.size() > platform::kMaxNmeaSentence || line.size() < 7 || line[0] != '$') {
        return;
    }
    const std::string_view kind = std::string_view(line).substr(3, 3);
    if (kind == "GGA") {
        cycle = {line, {}, {}};
    } else if (kind == "VTG" && !cycle.gga.empty()) {
        cycle.vtg = line;
    } else if (kind == "RMC" && !cycle.vtg.empty()) {
        cycle.rmc = line;
        std::lock_guard lock(library.mutex);
        if (library.isOpen) {
            library.latest = cycle;
            ++library.cyclesPosted;
            Post(library, platform::kGpsTmcNmeaReady);
        }
        cycle = {};
    }
}

void RunSerialThread(Library& library, HANDLE port) {
    constexpr std::size_t kMaxPending = 4096; // a line longer than any sentence is dropped
    std::string pending;
    platform::NmeaCycle cycle;
    char buffer[256];
    while (!library.isSerialStopping.load()) {
        DWORD got = 0;
        if (!ReadFile(port, buffer, sizeof buffer, &got, nullptr)) {
            Report("the serial port failed; no more sentences");
            return;
        }
        if (got == 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            continue;
        }
        pending.append(buffer, got);
        std::size_t end = 0;
        while ((end = pending.find('\n')) != std::string::npos) {
            TakeSentence(library, cycle, pending.substr(0, end + 1));
            pending.erase(0, end + 1);
        }
        if (pending.size() > kMaxPending) {
            pending.clear();
        }
    }
}

void StopSerial(Library& library, std::unique_lock<std::mutex>& lock) {
    if (library.serialThread.joinable()) {
        library.isSerialStopping = true;
        std::thread thread = std::move(library.serialThread);
        lock.unlock(); // the thread takes the lock to post
        thread.join();
        lock.lock();
    }
    if (library.port != INVALID_HANDLE_VALUE) {
        (void)CloseHandle(library.port);
        library.port = INVALID_HANDLE_VALUE;
    }
    library.isSerialStopping = false;
}

void Stop(Library& library, std::unique_lock<std::mutex>& lock) {
    StopSerial(library, lock);
    library.isOpen = false;
    library.isStopping = true;
    if (library.thread.joinable()) {
        (void)SetEvent(library.wake);
        std::thread thread = std::move(library.thread);
        lock.unlock();
        thread.join();
        lock.lock();
    }
    library.isStopping = false;
    library.station = nullptr;
    library.isSearching = false;
    library.caughtUp.notify_all();
}

template <class Character>
void CopyText(const std::u16string& text, std::size_t maxCharacters, Character* out) {
    const std::size_t count = std::min(text.size(), maxCharacters);
    std::copy_n(text.begin(), count, out);
    out[count] = 0;
}

const ReceiverStation* CurrentStation(const Library& library) {
    return library.isSearching ? nullptr : library.station;
}

int CopySentence(const std::string& sentence, char* buffer, int capacity) {
    if (buffer == nullptr || capacity <= 0) {
        return 0;
    }
    const std::size_t count = std::min(sentence.size(), static_cast<std::size_t>(capacity - 1));
    std::copy_n(sentence.begin(), count, buffer);
    buffer[count] = '\0';
    return static_cast<int>(count);
}

// ---- The entry points ----

void GpsTmc_Uninit() {
    Library& library = TheLibrary();
    std::lock_guard lifecycle(library.lifecycle);
    std::unique_lock lock(library.mutex);
    Stop(library, lock);
}

// What SetGpsTmcInitCall gave, copied out under its lock to be run without it.
struct InitCall {
    std::mutex lock;
    std::function<void()> call;
};

InitCall& TheInitCall() {
    static InitCall initCall;
    return initCall;
}

int GpsTmc_Init(HWND window, DWORD port, DWORD rate, DWORD value) {
    (void)value;
    std::function<void()> call;
    {
        InitCall& initCall = TheInitCall();
        const std::lock_guard lock(initCall.lock);
        call = initCall.call;
    }
    if (call) {
        call();
    }
    Library& library = TheLibrary();
    std::lock_guard lifecycle(library.lifecycle);
    std::unique_lock lock(library.mutex);
    Stop(library, lock);
    library.fileAtFault.clear();
    if (window == nullptr) {
        return static_cast<int>(GpsTmcInitResult::NoWindow);
    }
    const DWORD portNumber = port & ~DWORD{0x20};
    const std::vector<platform::NmeaCycle> replayed = std::move(library.cycles);
    library.cycles.clear();
    if (const GpsTmcInitResult result = Load(library); result != GpsTmcInitResult::Success) {
        return static_cast<int>(result);
    }
    // A replay gives positions only from a file that holds a cycle; without one named, the
    // scenario is at fault.
    if (portNumber == 0 && library.cycles.empty()) {
        Report("[Gps] Replay: no NMEA cycle to replay");
        library.fileAtFault =
            library.replayPath.empty() ? library.scenarioPath : library.replayPath;
    }
    if (portNumber != 0) {
        library.port = OpenSerialPort(portNumber, rate);
        if (library.port == INVALID_HANDLE_VALUE) {
            return static_cast<int>(GpsTmcInitResult::PortNotSupported);
        }
        library.cycles.clear(); // the port replaces the replay
    }
    // The simulated car does not move back when its receiver is restarted: the same replay goes
    // on with the cycle after the last one posted, another one begins at its start.
    if (library.cycles != replayed) {
        library.nextCycle = 0;
    }
    if (library.wake == nullptr) {
        library.wake = CreateEventW(nullptr, FALSE, FALSE, nullptr);
        if (library.wake == nullptr) {
            return static_cast<int>(GpsTmcInitResult::NoThread);
        }
    }
    library.window = window;
    library.openedAt = Now();
    library.handledUpTo = library.openedAt;
    library.cyclesPosted = 0;
    library.latest = {};
    library.isNotificationPending = library.scenario.notifyAfterMs.has_value();
    library.frequency = 0;
    library.station = nullptr;
    library.isSearching = false;
    library.isOpen = true;
    // On a stepped clock the thread's first round is waited for as a woken thread's.
    const platform::detail::StartingThread starting =
        platform::detail::CountStartingThread(false, 0);
    try {
        library.thread = std::thread([&library, starting] {
            platform::detail::TakeStartingCount(starting);
            RunLibraryThread(library);
        });
        if (library.port != INVALID_HANDLE_VALUE) {
            library.serialThread = std::thread(RunSerialThread, std::ref(library), library.port);
        }
    } catch (const std::system_error&) {
        if (!library.thread.joinable())
            platform::detail::DropStartingCount(starting);
        library.isOpen = false;
        return static_cast<int>(GpsTmcInitResult::NoThread);
    }
    return static_cast<int>(GpsTmcInitResult::Success);
}

int GpsTmc_ControlTuner(int command, int value) {
    Library& library = TheLibrary();
    std::lock_guard lock(library.mutex);
    if (!library.isOpen) {
        return -1;
    }
    const std::uint64_t now = Now();
    HandleDue(library, now);
    switch (command) {
    case platform::kTunerRefresh:
        Post(library, platform::kGpsTmcFrequencyChanged);
        return 0;
    case platform::kTunerTune:
        if (value < static_cast<int>(platform::kLowestStationFrequency) ||
            value > static_cast<int>(platform::kBandTop)) {
            return -1;
        }
        library.frequency = static_cast<DWORD>(value);
        library.station = nullptr;
        library.isSearching = false;
        Post(library, platform::kGpsTmcFrequencyChanged);
        if (const ReceiverStation* station = library.scenario.StationAt(library.frequency)) {
            ArriveAtStation(library, *station, now);
        }
        return 0;
    case platform::kTunerSearch:
        library.station = nullptr;
        library.isSearching = true;
        library.nextSearchStep = now + library.scenario.searchStepMs;
        return 0;
    default:
        return -1;
    }
}

void GpsTmc_GetTunerFrequency(DWORD* frequency) {
    Library& library = TheLibrary();
    std::lock_guard lock(library.mutex);
    if (frequency != nullptr) {
        *frequency = library.frequency;
    }
}

void GpsTmc_GetRdsStation(DWORD* programmeId, WCHAR* name) {
    Library& library = TheLibrary();
    std::lock_guard lock(library.mutex);
    const ReceiverStation* station = CurrentStation(library);
    if (programmeId != nullptr) {
        *programmeId = station != nullptr ? station->programmeId : 0;
    }
    if (name != nullptr) {
        CopyText(station != nullptr ? station->name : std::u16string(), kMaxNameCharacters, name);
    }
}

void GpsTmc_GetRdsAF(DWORD* frequencies) {
    Library& library = TheLibrary();
    std::lock_guard lock(library.mutex);
    if (frequencies == nullptr) {
        return;
    }
    const ReceiverStation* station = CurrentStation(library);
    std::size_t count = 0;
    if (station != nullptr) {
        count = std::min(station->alternativeFrequencies.size(), kMaxAlternativeFrequencies);
        std::copy_n(station->alternativeFrequencies.begin(), count, frequencies);
    }
    frequencies[count] = 0;
}

int GpsTmc_GetRdsHealth() {
    Library& library = TheLibrary();
    std::lock_guard lock(library.mutex);
    const ReceiverStation* station = CurrentStation(library);
    return station != nullptr ? station->rdsHealth : 0;
}

int GpsTmc_GetTmcHealth() {
    Library& library = TheLibrary();
    std::lock_guard lock(library.mutex);
    const ReceiverStation* station = CurrentStation(library);
    if (station == nullptr) {
        return 0;
    }
    return Now() - library.tunedAt < library.scenario.acquireMs ? 1 : station->tmcHealth;
}

void GpsTmc_GetRadiotext(WCHAR* text) {
    Library& library = TheLibrary();
    std::lock_guard lock(library.mutex);
    const ReceiverStation* station = CurrentStation(library);
    if (text != nullptr) {
        CopyText(station != nullptr ? station->radiotext : std::u16string(),
                 kMaxRadiotextCharacters, text);
    }
}

void GpsTmc_GetRdsTime(void* time) {
    (void)time;
}

int ReadLatest(std::string platform::NmeaCycle::*kind, char* buffer, int capacity) {
    Library& library = TheLibrary();
    std::lock_guard lock(library.mutex);
    return CopySentence(library.latest.*kind, buffer, capacity);
}

int GpsTmc_ReadRawGGA(char* buffer, int capacity) {
    return ReadLatest(&platform::NmeaCycle::gga, buffer, capacity);
}

int GpsTmc_ReadRawVTG(char* buffer, int capacity) {
    return ReadLatest(&platform::NmeaCycle::vtg, buffer, capacity);
}

int GpsTmc_ReadRawRMC(char* buffer, int capacity) {
    return ReadLatest(&platform::NmeaCycle::rmc, buffer, capacity);
}

const platform::ModuleRegistration
    kRegistration(platform::kGpsTmcModuleName,
                  {platform::Export(u"GpsTmc_Init", &GpsTmc_Init),
                   platform::Export(u"GpsTmc_Uninit", &GpsTmc_Uninit),
                   platform::Export(u"GpsTmc_ControlTuner", &GpsTmc_ControlTuner),
                   platform::Export(u"GpsTmc_GetTunerFrequency", &GpsTmc_GetTunerFrequency),
                   platform::Export(u"GpsTmc_GetRdsStation", &GpsTmc_GetRdsStation),
                   platform::Export(u"GpsTmc_GetRdsAF", &GpsTmc_GetRdsAF),
                   platform::Export(u"GpsTmc_GetRdsHealth", &GpsTmc_GetRdsHealth),
                   platform::Export(u"GpsTmc_GetRadiotext", &GpsTmc_GetRadiotext),
                   platform::Export(u"GpsTmc_GetRdsTime", &GpsTmc_GetRdsTime),
                   platform::Export(u"GpsTmc_ReadRawGGA", &GpsTmc_ReadRawGGA),
                   platform::Export(u"GpsTmc_ReadRawVTG", &GpsTmc_ReadRawVTG),
                   platform::Export(u"GpsTmc_ReadRawRMC", &GpsTmc_ReadRawRMC),
                   platform::Export(u"GpsTmc_GetTmcHealth", &GpsTmc_GetTmcHealth)});

} // namespace

namespace platform {

std::u16string GpsTmcFileAtFault() {
    Library& library = TheLibrary();
    std::lock_guard lock(library.mutex);
    return library.fileAtFault;
}

void SetGpsTmcInitCall(std::function<void()> call) {
    InitCall& initCall = TheInitCall();
    const std::lock_guard lock(initCall.lock);
    initCall.call = std::move(call);
}

void WaitForGpsTmcCatchUp() {
    Library& library = TheLibrary();
    std::unique_lock lock(library.mutex);
    if (!library.isOpen) {
        return;
    }
    const std::uint64_t target = Now();
    (void)SetEvent(library.wake);
    library.caughtUp.wait(
        lock, [&library, target] { return !library.isOpen || library.handledUpTo >= target; });
}

} // namespace platform

// Referenced by the linker option that nav_builtin_module adds, so that this file (and the
// registration above) is linked into every program that links the library.
extern "C" void NavBuiltinModule_gpstmc() {}
