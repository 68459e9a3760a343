#pragma once
// A small least-recently-used cache of GDI objects by key. Holders share each object; it is
// deleted when the last holder lets go. When an object cannot be created the cache evicts what
// nobody holds and retries, pausing a second after 100 failures in a row, and gives up after 100
// more. User-interface thread only.

#include "platform/gdi/gdi.h"
#include "platform/kernel/debug.h"
#include "platform/kernel/time.h"

#include <cstddef>
#include <functional>
#include <list>
#include <map>
#include <memory>
#include <utility>
#include <vector>

// One GDI object, deleted with its last holder.
class GdiObject {
public:
    explicit GdiObject(HGDIOBJ handle)
        : m_handle(handle) {}
    ~GdiObject() { DeleteObject(m_handle); }
    GdiObject(const GdiObject&) = delete;
    GdiObject& operator=(const GdiObject&) = delete;
    [[nodiscard]] HGDIOBJ Handle() const { return m_handle; }

private:
    HGDIOBJ m_handle;
};
using GdiObjectRef = std::shared_ptr<GdiObject>;

template <typename Key> class GdiCache {
public:
    static constexpr int kFailuresBeforePause = 100;
    static constexpr DWORD kPauseMs = 1000;

    // create makes the object of a key; null when GDI cannot.
    GdiCache(std::size_t capacity, std::function<HGDIOBJ(const Key&)> create)
        : m_capacity(capacity)
        , m_create(std::move(create)) {}

    // The object of the key, created when missing; null when creation kept failing.
    [[nodiscard]] GdiObjectRef Get(const Key& key) {
        if (!m_recent.empty() && m_recent.front().first == key) {
            return m_recent.front().second;
        }
        if (auto found = m_nodes.find(key); found != m_nodes.end()) {
            m_recent.splice(m_recent.begin(), m_recent, found->second);
            return found->second->second;
        }
        HGDIOBJ made = Create(key);
        if (made == nullptr) {
            return nullptr;
        }
        GdiObjectRef object = std::make_shared<GdiObject>(made);
        m_recent.emplace_front(key, object);
        m_nodes[key] = m_recent.begin();
        Evict(m_capacity); // the new entry is held here, so it stays
        return object;
    }

    // Drops every entry; objects still held elsewhere live on with their holders.
    void Clear() {
        m_recent.clear();
        m_nodes.clear();
    }
    [[nodiscard]] std::size_t Count() const { return m_recent.size(); }
    // Keys from the most recently used.
    [[nodiscard]] std::vector<Key> Keys() const {
        std::vector<Key> keys;
        for (const auto& entry : m_recent) {
            keys.push_back(entry.first);
        }
        return keys;
    }

private:
    HGDIOBJ Create(const Key& key) {
        for (int failures = 1;; ++failures) {
            if (HGDIOBJ made = m_create(key); made != nullptr) {
                return made;
            }
            OutputDebugStringW(u"NO_MEMORY_IN_CACHE\n");
            if (failures == 2 * kFailuresBeforePause) {
                OutputDebugStringW(u"GDI cache: giving up after 200 failed creations\n");
                return nullptr;
            }
            if (failures % kFailuresBeforePause == 0) {
                Sleep(kPauseMs);
            }
            Evict(0);
        }
    }

    // Evicts from the least recently used end what nobody else holds, until count <= limit.
    void Evict(std::size_t limit) {
        for (auto it = m_recent.end(); it != m_recent.begin() && m_recent.size() > limit;) {
            --it;
            if (it->second.use_count() == 1) {
                m_nodes.erase(it->first);
                it = m_recent.erase(it);
            }
        }
    }

    using Entry = std::pair<Key, GdiObjectRef>;
    std::size_t m_capacity;
    std::function<HGDIOBJ(const Key&)> m_create;
    std::list<Entry> m_recent; // most recent first
    std::map<Key, typename std::list<Entry>::iterator> m_nodes;
};
