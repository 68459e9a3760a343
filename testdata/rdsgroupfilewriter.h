#pragma once
// RDS group files: one group per line as hexadecimal text, as the receiver stand-in replays
// them and RDS-TMC logs hold them. Like a log of a real station, a file may send each group
// several times in a row with other lines between.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace testdata {

enum class RdsGroupFault {
    None,
    GarbageLine,  // a line of text that is no group, after the first group
    TornLastLine, // the last group cut to 7 digits, without its line end
};

// What follows every group line but the last, as in logs of real stations.
enum class RdsGroupFiller {
    None,
    OtherGroups, // a group 0A and a group 2A of the same station (always 16 digits)
    DamagedLine, // the group just written again, its block C unreadable ("----")
};

class RdsGroupFileWriter {
public:
    using Group = std::array<std::uint16_t, 4>; // blocks A, B, C, D

    RdsGroupFileWriter& Add(Group group);
    // Digits "a"-"f" instead of "A"-"F".
    RdsGroupFileWriter& SetLowerCase(bool isLowerCase);
    // 10 digits per group: B's low byte, C and D (the short form of group 8A without PI).
    RdsGroupFileWriter& SetShortForm(bool isShortForm);
    // CR LF instead of LF after each line.
    RdsGroupFileWriter& SetCrLf(bool isCrLf);
    // Each group written copies times in a row (at least 1), as stations repeat them.
    RdsGroupFileWriter& SetCopies(int copies);
    RdsGroupFileWriter& SetFiller(RdsGroupFiller filler);

    [[nodiscard]] std::string Build(RdsGroupFault fault = RdsGroupFault::None) const;
    // The 17 characters the receiver adapter queues for a group ("%04X%04X%04X%04X\n").
    [[nodiscard]] static std::string QueuedLine(Group group);

private:
    std::vector<Group> m_groups;
    bool m_isLowerCase = false;
    bool m_isShortForm = false;
    bool m_isCrLf = false;
    int m_copies = 1;
    RdsGroupFiller m_filler = RdsGroupFiller::None;
};

} // namespace testdata
