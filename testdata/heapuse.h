#pragma once
// The heap bytes a program holds, and the most it held, for memory bounds in tests and benchmarks.
// Linking this library makes the program count every block of operator new and delete: in a
// build without sanitizers by replacing them (each block as the allocator sizes it, with its
// header), in a sanitizer build through the sanitizer's allocation hooks (each block of malloc
// and new as asked for). Safe from any thread.

#include <cstddef>

namespace testdata {

// Bytes in the heap blocks counted now.
[[nodiscard]] std::size_t HeapBytesInUse();
// The most HeapBytesInUse was since the last ResetHeapPeak (or the start).
[[nodiscard]] std::size_t HeapBytesPeak();
// Starts a new peak from the bytes in use now.
void ResetHeapPeak();

} // namespace testdata
