#include "traffic/tmcdecoder.h"

#include "utilities/usefulcode/timestamp.h"

#include "platform/files/stdio.h"
#include "platform/kernel/time.h"

#include <array>
#include <bit>
#include <cstring>

namespace {

constexpr int kFullGroupDigits = 16;
constexpr int kShortGroupDigits = 10;
constexpr std::uint64_t kFileTimePerSecond = 10000000;
constexpr int kFreeFormatBitsPerGroup = 28;
constexpr int kFreeFormatBits = 8 * static_cast<int>(sizeof(TmcRawMessage::freeFormat));
// Identical copies in a row of a group that finished a message, taken as one sending. Stations
// repeat each group two or three times; a station with a single message sends it again and
// again, and each later sending must still come out, or the store lets the message expire.
constexpr int kCopiesPerSending = 4;
// Open data application ids of TMC in block D of a group 3A. Stations announce other applications
// in groups 3A too (RT+ beside TMC), whose block C means something else.
constexpr std::uint16_t kTmcApplicationId = 0xCD46;
constexpr std::uint16_t kTmcSecondApplicationId = 0xCD47;
// The group bytes a copy shares with its original: the programme identification, block B's low
// five bits, blocks C and D. The programme type and traffic programme flag may change while a
// station repeats a group.
constexpr auto kRepeatMask = std::bit_cast<std::uint64_t>(
    std::array<std::uint8_t, 8>{0xFF, 0xFF, 0x00, 0x1F, 0xFF, 0xFF, 0xFF, 0xFF});

std::uint16_t ProgrammeIdOf(const std::uint8_t* group) {
    return static_cast<std::uint16_t>(group[0] << 8 | group[1]);
}

std::uint64_t RepeatKey(const std::uint8_t* group) {
    std::uint64_t value = 0;
    std::memcpy(&value, group, sizeof value);
    return value & kRepeatMask;
}

// Only '0'-'9' and 'A'-'F' are digits (value 0-15); lower-case letters end a group, as does any
// other byte (-1).
constexpr std::array<std::int16_t, 256> kDigitValues = [] {
    std::array<std::int16_t, 256> values{};
    for (int character = 0; character < 256; ++character) {
        std::int16_t value = -1;
        if (character >= '0' && character <= '9') {
            value = static_cast<std::int16_t>(character - '0');
        } else if (character >= 'A' && character <= 'F') {
            value = static_cast<std::int16_t>(character - 'A' + 10);
        }
        values[static_cast<std::size_t>(character)] = value;
    }
    return values;
}();

// Byte values of two digits (first digit in the low byte of the index), -1 for any other pair.
const std::array<std::int16_t, 65536>& DigitPairValues() {
    static const std::array<std::int16_t, 65536> table = [] {
        std::array<std::int16_t, 65536> values{};
        for (std::size_t index = 0; index < values.size(); ++index) {
            const int high = kDigitValues[index & 0xFF];
            const int low = kDigitValues[index >> 8];
            values[index] = static_cast<std::int16_t>(high < 0 || low < 0 ? -1 : high << 4 | low);
        }
        return values;
    }();
    return table;
}

void PutBits(std::uint8_t* buffer, int position, std::uint32_t value, int width) {
    for (int bit = 0; bit < width; ++bit) {
        const int target = position + bit;
        if (target >= kFreeFormatBits) {
            return;
        }
        if ((value >> (width - 1 - bit)) & 1U) {
            buffer[target / 8] =
                static_cast<std::uint8_t>(buffer[target / 8] | (0x80U >> (target % 8)));
        }
    }
}

} // namespace

TmcDecoder::TmcDecoder()
    : m_pairValues(DigitPairValues()) {}

TmcDecoder::~TmcDecoder() {
    CloseLog();
}

bool TmcDecoder::EndGroup() {
    const bool isShortGroup = m_reader.digitCount == kShortGroupDigits;
    m_reader.digitCount = 0;
    if (!isShortGroup) {
        return false;
    }
    // B's low byte, C and D of a group 8A without programme identification.
    std::memmove(m_reader.bytes + 3, m_reader.bytes, 5);
    m_reader.bytes[0] = 0x00;
    m_reader.bytes[1] = 0x00;
    m_reader.bytes[2] = 0x80;
    return true;
}

// The common case of a whole group in the text, read two digits at a time.
bool TmcDecoder::ReadWholeGroup(const char* digits) {
    const std::array<std::int16_t, 65536>& pairs = m_pairValues;
    std::uint8_t group[8];
    int invalid = 0;
    for (std::size_t index = 0; index < 8; ++index) {
        const auto* pair = reinterpret_cast<const unsigned char*>(digits + 2 * index);
        const int value = pairs[static_cast<std::size_t>(pair[0] | pair[1] << 8)];
        invalid |= value;
        group[index] = static_cast<std::uint8_t>(value);
    }
    if (invalid < 0) {
        return false;
    }
    std::memcpy(m_reader.bytes, group, sizeof group);
    return true;
}

int TmcDecoder::Decode(const char* bytes, int count) {
    ScopedLock lock(&m_lock);
    const int digitsPerGroup = m_reader.digitsPerGroup;
    int digits = m_reader.digitCount;
    for (int index = 0; index < count; ++index) {
        if (digits == 0 && m_reader.isLineStart && digitsPerGroup == kFullGroupDigits &&
            count - index >= kFullGroupDigits && ReadWholeGroup(bytes + index)) {
            index += kFullGroupDigits - 1;
            m_reader.isLineStart = false;
            m_reader.isGroupRead = true; // taken when the next character ends it
            continue;
        }
        const char character = bytes[index];
        const int value = kDigitValues[static_cast<unsigned char>(character)];
        if (value >= 0) {
            if (digits == 0) {
                m_reader.isLineDigits = m_reader.isLineStart;
            }
            m_reader.isGroupRead = false; // the group's line goes on with digits: no group
            m_reader.isLineStart = false;
            std::uint8_t& target = m_reader.bytes[digits / 2];
            target = (digits % 2 == 0) ? static_cast<std::uint8_t>(value << 4)
                                       : static_cast<std::uint8_t>(target | value);
            if (++digits != digitsPerGroup) {
                continue;
            }
            digits = 0;
            m_reader.isGroupRead = m_reader.isLineDigits; // digits within a line are none
            continue;
        }
        const bool isWholeGroup = m_reader.isGroupRead;
        m_reader.isGroupRead = false;
        m_reader.isLineStart = character == '\n' || character == '\r';
        m_reader.digitCount = m_reader.isLineDigits ? digits : 0;
        digits = 0;
        const bool isShortGroup = EndGroup();
        if (!EndsRdsGroup(character) || (!isWholeGroup && !isShortGroup)) {
            continue;
        }
        ++m_groupCount;
        if (HandleGroup()) {
            m_reader.digitCount = 0;
            return index + 1;
        }
    }
    m_reader.digitCount = digits;
    return count;
}

bool TmcDecoder::EndInput() {
    const char lineEnd = '\n';
    (void)Decode(&lineEnd, 1);
    return IsMessageReady();
}

bool TmcDecoder::HandleGroup() {
    const std::uint8_t* group = m_reader.bytes;
    // Every group but the 10-digit form names the station it came from: the tuned one.
    if (const std::uint16_t programmeId = ProgrammeIdOf(group); programmeId != 0) {
        m_tunedProgrammeId = programmeId;
    }
    const std::uint8_t high = group[2];
    const std::uint8_t low = group[3];
    const auto blockC = static_cast<std::uint16_t>(group[4] << 8 | group[5]);
    const auto blockD = static_cast<std::uint16_t>(group[6] << 8 | group[7]);
    const bool isVersionA = (high & 0x08) == 0;
    if ((high >> 4) == 3 && isVersionA) {
        const bool isTmc = blockD == kTmcApplicationId || blockD == kTmcSecondApplicationId;
        if (isTmc && blockC < 16384) { // variant 0: the location table number in bits 11-6
            m_locationTableNumber = (blockC >> 6) & 0x3FU;
            m_tableProgrammeId = ProgrammeIdOf(group);
        }
        return false;
    }
    if ((high >> 4) == 8 && isVersionA && (low & 0x10) == 0) {
        return HandleUserMessage(high, low, blockC, blockD);
    }
    return false;
}

bool TmcDecoder::IsRepeat() {
    if (m_lastGroup == LastGroup::None || RepeatKey(m_reader.bytes) != m_lastGroupKey) {
        return false;
    }
    // A copy can neither restart nor break a message being built; a copy of a finished
    // message's group is skipped for one sending only.
    if (m_lastGroup == LastGroup::Building || m_lastGroupCopies < kCopiesPerSending) {
        ++m_lastGroupCopies;
        return true;
    }
    return false;
}

bool TmcDecoder::HandleUserMessage(std::uint8_t high, std::uint8_t low, std::uint16_t blockC,
                                   std::uint16_t blockD) {
    if (IsRepeat()) {
        return false;
    }
    bool isFinished = false;
    if ((low & 0x08) != 0) {
        StartMessage(high);
        m_buildState = 0;
        m_isMessageReady = 1;
        isFinished = true;
    } else if ((blockC & 0x8000) != 0) {
        StartMessage(high);
        m_buildState = 1;
    } else if (m_buildState != 0 && (low & 0x07) == (m_message.blockBLow & 0x07) &&
               AddSubsequentGroup(blockC, blockD)) {
        if (m_groupsExpected == 0) {
            FinishMessage();
            isFinished = true;
        }
    } else {
        // Out of sequence: the partial message is abandoned.
        m_buildState = 0;
        m_lastGroup = LastGroup::None;
        return false;
    }
    m_lastGroupKey = RepeatKey(m_reader.bytes);
    m_lastGroup = isFinished ? LastGroup::Finished : LastGroup::Building;
    m_lastGroupCopies = 1;
    return isFinished;
}

void TmcDecoder::StartMessage(std::uint8_t high) {
    std::memcpy(&m_message, m_reader.bytes, 8);
    m_groupsExpected = 0;
    // The table number belongs to the station that announced it; another station's messages
    // take their country's default (0) until that station's own announcement comes. A message
    // without programme identification (the 10-digit form) is the tuned station's: the one the
    // last whole group named.
    std::uint16_t programmeId = ProgrammeIdOf(m_reader.bytes);
    if (programmeId == 0) {
        programmeId = m_tunedProgrammeId;
    }
    const std::uint32_t table =
        programmeId == 0 || programmeId == m_tableProgrammeId ? m_locationTableNumber : 0;
    m_message.tableAndProgrammeType =
        static_cast<std::uint8_t>(((table & 0x3FU) << 2) | (high & 0x03U));
    std::memset(m_message.freeFormat, 0, sizeof m_message.freeFormat);
    std::memset(m_message.reserved, 0, sizeof m_message.reserved);
    // The local time is worked out once per second of the clock: it costs more than the rest
    // of a message.
    const std::uint64_t utcSecond = platform::CurrentClock().UtcFileTime() / kFileTimePerSecond;
    if (utcSecond != m_timeKey) {
        (void)LocalTimeSince1970(&m_receptionSeconds);
        m_timeKey = utcSecond;
    }
    const std::uint32_t seconds = m_receptionSeconds;
    for (int index = 0; index < 4; ++index) {
        m_message.receptionTime[index] = static_cast<std::uint8_t>(seconds >> (8 * index));
    }
}

bool TmcDecoder::AddSubsequentGroup(std::uint16_t blockC, std::uint16_t blockD) {
    const int sequenceIndicator = (blockC >> 12) & 0x03;
    if ((blockC & 0x4000) != 0) {
        if (m_buildState != 1) {
            return false;
        }
        m_groupsExpected = sequenceIndicator;
        m_buildState = 2;
    } else {
        // Only after the second group: with that one missed, the message is lost.
        if (m_buildState < 2) {
            return false;
        }
        --m_groupsExpected;
        if (m_groupsExpected != sequenceIndicator) {
            return false;
        }
        ++m_buildState;
    }
    const std::uint32_t data = (std::uint32_t{blockC} & 0x0FFFU) << 16 | blockD;
    PutBits(m_message.freeFormat, (m_buildState - 2) * kFreeFormatBitsPerGroup, data,
            kFreeFormatBitsPerGroup);
    return true;
}

void TmcDecoder::FinishMessage() {
    m_message.blockBLow = static_cast<std::uint8_t>(m_message.blockBLow & ~0x07U);
    m_isMessageReady = 1;
}

bool TmcDecoder::IsMessageReady() const {
    ScopedLock lock(&m_lock);
    return m_isMessageReady != 0;
}

const TmcRawMessage* TmcDecoder::TakeMessage() {
    ScopedLock lock(&m_lock);
    if (m_isMessageReady == 0) {
        return nullptr;
    }
    m_isMessageReady = 0;
    return &m_message;
}

void TmcDecoder::Reset() {
    ScopedLock lock(&m_lock);
    m_buildState = 0;
    m_groupsExpected = 0;
    m_isMessageReady = 0;
    m_reader.digitCount = 0;
    // The input starts again: a group whose line had not ended is dropped.
    m_reader.isGroupRead = false;
    m_reader.isLineStart = true;
    m_lastGroup = LastGroup::None;
}

std::uint64_t TmcDecoder::GetGroupCount() const {
    ScopedLock lock(&m_lock);
    return m_groupCount;
}

int TmcDecoder::GetBuildState() const {
    ScopedLock lock(&m_lock);
    return m_buildState;
}

std::uint32_t TmcDecoder::GetLocationTableNumber() const {
    ScopedLock lock(&m_lock);
    return m_locationTableNumber;
}

bool TmcDecoder::OpenLog(const std::u16string& path) {
    ScopedLock lock(&m_logLock);
    if (m_log != nullptr) {
        (void)fclose(m_log);
    }
    m_log = _wfopen(path.c_str(), u"w+b");
    return m_log != nullptr;
}

void TmcDecoder::CloseLog() {
    ScopedLock lock(&m_logLock);
    if (m_log != nullptr) {
        (void)fflush(m_log);
        (void)fclose(m_log);
        m_log = nullptr;
    }
}

void TmcDecoder::LogBytes(const char* bytes, int count) {
    ScopedLock lock(&m_logLock);
    if (m_log != nullptr && count > 0) {
        (void)fwrite(bytes, 1, static_cast<std::size_t>(count), m_log);
    }
}
