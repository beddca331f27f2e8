// The socket calls of the stack on POSIX. Every failure leaves its Windows
// Sockets code in the calling thread's last error; interrupted calls are
// repeated. Sends never raise SIGPIPE, and sockets are close-on-exec and
// carry TCP keepalive (net/keep_alive.h).
#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

#include "net/exceptions.h"
#include "net/keep_alive.h"
#include "net/socket_errors.h"
#include "net/stack.h"

namespace replyvane::net {

namespace {

thread_local int32_t t_last_error = 0;

// Slice of the interruptible connect's wait, so a stop request is seen soon.
constexpr int kConnectPollMs = 20;
constexpr size_t kSelectSetLimit = 64;

int32_t Fail() {
  t_last_error = SocketCodeFromErrno(errno);
  return kSocketError;
}

// A socket address of either family. An address text with a ":" is IPv6
// (inet_pton's spelling, brackets allowed), any other dotted IPv4; the empty
// text is the any-address of `family`.
struct SocketAddress {
  sockaddr_storage storage;
  socklen_t length;
  sockaddr* get() { return reinterpret_cast<sockaddr*>(&storage); }
};

SocketAddress MakeAddress(int32_t port, const std::string& ip,
                          int family = AF_INET) {
  SocketAddress address;
  std::memset(&address.storage, 0, sizeof(address.storage));
  std::string text = ip;
  if (text.size() >= 2 && text.front() == '[' && text.back() == ']') {
    text = text.substr(1, text.size() - 2);
  }
  if (text.find(':') != std::string::npos ||
      (text.empty() && family == AF_INET6)) {
    auto& v6 = reinterpret_cast<sockaddr_in6&>(address.storage);
    v6.sin6_family = AF_INET6;
    v6.sin6_port = htons(uint16_t(port));
    // A text inet_pton refuses is the any-address, as an unset IPv4 is.
    if (!text.empty()) ::inet_pton(AF_INET6, text.c_str(), &v6.sin6_addr);
    address.length = sizeof(sockaddr_in6);
    return address;
  }
  auto& v4 = reinterpret_cast<sockaddr_in&>(address.storage);
  v4.sin_family = AF_INET;
  v4.sin_port = htons(uint16_t(port));
  if (!text.empty()) {
    std::vector<uint8_t> bytes = Stack::TextToAddress(text);
    std::memcpy(&v4.sin_addr, bytes.data(), 4);
  }
  address.length = sizeof(sockaddr_in);
  return address;
}

void ReadAddress(const sockaddr* address, std::string* ip, int32_t* port) {
  if (address->sa_family == AF_INET6) {
    const auto* v6 = reinterpret_cast<const sockaddr_in6*>(address);
    char text[INET6_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET6, &v6->sin6_addr, text, sizeof(text));
    if (ip) *ip = text;
    if (port) *port = ntohs(v6->sin6_port);
    return;
  }
  const auto* v4 = reinterpret_cast<const sockaddr_in*>(address);
  uint8_t bytes[4];
  std::memcpy(bytes, &v4->sin_addr, 4);
  if (ip) *ip = Stack::AddressToText(bytes);
  if (port) *port = ntohs(v4->sin_port);
}

// The family a socket was opened for.
int FamilyOf(int32_t socket) {
  int family = AF_INET;
  socklen_t length = sizeof(family);
  if (::getsockopt(socket, SOL_SOCKET, SO_DOMAIN, &family, &length) != 0) {
    return AF_INET;
  }
  return family;
}

// getsockname or getpeername into address text and port.
int32_t QueryName(int (*call)(int, sockaddr*, socklen_t*), int32_t socket,
                  std::string* ip, int32_t* port) {
  sockaddr_storage address;
  socklen_t length = sizeof(address);
  if (call(socket, reinterpret_cast<sockaddr*>(&address), &length) == -1) {
    return Fail();
  }
  ReadAddress(reinterpret_cast<sockaddr*>(&address), ip, port);
  return 0;
}

// Restores the blocking mode of a socket when the connect attempt ends.
class NonBlockingScope {
 public:
  explicit NonBlockingScope(int fd) : fd_(fd), flags_(fcntl(fd, F_GETFL)) {
    if (flags_ != -1) fcntl(fd_, F_SETFL, flags_ | O_NONBLOCK);
  }
  ~NonBlockingScope() {
    if (flags_ != -1) fcntl(fd_, F_SETFL, flags_);
  }

 private:
  int fd_;
  int flags_;
};

}  // namespace

int32_t Stack::WSAGetLastError() { return t_last_error; }
void Stack::WSASetLastError(int32_t code) { t_last_error = code; }

int32_t Stack::Socket(int32_t family, int32_t type, int32_t protocol) {
  int fd = ::socket(family, type | SOCK_CLOEXEC, protocol);
  if (fd == -1) return Fail();
  // Every stream socket of the program probes a silent peer.
  if (type == SOCK_STREAM && EnableKeepAlive(*this, fd) == kSocketError) {
    const int32_t code = t_last_error;
    ::close(fd);
    t_last_error = code;
    return kSocketError;
  }
  return fd;
}

int32_t Stack::Bind(int32_t socket, int32_t port, const std::string& ip) {
  SocketAddress address = MakeAddress(port, ip, FamilyOf(socket));
  int result = ::bind(socket, address.get(), address.length);
  return result == -1 ? Fail() : result;
}

int32_t Stack::Connect(int32_t socket, int32_t port, const std::string& ip) {
  SocketAddress address = MakeAddress(port, ip, FamilyOf(socket));
  int result = ::connect(socket, address.get(), address.length);
  if (result == 0) return 0;
  if (errno != EINTR) return Fail();
  // An interrupted connect goes on in the background; wait for its outcome.
  std::atomic<bool> never{false};
  return ConnectInterruptible(socket, port, ip, never);
}

int32_t Stack::ConnectInterruptible(int32_t socket, int32_t port,
                                    const std::string& ip,
                                    const std::atomic<bool>& stop) {
  SocketAddress address = MakeAddress(port, ip, FamilyOf(socket));
  NonBlockingScope non_blocking(socket);
  int result = ::connect(socket, address.get(), address.length);
  if (result == 0) return 0;
  if (errno != EINPROGRESS && errno != EINTR && errno != EALREADY) {
    return Fail();
  }
  while (!stop.load()) {
    pollfd entry{socket, POLLOUT, 0};
    int ready = ::poll(&entry, 1, kConnectPollMs);
    if (ready == -1 && errno != EINTR) return Fail();
    if (ready <= 0) continue;
    int error = 0;
    socklen_t length = sizeof(error);
    if (::getsockopt(socket, SOL_SOCKET, SO_ERROR, &error, &length) == -1) {
      return Fail();
    }
    if (error == 0) return 0;
    errno = error;
    return Fail();
  }
  t_last_error = 10004;
  return kSocketError;
}

int32_t Stack::Recv(int32_t socket, void* buffer, int32_t length,
                    int32_t flags) {
  ssize_t n;
  do {
    n = ::recv(socket, buffer, size_t(length), flags);
  } while (n == -1 && errno == EINTR);
  return n == -1 ? Fail() : int32_t(n);
}

int32_t Stack::Send(int32_t socket, const void* buffer, int32_t length,
                    int32_t flags) {
  ssize_t n;
  do {
    n = ::send(socket, buffer, size_t(length), flags | MSG_NOSIGNAL);
  } while (n == -1 && errno == EINTR);
  return n == -1 ? Fail() : int32_t(n);
}

int32_t Stack::SetSockOpt(int32_t socket, int32_t level, int32_t option,
                          const void* value, int32_t length) {
  int result = ::setsockopt(socket, level, option, value, socklen_t(length));
  return result == -1 ? Fail() : result;
}

int32_t Stack::Shutdown(int32_t socket, int32_t how) {
  int result = ::shutdown(socket, how);
  return result == -1 ? Fail() : result;
}

int32_t Stack::CloseSocket(int32_t socket) {
  int result = ::close(socket);
  return result == -1 ? Fail() : result;
}

void Stack::GetSockName(int32_t socket, std::string* ip, int32_t* port) {
  CheckSocketResult(QueryName(::getsockname, socket, ip, port));
}

void Stack::GetPeerName(int32_t socket, std::string* ip, int32_t* port) {
  CheckSocketResult(QueryName(::getpeername, socket, ip, port));
}

int32_t Stack::Select(std::vector<int32_t>* read, std::vector<int32_t>* write,
                      int32_t timeout, std::vector<int32_t>* error) {
  std::vector<int32_t>* lists[3] = {read, write, error};
  const short kEvents[3] = {POLLIN, POLLOUT, POLLPRI};
  std::vector<pollfd> entries;
  for (std::vector<int32_t>* list : lists) {
    if (list && list->size() > kSelectSetLimit) throw StackSetSizeExceeded();
  }
  for (int i = 0; i < 3; ++i) {
    if (!lists[i]) continue;
    for (int32_t fd : *lists[i]) entries.push_back({fd, kEvents[i], 0});
  }
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline =
      Clock::now() + std::chrono::milliseconds(timeout < 0 ? 0 : timeout);
  int ready;
  while (true) {
    int wait = -1;
    if (timeout != -2) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - Clock::now());
      wait = int(std::max<int64_t>(left.count(), 0));
    }
    ready = ::poll(entries.data(), entries.size(), wait);
    if (ready != -1 || errno != EINTR) break;
  }
  if (ready == -1) return Fail();
  // A closed or failed socket counts as readable and as an error, as select
  // reports it.
  const short kReady[3] = {POLLIN | POLLHUP | POLLERR, POLLOUT | POLLERR,
                           POLLPRI | POLLERR};
  int32_t count = 0;
  size_t next = 0;
  for (int i = 0; i < 3; ++i) {
    if (!lists[i]) continue;
    std::vector<int32_t> kept;
    for (size_t j = 0; j < lists[i]->size(); ++j, ++next) {
      if (entries[next].revents & (kReady[i] | POLLNVAL)) {
        kept.push_back(entries[next].fd);
      }
    }
    count += int32_t(kept.size());
    *lists[i] = std::move(kept);
  }
  return count;
}

bool Stack::IsIPv6Address(const std::string& text) {
  std::string bare = text;
  if (bare.size() >= 2 && bare.front() == '[' && bare.back() == ']') {
    bare = bare.substr(1, bare.size() - 2);
  }
  in6_addr address;
  return ::inet_pton(AF_INET6, bare.c_str(), &address) == 1;
}

std::string Stack::LocalHostName() {
  char buffer[251] = {};
  if (::gethostname(buffer, 250) == -1) CheckSocketResult(Fail());
  return std::string(buffer);
}

std::vector<std::string> Stack::LookUpAllAddresses(const std::string& name) {
  addrinfo hints;
  std::memset(&hints, 0, sizeof(hints));
  // IPv6 and IPv4, in the order the resolver prefers (RFC 6724).
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  int result = ::getaddrinfo(name.c_str(), nullptr, &hints, &found);
  if (result != 0 || found == nullptr) {
    t_last_error =
        result != 0 ? SocketCodeFromLookup(result) : int32_t(kWsaEHostNotFound);
    CheckSocketResult(kSocketError);
  }
  std::vector<std::string> addresses;
  for (addrinfo* entry = found; entry; entry = entry->ai_next) {
    if (entry->ai_family != AF_INET && entry->ai_family != AF_INET6) continue;
    std::string ip;
    ReadAddress(entry->ai_addr, &ip, nullptr);
    if (std::find(addresses.begin(), addresses.end(), ip) == addresses.end()) {
      addresses.push_back(ip);
    }
  }
  ::freeaddrinfo(found);
  if (addresses.empty()) {
    t_last_error = kWsaEHostNotFound;
    CheckSocketResult(kSocketError);
  }
  return addresses;
}

std::string Stack::LookUpHost(const std::string& name) {
  return LookUpAllAddresses(name).front();
}

}  // namespace replyvane::net
