#include "positioning/gpstmcadapter.h"

#include "utilities/usefulcode/widetext.h"

#include "platform/files/modules.h"
#include "platform/shell/resources.h"
#include "platform/window/window.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <new>
#include <vector>

namespace {

constexpr DWORD kBandStart = 880;
constexpr DWORD kBandTop = 1080;
constexpr DWORD kFlagBit = 0x20;
constexpr DWORD kInitValue = 0x32F00;
constexpr int kRawCapacity = 255;
constexpr std::size_t kNameSize = 9;       // 8 characters and the zero
constexpr std::size_t kRadiotextSize = 65; // 64 characters and the zero
constexpr std::size_t kAlternativeRoom = 32;
constexpr std::size_t kMaxAlternatives = 25;

template <class Function> bool Resolve(HMODULE module, LPCWSTR name, Function* out) {
    *out = reinterpret_cast<Function>(GetProcAddressW(module, name));
    return *out != nullptr;
}

// The text of a library buffer one element larger than the size the library was promised,
// zero-filled before the call: at most size - 1 characters, whatever the library wrote.
std::u16string TitleCasedText(std::vector<WCHAR>& buffer, std::size_t size) {
    buffer[size - 1] = 0;
    buffer[size] = 0;
    return TitleCaseCopy(buffer.data());
}

} // namespace

GpsTmcAdapter::GpsTmcAdapter() {
    ConnectMessageHandler(m_window.map, platform::kGpsTmcFrequencyChanged, this,
                          &GpsTmcAdapter::OnFrequencyChanged);
    ConnectMessageHandler(m_window.map, platform::kGpsTmcNotification, this,
                          &GpsTmcAdapter::OnNotification);
    ConnectMessageHandler(m_window.map, platform::kGpsTmcRdsGroup, this,
                          &GpsTmcAdapter::OnRdsGroup);
    ConnectMessageHandler(m_window.map, platform::kGpsTmcRadiotext, this,
                          &GpsTmcAdapter::OnRadiotext);
    ConnectMessageHandler(m_window.map, platform::kGpsTmcStation, this, &GpsTmcAdapter::OnStation);
    ConnectMessageHandler(m_window.map, platform::kGpsTmcAlternativeFrequencies, this,
                          &GpsTmcAdapter::OnAlternativeFrequencies);
    ConnectMessageHandler(m_window.map, platform::kGpsTmcNmeaReady, this, &GpsTmcAdapter::OnNmea);
    (void)CreateWindowExW(0, WindowClassRegistry::ClassName(), u"GNS", 0, 0, 0, 1, 1, nullptr,
                          nullptr, platform::ResourceInstance(), &m_window);
    if (m_window.window != nullptr) {
        ShowWindow(m_window.window, SW_HIDE);
    }
    LoadReceiverLibrary();
}

GpsTmcAdapter::~GpsTmcAdapter() {
    Close();
    if (IsLoaded()) {
        (void)FreeLibrary(m_library.module);
        m_library = Library{};
    }
    DisconnectMessageHandlers(m_window.map, this);
}

void GpsTmcAdapter::LoadReceiverLibrary() {
    Library library;
    library.module = LoadLibraryW(platform::kGpsTmcModuleName);
    if (library.module == nullptr) {
        return;
    }
    const HMODULE module = library.module;
    const bool isComplete =
        Resolve(module, u"GpsTmc_Init", &library.init) &&
        Resolve(module, u"GpsTmc_Uninit", &library.uninit) &&
        Resolve(module, u"GpsTmc_ControlTuner", &library.controlTuner) &&
        Resolve(module, u"GpsTmc_GetTunerFrequency", &library.getTunerFrequency) &&
        Resolve(module, u"GpsTmc_GetRdsStation", &library.getRdsStation) &&
        Resolve(module, u"GpsTmc_GetRdsAF", &library.getRdsAf) &&
        Resolve(module, u"GpsTmc_GetRdsHealth", &library.getRdsHealth) &&
        Resolve(module, u"GpsTmc_GetRadiotext", &library.getRadiotext) &&
        Resolve(module, u"GpsTmc_GetRdsTime", &library.getRdsTime) &&
        Resolve(module, u"GpsTmc_ReadRawGGA", &library.readRawGga) &&
        Resolve(module, u"GpsTmc_ReadRawVTG", &library.readRawVtg) &&
        Resolve(module, u"GpsTmc_ReadRawRMC", &library.readRawRmc) &&
        Resolve(module, u"GpsTmc_GetTmcHealth", &library.getTmcHealth);
    if (!isComplete) {
        (void)FreeLibrary(module);
        return;
    }
    m_library = library;
}

int GpsTmcAdapter::Tune(int command, int value) {
    if (!IsUsable()) {
        return 0;
    }
    m_frequency = 0;
    m_stationId = 0;
    {
        std::lock_guard lock(m_textLock);
        m_stationName.clear();
    }
    return m_library.controlTuner(command, value);
}

DWORD GpsTmcAdapter::GetCurrentFrequency() {
    if (!IsUsable()) {
        return 0;
    }
    (void)Tune(0, static_cast<int>(m_frequency.load()));
    return m_frequency;
}

DWORD GpsTmcAdapter::ReadTunerFrequency() {
    if (!IsUsable()) {
        return 0;
    }
    DWORD frequency = 0;
    m_library.getTunerFrequency(&frequency);
    m_frequency = frequency;
    return frequency;
}

int GpsTmcAdapter::GetTmcHealth() {
    return IsUsable() ? m_library.getTmcHealth() : 0;
}

int GpsTmcAdapter::GetRdsHealth() {
    return IsUsable() ? m_library.getRdsHealth() : 0;
}

bool GpsTmcAdapter::Open(int port, int rate, bool flag, int frequency) {
    m_port = port;
    m_rate = rate;
    m_flag = flag ? 1 : 0;
    m_openFrequency = frequency;
    if (!IsLoaded()) {
        return false;
    }
    const DWORD portValue = static_cast<DWORD>(port) | (flag ? kFlagBit : 0);
    const int result =
        m_library.init(m_window.window, portValue, static_cast<DWORD>(rate), kInitValue);
    m_lastInitResult = result;
    const bool isOpen = result == 0;
    m_isOpen = isOpen;
    m_isAlive = isOpen;
    if (isOpen) {
        (void)Tune(1, frequency == 0 ? static_cast<int>(kBandStart) : frequency);
    }
    return m_isOpen;
}

std::u16string GpsTmcAdapter::GetUnusableScenarioFile() const {
    return IsLoaded() && m_lastInitResult.load() != kNeverOpened ? platform::GpsTmcFileAtFault()
                                                                 : std::u16string();
}

void GpsTmcAdapter::Close() {
    if (IsLoaded() && m_isOpen.exchange(false)) {
        m_library.uninit();
    }
}

bool GpsTmcAdapter::Reopen() {
    if (m_openFrequency == -1) {
        return false;
    }
    Close();
    return Open(m_port, m_rate, m_flag != 0, m_openFrequency);
}

int GpsTmcAdapter::Read(Queue& queue, char* buffer, int capacity) {
    if (!m_isAlive) {
        return -1;
    }
    if (buffer == nullptr || capacity <= 0) {
        return 0;
    }
    ScopedLock lock(&queue.lock);
    return static_cast<int>(queue.bytes.Read(buffer, static_cast<std::size_t>(capacity)));
}

int GpsTmcAdapter::ReadTmc(char* buffer, int capacity) {
    return Read(m_tmc, buffer, capacity);
}

int GpsTmcAdapter::ReadNmea(char* buffer, int capacity) {
    return Read(m_nmea, buffer, capacity);
}

CountedPtr<GpsTmcAdapter> GpsTmcAdapter::Instance() {
    static CountedPtr<GpsTmcAdapter> instance(new (std::nothrow) GpsTmcAdapter);
    return instance;
}

// ---- Messages of the library ----

void GpsTmcAdapter::OnFrequencyChanged(UINT, WPARAM, LPARAM, LRESULT*, bool*) {
    m_isAlive = true;
    if (!IsLoaded()) {
        return;
    }
    DWORD frequency = 0;
    m_library.getTunerFrequency(&frequency);
    m_frequency = frequency;
    if (frequency == kBandTop) {
        GetStationSignal().Emit(kBandTop, 0, std::u16string());
    }
}

void GpsTmcAdapter::OnNotification(UINT, WPARAM, LPARAM, LRESULT*, bool*) {
    GetNotificationSignal().Emit();
}

void GpsTmcAdapter::OnRdsGroup(UINT, WPARAM wParam, LPARAM lParam, LRESULT*, bool*) {
    m_isAlive = true;
    const auto blocks = static_cast<DWORD>(wParam);
    const auto more = static_cast<DWORD>(lParam);
    char line[18] = {};
    (void)std::snprintf(line, sizeof line, "%04X%04X%04X%04X\n", blocks & 0xFFFF, blocks >> 16,
                        more & 0xFFFF, more >> 16);
    ScopedLock lock(&m_tmc.lock);
    m_tmc.bytes.Append(std::string_view(line, 17));
}

void GpsTmcAdapter::OnRadiotext(UINT, WPARAM, LPARAM, LRESULT*, bool*) {
    m_isAlive = true;
    if (!IsLoaded()) {
        return;
    }
    std::vector<WCHAR> buffer(kRadiotextSize + 1, 0);
    m_library.getRadiotext(buffer.data());
    std::u16string text = TitleCasedText(buffer, kRadiotextSize);
    {
        std::lock_guard lock(m_textLock);
        m_radiotext = text;
    }
    GetRadiotextSignal().Emit(std::move(text));
}

void GpsTmcAdapter::OnStation(UINT, WPARAM, LPARAM, LRESULT*, bool*) {
    m_isAlive = true;
    if (!IsLoaded()) {
        return;
    }
    DWORD stationId = 0;
    std::vector<WCHAR> buffer(kNameSize + 1, 0);
    m_library.getRdsStation(&stationId, buffer.data());
    std::u16string name = TitleCasedText(buffer, kNameSize);
    DWORD frequency = 0;
    m_library.getTunerFrequency(&frequency);
    m_stationId = stationId;
    m_frequency = frequency;
    {
        std::lock_guard lock(m_textLock);
        m_stationName = name;
    }
    GetStationSignal().Emit(frequency, stationId, std::move(name));
    if (GetTmcHealth() == 2) {
        m_openFrequency = static_cast<int>(frequency);
    }
}

void GpsTmcAdapter::OnAlternativeFrequencies(UINT, WPARAM, LPARAM, LRESULT*, bool*) {
    m_isAlive = true;
    if (!IsLoaded()) {
        return;
    }
    std::array<DWORD, kAlternativeRoom> buffer{};
    m_library.getRdsAf(buffer.data());
    std::vector<DWORD> frequencies;
    for (std::size_t i = 0; i < kMaxAlternatives && buffer[i] > kBandStart; ++i) {
        frequencies.push_back(buffer[i]);
    }
    GetAlternativeFrequencySignal().Emit(std::move(frequencies));
}

void GpsTmcAdapter::OnNmea(UINT, WPARAM, LPARAM, LRESULT*, bool*) {
    m_isAlive = true;
    if (!IsLoaded()) {
        return;
    }
    std::string sentences;
    for (const platform::GpsTmcReadRawFunction read :
         {m_library.readRawGga, m_library.readRawVtg, m_library.readRawRmc}) {
        std::array<char, kRawCapacity + 1> buffer{};
        (void)read(buffer.data(), kRawCapacity);
        buffer[kRawCapacity - 1] = '\0';
        sentences += buffer.data();
    }
    ScopedLock lock(&m_nmea.lock);
    m_nmea.bytes.Append(sentences);
}
