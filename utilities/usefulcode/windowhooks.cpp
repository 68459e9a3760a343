#include "utilities/usefulcode/windowhooks.h"

#include "platform/window/window.h"

#include <algorithm>
#include <map>
#include <vector>

namespace {

// Hooks of one kind by window, each window's hooks in attach order.
template <class Hook> class HookTable {
public:
    struct Entry {
        WNDPROC previous;
        Hook* hook;
    };

    void Attach(HWND window, Hook* hook, WNDPROC procedure) {
        auto [first, last] = m_entries.equal_range(window);
        WNDPROC previous = nullptr;
        if (first == last) {
            previous = reinterpret_cast<WNDPROC>(GetWindowLongW(window, GWL_WNDPROC));
            SetWindowLongW(window, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(procedure));
        } else {
            previous = first->second.previous;
        }
        m_entries.emplace(window, Entry{previous, hook});
    }

    void Detach(HWND window, Hook* hook) {
        auto [first, last] = m_entries.equal_range(window);
        auto found =
            std::find_if(first, last, [&](const auto& entry) { return entry.second.hook == hook; });
        if (found == last)
            return;
        const WNDPROC previous = found->second.previous;
        m_entries.erase(found);
        if (m_entries.count(window) == 0) {
            SetWindowLongW(window, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
        }
    }

    // Offers the message to the window's hooks that accept it until one handles it.
    template <class Accepts>
    LRESULT Route(HWND window, UINT message, WPARAM wParam, LPARAM lParam, Accepts accepts) {
        auto [first, last] = m_entries.equal_range(window);
        if (first == last)
            return DefWindowProcW(window, message, wParam, lParam);
        const WNDPROC previous = first->second.previous;
        std::vector<Hook*> hooks;
        for (auto it = first; it != last; ++it)
            hooks.push_back(it->second.hook);
        for (Hook* hook : hooks) {
            // An earlier hook's handler may have detached this one.
            if (!IsAttached(window, hook) || !accepts(*hook) || hook->map.Get() == nullptr) {
                continue;
            }
            LRESULT result = 0;
            bool handled = false;
            MessageArgs args{wParam, lParam, &result, &handled};
            hook->map.Get()->Dispatch(message, &args);
            if (handled)
                return result;
        }
        return CallWindowProcW(previous, window, message, wParam, lParam);
    }

private:
    bool IsAttached(HWND window, const Hook* hook) const {
        auto [first, last] = m_entries.equal_range(window);
        return std::any_of(first, last, [&](const auto& e) { return e.second.hook == hook; });
    }

    std::multimap<HWND, Entry> m_entries;
};

HookTable<SubclassHook>& Subclasses() {
    static HookTable<SubclassHook> table;
    return table;
}

HookTable<ReflectHook>& Reflections() {
    static HookTable<ReflectHook> table;
    return table;
}

} // namespace

void SubclassHook::SetWindow(HWND newWindow) {
    if (window != nullptr)
        SubclassRegistry::Detach(window, this);
    window = newWindow;
    if (window != nullptr)
        SubclassRegistry::Attach(window, this);
}

void ReflectHook::SetWindows(HWND newControl, HWND newParent) {
    if (parent != nullptr)
        ReflectRegistry::Detach(parent, this);
    control = newControl;
    parent = newParent;
    if (parent != nullptr)
        ReflectRegistry::Attach(parent, this);
}

void SubclassRegistry::Init() {
    (void)Subclasses();
}

void SubclassRegistry::Attach(HWND window, SubclassHook* hook) {
    Subclasses().Attach(window, hook, &SubclassRegistry::WindowProc);
}

void SubclassRegistry::Detach(HWND window, SubclassHook* hook) {
    Subclasses().Detach(window, hook);
}

LRESULT SubclassRegistry::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return Subclasses().Route(window, message, wParam, lParam,
                              [](const SubclassHook&) { return true; });
}

void ReflectRegistry::Init() {
    (void)Reflections();
}

void ReflectRegistry::Attach(HWND parent, ReflectHook* hook) {
    Reflections().Attach(parent, hook, &ReflectRegistry::WindowProc);
}

void ReflectRegistry::Detach(HWND parent, ReflectHook* hook) {
    Reflections().Detach(parent, hook);
}

LRESULT ReflectRegistry::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return Reflections().Route(window, message, wParam, lParam, [lParam](const ReflectHook& hook) {
        return lParam == reinterpret_cast<LPARAM>(hook.control);
    });
}
