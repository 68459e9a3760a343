#pragma once
// The blocks of a map data file's tree and the 32-byte element record, read in place from a
// loaded block (little-endian, any alignment). Pure functions; any thread.

#include "utilities/mapgeometry/mapgeometry.h"

#include "platform/littleendian.h"

#include <cstddef>
#include <cstdint>

namespace maprecord {

inline constexpr std::uint32_t kBlockSize = 8192;      // tree blocks and ".dat" pages
inline constexpr std::uint32_t kBlockHeaderSize = 8;   // kind byte, 3 bytes, u16 count, 2 bytes
inline constexpr std::uint32_t kEntrySize = 20;        // inner entry: MapRect, u32 child block
inline constexpr std::uint32_t kRecordSize = 32;       // leaf entry: element record
inline constexpr std::uint32_t kMaxInnerEntries = 409; // what fits into one block
inline constexpr std::uint32_t kMaxLeafRecords = 255;
inline constexpr std::uint8_t kLeafKind = 'E';

using platform::ReadU16;
using platform::ReadU32;
inline std::int32_t ReadI32(const std::uint8_t* bytes) {
    return platform::ReadLittleEndian<std::int32_t>(bytes);
}
inline MapRect ReadRect(const std::uint8_t* bytes) {
    return {ReadI32(bytes), ReadI32(bytes + 4), ReadI32(bytes + 8), ReadI32(bytes + 12)};
}

// Tree blocks: byte 0 'E' marks a leaf; the entry count is the u16 at 4.
inline bool IsLeafBlock(const std::uint8_t* block) {
    return block[0] == kLeafKind;
}
inline std::uint32_t BlockEntryCount(const std::uint8_t* block) {
    return ReadU16(block + 4);
}
inline const std::uint8_t* InnerEntry(const std::uint8_t* block, std::uint32_t index) {
    return block + kBlockHeaderSize + std::size_t{kEntrySize} * index;
}
inline const std::uint8_t* LeafRecord(const std::uint8_t* block, std::uint32_t index) {
    return block + kBlockHeaderSize + std::size_t{kRecordSize} * index;
}
inline std::uint32_t EntryChild(const std::uint8_t* entry) {
    return ReadU32(entry + 16);
}

// Element record fields.
inline MapRect RecordBounds(const std::uint8_t* record) {
    return ReadRect(record);
}
inline std::uint32_t RecordAttributeWord(const std::uint8_t* record) {
    return ReadU32(record + 16);
}
// Byte offset of the element's geometry data in the ".dat" stream; 0 = none.
inline std::uint32_t RecordDataOffset(const std::uint8_t* record) {
    return ReadU32(record + 20);
}
inline std::uint16_t RecordTypeCode(const std::uint8_t* record) {
    return ReadU16(record + 24);
}
inline std::uint8_t RecordSubtype(const std::uint8_t* record) {
    return record[26];
}
inline char RecordTypeLetter(const std::uint8_t* record) {
    return static_cast<char>(record[27]);
}
inline std::uint32_t RecordNameReference(const std::uint8_t* record) {
    return ReadU32(record + 28);
}

} // namespace maprecord

// Geometry class of an element record by its type letter: 0 point ('t'), 2 area ('y', 'z'),
// 1 line (every other letter).
inline std::uint32_t ElementGeometryClass(const std::uint8_t* record) {
    switch (maprecord::RecordTypeLetter(record)) {
    case 't':
        return 0;
    case 'y':
    case 'z':
        return 2;
    default:
        return 1;
    }
}

// Element ids: version 3 and above block * 256 + slot, older versions block * 2048 + slot.
// 0 and 0xFFFFFFFF name no element.
inline constexpr std::uint32_t kNoElementId = 0xFFFFFFFFu;
inline std::uint32_t MakeElementId(std::uint32_t version, std::uint32_t block, std::uint32_t slot) {
    return version >= 3 ? (block << 8) | slot : (block << 11) | slot;
}
inline std::uint32_t ElementIdBlock(std::uint32_t version, std::uint32_t id) {
    return version >= 3 ? id >> 8 : id >> 11;
}
inline std::uint32_t ElementIdSlot(std::uint32_t version, std::uint32_t id) {
    return version >= 3 ? id & 0xFFu : id & 0x7FFu;
}
