#pragma once
// Data-driven parsing of receiver sentences into GpsFix records. A protocol section of the GPS
// settings file names the four delimiters, the sentences (Input1..Input9: identifier, then one
// field name per position) with a multiplier and an offset per field, and the init sentences
// (Init1..Init9). The same definition turns a GpsFix back into sentences.
//
// Locks: the rate lock guards the pacing rate, the log lock the raw log, the protocol lock the
// definition and the parsing state. The rate lock is taken before the protocol lock, never after.

#include "positioning/matchedposition.h"
#include "utilities/usefulcode/critsect.h"

#include "platform/files/stdio.h"
#include "platform/types.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <string_view>

// One named value of the definition and the text the last sentence delivered for it.
struct SentenceField {
    std::u16string name;
    std::u16string identifier; // of the input that delivers it
    float multiplier = 1.0f;
    float offset = 0.0f;
    std::u16string text; // replaced by each sentence delivering it, kept between cycles
};

// One sentence of the definition.
struct SentenceInput {
    std::u16string identifier;
    std::uint32_t positionCount = 0;                // field positions after the identifier
    std::uint32_t number = 0;                       // N of its key InputN
    std::map<std::uint32_t, SentenceField*> fields; // by 0-based position; unassigned ones absent
};

// The values of one completed cycle, converted from its field texts when its last sentence
// arrived; "has" false where the definition lacks the field.
struct SentenceCycle {
    std::uint32_t sentenceCount = 0; // sentences counted since the cycle before
    std::uint64_t end = 0;           // characters fed up to the end of its last sentence
    bool isUtcTimeGiven = false;     // defined and its text not empty: an empty one delivers none
    std::int32_t hhmmss = 0;
    bool hasLongitude = false;
    bool hasLatitude = false; // only with a longitude
    float longitude = 0.0f;
    float latitude = 0.0f;
    bool isWest = false;
    bool isSouth = false;
    bool hasCourse = false;
    bool hasSpeed = false;
    bool hasSatellites = false;
    bool hasHdop = false;
    std::uint16_t course = 0;
    std::uint16_t speed = 0;
    std::uint16_t satellites = 0;
    float hdop = 0.0f;
    bool isNoFix = false; // quality 0, or a status other than A
};

// The fields a fix is filled from, found by name when the definition is loaded; null when the
// definition lacks one.
struct SentenceFixFields {
    const SentenceField* utcTime = nullptr;
    const SentenceField* longitude = nullptr;
    const SentenceField* latitude = nullptr;
    const SentenceField* ew = nullptr;
    const SentenceField* ns = nullptr;
    const SentenceField* course = nullptr;
    const SentenceField* speed = nullptr;
    const SentenceField* satellites = nullptr;
    const SentenceField* hdop = nullptr;
    const SentenceField* quality = nullptr;
    const SentenceField* status = nullptr;
};

// The definition and the parsing state.
struct SentenceProtocol {
    std::map<std::u16string, SentenceField> fields;
    std::map<std::u16string, SentenceInput> inputs;
    SentenceFixFields fixFields;
    std::u16string buffer;               // received text not yet taken apart
    std::uint64_t fedCount = 0;          // characters appended to the buffer since loading
    std::deque<SentenceCycle> completed; // cycles whose fix has not been taken, oldest first
    std::uint32_t sentenceCount = 0;     // of the cycle in progress
    std::uint32_t inputCount = 0;
    std::uint32_t sequence = 0; // input number of the last sentence in order, 0 = none
    std::u16string startDelimiter = u"$";
    std::u16string checksumDelimiter = u"*";
    std::u16string endDelimiter = u"\r\n";
    std::u16string fieldDelimiter = u",";
    std::u16string initText;
    std::u16string name;
    std::uint32_t lastUtcTime = 0; // of the stream's previous fix (seconds since 1970); 0 = none
    std::int64_t lastDatedAt = 0;  // the clock's UTC seconds when that fix was dated
};

class SentenceParser {
public:
    // A buffer holding this many characters without an end delimiter is emptied.
    static constexpr std::size_t kMaxUnterminated = 221;

    SentenceParser() = default;
    ~SentenceParser();
    SentenceParser(const SentenceParser&) = delete;
    SentenceParser& operator=(const SentenceParser&) = delete;

    // Replaces the definition by section protocolName of the settings file (a bare name lies
    // next to the executable), drops buffered text, resets the cycle, starts a new stream (its
    // first fix is dated from the clock) and sets the pacing rate to the number of inputs. A
    // missing section leaves no inputs: no cycle ever completes.
    void Load(const std::u16string& settingsPath, const std::u16string& protocolName);

    // Appends bytes (system code page) to the buffer and interprets every whole sentence in it,
    // in time linear in the bytes. Sentences with a wrong checksum or an unknown identifier are
    // counted but change nothing; one without a checksum delimiter before its end delimiter is
    // dropped uncounted. Each cycle completed on the way waits, with its values, until its fix
    // is taken: one call may complete several.
    void Feed(const char* bytes, std::size_t count);

    // True while a completed cycle waits: one sentence of every input arrived in input order.
    // Callers take each in turn (FillFix, ResetCycle) until this is false.
    [[nodiscard]] bool IsCycleComplete();
    // Milliseconds the sentences of the oldest waiting cycle (without one, those counted so far)
    // take at the pacing rate; 0 without pacing.
    [[nodiscard]] DWORD PacingDelay();
    // Drops the oldest waiting cycle once its fix is taken. Without one, the cycle in progress
    // starts afresh: its counted sentences and its place in the input order are forgotten.
    void ResetCycle();
    // Fills the fix from the oldest waiting cycle, without one from the current field texts;
    // fields the definition lacks are marked as not delivered, except the coordinates, which
    // then keep their values. A "quality" of 0 or a "status" not beginning with A sets hdop to
    // -1.0, the mark of a cycle without a valid position. The UTC time of day is dated on the day
    // that puts it nearest to the stream's previous fix; the first fix after Load, or after more
    // than 12 hours by the clock without one, on the day that puts it nearest to now.
    void FillFix(GpsFix& fix);
    // Characters fed after the end of the oldest waiting cycle's last sentence; 0 without one.
    [[nodiscard]] std::uint64_t GetCharactersAfterCycle();
    // Sets the field texts from the fix and appends one framed sentence per input.
    void FormatFix(const GpsFix& fix, std::u16string& out);

    // Closes any open raw log and opens path anew ("w+b"); false when it cannot be opened.
    bool OpenRawLog(const std::u16string& path);
    void CloseRawLog();
    // Writes bytes unchanged to the raw log when one is open.
    void LogBytes(const char* bytes, std::size_t count);

    void SetSentenceRate(float sentencesPerSecond);
    [[nodiscard]] float GetSentenceRate();
    // The framed init sentences, to be sent to a receiver after opening it.
    [[nodiscard]] std::u16string GetInitText();

    // Observations of the parsing state.
    [[nodiscard]] std::uint32_t GetSentenceCount();
    [[nodiscard]] std::uint32_t GetInputCount();
    [[nodiscard]] std::size_t GetBufferedLength();

    // "^hh" escapes replaced by the character of code hh; stops at a "^" with fewer than two
    // characters after it or followed by another "^".
    [[nodiscard]] static std::u16string Unescape(std::u16string_view text);

private:
    // start + body + checksum delimiter + two hexadecimal digits + end; under the protocol lock.
    [[nodiscard]] std::u16string Frame(std::u16string_view body) const;
    // Under the protocol lock.
    void Interpret(std::u16string_view body);
    // The values of the current field texts; under the protocol lock.
    [[nodiscard]] SentenceCycle Capture() const;
    // The cycle's time of day dated (seconds since 1970; 0 for no such time of day) and kept as
    // the stream's last; under the protocol lock.
    [[nodiscard]] std::uint32_t DateTimeOfDay(const SentenceCycle& cycle);

    CritSect m_rateLock;
    float m_rate = 0.0f; // sentences per second; 0 = no pacing
    CritSect m_logLock;
    NavFile* m_log = nullptr;
    CritSect m_protocolLock;
    SentenceProtocol m_protocol;
};
