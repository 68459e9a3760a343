// Registration of the system classes.
#include "platform/window/detail/state.h"

#include <mutex>

namespace platform::window_detail {

void RegisterSystemClasses() {
    static std::once_flag once;
    std::call_once(once, [] {});
}

} // namespace platform::window_detail
