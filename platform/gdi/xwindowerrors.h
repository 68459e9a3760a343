#pragma once
// The X errors of the visible screen's window, where SDL2 draws it on an X display. Kept apart
// from the window's other code: the X headers' names clash with the platform's types.

struct SDL_Window;

namespace platform {

// What is done when the connection to the display is lost, on the thread that found it. It must
// not return: the X library would end the process from that thread, under the window's feet.
using XConnectionLostAction = void (*)();

// Before SDL2 starts its video: each kind of X error is told once on the error output and the
// window goes on (Xlib's own handler would end the process at the first, in its own words only,
// and SDL2 passes on to the handler it finds the errors it does not handle itself). A lost
// connection to the display is told once, then onLost is called; the display is not used again.
void TellXErrorsAndGoOn(XConnectionLostAction onLost);

// Before the window's surface is made, on the X display of window (nothing for another video
// driver): a refused MIT-SHM attach reaches SDL2 as BadAccess, after which it draws without
// shared memory. A server that will not share memory with a client (one reached through ssh's
// X11 forwarding, say) refuses it with BadRequest, which SDL2 would pass on as fatal.
void TellRefusedSharedMemoryAsBadAccess(SDL_Window* window);

} // namespace platform
