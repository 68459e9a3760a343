#pragma once
// The instance channel: how a second start of the program on a device root reaches the instance
// that runs there already. The running instance listens on a Unix-domain socket beside the lock
// file of its named mutex (platform/files/mutex.h); each request is handled on the thread that
// opened the channel, inside its message loop, and answered. The socket is open to its owner
// alone, whatever the umask, and a request of a process of another user is not taken. The request
// layout is in docs/instance-channel.md. Safe from any thread unless said otherwise.

#include "platform/types.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

constexpr DWORD ERROR_GEN_FAILURE = 31;
constexpr DWORD ERROR_TIMEOUT = 1460;

namespace platform {

inline constexpr std::uint8_t kInstanceRequestMagic[4] = {'N', 'I', 'R', 'Q'};
constexpr WORD kInstanceRequestVersion = 1;
constexpr std::size_t kInstanceRequestHeaderSize = 12;
constexpr std::size_t kInstanceRequestTitleMax = 256; // UTF-16 units

enum class InstanceRequestKind : WORD {
    ActivateWindow = 1, // bring the top-level window of this title to the front
};

struct InstanceRequest {
    InstanceRequestKind kind = InstanceRequestKind::ActivateWindow;
    std::u16string windowTitle;
    bool operator==(const InstanceRequest&) const = default;
};

// Why a request was refused. Append only.
enum class InstanceRequestError : int {
    None = 0,
    TooShort = 1,    // shorter than the header
    BadMagic = 2,    // not a request
    BadVersion = 3,  // a layout version this reader does not know
    UnknownKind = 4, // a kind this reader does not know
    BadLength = 5,   // a title over the limit, or a size that differs from the header's
};
[[nodiscard]] std::u16string_view InstanceRequestErrorText(InstanceRequestError error);

// The bytes of a request; the title is cut to kInstanceRequestTitleMax units.
[[nodiscard]] std::vector<std::uint8_t> EncodeInstanceRequest(const InstanceRequest& request);
// Reads a whole request; nullopt with error set when the data is refused.
[[nodiscard]] std::optional<InstanceRequest>
ParseInstanceRequest(std::span<const std::uint8_t> data, InstanceRequestError* error = nullptr);

// Handles a request on the channel's thread; the result is the answer the sender gets.
using InstanceRequestHandler = std::function<bool(const InstanceRequest& request)>;

// Listens for the requests to the instance that holds the named mutex `name` (call it after
// CreateMutexW of that name created the mutex). Requests are handled by handler on the calling
// thread while it gets or peeks messages. One channel per process. False with the last error:
// ERROR_ALREADY_EXISTS when a channel is open, ERROR_INVALID_PARAMETER for an empty name or no
// handler, ERROR_ACCESS_DENIED when the socket cannot be made (so too when an entry that is not
// a socket, a file say, lies at its path: it is left as it is).
[[nodiscard]] bool OpenInstanceChannel(std::u16string_view name, InstanceRequestHandler handler);
// Stops listening and removes the socket; no handler runs after it returns, and a request being
// answered gets false. From the thread that opened the channel; nothing when none is open.
void CloseInstanceChannel();

// Sends a request to the instance listening for `name` and waits up to timeoutMs (host time, not
// the installed clock) for its answer. True when that instance's handler returned true. False
// with the last error: ERROR_FILE_NOT_FOUND when no instance listens, ERROR_TIMEOUT when no
// answer came in time, ERROR_GEN_FAILURE when the handler returned false or the instance closed
// its channel first.
[[nodiscard]] bool SendInstanceRequest(std::u16string_view name, const InstanceRequest& request,
                                       DWORD timeoutMs);

} // namespace platform
