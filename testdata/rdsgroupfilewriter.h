#pragma once
// RDS group files: one group per line as hexadecimal text, as the receiver stand-in replays
// them and RDS-TMC logs hold them. Like a log of a real station, a file may send each group
// several times in a row with other lines between, announce other open data applications beside
// TMC, and change its programme type while it repeats a group.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace testdata {

enum class RdsGroupFault {
    None,
    GarbageLine,     // a line of text that is no group, after the first group
    TornLastLine,    // the last group cut to 7 digits, without its line end
    UnendedLastLine, // the last line whole, without its line end
};

// What follows every group line but the last, as in logs of real stations.
enum class RdsGroupFiller {
    None,
    OtherGroups, // a group 0A and a group 2A of the same station (always 16 digits)
    DamagedLine, // the group just written again, its block C unreadable ("----")
    // A group 0A, a group 2A and a group 3A announcing RT+ (application 4BD7, block C 0000),
    // as stations carrying RT+ beside TMC send them.
    RadioTextPlus,
};

// How a line writes its group: one run of 16 digits as our files, the receiver's queue and
// RDS-TMC logs hold it; logs of other RDS programs write the four blocks apart; recorders write
// the time of reception after the group. Times count 11.4 groups a second from noon.
enum class RdsGroupLayout {
    Digits,        // "D3010408E0CD5354"
    SpacedBlocks,  // "D301 0408 E0CD 5354"
    TimedBlocks,   // "12:00:00.09 D301 0408 E0CD 5354": the time of reception first
    StampedDigits, // "D3010408E0CD5354 @2019/05/05 12:00:00.09"
    StampedBlocks, // "D301 0408 E0CD 5354 @2019/05/05 12:00:00.09"
};

// Open data application ids as groups 3A carry them in block D.
constexpr std::uint16_t kTmcApplicationId = 0xCD46;
constexpr std::uint16_t kTmcSecondApplicationId = 0xCD47; // TMC too
constexpr std::uint16_t kRadioTextPlusApplicationId = 0x4BD7;

class RdsGroupFileWriter {
public:
    using Group = std::array<std::uint16_t, 4>; // blocks A, B, C, D

    RdsGroupFileWriter& Add(Group group);
    // Digits "a"-"f" instead of "A"-"F".
    RdsGroupFileWriter& SetLowerCase(bool isLowerCase);
    // 10 digits per group 8A: B's low byte, C and D (the short form of group 8A without PI);
    // other groups stay whole.
    RdsGroupFileWriter& SetShortForm(bool isShortForm);
    // CR LF instead of LF after each line.
    RdsGroupFileWriter& SetCrLf(bool isCrLf);
    // Each group written copies times in a row (at least 1), as stations repeat them.
    RdsGroupFileWriter& SetCopies(int copies);
    RdsGroupFileWriter& SetFiller(RdsGroupFiller filler);
    // Applies to lines of 16 characters (whole groups, damaged copies); the short form and
    // garbage lines stay as they are.
    RdsGroupFileWriter& SetLayout(RdsGroupLayout layout);
    // From copy `copy` (0 = the first) of the group added as number `group` (from 0) on, that
    // group and every later line carry this programme type (5 bits) and traffic programme flag
    // in block B: a station switching its programme while it repeats a group.
    RdsGroupFileWriter& SetProgrammeTypeFrom(std::size_t group, int copy, unsigned programmeType,
                                             bool isTrafficProgramme);

    [[nodiscard]] std::string Build(RdsGroupFault fault = RdsGroupFault::None) const;
    // The 17 characters the receiver adapter queues for a group ("%04X%04X%04X%04X\n").
    [[nodiscard]] static std::string QueuedLine(Group group);
    // A group 0A of the station (basic tuning: alternative frequencies and two characters of its
    // programme service name), as stations send it between all other groups.
    [[nodiscard]] static Group TuningGroup(std::uint16_t programmeId);
    // A group 3A announcing an open data application: its id in block D, its own message bits
    // in block C, the group type code it is carried in (5 bits, e.g. 0x10 for 8A) in B.
    [[nodiscard]] static Group ApplicationGroup(std::uint16_t programmeId,
                                                std::uint16_t applicationId, std::uint16_t message,
                                                unsigned groupTypeCode);

private:
    std::vector<Group> m_groups;
    bool m_isLowerCase = false;
    bool m_isShortForm = false;
    bool m_isCrLf = false;
    int m_copies = 1;
    RdsGroupFiller m_filler = RdsGroupFiller::None;
    RdsGroupLayout m_layout = RdsGroupLayout::Digits;
    struct ProgrammeChange {
        std::size_t group = 0;
        int copy = 0;
        unsigned programmeType = 0;
        bool isTrafficProgramme = false;
    };
    std::optional<ProgrammeChange> m_programmeChange;
};

} // namespace testdata
