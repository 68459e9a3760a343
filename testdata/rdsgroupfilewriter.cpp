#include "testdata/rdsgroupfilewriter.h"

#include <cctype>
#include <cstdio>

namespace testdata {

namespace {

// The short form exists for groups 8A only (group type code 8, version A); receivers that use
// it write every other group in full.
std::string GroupDigits(const RdsGroupFileWriter::Group& group, bool isShortForm) {
    char digits[17] = {};
    if (isShortForm && (group[1] >> 11) == 0x10) {
        (void)std::snprintf(digits, sizeof digits, "%02X%04X%04X", group[1] & 0xFF, group[2],
                            group[3]);
    } else {
        (void)std::snprintf(digits, sizeof digits, "%04X%04X%04X%04X", group[0], group[1], group[2],
                            group[3]);
    }
    return digits;
}

constexpr std::size_t kGroupDigits = 16;
constexpr int kGroupMillis = 88; // 1187.5 bit/s, 104 bits a group

// The time of reception of line number (from 0), 11.4 groups a second from noon.
std::string ReceptionTime(const char* format, std::size_t number) {
    const auto millis = static_cast<long>(number) * kGroupMillis;
    char time[48] = {};
    (void)std::snprintf(time, sizeof time, format, millis / 60000 % 60, millis / 1000 % 60,
                        millis / 10 % 100);
    return time;
}

// The line as another program's log writes it; number counts the lines from 0.
std::string LaidOut(const std::string& line, RdsGroupLayout layout, std::size_t number) {
    if (layout == RdsGroupLayout::Digits || line.size() != kGroupDigits) {
        return line;
    }
    if (layout == RdsGroupLayout::StampedDigits) {
        return line + ReceptionTime(" @2019/05/05 12:%02ld:%02ld.%02ld", number);
    }
    std::string out = line.substr(0, 4) + ' ' + line.substr(4, 4) + ' ' + line.substr(8, 4) + ' ' +
                      line.substr(12, 4);
    if (layout == RdsGroupLayout::TimedBlocks) {
        out = ReceptionTime("12:%02ld:%02ld.%02ld ", number) + out;
    } else if (layout == RdsGroupLayout::StampedBlocks) {
        out += ReceptionTime(" @2019/05/05 12:%02ld:%02ld.%02ld", number);
    }
    return out;
}

} // namespace

RdsGroupFileWriter& RdsGroupFileWriter::Add(Group group) {
    m_groups.push_back(group);
    return *this;
}

RdsGroupFileWriter& RdsGroupFileWriter::SetLowerCase(bool isLowerCase) {
    m_isLowerCase = isLowerCase;
    return *this;
}

RdsGroupFileWriter& RdsGroupFileWriter::SetShortForm(bool isShortForm) {
    m_isShortForm = isShortForm;
    return *this;
}

RdsGroupFileWriter& RdsGroupFileWriter::SetCrLf(bool isCrLf) {
    m_isCrLf = isCrLf;
    return *this;
}

RdsGroupFileWriter& RdsGroupFileWriter::SetCopies(int copies) {
    m_copies = copies < 1 ? 1 : copies;
    return *this;
}

RdsGroupFileWriter& RdsGroupFileWriter::SetFiller(RdsGroupFiller filler) {
    m_filler = filler;
    return *this;
}

RdsGroupFileWriter& RdsGroupFileWriter::SetLayout(RdsGroupLayout layout) {
    m_layout = layout;
    return *this;
}

RdsGroupFileWriter& RdsGroupFileWriter::SetProgrammeTypeFrom(std::size_t group, int copy,
                                                             unsigned programmeType,
                                                             bool isTrafficProgramme) {
    m_programmeChange = ProgrammeChange{group, copy, programmeType, isTrafficProgramme};
    return *this;
}

RdsGroupFileWriter::Group RdsGroupFileWriter::TuningGroup(std::uint16_t programmeId) {
    return {programmeId, 0x0408, 0xE0CD, 0x5354};
}

RdsGroupFileWriter::Group RdsGroupFileWriter::ApplicationGroup(std::uint16_t programmeId,
                                                               std::uint16_t applicationId,
                                                               std::uint16_t message,
                                                               unsigned groupTypeCode) {
    return {programmeId, static_cast<std::uint16_t>(0x3000U | (groupTypeCode & 0x1FU)), message,
            applicationId};
}

std::string RdsGroupFileWriter::QueuedLine(Group group) {
    char line[18] = {};
    (void)std::snprintf(line, sizeof line, "%04X%04X%04X%04X\n", group[0], group[1], group[2],
                        group[3]);
    return line;
}

std::string RdsGroupFileWriter::Build(RdsGroupFault fault) const {
    const std::string end = m_isCrLf ? "\r\n" : "\n";
    std::vector<std::string> lines;
    bool isChanged = false;
    // Block B with the changed programme type and traffic programme flag once the change began.
    const auto withProgramme = [this, &isChanged](Group group) {
        if (isChanged) {
            const unsigned blockB = (group[1] & ~0x07E0U) |
                                    (m_programmeChange->isTrafficProgramme ? 0x0400U : 0U) |
                                    (m_programmeChange->programmeType & 0x1FU) << 5;
            group[1] = static_cast<std::uint16_t>(blockB);
        }
        return group;
    };
    for (std::size_t i = 0; i < m_groups.size(); ++i) {
        const Group& added = m_groups[i];
        for (int copy = 0; copy < m_copies; ++copy) {
            isChanged = isChanged || (m_programmeChange && m_programmeChange->group == i &&
                                      m_programmeChange->copy <= copy);
            const Group group = withProgramme(added);
            lines.push_back(GroupDigits(group, m_isShortForm));
            if (fault == RdsGroupFault::GarbageLine && i == 0 && copy == 0) {
                lines.emplace_back("no group here");
            }
            const bool isLast = i + 1 == m_groups.size() && copy + 1 == m_copies;
            if (isLast || m_filler == RdsGroupFiller::None) {
                continue;
            }
            if (m_filler == RdsGroupFiller::OtherGroups ||
                m_filler == RdsGroupFiller::RadioTextPlus) {
                lines.push_back(GroupDigits(withProgramme(TuningGroup(group[0])), false));
                lines.push_back(
                    GroupDigits(withProgramme({group[0], 0x2400, 0x5472, 0x6166}), false));
            }
            if (m_filler == RdsGroupFiller::RadioTextPlus) {
                // RT+ tags travel in groups 11A (type code 0x16).
                const Group announcement =
                    ApplicationGroup(group[0], kRadioTextPlusApplicationId, 0x0000, 0x16);
                lines.push_back(GroupDigits(withProgramme(announcement), false));
            } else if (m_filler == RdsGroupFiller::DamagedLine) {
                std::string damaged = lines.back();
                damaged.replace(damaged.size() - 8, 4, "----");
                lines.push_back(damaged);
            }
        }
    }
    std::string out;
    for (std::size_t number = 0; number < lines.size(); ++number) {
        std::string& line = lines[number];
        line = LaidOut(line, m_layout, number);
        if (m_isLowerCase) {
            for (char& c : line) {
                c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            }
        }
        if (fault == RdsGroupFault::TornLastLine && &line == &lines.back()) {
            out += line.substr(0, 7);
            return out;
        }
        if (fault == RdsGroupFault::UnendedLastLine && &line == &lines.back()) {
            return out + line;
        }
        out += line + end;
    }
    return out;
}

} // namespace testdata
