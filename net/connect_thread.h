// A connect performed on a short-lived thread while the calling thread waits
// in steps of 125 ms (or the anti-freeze's shorter IdleTimeOut), processing
// window messages after each step; the step in which the thread finishes
// ends at once. The thread connects non-blocking and checks for a stop
// request, so giving up never leaves it blocked on a closed descriptor. It
// runs on the caller's CPU where it can, since the caller only waits.
#ifndef REPLYVANE_NET_CONNECT_THREAD_H_
#define REPLYVANE_NET_CONNECT_THREAD_H_

#include <cstdint>

#include "net/socket_handle.h"

namespace replyvane::net {

inline constexpr int32_t kConnectStep = 125;

// Connects `handle` (RemoteIP/RemotePort set) within `timeout` ms (-2 without
// limit). Raises ConnectException with the message of the error that ended
// the connect, or, when the time runs out, closes the socket and raises
// ConnectTimeout. The handle must stay alive during the call.
void ConnectWithThread(SocketHandle& handle, int32_t timeout);

}  // namespace replyvane::net

#endif  // REPLYVANE_NET_CONNECT_THREAD_H_
