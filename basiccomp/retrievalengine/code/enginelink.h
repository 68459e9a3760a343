#pragma once
// What outlives a retrieval engine for the elements and handles it gave out: its two lock groups,
// the engine while it lives, and the count of its opens and closes. An element made while one
// map set was open reads through the engine only while that same map set is still open; after a
// Close, another Open or the engine's end its reads answer empty. Shared by std::shared_ptr;
// safe from any thread.

#include "utilities/mapgeometry/readerlock.h"

#include <cstdint>

class RetrievalEngineImpl;

class EngineLink {
public:
    LockGroup readers;
    LockGroup writers;

    // read(engine) under the reader group while the engine lives and the map set of
    // `generation` is open; `fallback` otherwise.
    template <class Result, class Read>
    Result ReadEngine(std::uint32_t generation, Result fallback, Read read) {
        ReaderLockGuard guard(readers, writers);
        if (m_engine == nullptr || m_generation != generation || !m_isOpen) {
            return fallback;
        }
        return read(*m_engine);
    }

    // The current open's number; read it under a lock group.
    [[nodiscard]] std::uint32_t GetGeneration() const { return m_generation; }

private:
    friend class RetrievalEngineImpl;

    // Written under the writer group only.
    RetrievalEngineImpl* m_engine = nullptr;
    std::uint32_t m_generation = 0;
    bool m_isOpen = false;
};
