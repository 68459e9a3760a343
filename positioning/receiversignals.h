#pragma once
// The signals of an FM/RDS receiver: station, radiotext and alternative frequencies, and the
// base that adds a notification without values. Each is an EventSource with its own lock;
// they fire on the thread that handles the receiver's reports (the user-interface thread).

#include "utilities/usefulcode/eventsource.h"

#include "platform/types.h"

#include <string>
#include <vector>

class ReceiverSignals {
public:
    // (frequency in 0.1 MHz, station identifier (RDS PI), station name)
    using StationSignal = EventSource<DWORD, DWORD, std::u16string>;
    using RadiotextSignal = EventSource<std::u16string>;
    // The alternative frequencies in 0.1 MHz, in the station's order.
    using AlternativeFrequencySignal = EventSource<std::vector<DWORD>>;

    ReceiverSignals() = default;
    virtual ~ReceiverSignals() = default;
    ReceiverSignals(const ReceiverSignals&) = delete;
    ReceiverSignals& operator=(const ReceiverSignals&) = delete;

    [[nodiscard]] StationSignal& GetStationSignal() noexcept { return m_station; }
    [[nodiscard]] RadiotextSignal& GetRadiotextSignal() noexcept { return m_radiotext; }
    [[nodiscard]] AlternativeFrequencySignal& GetAlternativeFrequencySignal() noexcept {
        return m_alternativeFrequencies;
    }

private:
    StationSignal m_station;
    RadiotextSignal m_radiotext;
    AlternativeFrequencySignal m_alternativeFrequencies;
};

// Adds the receiver's notification signal (for the receiver library: "receiver lost").
class ReceiverNotificationSignals : public ReceiverSignals {
public:
    [[nodiscard]] EventSource<>& GetNotificationSignal() noexcept { return m_notification; }

private:
    EventSource<> m_notification;
};
