#include "app/startup/preferences.h"

#include "ui/shellhelpers.h"
#include "ui/tmcmonitor.h"
#include "utilities/usefulcode/apppaths.h"
#include "utilities/usefulcode/cache/blockcache.h"
#include "utilities/usefulcode/iniprofile.h"

#include "platform/files/memory.h"
#include "platform/kernel/text.h"
#include "platform/window/shell.h"

#include <algorithm>
#include <array>
#include <limits>
#include <optional>

namespace {

constexpr char16_t kSection[] = u"Preferences";

bool BeginsWithNumber(const std::u16string& text) {
    std::size_t at = 0;
    while (at < text.size() && (text[at] == u' ' || text[at] == u'\t'))
        ++at;
    if (at < text.size() && (text[at] == u'-' || text[at] == u'+'))
        ++at;
    return at < text.size() && text[at] >= u'0' && text[at] <= u'9';
}

// A setting's text taken as a number as ReadIntSetting takes it.
INT NumberOrDefault(const std::optional<std::u16string>& text, INT defaultValue) {
    if (!text || !BeginsWithNumber(*text))
        return defaultValue;
    return static_cast<INT>(_wtol(text->c_str()));
}

BYTE FlagOrDefault(const std::optional<std::u16string>& text, BYTE defaultValue) {
    return NumberOrDefault(text, defaultValue) != 0 ? 1 : 0;
}

// The preference keys LoadPreferences reads, in the order of kPreferenceKeys.
enum PreferenceKey : std::size_t {
    kArrowMode,
    kShowLastMap,
    kShowPoiInMapMode,
    kShowPoiInNavigMode,
    kAlwaysNorth,
    kStreetDisp,
    kMoveMap,
    kNav,
    kVolValue,
    kTmcReceiver,
    kComPort,
    kDistanceUnitKilometres,
    kTimeFormat12h,
    kPreferenceKeyCount
};
constexpr std::array<LPCWSTR, kPreferenceKeyCount> kPreferenceKeys = {
    u"ArrowMode",    u"ShowLastMap", u"ShowPoiInMapMode", u"ShowPoiInNavigMode",
    u"AlwaysNorth",  u"StreetDisp",  u"MoveMap",          u"Nav",
    u"VolValue",     u"TMCReceiver", u"COMPORT",          u"DistanceUnitKilometres",
    u"TimeFormat12h"};

} // namespace

INT ReadIntSetting(LPCWSTR section, LPCWSTR key, LPCWSTR file, INT defaultValue) {
    // One read of the file; the number is taken as IniProfile::GetInt takes it.
    return NumberOrDefault(IniProfile::GetString(section, key, file, u""), defaultValue);
}

bool IsSimulationSet() {
    return ReadIntSetting(u"Zudav", u"Simulation", AppPaths::GetSettingsFilePath().c_str(), 0) == 1;
}

PreferencesRecord LoadPreferences() {
    const std::u16string file = AppPaths::GetSettingsFilePath();
    // One scan of the settings file for every key.
    const auto values = IniProfile::GetStrings(kSection, kPreferenceKeys, file.c_str());
    PreferencesRecord record;
    record.arrowMode = FlagOrDefault(values[kArrowMode], 0);
    record.showLastMap = FlagOrDefault(values[kShowLastMap], 1);
    record.poiInMapModes = FlagOrDefault(values[kShowPoiInMapMode], 1);
    record.poiInNavigation = FlagOrDefault(values[kShowPoiInNavigMode], 1);
    record.alwaysNorth = FlagOrDefault(values[kAlwaysNorth], 0);
    record.streetDisplay = FlagOrDefault(values[kStreetDisp], 0);
    record.moveMap = FlagOrDefault(values[kMoveMap], 0);
    record.nav = FlagOrDefault(values[kNav], 0);
    record.volume = NumberOrDefault(values[kVolValue], -1);
    record.tmcReceiver = FlagOrDefault(values[kTmcReceiver], 1);
    record.comPort = NumberOrDefault(values[kComPort], 1);
    record.kilometres = FlagOrDefault(values[kDistanceUnitKilometres], 1);
    record.twelveHourClock = FlagOrDefault(values[kTimeFormat12h], 0);
    return record;
}

void SavePreferences(const PreferencesRecord& record) {
    const std::u16string path = AppPaths::GetSettingsFilePath();
    const LPCWSTR file = path.c_str();
    const auto flag = [](BYTE value) { return value != 0 ? 1 : 0; };
    IniProfile::WriteInt(kSection, u"ArrowMode", flag(record.arrowMode), file);
    IniProfile::WriteInt(kSection, u"ShowLastMap", flag(record.showLastMap), file);
    IniProfile::WriteInt(kSection, u"ShowPoiInMapMode", flag(record.poiInMapModes), file);
    IniProfile::WriteInt(kSection, u"ShowPoiInNavigMode", flag(record.poiInNavigation), file);
    IniProfile::WriteInt(kSection, u"AlwaysNorth", flag(record.alwaysNorth), file);
    IniProfile::WriteInt(kSection, u"StreetDisp", flag(record.streetDisplay), file);
    IniProfile::WriteInt(kSection, u"MoveMap", flag(record.moveMap), file);
    IniProfile::WriteInt(kSection, u"Nav", flag(record.nav), file);
    IniProfile::WriteInt(kSection, u"VolValue", record.volume, file);
    IniProfile::WriteInt(kSection, u"TMCReceiver", flag(record.tmcReceiver), file);
    IniProfile::WriteInt(kSection, u"COMPORT", record.comPort, file);
    IniProfile::WriteInt(kSection, u"DistanceUnitKilometres", flag(record.kilometres), file);
    IniProfile::WriteInt(kSection, u"TimeFormat12h", flag(record.twelveHourClock), file);
}

DWORD ComputeCacheSizeKB() {
    const std::u16string path = AppPaths::GetSettingsFilePath();
    constexpr std::array<LPCWSTR, 3> keys = {u"CacheMaxPercent", u"CacheMaxSize", u"CacheMinSize"};
    const auto values = IniProfile::GetStrings(kSection, keys, path.c_str());
    const auto percent = static_cast<DWORD>(NumberOrDefault(values[0], 50));
    const auto maximum = static_cast<DWORD>(NumberOrDefault(values[1], 16384));
    const auto minimum = static_cast<DWORD>(NumberOrDefault(values[2], 4096));
    MEMORYSTATUS status{};
    GlobalMemoryStatus(&status);
    const DWORD available = std::min(status.dwAvailPhys, status.dwAvailVirtual);
    // 64-bit product: the share of a large free memory must not wrap.
    auto kb =
        static_cast<DWORD>(std::uint64_t{available / 1024} * std::min<DWORD>(percent, 100) / 100);
    if (kb > maximum)
        kb = maximum;
    if (kb < minimum)
        kb = minimum;
    return kb;
}

std::uint32_t ArenaBytesForBudget(DWORD budgetKb) {
    constexpr std::uint64_t kLargest =
        std::uint64_t{std::numeric_limits<std::uint32_t>::max()} / 1024 * 1024;
    const std::uint64_t bytes = (std::uint64_t{budgetKb} + 500) * 1024;
    return static_cast<std::uint32_t>(std::min(bytes, kLargest));
}

std::int32_t DisplayLanguageCode(std::int32_t languageIndex) {
    switch (languageIndex) {
    case 1:
        return 1;
    case 3:
        return 3;
    case 4:
        return 2;
    case 5:
        return 4;
    case 6:
        return 5;
    default:
        return 0;
    }
}

void FlushCache(const Onboard::OnboardServerPtr& server) {
    if (!server)
        return;
    RetrievalEngine::RetrievalEnginePtr engine = server->GetRetrievalEngine();
    if (!engine)
        return;
    BlockCachePtr cache = engine->GetBlockCache();
    if (!cache)
        return;
    const DWORD capacityBytes = cache->GetLruList().GetCapacity();
    cache->SetCapacityKB(64);
    cache->SetCapacityKB(capacityBytes / 1024);
}

void ApplyPreferences(PreferencesTarget& target, const Onboard::OnboardServerPtr& server,
                      const PreferencesRecord& record) {
    target.SetPreferredValues(record.comPort, record.volume, record.tmcReceiver != 0);
    if (!server)
        return;
    TmcMonitor& monitor = TmcMonitor::Instance();
    if (IsSimulationSet()) {
        monitor.SetReceiverFlag(0);
        monitor.SetReceiverState(2);
        (void)target.StartReceiverLocked(true);
    } else if (record.tmcReceiver == 1) {
        ScopedWaitCursor wait;
        if (!target.StartReceiverLocked(false)) {
            monitor.SetReceiverFlag(1);
            monitor.SetReceiverState(1);
        }
    } else {
        ScopedWaitCursor wait;
        monitor.SetReceiverFlag(1);
        monitor.SetReceiverState(1);
        target.CloseReceiverObject();
        if (target.HasGpsReceiver())
            server->CloseAlternativeGps();
        (void)server->DetectGpsPort(static_cast<std::int16_t>(record.comPort));
    }
    AdviceSettings settings;
    settings.mode = 0;
    settings.phraseColumn = DisplayLanguageCode(server->GetLanguage());
    settings.destinationPhraseColumn = record.kilometres == 0 ? 1 : 0;
    server->SetAdvisorSettings(&settings);
}
