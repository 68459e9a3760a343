#include "utilities/mapgeometry/elementiterator.h"

#include "platform/kernel/debug.h"

#include <string>
#include <utility>

using namespace maprecord;

namespace {

// Counts above what a block can hold end that block.
std::uint32_t CheckedCount(const std::uint8_t* block) {
    const std::uint32_t count = BlockEntryCount(block);
    return count <= (IsLeafBlock(block) ? kMaxLeafRecords : kMaxInnerEntries) ? count : 0;
}

void ReportBrokenTree(const CachedFilePtr& file, const char16_t* what) {
    const std::u16string text = file->GetName() + u": block tree " + what + u", walk ended\n";
    OutputDebugStringW(text.c_str());
}

} // namespace

ElementIterator::ElementIterator(CachedFilePtr blockFile, std::uint32_t version)
    : m_cursor(blockFile)
    , m_blockFile(std::move(blockFile))
    , m_version(version) {}

bool ElementIterator::IsValid() const {
    return m_cursor.GetData() != nullptr && m_record != nullptr;
}

std::uint32_t ElementIterator::GetElementId() const {
    if (!IsValid()) {
        return kNoElementId;
    }
    const auto slot =
        static_cast<std::uint32_t>(m_record - m_cursor.GetData() - kBlockHeaderSize) / kRecordSize;
    return MakeElementId(m_version, m_cursor.GetIndex(), slot);
}

const std::uint8_t* ElementIterator::ReadBlock(MapCursor& cursor, std::uint32_t block,
                                               bool isEntering) {
    if (block == 0 || m_isExhausted || !m_blockFile) {
        return nullptr;
    }
    if (isEntering && ++m_blocksEntered > m_blockFile->GetBlockCount()) {
        // More blocks entered than the file holds: the tree has a cycle or shared children.
        ReportBrokenTree(m_blockFile, u"enters more blocks than the file holds");
        m_isExhausted = true;
        return nullptr;
    }
    return cursor.Seek(block) ? cursor.GetData() : nullptr;
}

std::uint32_t ElementIterator::FirstIntersectingEntry(const std::uint8_t* block,
                                                      std::uint32_t from) const {
    const std::uint32_t count = CheckedCount(block);
    const DWORD blockCount = m_blockFile->GetBlockCount();
    for (std::uint32_t i = from; i < count; ++i) {
        const std::uint8_t* entry = InnerEntry(block, i);
        const std::uint32_t child = EntryChild(entry);
        if (child != 0 && child < blockCount && MapRect::Intersects(m_query, ReadRect(entry))) {
            return i;
        }
    }
    return count;
}

bool ElementIterator::Descend(std::uint32_t block) {
    for (;;) {
        if (m_stack.size() >= kMaxDepth) {
            ReportBrokenTree(m_blockFile, u"deeper than 64 levels");
            m_isExhausted = true;
            return false;
        }
        MapCursor nodeCursor(m_blockFile);
        const std::uint8_t* data = ReadBlock(nodeCursor, block, true);
        if (data == nullptr) {
            return false;
        }
        if (IsLeafBlock(data)) {
            m_leafCount = CheckedCount(data);
            if (m_leafCount == 0) {
                return false;
            }
            m_cursor = std::move(nodeCursor);
            return true;
        }
        const std::uint32_t entry = FirstIntersectingEntry(data, 0);
        if (entry == CheckedCount(data)) {
            return false;
        }
        const std::uint32_t child = EntryChild(InnerEntry(data, entry));
        m_stack.push_back({std::move(nodeCursor), static_cast<std::uint16_t>(entry)});
        block = child;
    }
}

std::uint32_t ElementIterator::NextCandidate() {
    while (!m_stack.empty() && !m_isExhausted) {
        StackEntry& top = m_stack.back();
        const std::uint8_t* data = top.node.GetData();
        const std::uint32_t entry =
            data != nullptr ? FirstIntersectingEntry(data, std::uint32_t{top.entry} + 1) : 0;
        if (data != nullptr && entry < CheckedCount(data)) {
            top.entry = static_cast<std::uint16_t>(entry);
            return EntryChild(InnerEntry(data, entry));
        }
        m_stack.pop_back();
    }
    return 0;
}

bool ElementIterator::RecordMeetsQuery() const {
    return MapRect::Intersects(m_query, RecordBounds(m_record));
}

void ElementIterator::End() {
    m_cursor.Reset();
    m_record = nullptr;
    m_stack.clear();
}

bool ElementIterator::EnterNextLeaf(std::uint32_t block) {
    while (!Descend(block)) {
        block = NextCandidate();
        if (block == 0) {
            End();
            return false;
        }
    }
    m_record = LeafRecord(m_cursor.GetData(), 0);
    return true;
}

void ElementIterator::Start(std::uint32_t root, const MapRect& query) {
    End();
    m_query = query;
    m_query.Normalize();
    m_blocksEntered = 0;
    m_isExhausted = false;
    if (root == 0 || !m_blockFile || !EnterNextLeaf(root)) {
        return;
    }
    if (!RecordMeetsQuery()) {
        Advance();
    }
}

void ElementIterator::Advance() {
    while (IsValid()) {
        m_record += kRecordSize;
        if (m_record >= LeafRecord(m_cursor.GetData(), m_leafCount)) {
            m_cursor.Reset();
            m_record = nullptr;
            if (!EnterNextLeaf(NextCandidate())) {
                return;
            }
        }
        if (RecordMeetsQuery()) {
            return;
        }
    }
}

bool ElementStore::Find(ElementIterator& iterator, std::uint32_t id) const {
    iterator = ElementIterator(m_blockFile, m_version);
    if (id == 0 || id == kNoElementId || !m_blockFile) {
        return false;
    }
    const std::uint32_t block = ElementIdBlock(m_version, id);
    const std::uint32_t slot = ElementIdSlot(m_version, id);
    if (block == 0 || !iterator.m_cursor.Seek(block)) {
        return false;
    }
    const std::uint8_t* data = iterator.m_cursor.GetData();
    if (!IsLeafBlock(data) || slot >= CheckedCount(data)) {
        iterator.m_cursor.Reset();
        return false;
    }
    iterator.m_leafCount = CheckedCount(data);
    iterator.m_record = LeafRecord(data, slot);
    return true;
}
