// For a call that blocks without the connection's wait slices (an HTTPS
// request through another library, a desktop service): made on the main
// thread while an anti-freeze is in use, it runs on a thread of its own and
// the main thread processes window messages in steps of at most 125 ms
// until it returns. Elsewhere it runs on the calling thread. The call must
// bound its own time: it is waited for, never abandoned.
#ifndef REPLYVANE_NET_RESPONSIVE_CALL_H_
#define REPLYVANE_NET_RESPONSIVE_CALL_H_

#include <functional>

namespace replyvane::net {

// What `call` raises is raised here.
void CallResponsively(const std::function<void()>& call);

}  // namespace replyvane::net

#endif  // REPLYVANE_NET_RESPONSIVE_CALL_H_
