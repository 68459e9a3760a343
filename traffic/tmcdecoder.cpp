#include "traffic/tmcdecoder.h"

#include "utilities/usefulcode/timestamp.h"

#include "platform/files/stdio.h"

#include <cstring>

namespace {

constexpr int kShortGroupDigits = 10;
constexpr int kFreeFormatBitsPerGroup = 28;
constexpr int kFreeFormatBits = 8 * static_cast<int>(sizeof(TmcRawMessage::freeFormat));

// Only '0'-'9' and 'A'-'F' are digits; lower-case letters end a group, as does any other byte.
int DigitValue(unsigned char character) {
    if (character >= '0' && character <= '9') {
        return character - '0';
    }
    if (character >= 'A' && character <= 'F') {
        return character - 'A' + 10;
    }
    return -1;
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

TmcDecoder::TmcDecoder() = default;

TmcDecoder::~TmcDecoder() {
    CloseLog();
}

bool TmcDecoder::ReadCharacter(unsigned char character) {
    const int value = DigitValue(character);
    if (value < 0) {
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
    std::uint8_t& target = m_reader.bytes[m_reader.digitCount / 2];
    if (m_reader.digitCount % 2 == 0) {
        target = static_cast<std::uint8_t>(value * 16);
    } else {
        target = static_cast<std::uint8_t>(target + value);
    }
    ++m_reader.digitCount;
    if (m_reader.digitCount == m_reader.digitsPerGroup) {
        m_reader.digitCount = 0;
        return true;
    }
    return false;
}

int TmcDecoder::Decode(const char* bytes, int count) {
    ScopedLock lock(&m_lock);
    for (int index = 0; index < count; ++index) {
        if (ReadCharacter(static_cast<unsigned char>(bytes[index])) && HandleGroup()) {
            return index + 1;
        }
    }
    return count;
}

bool TmcDecoder::HandleGroup() {
    const std::uint8_t* group = m_reader.bytes;
    const std::uint8_t high = group[2];
    const std::uint8_t low = group[3];
    const auto blockC = static_cast<std::uint16_t>(group[4] << 8 | group[5]);
    const auto blockD = static_cast<std::uint16_t>(group[6] << 8 | group[7]);
    const bool isVersionA = (high & 0x08) == 0;
    if ((high >> 4) == 3 && isVersionA) {
        if (blockC < 16384) { // variant 0: the location table number in bits 11-6
            m_locationTableNumber = (blockC >> 6) & 0x3FU;
        }
        return false;
    }
    if ((high >> 4) == 8 && isVersionA && (low & 0x10) == 0) {
        return HandleUserMessage(high, low, blockC, blockD);
    }
    return false;
}

bool TmcDecoder::HandleUserMessage(std::uint8_t high, std::uint8_t low, std::uint16_t blockC,
                                   std::uint16_t blockD) {
    if ((low & 0x08) != 0) {
        StartMessage(high);
        m_buildState = 0;
        m_isMessageReady = 1;
        return true;
    }
    if ((blockC & 0x8000) != 0) {
        StartMessage(high);
        m_buildState = 1;
        return false;
    }
    if (m_buildState != 0 && (low & 0x07) == (m_message.blockBLow & 0x07) &&
        AddSubsequentGroup(blockC, blockD)) {
        if (m_groupsExpected == 0) {
            FinishMessage();
            return true;
        }
        return false;
    }
    // Out of sequence: the partial message is abandoned.
    m_buildState = 0;
    return false;
}

void TmcDecoder::StartMessage(std::uint8_t high) {
    std::memcpy(&m_message, m_reader.bytes, 8);
    m_message.tableAndProgrammeType =
        static_cast<std::uint8_t>(((m_locationTableNumber & 0x3FU) << 2) | (high & 0x03U));
    std::memset(m_message.freeFormat, 0, sizeof m_message.freeFormat);
    std::memset(m_message.reserved, 0, sizeof m_message.reserved);
    std::uint32_t seconds = 0;
    (void)LocalTimeSince1970(&seconds);
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
