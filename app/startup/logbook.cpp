#include "app/startup/logbook.h"

#include "basiccomp/retrievalengine/code/mapelement.h"
#include "tablefiles/housenumber.h"
#include "ui/dialogbase.h"
#include "utilities/usefulcode/greatcircledistance.h"

#include "platform/files/stdio.h"
#include "platform/kernel/time.h"
#include "platform/registry/localeformat.h"

#include <cstdio>
#include <string>

namespace {

// Longest label, title or date/time text taken.
constexpr int kMaxTextLength = 128;
// The backward scan for the last line starts this many bytes before the end of the file.
constexpr long kScanStart = 41;
constexpr std::size_t kScanWidth = 40;

std::u16string Ascii(const char* text) {
    return std::u16string(text, text + std::char_traits<char>::length(text));
}

std::u16string LoadText(UINT id) {
    return LoadDialogString(id, kMaxTextLength);
}

std::uint32_t NowSeconds() {
    return GetTickCount() / 1000U;
}

std::uint32_t Difference(std::uint32_t a, std::uint32_t b) {
    return a > b ? a - b : b - a;
}

std::u16string FormatNow(bool isDate) {
    WCHAR buffer[kMaxTextLength + 1] = {};
    const int written = isDate ? GetDateFormatW(LOCALE_SYSTEM_DEFAULT, LOCALE_NOUSEROVERRIDE,
                                                nullptr, nullptr, buffer, kMaxTextLength)
                               : GetTimeFormatW(LOCALE_SYSTEM_DEFAULT, LOCALE_NOUSEROVERRIDE,
                                                nullptr, nullptr, buffer, kMaxTextLength);
    return written > 0 ? std::u16string(buffer) : std::u16string();
}

// The first number of the second side, else of the first side; 0 when there is none.
unsigned HouseNumberOf(const HouseNumberInfo& info) {
    const HouseNumberArray& side = info.secondSide.IsEmpty() ? info.firstSide : info.secondSide;
    return side.IsEmpty() ? 0U : side[0].GetNumber();
}

} // namespace

LogbookAddress ReadLogbookAddress(const MatchedPosition* position,
                                  RetrievalEngine::IRetrievalEngine* engine) {
    LogbookAddress address;
    if (position == nullptr || engine == nullptr ||
        position->street == MatchedPosition::kNoStreet) {
        return address;
    }
    six::IntfPtr<MapElement> element =
        engine->GetMappedElement(static_cast<std::uint32_t>(position->street));
    if (!element) {
        return address;
    }
    const std::int32_t area = element->WalkAreas(2);
    if (area != -1) {
        address.place = engine->LookupArea(static_cast<std::uint32_t>(area));
    }
    if (const char16_t* name = element->GetName(); name != nullptr) {
        address.street = name;
    }
    HouseNumberInfo info;
    if (element->GetHouseNumberInfo(info)) {
        const unsigned number = HouseNumberOf(info);
        if (number != 0 && number != 0xFFFF) {
            address.street += u"  " + Ascii(std::to_string(number).c_str());
        }
    }
    return address;
}

Logbook::Logbook(std::u16string filePath)
    : m_filePath(std::move(filePath)) {}

void Logbook::Reset() {
    const std::lock_guard lock(m_mutex);
    m_lastLongitude = 0.0F;
    m_lastLatitude = 0.0F;
    m_totalDistance = 0.0;
    m_distanceAtLastEntry = 0.0;
    m_lastLeg = 0.0;
    m_startTime = 0;
    m_lastEntryTime = 0;
    m_previousEntryTime = 0;
    m_statusEntries = 0;
}

std::u16string Logbook::StartPrefix() {
    std::u16string prefix = u"\n";
    for (int i = 0; i < kTitleCount; ++i) {
        if (i > 0) {
            prefix += u'\t';
        }
        prefix += LoadText(kFirstTitle + static_cast<UINT>(i));
    }
    return prefix + u'\n' + LoadText(kStartLabel);
}

std::u16string Logbook::FormatDuration(std::uint32_t seconds) {
    char buffer[32];
    (void)std::snprintf(buffer, sizeof buffer, "%02u:%02u:%02u", seconds / 3600U,
                        seconds / 60U % 60U, seconds % 60U);
    return Ascii(buffer);
}

std::u16string Logbook::FormatKilometres(double metres) {
    char buffer[64];
    (void)std::snprintf(buffer, sizeof buffer, "%.1f", metres * 0.001);
    std::u16string text = Ascii(buffer);
    if (const std::size_t point = text.find(u'.'); point != std::u16string::npos) {
        text[point] = u',';
    }
    return text;
}

void Logbook::WriteEntry(const MatchedPosition* position, RetrievalEngine::IRetrievalEngine* engine,
                         bool isStatus, const std::u16string& purpose, const std::u16string& prefix,
                         bool isFinal) {
    // The engine is asked outside the lock: the GPS worker must not wait for map reads.
    WriteEntry(ReadLogbookAddress(position, engine), isStatus, purpose, prefix, isFinal);
}

void Logbook::WriteStatusEntry(const MatchedPosition* position,
                               RetrievalEngine::IRetrievalEngine* engine) {
    WriteEntry(position, engine, true, std::u16string(), std::u16string(), false);
}

void Logbook::WriteEntry(const LogbookAddress& address, bool isStatus,
                         const std::u16string& purpose, std::u16string prefix, bool isFinal) {
    if (isStatus) {
        prefix += LoadText(kStatusLabel);
    }
    UnwritableFileHandler tell;
    {
        const std::lock_guard lock(m_mutex);
        if (AppendEntry(address, isStatus, purpose, std::move(prefix), isFinal) ||
            m_isUnwritableTold || !m_unwritableHandler) {
            return;
        }
        m_isUnwritableTold = true;
        tell = m_unwritableHandler;
    }
    tell(m_filePath);
}

void Logbook::SetUnwritableFileHandler(UnwritableFileHandler handler) {
    const std::lock_guard lock(m_mutex);
    m_unwritableHandler = std::move(handler);
}

bool Logbook::AppendEntry(const LogbookAddress& address, bool isStatus,
                          const std::u16string& purpose, std::u16string prefix, bool isFinal) {
    // Only a status line that is really in the file is replaced: a line that could not be
    // written must not make the next one overwrite the permanent line before it.
    const bool isReplacing = (isStatus || isFinal) && m_hasStatusLine;
    std::u16string line =
        prefix + u'\t' + purpose + u'\t' + address.place + u'\t' + address.street + u'\t';

    NavFile* file = _wfopen(m_filePath.c_str(), u"a+");
    if (file == nullptr) {
        return false;
    }
    const std::uint32_t now = NowSeconds();
    if (m_startTime == 0) {
        m_startTime = now;
        m_lastEntryTime = now;
        m_previousEntryTime = now;
    }
    if (isReplacing) {
        m_lastEntryTime = m_previousEntryTime;
    }
    const std::uint32_t total = Difference(now, m_startTime);
    const std::uint32_t leg = Difference(now, m_lastEntryTime);
    m_previousEntryTime = m_lastEntryTime;
    m_lastEntryTime = now;
    line += FormatNow(true) + u'\t' + FormatNow(false) + u'\t' + FormatDuration(leg) + u'\t' +
            FormatDuration(total) + u'\t';

    double legDistance = m_totalDistance - m_distanceAtLastEntry;
    if (isReplacing) {
        legDistance += m_lastLeg;
    }
    line += FormatKilometres(legDistance) + u'\t' + FormatKilometres(m_totalDistance);
    m_distanceAtLastEntry = m_totalDistance;
    m_lastLeg = legDistance;

    if (isReplacing) {
        (void)fclose(file);
        file = _wfopen(m_filePath.c_str(), u"r+");
        if (file == nullptr) {
            return false;
        }
        const std::size_t scanned = SeekLastLine(file);
        const std::size_t width = m_lineWidth == 0 ? scanned : m_lineWidth;
        if (line.size() < width) {
            line.append(width - line.size(), u' ');
        }
        m_lineWidth = line.size();
    }
    line += u'\n';
    const bool isWritten = fputws(line.c_str(), file) == 0;
    if (fclose(file) != 0 || !isWritten) {
        return false;
    }
    // The file's last line is now this one.
    m_hasStatusLine = isStatus;
    if (isStatus) {
        ++m_statusEntries;
    } else if (isFinal) {
        m_statusEntries = 0;
    }
    return true;
}

std::size_t Logbook::SeekLastLine(NavFile* file) {
    if (fseek(file, 0, SEEK_END) != 0) {
        return kScanWidth;
    }
    const long end = ftell(file);
    std::size_t bytesRead = 0;
    long lineStart = 0;
    // A file shorter than the scan's start is scanned from its first byte.
    for (long at = end > kScanStart ? end - kScanStart : 0; at >= 0; --at) {
        if (fseek(file, at, SEEK_SET) != 0) {
            break;
        }
        const int byte = fgetc(file);
        if (byte == EOF) {
            continue;
        }
        ++bytesRead;
        if (byte == '\n') {
            lineStart = ftell(file);
            break;
        }
    }
    (void)fseek(file, lineStart < 0 ? 0 : lineStart, SEEK_SET);
    return kScanWidth + bytesRead;
}

int Logbook::AccumulateDistance(double longitude, double latitude) {
    const std::lock_guard lock(m_mutex);
    if (!m_isRunning) {
        return 1;
    }
    const auto x = static_cast<float>(longitude);
    const auto y = static_cast<float>(latitude);
    if (m_lastLongitude == 0.0F && m_lastLatitude == 0.0F) {
        m_lastLongitude = x;
        m_lastLatitude = y;
        return 0;
    }
    if (x == m_lastLongitude && y == m_lastLatitude) {
        return 1;
    }
    const double distance = GreatCircleDistance(m_lastLongitude, m_lastLatitude, x, y);
    if (distance > kMinimumMove) {
        m_totalDistance += distance;
    }
    m_lastLongitude = x;
    m_lastLatitude = y;
    return 1;
}

bool Logbook::IsRunning() const {
    const std::lock_guard lock(m_mutex);
    return m_isRunning;
}

void Logbook::SetRunning(bool isRunning) {
    const std::lock_guard lock(m_mutex);
    m_isRunning = isRunning;
}

bool Logbook::IsUsed() const {
    const std::lock_guard lock(m_mutex);
    return m_isUsed;
}

void Logbook::MarkUsed() {
    const std::lock_guard lock(m_mutex);
    m_isUsed = true;
}

double Logbook::GetTotalDistance() const {
    const std::lock_guard lock(m_mutex);
    return m_totalDistance;
}

std::int32_t Logbook::GetStatusEntries() const {
    const std::lock_guard lock(m_mutex);
    return m_statusEntries;
}

bool Logbook::HasStatusLine() const {
    const std::lock_guard lock(m_mutex);
    return m_hasStatusLine;
}
