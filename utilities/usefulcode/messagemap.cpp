#include "utilities/usefulcode/messagemap.h"

#include <algorithm>
#include <vector>

void MessageHandler::DetachFromMap() {
    if (m_map != nullptr) {
        m_map->Erase(this);
        m_map = nullptr;
    }
}

void MessageHandler::DetachFromOwner() {
    if (m_owner != nullptr) {
        m_owner->Remove(this);
    }
}

MessageMap::~MessageMap() {
    for (DispatchFrame* frame = m_frames; frame != nullptr; frame = frame->outer) {
        frame->isMapGone = true;
    }
    auto entries = std::move(m_entries);
    for (auto& [message, handler] : entries) {
        handler->m_map = nullptr;
        DestroyEntry(handler);
    }
}

bool MessageMap::Contains(UINT message, const MessageHandler* handler) const {
    const auto [first, last] = m_entries.equal_range(message);
    return std::any_of(first, last, [&](const auto& entry) { return entry.second == handler; });
}

void MessageMap::Dispatch(UINT message, MessageArgs* args) {
    // Handlers may add or remove handlers, or destroy this map, while they run: the list is
    // taken first and each handler is checked before it is called.
    std::vector<MessageHandler*> handlers;
    const auto [first, last] = m_entries.equal_range(message);
    for (auto it = first; it != last; ++it)
        handlers.push_back(it->second);
    DispatchFrame frame{false, m_frames};
    m_frames = &frame;
    for (MessageHandler* handler : handlers) {
        if (!Contains(message, handler))
            continue;
        handler->Invoke(args);
        if (frame.isMapGone)
            return;
    }
    m_frames = frame.outer;
}

bool MessageMap::Insert(MessageHandler* handler) noexcept {
    try {
        m_entries.emplace(handler->GetMessage(), handler); // after the equal ones
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

void MessageMap::Erase(MessageHandler* handler) noexcept {
    const auto [first, last] = m_entries.equal_range(handler->GetMessage());
    for (auto it = first; it != last; ++it) {
        if (it->second == handler) {
            m_entries.erase(it);
            return;
        }
    }
}

void MessageMap::DestroyEntry(MessageHandler* handler) {
    handler->DetachFromOwner();
    delete handler;
}

void MessageMap::RemoveOwner(const OwnerHandlerList* owner) {
    std::vector<MessageHandler*> removed;
    for (auto it = m_entries.begin(); it != m_entries.end();) {
        if (it->second->GetOwner() == owner) {
            removed.push_back(it->second);
            it = m_entries.erase(it);
        } else {
            ++it;
        }
    }
    for (MessageHandler* handler : removed) {
        handler->m_map = nullptr;
        DestroyEntry(handler);
    }
}
