// TCP keepalive on every socket of the program. Replies have no time limit,
// so a connection whose peer vanished without a word (a NAT timeout, a
// pulled cable) would otherwise hold a check for ever; with these probes it
// fails within about two minutes with the usual socket error (10060
// "Connection timed out."). The same bound applies to data the peer never
// acknowledges (TCP_USER_TIMEOUT), which keepalive alone does not cover.
#ifndef REPLYVANE_NET_KEEP_ALIVE_H_
#define REPLYVANE_NET_KEEP_ALIVE_H_

#include <cstdint>

namespace replyvane::net {

class Stack;

struct KeepAliveProfile {
  int32_t idle_seconds;      // quiet time before the first probe
  int32_t interval_seconds;  // between unanswered probes
  int32_t probe_count;       // unanswered probes that end the connection

  // How long a silent peer is given: idle + interval * count, in ms.
  int32_t UserTimeoutMs() const {
    return (idle_seconds + interval_seconds * probe_count) * 1000;
  }
};

// The program's keepalive: idle 60 s, interval 10 s, 6 probes.
inline constexpr KeepAliveProfile kKeepAlive{60, 10, 6};

// The profile that sockets allocated from now on get: kKeepAlive unless a
// test set another. Safe from any thread.
KeepAliveProfile CurrentKeepAliveProfile();
// For tests only: shorter timing, so a vanished peer is seen in seconds.
void SetKeepAliveProfileForTesting(const KeepAliveProfile& profile);

// Switches keepalive on for `socket` with CurrentKeepAliveProfile. Like the
// stack's wrappers: 0, or -1 with the code in Stack::WSAGetLastError.
int32_t EnableKeepAlive(Stack& stack, int32_t socket);

}  // namespace replyvane::net

#endif  // REPLYVANE_NET_KEEP_ALIVE_H_
