// The keepalive options go through the stack's SetSockOpt like any other
// option, so a failure carries its Windows Sockets code.
#include "net/keep_alive.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <mutex>

#include "net/stack.h"

namespace replyvane::net {

namespace {

std::mutex g_profile_mutex;
KeepAliveProfile g_profile = kKeepAlive;

}  // namespace

KeepAliveProfile CurrentKeepAliveProfile() {
  std::lock_guard<std::mutex> lock(g_profile_mutex);
  return g_profile;
}

void SetKeepAliveProfileForTesting(const KeepAliveProfile& profile) {
  std::lock_guard<std::mutex> lock(g_profile_mutex);
  g_profile = profile;
}

int32_t EnableKeepAlive(Stack& stack, int32_t socket) {
  const KeepAliveProfile profile = CurrentKeepAliveProfile();
  const int32_t on = 1;
  const int32_t user_timeout = profile.UserTimeoutMs();
  const struct {
    int32_t level;
    int32_t option;
    const int32_t* value;
  } options[] = {
      {SOL_SOCKET, SO_KEEPALIVE, &on},
      {IPPROTO_TCP, TCP_KEEPIDLE, &profile.idle_seconds},
      {IPPROTO_TCP, TCP_KEEPINTVL, &profile.interval_seconds},
      {IPPROTO_TCP, TCP_KEEPCNT, &profile.probe_count},
      {IPPROTO_TCP, TCP_USER_TIMEOUT, &user_timeout},
  };
  for (const auto& option : options) {
    if (stack.SetSockOpt(socket, option.level, option.option, option.value,
                         sizeof(*option.value)) == kSocketError) {
      return kSocketError;
    }
  }
  return 0;
}

}  // namespace replyvane::net
