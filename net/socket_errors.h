// The Windows Sockets error codes the layer reports, their texts, and how
// POSIX errno values and name-lookup failures map onto them.
#ifndef REPLYVANE_NET_SOCKET_ERRORS_H_
#define REPLYVANE_NET_SOCKET_ERRORS_H_

#include <cstdint>

namespace replyvane::net {

// The text of a code ("Connection refused."); "" for a code not in the
// table.
const char* SocketErrorDescription(int32_t code);
// The Windows Sockets code for an errno value; codes without a counterpart
// are passed through unchanged.
int32_t SocketCodeFromErrno(int error);
// The code for a getaddrinfo failure: an unknown name is 11001.
int32_t SocketCodeFromLookup(int eai_error);

}  // namespace replyvane::net

#endif  // REPLYVANE_NET_SOCKET_ERRORS_H_
