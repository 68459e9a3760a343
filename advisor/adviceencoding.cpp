#include "advisor/advicelist.h"

#include "platform/kernel/codepage.h"

#include <atomic>
#include <cstring>
#include <optional>
#include <string>

namespace {

// A text field holds 64 characters with its terminator.
constexpr std::size_t kMaxTextBytes = 63;

// Every decoded advice counts as a new junction, in whichever list it lands.
std::atomic<std::int32_t> s_decodedJunctionId{0};

class Writer {
public:
    explicit Writer(std::uint8_t* buffer)
        : m_buffer(buffer) {}
    void Byte(std::uint8_t value) { m_buffer[m_size++] = value; }
    void Int32(std::int32_t value) {
        const auto bits = static_cast<std::uint32_t>(value);
        for (int shift = 0; shift < 32; shift += 8) {
            Byte(static_cast<std::uint8_t>(bits >> shift));
        }
    }
    void Text(std::u16string_view wide) {
        std::string narrow = platform::WideToAnsi(wide);
        if (narrow.size() > kMaxTextBytes) {
            narrow.resize(kMaxTextBytes);
        }
        Byte(static_cast<std::uint8_t>(narrow.size()));
        Byte(static_cast<std::uint8_t>(narrow.size() >> 8));
        std::memcpy(m_buffer + m_size, narrow.data(), narrow.size());
        m_size += narrow.size();
    }
    [[nodiscard]] std::int32_t Size() const { return static_cast<std::int32_t>(m_size); }

private:
    std::uint8_t* m_buffer;
    std::size_t m_size = 0;
};

// Reads within [data, data + length); once a read fails every later one fails too.
class Reader {
public:
    Reader(const std::uint8_t* data, std::size_t length)
        : m_data(data)
        , m_length(length) {}
    std::optional<std::uint8_t> Byte() {
        if (m_hasFailed || m_offset >= m_length) {
            return Fail();
        }
        return m_data[m_offset++];
    }
    std::optional<std::int32_t> Int32() {
        if (m_hasFailed || m_length - m_offset < 4) {
            return Fail();
        }
        std::uint32_t bits = 0;
        for (int shift = 0; shift < 32; shift += 8) {
            bits |= static_cast<std::uint32_t>(m_data[m_offset++]) << shift;
        }
        return static_cast<std::int32_t>(bits);
    }
    // A counted text; at most 63 of its characters are kept.
    std::optional<std::u16string> Text() {
        if (m_hasFailed || m_length - m_offset < 2) {
            return Fail();
        }
        const std::size_t count = m_data[m_offset] | (m_data[m_offset + 1] << 8);
        if (m_length - m_offset - 2 < count) {
            return Fail();
        }
        m_offset += 2;
        const std::string_view narrow(reinterpret_cast<const char*>(m_data + m_offset),
                                      std::min(count, kMaxTextBytes));
        m_offset += count;
        return platform::AnsiToWide(narrow);
    }
    [[nodiscard]] bool AtEnd() const { return m_offset >= m_length; }

private:
    std::nullopt_t Fail() {
        m_hasFailed = true;
        return std::nullopt;
    }

    const std::uint8_t* m_data;
    std::size_t m_length;
    std::size_t m_offset = 0;
    bool m_hasFailed = false;
};

std::int32_t ElementOrNone(const RouteIterator& iterator) {
    return iterator.IsValid() ? static_cast<std::int32_t>(iterator.Current().linkId) : -1;
}

// The manoeuvre of a decoded name: the part between its first and second ".".
std::u16string ManoeuvreOf(const std::u16string& name) {
    const std::size_t first = name.find(u'.');
    if (first == std::u16string::npos) {
        return name;
    }
    const std::size_t second = name.find(u'.', first + 1);
    return name.substr(first + 1,
                       second == std::u16string::npos ? std::u16string::npos : second - first - 1);
}

std::optional<AdviceRecord> DecodeOne(Reader& in, const EncodeProperties& encoding) {
    const auto code = in.Byte();
    const auto fromStreet = in.Text();
    const auto toStreet = in.Text();
    const auto state = in.Int32();
    const auto targetRoadNumber = in.Text();
    const auto roundaboutText = in.Text();
    const auto nextDirection = in.Text();
    const auto roadClass = in.Text();
    const auto destination = in.Byte();
    const auto connector = in.Byte();
    const auto element = in.Int32();
    const auto nextElement = in.Int32();
    if (!nextElement) { // a failed read fails every later one, so the last one tells
        return std::nullopt;
    }
    AdviceRecord record;
    record.fromStreet.Set(*fromStreet);
    record.toStreet.Set(*toStreet);
    record.manoeuvreCode = *state;
    record.junction.targetRoadNumber.Set(*targetRoadNumber);
    record.junction.roundaboutText.Set(*roundaboutText);
    record.junction.nextDirection.Set(*nextDirection);
    record.junction.roadClass.Set(*roadClass);
    record.junction.flags = (*destination & 1u) | ((*connector & 1u) << 1);
    record.elementId = static_cast<std::uint32_t>(*element);
    record.nextElementId = static_cast<std::uint32_t>(*nextElement);
    record.junction.junctionId = s_decodedJunctionId.fetch_add(1);
    record.text = encoding.NameOf(*code);
    if (!record.text.empty()) {
        record.junction.manoeuvre.Set(ManoeuvreOf(record.text));
    }
    return record;
}

} // namespace

std::int32_t AdviceList::EncodeRecord(std::int32_t index, std::uint8_t* buffer) const {
    if (index < 0 || static_cast<std::size_t>(index) >= m_records.size()) {
        return 0;
    }
    if (buffer == nullptr) {
        return 1;
    }
    const AdviceRecord& record = m_records[static_cast<std::size_t>(index)];
    Writer out(buffer);
    out.Byte(encoding.CodeOf(record.text));
    out.Text(record.fromStreet.View());
    out.Text(record.toStreet.View());
    out.Int32(record.manoeuvreCode);
    out.Text(record.junction.targetRoadNumber.View());
    out.Text(record.junction.roundaboutText.View());
    out.Text(record.junction.nextDirection.View());
    out.Text(record.junction.roadClass.View());
    out.Byte(
        static_cast<std::uint8_t>(record.junction.flags & JunctionDescription::kDestinationFlag));
    out.Byte(static_cast<std::uint8_t>((record.junction.flags >> 1) & 1u));
    const RouteIteratorPtr clone = record.route ? record.route->Clone() : nullptr;
    if (clone) {
        out.Int32(ElementOrNone(*clone));
        clone->Next();
        out.Int32(ElementOrNone(*clone));
    } else {
        out.Int32(-1);
        out.Int32(-1);
    }
    return out.Size();
}

void AdviceList::DecodeRecords(const std::uint8_t* data, std::int32_t length) {
    if (data == nullptr || length <= 0) {
        return;
    }
    Reader in(data, static_cast<std::size_t>(length));
    while (!in.AtEnd()) {
        std::optional<AdviceRecord> record = DecodeOne(in, encoding);
        if (!record) {
            return;
        }
        Append(std::move(*record));
    }
}
