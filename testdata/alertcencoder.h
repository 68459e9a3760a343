#pragma once
// RDS-TMC messages in the ALERT-C coding (ISO 14819-1) as RDS groups: group 3A with the
// location table number, group 8A user messages of one group or of two to five groups (first
// group, second group with its sequence indicator, further groups counting down), with the
// free-format labels packed 28 bits per group. Written as hexadecimal lines.

#include "testdata/rdsgroupfilewriter.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace testdata {

// A free-format label and its value; label widths 0-15: 3, 3, 5, 5, 5, 8, 8, 8, 8, 11, 16, 16,
// 16, 16, 0, 0 bits.
struct AlertCLabel {
    unsigned label = 0; // 0 duration, 1 control code, 8 stop time, 9 additional event ...
    unsigned value = 0;
};

struct AlertCMessage {
    std::uint16_t programmeId = 0xD301; // country code in the top four bits
    unsigned programmeType = 0;         // 5 bits; bits 9-8 of block B carry its two high bits
    unsigned event = 0;                 // 11 bits
    unsigned location = 0;              // 16 bits
    unsigned extent = 0;                // 3 bits
    bool isNegativeDirection = false;
    bool isDiversion = false;     // single group only
    unsigned duration = 0;        // duration and persistence, 3 bits (single group)
    unsigned continuityIndex = 1; // 3 bits (multi-group)
    // Any label makes a multi-group message: 1 + ceil(bits / 28) groups, at most 5.
    std::vector<AlertCLabel> labels;
};

enum class AlertCFault {
    None,
    RepeatedGroup,          // the third group of each multi-group message sent twice in a row
    ChangedRepeat,          // the same, the second copy with another block D
    ContinuityMismatch,     // the second group with another continuity index
    MissingGroup,           // the third group left out (the second when there is no third)
    MissingSecondGroup,     // the second group left out
    MissingLastGroup,       // the last group left out
    SecondGroupOutOfTurn,   // the third group marked as a second group
    WrongSequenceIndicator, // the third group's sequence indicator one too high
    TrafficModelBit,        // T = 1 in every group 8A
    VersionB,               // every group 8A and 3A of version B
    OtherVariant3A,         // groups 3A of variant 1
    LowerCase,              // digits "a"-"f"
    ShortForm,              // 10 digits per group 8A (B's low byte, C, D)
};

class AlertCEncoder {
public:
    using Group = RdsGroupFileWriter::Group;

    // A group 3A announcing the location table number (6 bits) on ALERT-C, under the
    // application id given (TMC's is CD46 or CD47).
    AlertCEncoder& AddTable(std::uint16_t programmeId, unsigned tableNumber,
                            std::uint16_t applicationId = kTmcApplicationId);
    AlertCEncoder& AddMessage(const AlertCMessage& message);
    // A message with a fault of its own, in place of the one Groups and Build are given.
    AlertCEncoder& AddMessage(const AlertCMessage& message, AlertCFault fault);
    // Any other group, as it stands (faults do not touch it).
    AlertCEncoder& AddGroup(Group group);

    [[nodiscard]] std::vector<Group> Groups(AlertCFault fault = AlertCFault::None) const;
    // The groups as hexadecimal lines ("%04X" x 4 and LF).
    [[nodiscard]] std::string Build(AlertCFault fault = AlertCFault::None) const;

    // The groups of one message, without faults.
    [[nodiscard]] static std::vector<Group> Encode(const AlertCMessage& message);
    // Width in bits of a free-format label's value.
    [[nodiscard]] static int LabelWidth(unsigned label);

private:
    struct Entry {
        enum class Kind { Table, Message, Other } kind = Kind::Other;
        AlertCMessage message;
        std::uint16_t programmeId = 0;
        unsigned tableNumber = 0;
        std::uint16_t applicationId = kTmcApplicationId;
        std::optional<AlertCFault> fault;
        Group group{};
    };

    std::vector<Entry> m_entries;
};

} // namespace testdata
