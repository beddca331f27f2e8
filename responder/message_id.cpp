#include "responder/message_id.h"

#include <sys/random.h>
#include <time.h>

#include <cstdint>

#include "core/text.h"

namespace replyvane::responder {

namespace {

// A domain as a Message-ID's right side takes it (dot-atom of letters,
// digits, "-" and "."), else empty.
std::string DomainOf(const std::string& address) {
  const size_t at = address.rfind('@');
  if (at == std::string::npos) return "";
  std::string domain = core::Trim(address.substr(at + 1));
  if (!domain.empty() && domain.back() == '>') domain.pop_back();
  if (domain.empty() || domain.front() == '.' || domain.back() == '.') {
    return "";
  }
  for (char c : domain) {
    const bool fits = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                      (c >= '0' && c <= '9') || c == '-' || c == '.';
    if (!fits) return "";
  }
  return domain;
}

}  // namespace

std::string NewMessageId(const std::string& from_address) {
  unsigned char random[16] = {};
  size_t got = 0;
  while (got < sizeof(random)) {
    const ssize_t n = ::getrandom(random + got, sizeof(random) - got, 0);
    if (n <= 0) break;  // then the clock and the zero bytes still differ
    got += size_t(n);
  }
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  std::string id = core::Format(
      "<%lld.%09ld.", static_cast<long long>(now.tv_sec), now.tv_nsec);
  for (unsigned char byte : random) id += core::Format("%02x", byte);
  const std::string domain = DomainOf(from_address);
  return id + "@" + (domain.empty() ? "localhost" : domain) + ">";
}

}  // namespace replyvane::responder
