#pragma once
// ReservedRegion: 4 MB of reserved address space whose first pages are committed on demand, with
// the owner (an opaque identity) of what it holds. Instance is the process-wide region; Create
// makes a region of one's own. A region takes no lock: one thread fills it, and readers may share
// it only once it is filled. Failures show "ERROR: No memory reserved" or "ERROR: No memory"
// (caption "RE").

#include "six/countedptr.h"
#include "six/refcntptr.h"

#include <cstdint>

class ReservedRegion;
using ReservedRegionPtr = six::RefCntPtr<ReservedRegion>;

class ReservedRegion {
public:
    static constexpr std::uint32_t kReservedSize = 0x400000;

    // The process-wide region, made on the first call (empty when it cannot be allocated). The
    // static pointer behind it is used from one thread.
    static CountedPtr<ReservedRegion> Instance();
    // A region of the caller's own (null when it cannot be allocated).
    static ReservedRegionPtr Create();

    virtual ~ReservedRegion();
    ReservedRegion(const ReservedRegion&) = delete;
    ReservedRegion& operator=(const ReservedRegion&) = delete;

    // True when owner differs from the stored owner, which it then replaces: the caller must load
    // its content. The owner is never dereferenced.
    bool SetOwner(const void* owner);

    // Makes at least size bytes usable from the start. The committed part only grows: a larger
    // size decommits (losing the content) and commits anew. A size beyond the reservation, or a
    // platform refusal, shows "ERROR: No memory" and leaves nothing committed.
    void Commit(std::uint32_t size);

    // The committed bytes, null when nothing is committed.
    [[nodiscard]] std::uint8_t* GetBuffer() const { return m_committed; }
    // The bytes that are committed (0 when nothing is).
    [[nodiscard]] std::uint32_t GetCommittedSize() const { return m_committedSize; }

    // Fills the committed bytes with 0.
    void Clear();

private:
    ReservedRegion();

    std::uint8_t* m_base = nullptr;
    std::uint8_t* m_committed = nullptr;
    std::uint32_t m_committedSize = 0;
    const void* m_owner = nullptr;
};
