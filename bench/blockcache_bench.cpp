// Reading random 8192-byte blocks of a 64 MB table file through the block cache, each against a
// baseline measured in the same run over the same blocks: a hit against copying the block once
// (memcpy from memory), a miss against a plain pread of the block. "vs_baseline" is how many
// times longer the cache takes than its baseline; "vs_baseline_cpu" the same in the thread's
// processor time, which other work on a busy machine disturbs less.
#include "testdata/tempdir.h"
#include "utilities/usefulcode/cache/blockcache.h"
#include "utilities/usefulcode/memoryarena.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <random>
#include <string>
#include <time.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr DWORD kBlockSize = 8192;
constexpr DWORD kBlockCount = 8192; // 64 MB
constexpr std::size_t kBufferAlignment = 64;
constexpr const char16_t* kDevicePath = u"\\Bench\\blocks.fsr";

struct BenchFile {
    testdata::TempDeviceRoot root;
    std::string bytes;         // the file's contents, for the copy baseline
    std::vector<DWORD> blocks; // a random walk over the blocks, no block twice in a row
    int descriptor = -1;       // the host file, for the pread baseline
};

BenchFile& File() {
    static const std::unique_ptr<BenchFile> file = [] {
        auto made = std::make_unique<BenchFile>();
        made->bytes.resize(std::size_t{kBlockSize} * kBlockCount);
        std::mt19937 random(42);
        for (char& byte : made->bytes) {
            byte = static_cast<char>(random());
        }
        if (!made->root.WriteFile(kDevicePath, made->bytes)) {
            std::abort();
        }
        std::uniform_int_distribution<DWORD> pick(0, kBlockCount - 1);
        DWORD previous = kBlockCount;
        for (int i = 0; i < 1 << 16; ++i) {
            DWORD block = pick(random);
            if (block == previous) {
                block = (block + 1) % kBlockCount;
            }
            made->blocks.push_back(block);
            previous = block;
        }
        made->descriptor = open(made->root.HostPathOf(kDevicePath).c_str(), O_RDONLY);
        // Written back before measuring, so that no write-back runs beside the reads.
        if (made->descriptor < 0 || fsync(made->descriptor) != 0) {
            std::abort();
        }
        return made;
    }();
    return *file;
}

// A fresh arena for each benchmark: blocks freed by an earlier one would otherwise be reused
// oldest first, so that every read of this one went to memory long out of the processor's caches.
void ReserveFreshArena() {
    if (!MemoryArena::Shared().Reserve(80u << 20)) {
        std::abort();
    }
}

// Processor time of the calling thread.
double ThreadSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

double Seconds(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Times the cache loop, then the baseline over as many blocks, and reports both.
template <typename Read, typename Baseline>
void AgainstBaseline(benchmark::State& state, Read read, Baseline baseline) {
    const std::vector<DWORD>& blocks = File().blocks;
    std::size_t next = 0;
    const auto start = std::chrono::steady_clock::now();
    const double threadStart = ThreadSeconds();
    for (auto _ : state) {
        read(blocks[next]);
        next = (next + 1) % blocks.size();
    }
    const double seconds = Seconds(start);
    const double threadSeconds = ThreadSeconds() - threadStart;
    const double baselineThreadStart = ThreadSeconds();
    const auto baselineStart = std::chrono::steady_clock::now();
    next = 0;
    for (benchmark::IterationCount i = 0; i < state.iterations(); ++i) {
        baseline(blocks[next]);
        next = (next + 1) % blocks.size();
    }
    const double baselineSeconds = Seconds(baselineStart);
    const double baselineThreadSeconds = ThreadSeconds() - baselineThreadStart;
    const auto count = static_cast<double>(state.iterations());
    state.counters["cache_ns"] = seconds * 1e9 / count;
    state.counters["baseline_ns"] = baselineSeconds * 1e9 / count;
    state.counters["vs_baseline"] = baselineSeconds > 0.0 ? seconds / baselineSeconds : 0.0;
    state.counters["vs_baseline_cpu"] =
        baselineThreadSeconds > 0.0 ? threadSeconds / baselineThreadSeconds : 0.0;
}

CachedFilePtr OpenThroughCache(BlockCache& cache) {
    CachedFilePtr file = cache.GetPlainFile(kDevicePath, FileCreation::OpenExisting,
                                            FileAccess::Read, FileShare::Read, kBlockSize);
    if (!file) {
        std::abort();
    }
    return file;
}

void BM_HitAgainstCopy(benchmark::State& state) {
    BenchFile& bench = File();
    ReserveFreshArena();
    BlockCachePtr cache = BlockCache::Create(72u << 10);
    const CachedFilePtr file = OpenThroughCache(*cache);
    for (DWORD block = 0; block < kBlockCount; ++block) {
        if (!file->GetBlock(block)) {
            state.SkipWithError("the cache cannot hold the whole file");
            return;
        }
    }
    std::vector<char> copy(kBlockSize);
    AgainstBaseline(
        state,
        [&](DWORD block) {
            const CachedBlockPtr loaded = file->GetBlock(block);
            benchmark::DoNotOptimize(loaded->GetData()[block % kBlockSize]);
        },
        [&](DWORD block) {
            std::memcpy(copy.data(), bench.bytes.data() + std::size_t{block} * kBlockSize,
                        kBlockSize);
            benchmark::DoNotOptimize(copy[block % kBlockSize]);
        });
    cache->RemoveFile(file);
}

void BM_MissAgainstPread(benchmark::State& state) {
    BenchFile& bench = File();
    ReserveFreshArena();
    BlockCachePtr cache = BlockCache::Create(0); // nothing stays, every read loads
    const CachedFilePtr file = OpenThroughCache(*cache);
    // Line-aligned like the cache's buffers: the system copies into a misaligned buffer more
    // slowly, and where the heap happened to put a plain vector would decide the baseline.
    struct alignas(kBufferAlignment) Buffer {
        char bytes[kBlockSize];
    };
    const auto buffer = std::make_unique<Buffer>();
    AgainstBaseline(
        state,
        [&](DWORD block) {
            const CachedBlockPtr loaded = file->GetBlock(block);
            benchmark::DoNotOptimize(loaded->GetData()[block % kBlockSize]);
        },
        [&](DWORD block) {
            const auto offset = static_cast<off_t>(std::size_t{block} * kBlockSize);
            if (pread(bench.descriptor, buffer->bytes, kBlockSize, offset) != kBlockSize) {
                std::abort();
            }
            benchmark::DoNotOptimize(buffer->bytes[block % kBlockSize]);
        });
    cache->RemoveFile(file);
}

} // namespace

BENCHMARK(BM_HitAgainstCopy);
BENCHMARK(BM_MissAgainstPread);
BENCHMARK_MAIN();
