#pragma once
// The GPS status dialog: time, position, satellites and accuracy of the latest matched
// position. Update may come from any thread (the receiver's reconnect thread among them): the
// records are swapped under a lock, drawing copies them under it, and only InvalidateRect
// crosses threads. Everything else on the user-interface thread.

#include "positioning/matchedposition.h"
#include "ui/dialogbase.h"

#include <mutex>
#include <string>

class GpsDlg : public DialogBase {
public:
    static constexpr UINT kSatellitesId = 101;
    static constexpr UINT kLongitudeId = 102;
    static constexpr UINT kLatitudeId = 103;
    static constexpr UINT kTimeId = 104;
    static constexpr UINT kHdopId = 105;
    static constexpr UINT kQualityId = 106;

    GpsDlg();

    // Takes position as the latest; while the window exists the items whose values changed
    // against the last shown record are invalidated.
    void Update(const MatchedPosition& position);
    // The text item id shows for position; the satellite item is empty when the fix carries
    // GpsFix::kNotDelivered, the time item when its time is 0 (not delivered).
    [[nodiscard]] std::u16string FormatItem(UINT id, const MatchedPosition& position) const;

    void DrawItem(HDC dc, UINT id, const RECT& rect, const std::u16string& text) override;

private:
    // "%d°%d´%d´´ %s": degrees, minutes and seconds of |value| (each truncated) and the
    // hemisphere text for 0 < value < limit (positive) or -limit < value < 0 (negative).
    [[nodiscard]] static std::u16string Sexagesimal(double value, double limit,
                                                    const std::u16string& positive,
                                                    const std::u16string& negative);

    std::mutex lock_;
    MatchedPosition shown_;
    MatchedPosition latest_;
    std::u16string east_;
    std::u16string west_;
    std::u16string north_;
    std::u16string south_;
};
