#include "utilities/usefulcode/messagemap.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

std::vector<int> g_calls;

struct Owner {
    int id = 0;
    bool handles = false;
    LRESULT value = 0;
    std::function<void()> sideEffect;
    OwnerHandlerList handlers;
    OwnerHandlerList& GetOwnerHandlerList() { return handlers; }
    void On(UINT, WPARAM, LPARAM, LRESULT* result, bool* handled) {
        g_calls.push_back(id);
        if (handles) {
            *handled = true;
            *result = value;
        }
        if (sideEffect)
            sideEffect();
    }
};

LRESULT Dispatch(MessageMapPtr& map, UINT message, bool* handled) {
    LRESULT result = 0;
    *handled = false;
    MessageArgs args{0, 0, &result, handled};
    map.Get()->Dispatch(message, &args);
    return result;
}

TEST(MessageMapDispatch, EveryHandlerRunsInOrderAndTheLastResultWins) {
    const struct {
        std::vector<std::pair<bool, LRESULT>> owners; // handles, value
        bool handled;
        LRESULT result;
    } cases[] = {
        {{{true, 1}, {true, 2}}, true, 2},
        {{{true, 1}, {false, 0}}, true, 1},
        {{{false, 0}, {false, 0}}, false, 0},
        {{}, false, 0},
    };
    for (const auto& c : cases) {
        MessageMapPtr map;
        std::vector<std::unique_ptr<Owner>> owners;
        for (const auto& [handles, value] : c.owners) {
            owners.push_back(std::make_unique<Owner>());
            owners.back()->id = static_cast<int>(owners.size());
            owners.back()->handles = handles;
            owners.back()->value = value;
            ConnectMessageHandler(map, WM_USER, owners.back().get(), &Owner::On);
            ConnectMessageHandler(map, WM_USER + 1, owners.back().get(), &Owner::On);
        }
        g_calls.clear();
        bool handled = false;
        EXPECT_EQ(Dispatch(map, WM_USER, &handled), c.result);
        EXPECT_EQ(handled, c.handled);
        EXPECT_EQ(g_calls.size(), c.owners.size());
        for (size_t i = 0; i < g_calls.size(); ++i)
            EXPECT_EQ(g_calls[i], static_cast<int>(i + 1));
    }
}

TEST(MessageMapLifetime, EitherSideGoingRemovesTheHandlersEvenDuringADispatch) {
    const struct {
        const char* name;
        // what the first owner's handler does to the second owner or the map
        std::function<void(std::unique_ptr<Owner>&, MessageMapPtr&)> effect;
        std::vector<int> calls;
        size_t second; // handlers left with the second owner afterwards
    } cases[] = {
        {"nothing", [](auto&, auto&) {}, {1, 2}, 2},
        {"second owner destroyed", [](auto& second, auto&) { second.reset(); }, {1}, 0},
        {"second owner disconnected",
         [](auto& second, auto& map) { DisconnectMessageHandlers(map, second.get()); },
         {1},
         0},
        {"map destroyed", [](auto&, auto& map) { map.Reset(); }, {1}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto map = std::make_unique<MessageMapPtr>();
        auto first = std::make_unique<Owner>();
        auto second = std::make_unique<Owner>();
        first->id = 1;
        second->id = 2;
        first->sideEffect = [&] { c.effect(second, *map); };
        ConnectMessageHandler(*map, WM_USER, first.get(), &Owner::On);
        ConnectMessageHandler(*map, WM_USER, second.get(), &Owner::On);
        ConnectMessageHandler(*map, WM_USER + 1, second.get(), &Owner::On);
        g_calls.clear();
        LRESULT result = 0;
        bool handled = false;
        MessageArgs args{0, 0, &result, &handled};
        MessageMap* raw = map->Get();
        raw->Dispatch(WM_USER, &args);
        EXPECT_EQ(g_calls, c.calls);
        EXPECT_EQ(second ? second->handlers.GetSize() : 0u, c.second);
        EXPECT_EQ(first->handlers.GetSize(), map->Get() != nullptr ? 1u : 0u);
        first.reset(); // its handlers leave the map (or are already gone with it)
        if (map->Get() != nullptr) {
            EXPECT_EQ(map->Get()->GetSize(), c.second);
        }
    }
}

} // namespace
