#pragma once
// Opening and closing a table file, whatever its record format: the header is read from the file
// opened on its own, then the file is attached from the block cache in whole blocks. Refusals
// write one debug line each.

#include "utilities/usefulcode/cache/blockcache.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

class IFile;

namespace tablefiles::detail {

// How a table file is attached from the block cache.
enum class TableFileKind { Mapped, Archived, Plain };

// The block size and the number of data blocks (behind the header block) of an accepted header.
struct TableBlocks {
    std::uint32_t blockSize = 0;
    std::uint32_t dataBlockCount = 0;
};

// Checks the header of a file at its start; nothing when the header is refused.
using TableHeaderReader = std::function<std::optional<TableBlocks>(IFile& file)>;

// Opens `name` on its own (a member of a mounted archive for Archived, else a loose file) and
// hands it to readHeader; then attaches the file from the cache in the blocks readHeader gave.
// Null when there is no cache or name, the file does not open, readHeader refuses it or the
// cache cannot open it.
[[nodiscard]] CachedFilePtr OpenTableFile(const BlockCachePtr& cache, const std::u16string& name,
                                          TableFileKind kind, const TableHeaderReader& readHeader);

// Reads the header with readHeader from headerFile and gives file (already open, for instance
// over bytes in memory) with the header's block count set; empty when the header is refused.
[[nodiscard]] CachedFilePtr AttachTableFile(IFile& headerFile, CachedFilePtr file,
                                            const TableHeaderReader& readHeader);

// Gives the file back to the cache (when there is one) and releases it.
void DetachFromCache(const BlockCachePtr& cache, CachedFilePtr& file);

// Raises the cache's capacity to blockSize / 1024 KB (rounded down) when it has less. A block of
// whole kilobytes then fits; one with a part kilobyte may still exceed the capacity by that part.
void FitBlockInCache(const BlockCachePtr& cache, std::uint32_t blockSize);

// One debug line naming the file, or `kindName` ("table file") when the name is unknown, and the
// reason (plain ASCII) it was refused.
void ReportRefusal(std::u16string_view kindName, const std::u16string& name,
                   const std::string& reason);

} // namespace tablefiles::detail
