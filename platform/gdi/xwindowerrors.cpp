// The X errors of the visible screen's window.
#include "platform/gdi/xwindowerrors.h"

#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xlib.h>
#include <X11/Xlibint.h>
#include <X11/Xproto.h>
#include <X11/extensions/shmproto.h>
#undef min
#undef max

#include <array>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <mutex>
#include <set>
#include <tuple>
#include <unistd.h>

namespace {

int TellXError(Display* display, XErrorEvent* error) {
    static std::mutex mutex;
    static std::set<std::tuple<int, int, int>> told;
    {
        std::lock_guard lock(mutex);
        if (!told.emplace(error->error_code, error->request_code, error->minor_code).second)
            return 0;
    }
    char text[160] = {};
    ::XGetErrorText(display, error->error_code, text, sizeof text);
    (void)std::fprintf(stderr,
                       "%s: the X server refused a request of the window: %s (request %d.%d); "
                       "the window goes on\n",
                       program_invocation_short_name, text, error->request_code, error->minor_code);
    return 0;
}

std::atomic<platform::XConnectionLostAction> g_onConnectionLost{nullptr};

// Xlib ends the process with exit() when this returns, on the thread that found the loss, while
// the others go on: the action set ends the program, and without one the process ends here.
[[noreturn]] int TellXConnectionLost(Display* display) {
    static std::atomic<bool> isTold{false};
    if (!isTold.exchange(true)) {
        (void)std::fprintf(
            stderr, "%s: the connection to the X display \"%s\" was lost; the program ends\n",
            program_invocation_short_name, DisplayString(display));
    }
    if (const platform::XConnectionLostAction onLost = g_onConnectionLost.load())
        onLost();
    ::_exit(1);
}

// A display's conversion of an error from the wire, as XESetWireToError takes and gives it.
using XWireToError = Bool (*)(Display*, XErrorEvent*, xError*);

constexpr int kFirstCoreError = BadRequest;
constexpr int kLastCoreError = BadImplementation;
// MIT-SHM's major opcode on the window's display, and the display's conversions of the core
// errors from before.
std::atomic<int> g_sharedMemoryOpcode{0};
std::array<XWireToError, kLastCoreError + 1> g_earlierWireToError{};

Bool TellRefusedAttachAsBadAccess(Display* display, XErrorEvent* host, xError* wire) {
    const int opcode = g_sharedMemoryOpcode.load();
    if (opcode != 0 && host->request_code == opcode && host->minor_code == X_ShmAttach) {
        host->error_code = BadAccess;
        return True;
    }
    const XWireToError earlier = g_earlierWireToError.at(host->error_code);
    return earlier != nullptr ? earlier(display, host, wire) : True;
}

} // namespace

namespace platform {

void TellXErrorsAndGoOn(XConnectionLostAction onLost) {
    g_onConnectionLost = onLost;
    ::XSetErrorHandler(TellXError);
    ::XSetIOErrorHandler(TellXConnectionLost);
}

void TellRefusedSharedMemoryAsBadAccess(SDL_Window* window) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (SDL_GetWindowWMInfo(window, &info) != SDL_TRUE || info.subsystem != SDL_SYSWM_X11)
        return;
    Display* display = info.info.x11.display;
    int opcode = 0, firstEvent = 0, firstError = 0;
    if (::XQueryExtension(display, "MIT-SHM", &opcode, &firstEvent, &firstError) == False)
        return;
    g_sharedMemoryOpcode = opcode;
    for (int code = kFirstCoreError; code <= kLastCoreError; ++code) {
        if (code != BadAccess)
            g_earlierWireToError.at(code) =
                ::XESetWireToError(display, code, TellRefusedAttachAsBadAccess);
    }
}

} // namespace platform
