#pragma once
// Turns RDS groups written as hexadecimal text (16 digits A B C D per group, or 10 digits for a
// group 8A without programme identification, each at the start of a line and ended by a line end or
// a blank, after which a line may go on, e.g. with the time of reception; digits later in a line,
// as in other receivers' sentences with long hexadecimal fields, are none, and a group whose digits
// go on, or that another character ends, is none either) into TmcRawMessage records: groups 3A
// announcing TMC (application id CD46 or CD47; other applications such as RT+ are announced in
// groups 3A too) give the location table number of the station that sends them, groups 8A the
// ALERT-C messages (ISO 14819-1), single or of up to five groups. A message carries the table
// number when its programme identification is that of the announcing station, else 0 (its country's
// default) until its own station's announcement comes. A message in the 10-digit form has none: it
// is the tuned station's, the one the last whole group (of any type) named, and carries the number
// only while that is the announcing station. A message whose second group was missed is dropped.
// Stations send each group two or three times in a row: a group 8A that repeats the last one taken
// (the same programme identification, low five bits of block B, blocks C and D; the programme type
// and traffic programme flag may change meanwhile) is skipped, whatever other groups or damaged
// lines come between. Up to four copies in a row of a group that finished a message count as one
// sending; a fifth sends the message again, so that a message a station keeps sending still comes
// out now and then. Safe from any thread: every operation takes the decoder lock.

#include "traffic/tmcrawmessage.h"
#include "utilities/usefulcode/critsect.h"

#include <array>
#include <cstdint>
#include <string>

struct NavFile;

// True for a character that ends a group's digits so that the group counts and is taken: a line
// feed, a carriage return, a blank or a tab. Any other character after the digits makes the line
// one of another format.
[[nodiscard]] constexpr bool EndsRdsGroup(char character) noexcept {
    return character == '\n' || character == '\r' || character == ' ' || character == '\t';
}

class TmcDecoder {
public:
    TmcDecoder();
    ~TmcDecoder();
    TmcDecoder(const TmcDecoder&) = delete;
    TmcDecoder& operator=(const TmcDecoder&) = delete;

    // Feeds count characters in order. Returns the number consumed: up to and including the
    // character that finished a message (the message is then ready), else count. A group is
    // taken at the character that ends it (EndsRdsGroup).
    [[nodiscard]] int Decode(const char* bytes, int count);
    // The input ended: its last line ends as at a line feed, so that a group on it without its
    // line end is taken and counted. True when that finished a message (it is then ready).
    [[nodiscard]] bool EndInput();
    [[nodiscard]] bool IsMessageReady() const;
    // The finished message (the decoder's own record, valid until the next Decode); clears the
    // ready flag. Null when no message is ready.
    [[nodiscard]] const TmcRawMessage* TakeMessage();
    // Forgets the partial group (a whole group whose line had not ended too) and message and the
    // last group taken; the input starts again with a line. The location table number, the station
    // it came from and the tuned station stay.
    void Reset();

    // 0 while idle, 1 after a first group, then the number of groups of the message received
    // (2 to 5); it stays at that number when the message is finished.
    [[nodiscard]] int GetBuildState() const;
    // Groups taken since construction: lines that start with one whole group (16 digits, or the
    // 10-digit form) which a line end or blank ends, of any type, repeats included. A group on the
    // last line counts when EndInput ends it; Reset keeps the count.
    [[nodiscard]] std::uint64_t GetGroupCount() const;
    // The number the last group 3A announcing TMC gave; 0 until one has been seen.
    [[nodiscard]] std::uint32_t GetLocationTableNumber() const;

    // Closes any open raw log and opens path with mode "w+b"; false when it cannot be opened.
    [[nodiscard]] bool OpenLog(const std::u16string& path);
    // Flushes and closes the raw log.
    void CloseLog();
    // Appends the bytes to the raw log, when one is open.
    void LogBytes(const char* bytes, int count);

private:
    // What the last group 8A taken did; its copies that follow are skipped.
    enum class LastGroup : std::uint8_t { None, Building, Finished };

    struct GroupReader {
        std::uint8_t bytes[8] = {};
        int digitCount = 0;
        int digitsPerGroup = 16;
        // The next character starts a line; the digits being read started theirs (digits that
        // did not are no group); a group of 16 digits was read, taken if the next character ends
        // it.
        bool isLineStart = true;
        bool isLineDigits = false;
        bool isGroupRead = false;
    };

    // True (and the group in m_reader) when the next 16 characters are all digits.
    bool ReadWholeGroup(const char* digits);
    // A non-digit: true when it completes a 10-digit group in m_reader.
    bool EndGroup();
    // True when the group finished a message.
    bool HandleGroup();
    bool HandleUserMessage(std::uint8_t high, std::uint8_t low, std::uint16_t blockC,
                           std::uint16_t blockD);
    // True when the group in m_reader is a copy of the last group taken, to be skipped.
    bool IsRepeat();
    void StartMessage(std::uint8_t high);
    bool AddSubsequentGroup(std::uint16_t blockC, std::uint16_t blockD);
    void FinishMessage();

    const std::array<std::int16_t, 65536>& m_pairValues;
    GroupReader m_reader;
    TmcRawMessage m_message{};
    std::uint32_t m_locationTableNumber = 0;
    std::uint16_t m_tableProgrammeId = 0; // the station whose group 3A gave the table number
    std::uint16_t m_tunedProgrammeId = 0; // the station of the last group that named one
    int m_buildState = 0;
    std::uint64_t m_groupCount = 0;
    int m_groupsExpected = 0;
    std::uint8_t m_isMessageReady = 0;
    std::uint64_t m_lastGroupKey = 0; // the bytes of the last group 8A taken a copy shares
    LastGroup m_lastGroup = LastGroup::None;
    int m_lastGroupCopies = 0; // copies of the last group seen in a row, itself included
    std::uint64_t m_timeKey = ~std::uint64_t{0}; // UTC second of m_receptionSeconds
    std::uint32_t m_receptionSeconds = 0;
    mutable CritSect m_lock;
    CritSect m_logLock;
    NavFile* m_log = nullptr;
};
