// instanceprobe ROOT NAME [TITLE]: a second instance for the instance tests. On the device root
// ROOT it opens the named mutex NAME and, when it existed and TITLE is given, asks the running
// instance to activate the window TITLE. Exit code: 0 the mutex was new, 1 it existed, 2 it
// existed and the running instance activated the window, 3 it existed and the request failed,
// 4 usage or error. With NAV_PROBE_USER set to a user id, the request is sent as that user (the
// probe must run as root to become it; 5 when it cannot).
#include "platform/files/mutex.h"
#include "platform/files/paths.h"
#include "platform/kernel/codepage.h"
#include "platform/window/instancechannel.h"

#include <cstdlib>
#include <grp.h>
#include <unistd.h>

int main(int argc, char** argv) {
    if (argc != 3 && argc != 4) {
        return 4;
    }
    platform::SetDeviceRoot(argv[1]);
    const std::u16string name = platform::Utf8ToUtf16(argv[2]);
    HANDLE mutex = CreateMutexW(nullptr, FALSE, name.c_str());
    if (mutex == nullptr) {
        return 4;
    }
    const bool existed = GetLastError() == ERROR_ALREADY_EXISTS;
    int result = existed ? 1 : 0;
    if (const char* user = std::getenv("NAV_PROBE_USER"); user != nullptr && existed) {
        const auto id = static_cast<uid_t>(std::strtoul(user, nullptr, 10));
        if (::setgroups(0, nullptr) != 0 || ::setresgid(id, id, id) != 0 ||
            ::setresuid(id, id, id) != 0) {
            return 5;
        }
    }
    if (existed && argc == 4) {
        const platform::InstanceRequest request{platform::InstanceRequestKind::ActivateWindow,
                                                platform::Utf8ToUtf16(argv[3])};
        result = platform::SendInstanceRequest(name, request, 10000) ? 2 : 3;
    }
    CloseHandle(mutex);
    return result;
}
