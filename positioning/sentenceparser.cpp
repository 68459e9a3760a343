#include "positioning/sentenceparser.h"

#include "positioning/gpssettings.h"
#include "utilities/usefulcode/iniprofile.h"

#include "platform/kernel/codepage.h"
#include "platform/kernel/format.h"
#include "platform/kernel/text.h"
#include "platform/kernel/time.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <vector>

namespace {

constexpr std::int64_t kSecondsPerDay = 86400;
// A fix dated longer ago than this by the clock no longer dates the next one: after such a
// silence (or a change of the clock) the stream starts afresh from the clock.
constexpr std::int64_t kStreamSilenceSeconds = std::int64_t{12} * 3600;

// The value of one escape digit as the settings files have always read it.
int EscapeDigit(char16_t c) {
    return c <= u'9' ? c - u'0' : TowUpper(c) - 55;
}

// The leading decimal integer (optional sign, then digits; 0 when none), saturated.
std::int64_t LeadingInteger(std::u16string_view text) {
    std::size_t at = 0;
    bool isNegative = false;
    if (at < text.size() && (text[at] == u'-' || text[at] == u'+')) {
        isNegative = text[at] == u'-';
        ++at;
    }
    std::int64_t value = 0;
    for (; at < text.size() && text[at] >= u'0' && text[at] <= u'9'; ++at) {
        if (value < std::int64_t{1} << 40) {
            value = value * 10 + (text[at] - u'0');
        }
    }
    return isNegative ? -value : value;
}

// A double truncated towards zero into 32 bits; NaN gives 0, the rest saturates.
std::int32_t Truncate(double value) {
    if (std::isnan(value)) {
        return 0;
    }
    if (value >= 2147483647.0) {
        return std::numeric_limits<std::int32_t>::max();
    }
    if (value <= -2147483648.0) {
        return std::numeric_limits<std::int32_t>::min();
    }
    return static_cast<std::int32_t>(value);
}

std::int32_t IntegerOf(const SentenceField& field) {
    return Truncate(static_cast<double>(LeadingInteger(field.text)) * field.multiplier +
                    field.offset);
}

// Texts such as "nan" or "1e999" read as 0, like empty ones: no NaN or infinity reaches a fix.
float FloatOf(const SentenceField& field) {
    const double read = WcsToD(field.text.c_str(), nullptr);
    if (!(std::fabs(read) <= std::numeric_limits<float>::max())) {
        return 0.0f;
    }
    const float value = field.multiplier * static_cast<float>(read) + field.offset;
    return std::isfinite(value) ? value : 0.0f;
}

// dddmm.mmmm to degrees.
float DegreesOf(const SentenceField& field) {
    const float x = FloatOf(field);
    const float d = std::floor(x * 0.01f);
    return d + (x - 100.0f * d) * 0.016666668f;
}

// True when the hexadecimal digits leading the text after the checksum delimiter (any number,
// either case; none reads as 0) equal the XOR of the body's code units.
bool IsChecksumRight(std::u16string_view body, std::u16string_view digits) {
    unsigned computed = 0;
    for (const char16_t c : body) {
        computed ^= c;
    }
    std::uint32_t transmitted = 0;
    for (const char16_t c : digits) {
        const bool isDigit = c >= u'0' && c <= u'9';
        const bool isLetter = (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
        if (!isDigit && !isLetter) {
            break;
        }
        transmitted = transmitted * 16 + static_cast<std::uint32_t>(EscapeDigit(c));
    }
    return transmitted == computed;
}

SentenceFixFields FixFieldsOf(const std::map<std::u16string, SentenceField>& fields) {
    const auto found = [&fields](const char16_t* name) -> const SentenceField* {
        const auto field = fields.find(name);
        return field != fields.end() ? &field->second : nullptr;
    };
    return {found(u"utctime"), found(u"longitude"), found(u"latitude"), found(u"ew"),
            found(u"ns"),      found(u"course"),    found(u"speed"),    found(u"satellites"),
            found(u"hdop"),    found(u"quality"),   found(u"status")};
}

// Seconds since 1970 of UTC now.
std::int64_t UtcSecondsNow() {
    SYSTEMTIME now{};
    GetSystemTime(&now);
    FILETIME fileTime{};
    if (!SystemTimeToFileTime(&now, &fileTime)) {
        return 0;
    }
    const auto value = static_cast<std::int64_t>(platform::FileTimeValue(fileTime));
    return (value - static_cast<std::int64_t>(platform::kFileTimeOf1970)) / 10000000;
}

// The moment (seconds since 1970) with this UTC time of day nearest to reference: the
// reference's day's, the day before's or the day after's. Taking the local date instead would
// put the fix a day off near midnight outside UTC and make the time jump back a day at UTC
// midnight. 0 for a time of day that does not exist.
std::uint32_t UtcTimeOfDay(std::int32_t hhmmss, std::int64_t reference) {
    const std::int32_t hours = hhmmss / 10000;
    const std::int32_t minutes = (hhmmss % 10000) / 100;
    const std::int32_t seconds = hhmmss % 100;
    if (hhmmss < 0 || hours > 23 || minutes > 59 || seconds > 59) {
        return 0;
    }
    const std::int64_t timeOfDay = hours * 3600 + minutes * 60 + seconds;
    const std::int64_t today = reference - reference % kSecondsPerDay + timeOfDay;
    std::int64_t best = today;
    for (const std::int64_t candidate : {today - kSecondsPerDay, today + kSecondsPerDay}) {
        if (std::llabs(candidate - reference) < std::llabs(best - reference)) {
            best = candidate;
        }
    }
    return best < 0 || best > std::numeric_limits<std::uint32_t>::max()
               ? 0
               : static_cast<std::uint32_t>(best);
}

std::u16string DegreeText(float value) {
    const double magnitude = std::fabs(static_cast<double>(value));
    const double whole = std::floor(magnitude);
    return platform::FormatW(u"%9.4f", whole * 100.0 + (magnitude - whole) * 60.0);
}

// The values of names in section of the settings file, in one scan of it.
std::vector<std::optional<std::u16string>>
ReadKeys(LPCWSTR section, const std::vector<std::u16string>& names, LPCWSTR file) {
    std::vector<LPCWSTR> keys;
    keys.reserve(names.size());
    for (const std::u16string& name : names) {
        keys.push_back(name.c_str());
    }
    return gpssettings::GetStrings(section, keys, file);
}

// A value read as IniProfile::GetDouble reads it: "%lf", the default when it is missing, empty
// or not a number.
double NumberOr(const std::optional<std::u16string>& value, double defaultValue) {
    double result = 0;
    if (!value || value->empty() || swscanf(value->c_str(), u"%lf", &result) != 1) {
        return defaultValue;
    }
    return result;
}

} // namespace

SentenceParser::~SentenceParser() {
    CloseRawLog();
}

std::u16string SentenceParser::Unescape(std::u16string_view text) {
    std::u16string out;
    out.reserve(text.size());
    std::size_t at = 0;
    while (at < text.size()) {
        if (text[at] != u'^') {
            out += text[at++];
            continue;
        }
        if (text.size() - at < 3 || text[at + 1] == u'^') {
            break;
        }
        const int code = EscapeDigit(text[at + 1]) * 16 + EscapeDigit(text[at + 2]);
        out += static_cast<char16_t>(code);
        at += 3;
    }
    out += text.substr(at);
    return out;
}

void SentenceParser::Load(const std::u16string& settingsPath, const std::u16string& protocolName) {
    const LPCWSTR file = settingsPath.c_str();
    const LPCWSTR section = protocolName.c_str();
    // The keys of fixed names come in one scan of the file, the fields' multipliers and offsets
    // in a second; each value is the one a read of its key alone finds.
    std::vector<std::u16string> names = {u"StartDelimiter", u"ChecksumDelimiter", u"EndDelimiter",
                                         u"FieldDelimiter"};
    constexpr std::size_t kFirstInput = 4;
    constexpr std::size_t kFirstInit = kFirstInput + 9;
    for (const char16_t* prefix : {u"Input", u"Init"}) {
        for (std::uint32_t number = 1; number <= 9; ++number) {
            names.push_back(platform::FormatW(u"%s%d", prefix, number));
        }
    }
    const std::vector<std::optional<std::u16string>> values = ReadKeys(section, names, file);
    const auto valueAt = [&values](std::size_t index) {
        return values[index] ? std::u16string_view(*values[index]) : std::u16string_view();
    };
    std::uint32_t inputCount = 0;
    {
        ScopedLock locked(&m_protocolLock);
        SentenceProtocol& protocol = m_protocol;
        protocol.name = protocolName;
        protocol.fields.clear();
        protocol.inputs.clear();
        protocol.buffer.clear();
        for (const auto& [index, delimiter] :
             {std::pair{0, &protocol.startDelimiter}, std::pair{1, &protocol.checksumDelimiter},
              std::pair{2, &protocol.endDelimiter}, std::pair{3, &protocol.fieldDelimiter}}) {
            if (const std::u16string_view value = valueAt(index); !value.empty()) {
                *delimiter = Unescape(value);
            }
        }
        protocol.inputCount = 0;
        std::vector<SentenceField*> newFields; // in the order they were defined
        for (std::uint32_t number = 1; number <= 9; ++number) {
            const std::u16string_view value = valueAt(kFirstInput + number - 1);
            if (value.empty()) {
                break;
            }
            const std::u16string line = Unescape(value);
            std::vector<std::u16string> tokens;
            for (std::size_t start = 0;;) {
                const std::size_t comma = line.find(u',', start);
                tokens.push_back(line.substr(start, comma - start));
                if (comma == std::u16string::npos) {
                    break;
                }
                start = comma + 1;
            }
            const std::u16string& identifier = tokens.front();
            if (protocol.inputs.contains(identifier)) {
                continue;
            }
            SentenceInput& input = protocol.inputs[identifier];
            input.identifier = identifier;
            input.positionCount = static_cast<std::uint32_t>(tokens.size() - 1);
            input.number = number;
            ++protocol.inputCount;
            for (std::uint32_t position = 0; position + 1 < tokens.size(); ++position) {
                const std::u16string& name = tokens[position + 1];
                if (name.empty() || protocol.fields.contains(name)) {
                    continue;
                }
                SentenceField field;
                field.name = name;
                field.identifier = identifier;
                input.fields[position] = newFields.emplace_back(
                    &protocol.fields.emplace(name, std::move(field)).first->second);
            }
        }
        std::vector<std::u16string> scaleNames;
        for (const SentenceField* field : newFields) {
            scaleNames.push_back(field->name + u"Multiplier");
            scaleNames.push_back(field->name + u"Offset");
        }
        const std::vector<std::optional<std::u16string>> scales =
            newFields.empty() ? std::vector<std::optional<std::u16string>>()
                              : ReadKeys(section, scaleNames, file);
        for (std::size_t i = 0; i < newFields.size(); ++i) {
            newFields[i]->multiplier = static_cast<float>(NumberOr(scales[2 * i], 1.0));
            newFields[i]->offset = static_cast<float>(NumberOr(scales[2 * i + 1], 0.0));
        }
        protocol.initText.clear();
        for (std::uint32_t number = 1; number <= 9; ++number) {
            const std::u16string_view value = valueAt(kFirstInit + number - 1);
            if (value.empty()) {
                break;
            }
            protocol.initText += Frame(value);
        }
        protocol.fixFields = FixFieldsOf(protocol.fields);
        protocol.fedCount = 0;
        protocol.completed.clear();
        protocol.sentenceCount = 0;
        protocol.sequence = 0;
        protocol.lastUtcTime = 0;
        protocol.lastDatedAt = 0;
        inputCount = protocol.inputCount;
    }
    SetSentenceRate(static_cast<float>(inputCount));
}

std::u16string SentenceParser::Frame(std::u16string_view body) const {
    unsigned checksum = 0;
    for (const char16_t c : body) {
        checksum ^= c;
    }
    return m_protocol.startDelimiter + std::u16string(body) + m_protocol.checksumDelimiter +
           platform::FormatW(u"%02X", checksum) + m_protocol.endDelimiter;
}

void SentenceParser::Feed(const char* bytes, std::size_t count) {
    ScopedLock locked(&m_protocolLock);
    SentenceProtocol& protocol = m_protocol;
    std::u16string& buffer = protocol.buffer;
    constexpr std::size_t kPiece = std::size_t{1} << 16;
    for (std::size_t done = 0; bytes != nullptr && done < count; done += kPiece) {
        // Every byte of the system code page converts to one character.
        const int piece = static_cast<int>(std::min(kPiece, count - done));
        const std::size_t start = buffer.size();
        buffer.resize(start + static_cast<std::size_t>(piece));
        const int converted =
            MultiByteToWideChar(CP_ACP, 0, bytes + done, piece, buffer.data() + start, piece);
        buffer.resize(start + static_cast<std::size_t>(std::max(converted, 0)));
        protocol.fedCount += static_cast<std::size_t>(std::max(converted, 0));
    }
    const std::u16string_view text(buffer);
    const std::u16string& startDelimiter = protocol.startDelimiter;
    const std::u16string& endDelimiter = protocol.endDelimiter;
    const std::u16string& checksumDelimiter = protocol.checksumDelimiter;
    // Sentences are taken apart where they lie; what they leave is dropped once at the end, so
    // that a long text costs no more per byte than a short one.
    std::size_t kept = text.size();
    for (std::size_t first = text.find(startDelimiter); first != std::u16string_view::npos;) {
        const std::size_t end = text.find(endDelimiter, first);
        if (end == std::u16string_view::npos) {
            kept = text.size() - first < kMaxUnterminated ? first : text.size();
            break;
        }
        const std::size_t next = end + endDelimiter.size();
        const std::size_t bodyStart = first + startDelimiter.size();
        // Only a checksum delimiter before the end delimiter belongs to this sentence; another
        // one would let a torn sentence borrow the next sentence's checksum.
        const std::size_t checksumAt = end > bodyStart
                                           ? text.substr(0, end).find(checksumDelimiter, bodyStart)
                                           : std::u16string_view::npos;
        if (checksumAt != std::u16string_view::npos) {
            const std::u16string_view body = text.substr(bodyStart, checksumAt - bodyStart);
            const std::size_t digits = checksumAt + checksumDelimiter.size();
            if (IsChecksumRight(body, text.substr(digits, end - std::min(end, digits)))) {
                Interpret(body);
            }
            ++protocol.sentenceCount;
            if (protocol.inputCount >= 1 && protocol.sequence == protocol.inputCount) {
                // Complete: its values wait for the caller, the next cycle begins.
                SentenceCycle& cycle = protocol.completed.emplace_back(Capture());
                cycle.sentenceCount = protocol.sentenceCount;
                cycle.end = protocol.fedCount - (text.size() - next);
                protocol.sentenceCount = 0;
                protocol.sequence = 0;
            }
        }
        first = text.find(startDelimiter, next);
    }
    buffer.erase(0, kept);
}

void SentenceParser::Interpret(std::u16string_view body) {
    SentenceProtocol& protocol = m_protocol;
    const std::u16string& delimiter = protocol.fieldDelimiter;
    std::size_t at = body.find(delimiter);
    if (at == std::u16string_view::npos) {
        return;
    }
    const auto found = protocol.inputs.find(std::u16string(body.substr(0, at)));
    if (found == protocol.inputs.end()) {
        return;
    }
    SentenceInput& input = found->second;
    const std::uint32_t highest = input.fields.empty() ? 0 : input.fields.rbegin()->first;
    for (std::uint32_t position = 0; !input.fields.empty() && position <= highest; ++position) {
        const std::size_t fieldStart = at + delimiter.size();
        const std::size_t next = body.find(delimiter, fieldStart);
        const std::size_t fieldEnd = next == std::u16string_view::npos ? body.size() : next;
        if (const auto assigned = input.fields.find(position); assigned != input.fields.end()) {
            assigned->second->text = body.substr(fieldStart, fieldEnd - fieldStart);
        }
        if (next == std::u16string_view::npos) {
            break;
        }
        at = next;
    }
    const std::uint32_t number = input.number;
    if (protocol.sequence == number - 1) {
        protocol.sequence = number;
    } else {
        protocol.sequence = number == 1 ? 1 : 0;
    }
}

bool SentenceParser::IsCycleComplete() {
    ScopedLock locked(&m_protocolLock);
    return !m_protocol.completed.empty();
}

DWORD SentenceParser::PacingDelay() {
    ScopedLock rateLocked(&m_rateLock);
    if (m_rate == 0.0f) {
        return 0;
    }
    ScopedLock locked(&m_protocolLock);
    const std::uint32_t sentences = m_protocol.completed.empty()
                                        ? m_protocol.sentenceCount
                                        : m_protocol.completed.front().sentenceCount;
    const double ms = static_cast<double>(sentences) / m_rate * 1000.0;
    return ms > 0.0 && ms < 4294967295.0 ? static_cast<DWORD>(ms) : 0;
}

void SentenceParser::ResetCycle() {
    ScopedLock locked(&m_protocolLock);
    if (!m_protocol.completed.empty()) {
        m_protocol.completed.pop_front();
        return;
    }
    m_protocol.sentenceCount = 0;
    m_protocol.sequence = 0;
}

std::uint64_t SentenceParser::GetCharactersAfterCycle() {
    ScopedLock locked(&m_protocolLock);
    return m_protocol.completed.empty() ? 0
                                        : m_protocol.fedCount - m_protocol.completed.front().end;
}

std::uint32_t SentenceParser::DateTimeOfDay(const SentenceCycle& cycle) {
    SentenceProtocol& protocol = m_protocol;
    // A stream's fixes follow each other: the day nearest to the previous fix keeps its date
    // continuous, where the day nearest to now would flip once the clock passes the stream's
    // time plus 12 hours. Only the first fix after a start or a long silence needs the clock.
    const std::int64_t now = UtcSecondsNow();
    const bool isStreamGoing = protocol.lastUtcTime != 0 &&
                               std::llabs(now - protocol.lastDatedAt) <= kStreamSilenceSeconds;
    const std::uint32_t utcTime =
        UtcTimeOfDay(cycle.hhmmss, isStreamGoing ? protocol.lastUtcTime : now);
    if (utcTime != 0) {
        protocol.lastUtcTime = utcTime;
        protocol.lastDatedAt = now;
    }
    return utcTime;
}

SentenceCycle SentenceParser::Capture() const {
    const SentenceFixFields& f = m_protocol.fixFields;
    SentenceCycle cycle;
    cycle.isUtcTimeGiven = f.utcTime != nullptr && !f.utcTime->text.empty();
    cycle.hhmmss = cycle.isUtcTimeGiven ? IntegerOf(*f.utcTime) : 0;
    cycle.hasLongitude = f.longitude != nullptr;
    cycle.hasLatitude = cycle.hasLongitude && f.latitude != nullptr;
    cycle.longitude = cycle.hasLongitude ? DegreesOf(*f.longitude) : 0.0f;
    cycle.latitude = cycle.hasLatitude ? DegreesOf(*f.latitude) : 0.0f;
    cycle.isWest = f.ew != nullptr && f.ew->text.starts_with(u'W');
    cycle.isSouth = f.ns != nullptr && f.ns->text.starts_with(u'S');
    cycle.hasCourse = f.course != nullptr;
    cycle.course = cycle.hasCourse ? static_cast<std::uint16_t>(IntegerOf(*f.course)) : 0;
    cycle.hasSpeed = f.speed != nullptr;
    cycle.speed = cycle.hasSpeed ? static_cast<std::uint16_t>(IntegerOf(*f.speed)) : 0;
    cycle.hasSatellites = f.satellites != nullptr;
    cycle.satellites =
        cycle.hasSatellites ? static_cast<std::uint16_t>(IntegerOf(*f.satellites)) : 0;
    cycle.hasHdop = f.hdop != nullptr;
    cycle.hdop = cycle.hasHdop ? FloatOf(*f.hdop) : 0.0f;
    cycle.isNoFix = (f.quality != nullptr && IntegerOf(*f.quality) == 0) ||
                    (f.status != nullptr && !f.status->text.starts_with(u'A'));
    return cycle;
}

void SentenceParser::FillFix(GpsFix& fix) {
    ScopedLock locked(&m_protocolLock);
    const SentenceCycle cycle =
        m_protocol.completed.empty() ? Capture() : m_protocol.completed.front();
    fix.tick = GetTickCount();
    fix.spareStatus = GpsFix::kNotDelivered;
    // An empty time field (a receiver without a fix) delivers no time, not midnight.
    fix.utcTime = cycle.isUtcTimeGiven ? DateTimeOfDay(cycle) : 0;
    if (cycle.hasLongitude) {
        fix.longitude = cycle.longitude;
    }
    if (cycle.hasLatitude) {
        fix.latitude = cycle.latitude;
    }
    fix.positionStatus = cycle.hasLatitude ? 0 : GpsFix::kNotDelivered;
    if (cycle.isWest && fix.longitude > 0) {
        fix.longitude = -fix.longitude;
    }
    if (cycle.isSouth && fix.latitude > 0) {
        fix.latitude = -fix.latitude;
    }
    fix.course = cycle.hasCourse ? cycle.course : fix.course;
    fix.courseStatus = cycle.hasCourse ? 0 : GpsFix::kNotDelivered;
    fix.speed = cycle.hasSpeed ? cycle.speed : fix.speed;
    fix.speedStatus = cycle.hasSpeed ? 0 : GpsFix::kNotDelivered;
    fix.satellites = cycle.hasSatellites ? cycle.satellites : GpsFix::kNotDelivered;
    fix.hdop = cycle.hasHdop ? cycle.hdop : GpsFix::kHdopNotDelivered;
    if (cycle.isNoFix) {
        fix.hdop = GpsFix::kHdopNoFix;
    }
}

void SentenceParser::FormatFix(const GpsFix& fix, std::u16string& out) {
    ScopedLock locked(&m_protocolLock);
    const auto set = [this](const char16_t* name, std::u16string text) {
        if (const auto found = m_protocol.fields.find(name); found != m_protocol.fields.end()) {
            found->second.text = std::move(text);
        }
    };
    const auto scaled = [this](const char16_t* name, double value) {
        const auto found = m_protocol.fields.find(name);
        return found == m_protocol.fields.end()
                   ? 0.0
                   : (value - found->second.offset) / found->second.multiplier;
    };
    set(u"ew", fix.longitude >= 0 ? u"E" : u"W");
    set(u"longitude", DegreeText(fix.longitude));
    set(u"ns", fix.latitude >= 0 ? u"N" : u"S");
    set(u"latitude", DegreeText(fix.latitude));
    set(u"course", platform::FormatW(u"%d", Truncate(scaled(u"course", fix.course))));
    set(u"speed", platform::FormatW(u"%d", Truncate(scaled(u"speed", fix.speed))));
    set(u"satellites", platform::FormatW(u"%d", Truncate(scaled(u"satellites", fix.satellites))));
    set(u"hdop", platform::FormatW(u"%.2f", scaled(u"hdop", fix.hdop)));
    set(u"quality", platform::FormatW(u"%d", Truncate(scaled(u"quality", 8.0))));
    set(u"status", u"A");
    for (std::uint32_t number = 1; number <= m_protocol.inputCount; ++number) {
        for (const auto& [identifier, input] : m_protocol.inputs) {
            if (input.number != number) {
                continue;
            }
            std::u16string body = identifier;
            for (std::uint32_t position = 0; position < input.positionCount; ++position) {
                body += m_protocol.fieldDelimiter;
                if (const auto assigned = input.fields.find(position);
                    assigned != input.fields.end()) {
                    body += assigned->second->text;
                }
            }
            out += Frame(body);
        }
    }
}

bool SentenceParser::OpenRawLog(const std::u16string& path) {
    ScopedLock locked(&m_logLock);
    if (m_log != nullptr) {
        (void)fclose(m_log);
    }
    m_log = _wfopen(path.c_str(), u"w+b");
    return m_log != nullptr;
}

void SentenceParser::CloseRawLog() {
    ScopedLock locked(&m_logLock);
    if (m_log != nullptr) {
        (void)fclose(m_log);
        m_log = nullptr;
    }
}

void SentenceParser::LogBytes(const char* bytes, std::size_t count) {
    ScopedLock locked(&m_logLock);
    if (m_log != nullptr && bytes != nullptr && count > 0) {
        (void)fwrite(bytes, 1, count, m_log);
    }
}

void SentenceParser::SetSentenceRate(float sentencesPerSecond) {
    ScopedLock locked(&m_rateLock);
    m_rate = sentencesPerSecond;
}

float SentenceParser::GetSentenceRate() {
    ScopedLock locked(&m_rateLock);
    return m_rate;
}

std::u16string SentenceParser::GetInitText() {
    ScopedLock locked(&m_protocolLock);
    return m_protocol.initText;
}

std::uint32_t SentenceParser::GetSentenceCount() {
    ScopedLock locked(&m_protocolLock);
    return m_protocol.sentenceCount;
}

std::uint32_t SentenceParser::GetInputCount() {
    ScopedLock locked(&m_protocolLock);
    return m_protocol.inputCount;
}

std::size_t SentenceParser::GetBufferedLength() {
    ScopedLock locked(&m_protocolLock);
    return m_protocol.buffer.size();
}
