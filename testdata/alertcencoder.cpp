#include "testdata/alertcencoder.h"

#include <algorithm>
#include <array>

namespace testdata {

namespace {

constexpr std::array<int, 16> kLabelWidths = {3, 3, 5, 5, 5, 8, 8, 8, 8, 11, 16, 16, 16, 16, 0, 0};
constexpr int kBitsPerGroup = 28;
constexpr std::size_t kMaxSubsequentGroups = 4;

std::uint16_t BlockB(unsigned type, const AlertCMessage& message, unsigned low5) {
    return static_cast<std::uint16_t>(type << 12 | (message.programmeType & 0x1FU) << 5 |
                                      (low5 & 0x1FU));
}

// The free-format labels as a bit string, most significant bit first.
std::vector<bool> LabelBits(const std::vector<AlertCLabel>& labels) {
    std::vector<bool> bits;
    const auto put = [&bits](unsigned value, int width) {
        for (int bit = width - 1; bit >= 0; --bit) {
            bits.push_back(((value >> bit) & 1U) != 0);
        }
    };
    for (const AlertCLabel& label : labels) {
        put(label.label & 0x0FU, 4);
        put(label.value, kLabelWidths[label.label & 0x0FU]);
    }
    return bits;
}

} // namespace

int AlertCEncoder::LabelWidth(unsigned label) {
    return kLabelWidths[label & 0x0FU];
}

AlertCEncoder& AlertCEncoder::AddTable(std::uint16_t programmeId, unsigned tableNumber,
                                       std::uint16_t applicationId) {
    Entry entry;
    entry.kind = Entry::Kind::Table;
    entry.programmeId = programmeId;
    entry.tableNumber = tableNumber;
    entry.applicationId = applicationId;
    m_entries.push_back(entry);
    return *this;
}

AlertCEncoder& AlertCEncoder::AddMessage(const AlertCMessage& message) {
    Entry entry;
    entry.kind = Entry::Kind::Message;
    entry.message = message;
    m_entries.push_back(entry);
    return *this;
}

AlertCEncoder& AlertCEncoder::AddMessage(const AlertCMessage& message, AlertCFault fault) {
    AddMessage(message);
    m_entries.back().fault = fault;
    return *this;
}

AlertCEncoder& AlertCEncoder::AddGroup(Group group) {
    Entry entry;
    entry.group = group;
    m_entries.push_back(entry);
    return *this;
}

std::vector<AlertCEncoder::Group> AlertCEncoder::Encode(const AlertCMessage& message) {
    const auto location = static_cast<std::uint16_t>(message.location);
    const unsigned common = (message.isNegativeDirection ? 0x4000U : 0U) |
                            (message.extent & 0x07U) << 11 | (message.event & 0x07FFU);
    if (message.labels.empty()) {
        const auto blockC =
            static_cast<std::uint16_t>(common | (message.isDiversion ? 0x8000U : 0U));
        return {{message.programmeId, BlockB(8, message, 0x08U | (message.duration & 0x07U)),
                 blockC, location}};
    }
    const std::uint16_t blockB = BlockB(8, message, message.continuityIndex & 0x07U);
    std::vector<Group> groups{
        {message.programmeId, blockB, static_cast<std::uint16_t>(0x8000U | common), location}};
    std::vector<bool> bits = LabelBits(message.labels);
    const std::size_t subsequent =
        std::min(kMaxSubsequentGroups,
                 std::max<std::size_t>(1, (bits.size() + kBitsPerGroup - 1) / kBitsPerGroup));
    bits.resize(subsequent * kBitsPerGroup, false);
    for (std::size_t index = 0; index < subsequent; ++index) {
        std::uint32_t data = 0;
        for (int bit = 0; bit < kBitsPerGroup; ++bit) {
            data =
                data << 1 | (bits[index * kBitsPerGroup + static_cast<std::size_t>(bit)] ? 1U : 0U);
        }
        const auto sequence = static_cast<unsigned>(subsequent - 1 - index);
        const unsigned blockC = (index == 0 ? 0x4000U : 0U) | sequence << 12 | (data >> 16);
        groups.push_back({message.programmeId, blockB, static_cast<std::uint16_t>(blockC),
                          static_cast<std::uint16_t>(data & 0xFFFFU)});
    }
    return groups;
}

namespace {

void ApplyMessageFault(std::vector<AlertCEncoder::Group>& groups, AlertCFault fault) {
    for (auto& group : groups) {
        if (fault == AlertCFault::TrafficModelBit) {
            group[1] = static_cast<std::uint16_t>(group[1] | 0x0010U);
        } else if (fault == AlertCFault::VersionB) {
            group[1] = static_cast<std::uint16_t>(group[1] | 0x0800U);
        }
    }
    if (groups.size() < 2) {
        return;
    }
    const std::size_t third = groups.size() > 2 ? 2 : 1;
    switch (fault) {
    case AlertCFault::RepeatedGroup:
        groups.insert(groups.begin() + static_cast<std::ptrdiff_t>(third), groups[third]);
        break;
    case AlertCFault::ChangedRepeat:
        groups.insert(groups.begin() + static_cast<std::ptrdiff_t>(third) + 1, groups[third]);
        groups[third + 1][3] = static_cast<std::uint16_t>(groups[third + 1][3] ^ 0x0001U);
        break;
    case AlertCFault::ContinuityMismatch:
        groups[1][1] =
            static_cast<std::uint16_t>((groups[1][1] & ~0x07U) | ((groups[1][1] + 1U) & 0x07U));
        break;
    case AlertCFault::MissingGroup:
        groups.erase(groups.begin() + static_cast<std::ptrdiff_t>(third));
        break;
    case AlertCFault::MissingSecondGroup:
        groups.erase(groups.begin() + 1);
        break;
    case AlertCFault::MissingLastGroup:
        groups.pop_back();
        break;
    case AlertCFault::SecondGroupOutOfTurn:
        groups[third][2] = static_cast<std::uint16_t>(groups[third][2] | 0x4000U);
        break;
    case AlertCFault::WrongSequenceIndicator:
        groups[third][2] = static_cast<std::uint16_t>((groups[third][2] & ~0x3000U) |
                                                      ((groups[third][2] + 0x1000U) & 0x3000U));
        break;
    default:
        break;
    }
}

} // namespace

std::vector<AlertCEncoder::Group> AlertCEncoder::Groups(AlertCFault fault) const {
    std::vector<Group> out;
    for (const Entry& entry : m_entries) {
        if (entry.kind == Entry::Kind::Table) {
            unsigned blockB = 0x3000U | 0x10U; // the application is carried in groups 8A
            blockB |= fault == AlertCFault::VersionB ? 0x0800U : 0U;
            unsigned blockC = (entry.tableNumber & 0x3FU) << 6 | 0x27U;
            blockC |= fault == AlertCFault::OtherVariant3A ? 0x4000U : 0U;
            out.push_back({entry.programmeId, static_cast<std::uint16_t>(blockB),
                           static_cast<std::uint16_t>(blockC), entry.applicationId});
        } else if (entry.kind == Entry::Kind::Message) {
            std::vector<Group> groups = Encode(entry.message);
            ApplyMessageFault(groups, entry.fault.value_or(fault));
            out.insert(out.end(), groups.begin(), groups.end());
        } else {
            out.push_back(entry.group);
        }
    }
    return out;
}

std::string AlertCEncoder::Build(AlertCFault fault) const {
    RdsGroupFileWriter writer;
    for (const Group& group : Groups(fault)) {
        writer.Add(group);
    }
    writer.SetLowerCase(fault == AlertCFault::LowerCase);
    writer.SetShortForm(fault == AlertCFault::ShortForm);
    return writer.Build();
}

} // namespace testdata
