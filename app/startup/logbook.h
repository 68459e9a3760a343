#pragma once
// The trip logbook: start, checkpoint, status and stop lines in a tab-separated text file (code
// page 1252, one character per byte), each with the address of the position, date, time, leg and
// total durations and kilometres. A status line is replaced in place by the next status,
// checkpoint or stop line. One lock guards the values: AccumulateDistance may run on the GPS
// worker, everything else on the user-interface thread.

#include "basiccomp/retrievalengine/code/iretrievalengine.h"
#include "positioning/matchedposition.h"

#include "platform/types.h"

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

struct NavFile;

// Place and street of a logbook line; empty without a matched element.
struct LogbookAddress {
    std::u16string place;  // name of the element's level-2 area
    std::u16string street; // element name, then two blanks and the house number when known
};

// The address of position's matched street element (none for a null position or engine, or
// street -1). The house number is the first of the element's second side, else of its first
// side, used when it is neither 0 nor 0xFFFF.
[[nodiscard]] LogbookAddress ReadLogbookAddress(const MatchedPosition* position,
                                                RetrievalEngine::IRetrievalEngine* engine);

class Logbook {
public:
    // Language-library strings of the line labels and the first of the ten column titles.
    static constexpr UINT kStartLabel = 1162;
    static constexpr UINT kCheckpointLabel = 1163;
    static constexpr UINT kStatusLabel = 1164;
    static constexpr UINT kStopLabel = 1165;
    static constexpr UINT kFirstTitle = 1152;
    static constexpr int kTitleCount = 10;
    // Moves of this many metres or less add nothing.
    static constexpr double kMinimumMove = 1.5;

    // filePath: the logbook's device path (AppPaths::GetLogbookFilePath).
    explicit Logbook(std::u16string filePath);
    Logbook(const Logbook&) = delete;
    Logbook& operator=(const Logbook&) = delete;

    [[nodiscard]] const std::u16string& GetFilePath() const { return m_filePath; }

    // Zeroes the position, distances, times and status-entry count; keeps the running flag,
    // the status-line mark and the line width.
    void Reset();

    // Writes one line (see the file comment). isStatus: a status line (its label is appended to
    // prefix); isFinal: a checkpoint or stop, which ends a series of status lines. A status,
    // checkpoint or stop replaces the file's last line only while that is a status line this
    // logbook wrote. A line that cannot be written (the file cannot be opened) is dropped,
    // changes neither the status-entry count nor the status-line mark, and is reported to the
    // unwritable-file handler.
    void WriteEntry(const MatchedPosition* position, RetrievalEngine::IRetrievalEngine* engine,
                    bool isStatus, const std::u16string& purpose, const std::u16string& prefix,
                    bool isFinal);
    // The same with the address already read.
    void WriteEntry(const LogbookAddress& address, bool isStatus, const std::u16string& purpose,
                    std::u16string prefix, bool isFinal);
    // A status line without texts (the main window's timer 1).
    void WriteStatusEntry(const MatchedPosition* position,
                          RetrievalEngine::IRetrievalEngine* engine);

    // Counts the move to (longitude, latitude) in degrees while the logbook runs. 0 when the
    // position only became the first one, 1 otherwise. Only the exact (0, 0) counts as "no
    // position yet".
    int AccumulateDistance(double longitude, double latitude);

    // An empty line, the ten column titles and the start label: the prefix of a start line.
    [[nodiscard]] static std::u16string StartPrefix();
    // Hours (at least two digits, unbounded), minutes and seconds: "100:00:00", "00:00:09".
    [[nodiscard]] static std::u16string FormatDuration(std::uint32_t seconds);
    // Kilometres with one decimal and a decimal comma: 1234.5 m gives "1,2".
    [[nodiscard]] static std::u16string FormatKilometres(double metres);

    // Who hears that a line could not be written to the file: the application, to tell the
    // user. It hears once in the logbook's life (the first failure while a handler is set), on
    // the writing thread after the write, with the file's path. An empty handler hears nothing.
    using UnwritableFileHandler = std::function<void(const std::u16string& path)>;
    void SetUnwritableFileHandler(UnwritableFileHandler handler);

    [[nodiscard]] bool IsRunning() const;
    void SetRunning(bool isRunning);
    // Set when the logbook dialog ran while a trip was logged; asks for the conversion at quit.
    [[nodiscard]] bool IsUsed() const;
    void MarkUsed();
    [[nodiscard]] double GetTotalDistance() const;
    [[nodiscard]] std::int32_t GetStatusEntries() const;
    [[nodiscard]] bool HasStatusLine() const;

private:
    // Under the lock: moves the file position to the start of the file's last line and returns
    // the width a replacing line is padded to (40 plus the bytes read backwards).
    [[nodiscard]] static std::size_t SeekLastLine(NavFile* file);
    // Under the lock: writes the line of WriteEntry; false when it could not be written.
    [[nodiscard]] bool AppendEntry(const LogbookAddress& address, bool isStatus,
                                   const std::u16string& purpose, std::u16string prefix,
                                   bool isFinal);

    mutable std::mutex m_mutex;
    const std::u16string m_filePath;
    float m_lastLongitude = 0.0F;
    float m_lastLatitude = 0.0F;
    double m_totalDistance = 0.0;
    double m_distanceAtLastEntry = 0.0;
    double m_lastLeg = 0.0;
    std::uint32_t m_startTime = 0; // seconds of the tick count; 0 = not started
    std::uint32_t m_lastEntryTime = 0;
    std::uint32_t m_previousEntryTime = 0;
    bool m_isRunning = false;
    bool m_isUsed = false;
    std::int32_t m_statusEntries = 0;
    bool m_hasStatusLine = false;
    std::size_t m_lineWidth = 0; // 0 = not yet known
    UnwritableFileHandler m_unwritableHandler;
    bool m_isUnwritableTold = false;
};
