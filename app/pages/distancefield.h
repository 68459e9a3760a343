#pragma once
// The switchable distance field of the map pages: distance to the destination, remaining travel
// time or arrival time, each with its label text. The mode is read from and written back to
// "DistToDestMode" of "Preferences" in the settings file. Safe from any thread: one lock guards
// the record.

#include "utilities/usefulcode/critsect.h"

#include "platform/types.h"

#include <array>
#include <cstdint>
#include <string>

// "h:mm" of a remaining time in seconds (negative counts as 0).
[[nodiscard]] std::u16string FormatRemainingTime(std::int32_t seconds);
// "h:mm" of a clock time; with twelveHour "h:mm am" / "h:mm pm" on the conventional twelve-hour
// clock (00:05 is "12:05 am", 12:30 "12:30 pm", 13:05 "1:05 pm").
[[nodiscard]] std::u16string FormatClockTime(int hour, int minute, bool twelveHour);

class DistanceField {
public:
    static constexpr int kModeCount = 3;
    static constexpr int kDistanceMode = 0;
    static constexpr int kTimeMode = 1;
    static constexpr int kArrivalMode = 2;
    // Label string ids by mode.
    static constexpr std::array<UINT, kModeCount> kLabelIds = {554, 557, 555};

    // Reads the mode (out of range counts as 0) and loads the three labels.
    DistanceField();
    // Writes the mode back when the save flag is set.
    ~DistanceField();
    DistanceField(const DistanceField&) = delete;
    DistanceField& operator=(const DistanceField&) = delete;

    // Recomputes the three value texts from metres and seconds to go; the arrival time is the
    // local time now plus seconds. Returns whether the text of the current mode changed.
    bool Update(std::int32_t metres, std::int32_t seconds);
    // The current mode's label into labelWindow and its value into valueWindow when the value is
    // not empty (an empty value keeps the text shown). Null windows are skipped.
    void Refresh(HWND labelWindow, HWND valueWindow);
    // The next mode (0, 1, 2, 0 ...).
    void Advance();

    [[nodiscard]] int GetMode();
    void SetMode(int mode);
    [[nodiscard]] std::u16string GetValue(int mode);
    [[nodiscard]] std::u16string GetLabel(int mode);
    void SetKilometres(bool isOn);
    void SetTwelveHour(bool isOn);
    void SetSave(bool isOn);

private:
    CritSect m_lock;
    int m_mode = 0;
    std::array<std::u16string, kModeCount> m_values;
    std::array<std::u16string, kModeCount> m_labels;
    bool m_kilometres = true;
    bool m_twelveHour = false;
    bool m_save = true;
};
