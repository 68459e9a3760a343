#pragma once
// Hooks on windows the framework did not create. A SubclassHook routes a window's own messages
// to its map; a ReflectHook routes those messages of a parent whose lParam is one control
// window to the control's map. Several hooks on one window are asked in attach order and the
// first whose handlers handle a message wins; without one, the window's previous procedure
// gets it. User-interface thread only.

#include "utilities/usefulcode/messagemap.h"

#include "platform/window/windowtypes.h"

struct SubclassHook {
    SubclassHook() = default;
    ~SubclassHook() { SetWindow(nullptr); }
    SubclassHook(const SubclassHook&) = delete;
    SubclassHook& operator=(const SubclassHook&) = delete;
    // Detaches from the previous window first; null only detaches.
    void SetWindow(HWND newWindow);

    HWND window = nullptr;
    MessageMapPtr map;
};

struct ReflectHook {
    ReflectHook() = default;
    ~ReflectHook() { SetWindows(nullptr, nullptr); }
    ReflectHook(const ReflectHook&) = delete;
    ReflectHook& operator=(const ReflectHook&) = delete;
    // Detaches from the previous parent first; a null parent only detaches.
    void SetWindows(HWND newControl, HWND newParent);

    HWND control = nullptr;
    HWND parent = nullptr;
    MessageMapPtr map;
};

class SubclassRegistry {
public:
    // Builds the registry once; it is destroyed at process exit.
    static void Init();
    // The first hook of a window saves its procedure and installs WindowProc.
    static void Attach(HWND window, SubclassHook* hook);
    // The last hook leaving restores the saved procedure. Unknown hooks: nothing.
    static void Detach(HWND window, SubclassHook* hook);
    static LRESULT WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
};

class ReflectRegistry {
public:
    static void Init();
    // Keyed by the parent window.
    static void Attach(HWND parent, ReflectHook* hook);
    static void Detach(HWND parent, ReflectHook* hook);
    static LRESULT WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
};

namespace window_hooks_detail {
// Every source file that includes this header builds both registries during its static
// initialisation.
[[maybe_unused]] static const bool kAreRegistriesBuilt =
    (SubclassRegistry::Init(), ReflectRegistry::Init(), true);
} // namespace window_hooks_detail
