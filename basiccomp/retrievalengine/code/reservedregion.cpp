#include "basiccomp/retrievalengine/code/reservedregion.h"

#include "platform/files/memory.h"
#include "platform/kernel/messagebox.h"

#include <cstring>
#include <new>

namespace {

constexpr UINT kMemoryBoxStyle = MB_ICONHAND | MB_TOPMOST;

void ShowMemoryBox(const char16_t* text) {
    MessageBoxW(nullptr, text, u"RE", kMemoryBoxStyle);
}

// Constant-initialised, so that it is empty before any static initialiser may ask for it; its
// exit handler releases the region.
constinit CountedPtr<ReservedRegion> s_instance;

} // namespace

ReservedRegion::ReservedRegion() {
    m_base = static_cast<std::uint8_t*>(
        VirtualAlloc(nullptr, kReservedSize, MEM_RESERVE, PAGE_NOACCESS));
    if (m_base == nullptr) {
        ShowMemoryBox(u"ERROR: No memory reserved");
    }
}

ReservedRegion::~ReservedRegion() {
    if (m_base != nullptr) {
        (void)VirtualFree(m_base, 0, MEM_RELEASE);
    }
}

CountedPtr<ReservedRegion> ReservedRegion::Instance() {
    if (!s_instance) {
        s_instance = CountedPtr<ReservedRegion>(new (std::nothrow) ReservedRegion);
    }
    return s_instance;
}

ReservedRegionPtr ReservedRegion::Create() {
    return ReservedRegionPtr(new (std::nothrow) ReservedRegion);
}

bool ReservedRegion::SetOwner(const void* owner) {
    if (owner == m_owner) {
        return false;
    }
    m_owner = owner;
    return true;
}

void ReservedRegion::Commit(std::uint32_t size) {
    if (m_committed != nullptr) {
        if (size <= m_committedSize) {
            return;
        }
        (void)VirtualFree(m_committed, m_committedSize, MEM_DECOMMIT);
        m_committed = nullptr;
        m_committedSize = 0;
    }
    if (m_base == nullptr || size == 0) {
        return;
    }
    // The size is recorded only once the pages are committed, so that it never claims more
    // than is usable.
    void* committed =
        size <= kReservedSize ? VirtualAlloc(m_base, size, MEM_COMMIT, PAGE_READWRITE) : nullptr;
    if (committed == nullptr) {
        ShowMemoryBox(u"ERROR: No memory");
        return;
    }
    m_committed = static_cast<std::uint8_t*>(committed);
    m_committedSize = size;
}

void ReservedRegion::Clear() {
    if (m_committed != nullptr && m_committedSize != 0) {
        std::memset(m_committed, 0, m_committedSize);
    }
}
