#include "app/pages/distancefield.h"

#include "ui/dialogbase.h"
#include "utilities/usefulcode/apppaths.h"
#include "utilities/usefulcode/distancetext.h"
#include "utilities/usefulcode/iniprofile.h"

#include "platform/kernel/time.h"
#include "platform/shell/resources.h"
#include "platform/window/window.h"

#include <algorithm>
#include <cstdio>

namespace {

constexpr int kLabelMax = 64;
constexpr std::int64_t kFileTimeUnitsPerSecond = 10'000'000;
constexpr char16_t kDistancePreferences[] = u"Preferences";
constexpr char16_t kModeKey[] = u"DistToDestMode";

std::u16string Widen(const char* text) {
    std::u16string wide;
    for (; *text != '\0'; ++text) {
        wide.push_back(static_cast<char16_t>(static_cast<unsigned char>(*text)));
    }
    return wide;
}

std::u16string LoadFieldLabel(UINT id) {
    return LoadDialogString(id, static_cast<int>(kLabelMax));
}

// Local time now plus seconds, through file-time arithmetic; the hour and minute, or nothing
// when the time cannot be converted.
bool ArrivalClock(std::int32_t seconds, int& hour, int& minute) {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    FILETIME fileTime{};
    if (!SystemTimeToFileTime(&now, &fileTime)) {
        return false;
    }
    const std::uint64_t later =
        platform::FileTimeValue(fileTime) + static_cast<std::uint64_t>(std::max(seconds, 0)) *
                                                static_cast<std::uint64_t>(kFileTimeUnitsPerSecond);
    const FILETIME arrival = platform::MakeFileTime(later);
    SYSTEMTIME result{};
    if (!FileTimeToSystemTime(&arrival, &result)) {
        return false;
    }
    hour = result.wHour;
    minute = result.wMinute;
    return true;
}

} // namespace

std::u16string FormatRemainingTime(std::int32_t seconds) {
    const std::int32_t total = std::max(seconds, 0);
    char buffer[32] = {};
    (void)std::snprintf(buffer, sizeof buffer, "%d:%02d", total / 3600, (total % 3600) / 60);
    return Widen(buffer);
}

std::u16string FormatClockTime(int hour, int minute, bool twelveHour) {
    char buffer[32] = {};
    if (!twelveHour) {
        (void)std::snprintf(buffer, sizeof buffer, "%d:%02d", hour, minute);
    } else {
        const int shown = hour % 12 == 0 ? 12 : hour % 12;
        (void)std::snprintf(buffer, sizeof buffer, "%d:%02d %s", shown, minute,
                            hour < 12 ? "am" : "pm");
    }
    return Widen(buffer);
}

DistanceField::DistanceField() {
    const std::u16string settings = AppPaths::GetSettingsFilePath();
    const int mode = IniProfile::GetInt(kDistancePreferences, kModeKey, settings.c_str(), 0);
    m_mode = mode >= 0 && mode < kModeCount ? mode : 0;
    for (int i = 0; i < kModeCount; ++i) {
        m_labels[static_cast<std::size_t>(i)] =
            LoadFieldLabel(kLabelIds[static_cast<std::size_t>(i)]);
    }
}

DistanceField::~DistanceField() {
    if (m_save) {
        const std::u16string settings = AppPaths::GetSettingsFilePath();
        (void)IniProfile::WriteInt(kDistancePreferences, kModeKey, m_mode, settings.c_str());
    }
}

bool DistanceField::Update(std::int32_t metres, std::int32_t seconds) {
    std::array<std::u16string, kModeCount> fresh;
    bool kilometres = true;
    bool twelveHour = false;
    {
        ScopedLock lock(&m_lock);
        kilometres = m_kilometres;
        twelveHour = m_twelveHour;
    }
    fresh[kDistanceMode] = FormatDistanceText(metres, !kilometres);
    fresh[kTimeMode] = FormatRemainingTime(seconds);
    int hour = 0;
    int minute = 0;
    if (ArrivalClock(seconds, hour, minute)) {
        fresh[kArrivalMode] = FormatClockTime(hour, minute, twelveHour);
    }
    ScopedLock lock(&m_lock);
    bool currentChanged = false;
    for (std::size_t i = 0; i < fresh.size(); ++i) {
        if (fresh[i].empty() || fresh[i] == m_values[i]) {
            continue;
        }
        m_values[i] = fresh[i];
        currentChanged = currentChanged || static_cast<int>(i) == m_mode;
    }
    return currentChanged;
}

void DistanceField::Refresh(HWND labelWindow, HWND valueWindow) {
    std::u16string label;
    std::u16string value;
    {
        ScopedLock lock(&m_lock);
        label = m_labels[static_cast<std::size_t>(m_mode)];
        value = m_values[static_cast<std::size_t>(m_mode)];
    }
    if (labelWindow != nullptr) {
        (void)SetWindowTextW(labelWindow, label.c_str());
    }
    if (valueWindow != nullptr && !value.empty()) {
        (void)SetWindowTextW(valueWindow, value.c_str());
    }
}

void DistanceField::Advance() {
    ScopedLock lock(&m_lock);
    m_mode = (m_mode + 1) % kModeCount;
}

int DistanceField::GetMode() {
    ScopedLock lock(&m_lock);
    return m_mode;
}

void DistanceField::SetMode(int mode) {
    ScopedLock lock(&m_lock);
    if (mode >= 0 && mode < kModeCount) {
        m_mode = mode;
    }
}

std::u16string DistanceField::GetValue(int mode) {
    ScopedLock lock(&m_lock);
    return mode >= 0 && mode < kModeCount ? m_values[static_cast<std::size_t>(mode)]
                                          : std::u16string();
}

std::u16string DistanceField::GetLabel(int mode) {
    ScopedLock lock(&m_lock);
    return mode >= 0 && mode < kModeCount ? m_labels[static_cast<std::size_t>(mode)]
                                          : std::u16string();
}

void DistanceField::SetKilometres(bool isOn) {
    ScopedLock lock(&m_lock);
    m_kilometres = isOn;
}

void DistanceField::SetTwelveHour(bool isOn) {
    ScopedLock lock(&m_lock);
    m_twelveHour = isOn;
}

void DistanceField::SetSave(bool isOn) {
    ScopedLock lock(&m_lock);
    m_save = isOn;
}
