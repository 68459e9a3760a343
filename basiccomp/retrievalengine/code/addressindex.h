#pragma once
// The address index of a map set: the tables that give elements their areas, postal codes,
// countries and house numbers, and that map ids of the address data to element ids. Opened by
// the engine for map sets with an address index; its tables answer nothing yet. No lock of its
// own: the engine opens and closes it under its engine lock.

#include "utilities/usefulcode/cache/blockcache.h"
#include "utilities/usefulcode/cache/sfsmountset.h"

#include <cstdint>
#include <memory>
#include <string>

class AddressIndex {
public:
    explicit AddressIndex(BlockCachePtr cache);

    // Sets the full-index flag and takes the archives of the map set. The engine opens with the
    // flag set.
    void Open(const std::u16string& basePath, bool isFull, std::shared_ptr<SfsMountSet> mountSet);
    // Closes the tables and clears the full-index flag, so that a map set opened next without
    // an address index maps no ids.
    void Close();

    // With the full-index flag set the id itself; otherwise 0 (no id mapping table is open).
    [[nodiscard]] std::uint32_t LookupS2C(std::uint32_t id) const;

    [[nodiscard]] bool IsCookie2CountryOpen() const { return false; }
    [[nodiscard]] bool IsHouseNumbersOpen() const { return false; }

private:
    BlockCachePtr m_cache;
    std::shared_ptr<SfsMountSet> m_mountSet;
    std::u16string m_basePath;
    bool m_isFull = false;
};
