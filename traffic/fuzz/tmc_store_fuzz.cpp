// Raw TMC messages from arbitrary bytes into a message store over the sample tables, the clock
// moved between them: each 29-byte chunk is a clock step (seconds x 8) and a 28-byte record.
// After a closing cancel-all, every message that entered (Added, or the new one of Replaced)
// has left exactly once (Removed, or the old one of Replaced). The store, its database and the
// ledger's connections are made once; each input starts from an empty store (the previous
// input's cancel-all emptied it), an empty ledger and an empty block cache.

#include "testdata/alertcencoder.h"
#include "testdata/tempdir.h"
#include "testdata/tmctableswriter.h"
#include "traffic/tmcdecoder.h"
#include "traffic/tmcmessagestore.h"
#include "utilities/usefulcode/memoryarena.h"

#include "platform/kernel/time.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <map>
#include <mutex>
#include <string>

namespace {

// Entries and exits per message; holding the messages keeps their addresses unique.
class Ledger {
public:
    OwnerHandlerList& GetOwnerHandlerList() { return m_handlers; }
    void OnAdded(TmcMessagePtr m) { Count(m, 1, 0); }
    void OnRemoved(TmcMessagePtr m) { Count(m, 0, 1); }
    void OnReplaced(TmcMessagePtr old, TmcMessagePtr m) {
        Count(old, 0, 1);
        Count(m, 1, 0);
    }
    // Forgets the messages counted so far.
    void Clear() {
        std::lock_guard lock(m_mutex);
        m_entries.clear();
    }
    [[nodiscard]] bool IsBalanced() {
        std::lock_guard lock(m_mutex);
        for (const auto& [pointer, entry] : m_entries) {
            if (entry.entered != 1 || entry.left != 1) {
                return false;
            }
        }
        return true;
    }

private:
    struct Entry {
        TmcMessagePtr message;
        int entered = 0;
        int left = 0;
    };
    void Count(const TmcMessagePtr& m, int entered, int left) {
        std::lock_guard lock(m_mutex);
        Entry& entry = m_entries[m.Get()];
        entry.message = m;
        entry.entered += entered;
        entry.left += left;
    }
    std::mutex m_mutex;
    std::map<const TmcMessage*, Entry> m_entries;
    OwnerHandlerList m_handlers;
};

TmcRawMessage CancelAll() {
    testdata::AlertCMessage message;
    message.event = 2047;
    message.location = 65535;
    testdata::AlertCEncoder encoder;
    const std::string text = encoder.AddTable(message.programmeId, 1).AddMessage(message).Build();
    TmcDecoder decoder;
    TmcRawMessage raw{};
    for (int offset = 0; offset < static_cast<int>(text.size());) {
        offset += decoder.Decode(text.data() + offset, static_cast<int>(text.size()) - offset);
        if (const TmcRawMessage* decoded = decoder.TakeMessage()) {
            raw = *decoded;
        }
    }
    return raw;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool isReserved = MemoryArena::Shared().Reserve(8 << 20);
    static platform::VirtualClock clock;
    static platform::ScopedClock installed{clock};
    static testdata::TempDeviceRoot root;
    static const bool isWritten = [] {
        testdata::TmcTablesModel model = testdata::TmcSampleTables();
        testdata::TmcLocationRow all;
        all.code = MakeTmcLocationCode(1, 1, 65535);
        all.firstName = "Alle";
        model.locations.push_back(all);
        return testdata::TmcTablesWriter(model).WriteFolder(root, u"\\Data", true);
    }();
    static const TmcRawMessage cancelAll = CancelAll();
    static const BlockCachePtr cache = BlockCache::Create(64);
    static const six::RefCntPtr<TmcMessageStore> store = [] {
        six::RefCntPtr<TmcMessageStore> made = CreateTmcMessageStore();
        if (made && cache && isWritten && made->OpenDatabaseWithCache(u"\\Data", cache)) {
            return made;
        }
        return six::RefCntPtr<TmcMessageStore>();
    }();
    if (!isReserved || !store) {
        return 0;
    }
    // After the store: it goes first at exit, its connections while the store still stands.
    static Ledger ledger;
    static const bool isConnected = [] {
        store->Added.Connect(&ledger, &Ledger::OnAdded);
        store->Removed.Connect(&ledger, &Ledger::OnRemoved);
        store->Replaced.Connect(&ledger, &Ledger::OnReplaced);
        return true;
    }();
    (void)isConnected;
    constexpr std::size_t kChunk = 1 + sizeof(TmcRawMessage);
    for (std::size_t offset = 0; offset + kChunk <= size; offset += kChunk) {
        clock.Advance(std::uint64_t{data[offset]} * 8000);
        TmcRawMessage raw{};
        std::memcpy(&raw, data + offset + 1, sizeof raw);
        (void)store->AddRawMessage(&raw);
    }
    (void)store->AddRawMessage(&cancelAll);
    if (store->GetCount() != 0 || !ledger.IsBalanced()) {
        __builtin_trap();
    }
    ledger.Clear();
    // The messages are gone with the ledger: the blocks they read leave the cache too, so that
    // the next input starts as this one did.
    cache->Flush();
    return 0;
}
