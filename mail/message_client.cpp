// What every mail client shares beside reading and writing messages.
#include "mail/message_client.h"

#include "core/text.h"
#include "net/exceptions.h"

namespace replyvane::mail {

void MessageClient::RaiseReadTimeout(int32_t timeout) {
  throw net::ReadTimeout(core::Format(
      "Read Timeout: the %s server %s port %d sent nothing for %d s while %s "
      "was awaited",
      ProtocolName(), Host().c_str(), Port(), (timeout + 999) / 1000,
      Awaited().empty() ? "a reply" : Awaited().c_str()));
}

void MessageClient::RaiseWriteTimeout() {
  throw net::WriteTimeout(core::Format(
      "Write Timeout: the %s server %s port %d took nothing for %d s",
      ProtocolName(), Host().c_str(), Port(), (ReadTimeout() + 999) / 1000));
}

}  // namespace replyvane::mail
