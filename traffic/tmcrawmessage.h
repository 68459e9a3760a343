#pragma once
// The packed 28-byte form of one RDS-TMC message as the decoder builds it. The message store
// orders and compares messages by their first 22 bytes, and the raw log holds this layout, so
// the layout is fixed byte for byte. A plain value; safe to copy between threads.

#include <cstdint>

struct TmcRawMessage {
    // Block A: the programme identification, high byte first.
    std::uint8_t programmeId[2];
    // Bits 7-2: location table number (from the last group 3A); bits 1-0: programme type bits
    // 9-8 of block B.
    std::uint8_t tableAndProgrammeType;
    // Low byte of block B: bit 4 T (0), bit 3 F (1 = single group), bits 2-0 duration and
    // persistence (single group) or 0 (multi-group message).
    std::uint8_t blockBLow;
    // Blocks C and D of the single group or of the first group, high byte first.
    std::uint8_t blockC[2];
    std::uint8_t blockD[2];
    // The 28 data bits of each subsequent group, most significant bit first, in group order;
    // bits not filled are 0.
    std::uint8_t freeFormat[14];
    std::uint8_t reserved[2]; // zero
    // Local time in seconds since 1970, little-endian.
    std::uint8_t receptionTime[4];
};

static_assert(sizeof(TmcRawMessage) == 28, "TmcRawMessage is a 28-byte record");

// Bytes of a TmcRawMessage that identify it in the message store.
inline constexpr int kTmcRawMessageIdentityBytes = 22;
