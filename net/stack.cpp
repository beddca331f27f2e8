// The portable half of the stack: error checking, the shared instance, and
// the address texts. The socket calls themselves are in stack_posix.cpp.
#include "net/stack.h"

#include <algorithm>
#include <mutex>

#include "core/text.h"
#include "net/exceptions.h"
#include "net/socket_errors.h"

namespace replyvane::net {

namespace {

std::mutex& StackLock() {
  static std::mutex lock;
  return lock;
}
std::atomic<Stack*> g_shared_stack{nullptr};
int g_instances = 0;

// Cuts "a.b.c.d" at its first three dots; the fourth part keeps any further
// dots.
void SplitAddress(const std::string& text, std::string parts[4]) {
  std::string rest = text;
  for (int i = 0; i < 3; ++i) parts[i] = core::TakeUntil(rest, ".");
  parts[3] = rest;
}

}  // namespace

bool Stack::CheckSocketResult(int32_t result,
                              std::initializer_list<int32_t> ignored) {
  if (result != kSocketError) return false;
  int32_t code = WSAGetLastError();
  last_socket_error_ = code;
  if (std::find(ignored.begin(), ignored.end(), code) != ignored.end()) {
    return true;
  }
  ThrowSocketError(code);
}

void Stack::ThrowSocketError(int32_t code) {
  throw SocketError(code, SocketErrorText(code));
}

std::string Stack::SocketErrorText(int32_t code) const {
  return core::Format("Socket Error # %d\r\n%s", code,
                      SocketErrorDescription(code));
}

bool Stack::LooksLikeIPAddress(const std::string& text) {
  std::string parts[4];
  SplitAddress(text, parts);
  for (const std::string& part : parts) {
    std::optional<int32_t> value = core::ParseInt32(part);
    if (!value || *value < 0 || *value > 255) return false;
  }
  return true;
}

std::vector<uint8_t> Stack::TextToAddress(const std::string& text) {
  std::string parts[4];
  SplitAddress(text, parts);
  std::vector<uint8_t> address(4);
  for (int i = 0; i < 4; ++i) address[i] = uint8_t(core::StrToInt(parts[i]));
  return address;
}

std::string Stack::AddressToText(const uint8_t address[4]) {
  return core::Format("%u.%u.%u.%u", address[0], address[1], address[2],
                      address[3]);
}

std::string Stack::ResolveHostAddress(const std::string& host) {
  return ResolveHostAddresses(host).front();
}

std::vector<std::string> Stack::ResolveHostAddresses(const std::string& host) {
  if (core::SameText(host, "LOCALHOST")) return {"127.0.0.1"};
  if (LooksLikeIPAddress(host)) return {host};
  if (IsIPv6Address(host)) {
    if (host.front() == '[') return {host.substr(1, host.size() - 2)};
    return {host};
  }
  return LookUpAllAddresses(host);
}

const std::vector<std::string>& Stack::LocalAddresses() {
  host_address_list_ = LookUpAllAddresses(LocalHostName());
  return host_address_list_;
}

std::string Stack::LocalAddress() {
  const std::vector<std::string>& list = LocalAddresses();
  return list.empty() ? std::string() : list.front();
}

int32_t Stack::OpenSocketHandle(int32_t type, int32_t protocol,
                                int32_t family) {
  int32_t handle = Socket(family, type, protocol);
  if (handle == kInvalidSocket) throw InvalidSocket();
  return handle;
}

Stack* SharedStack() { return g_shared_stack.load(); }

void AcquireSharedStack() {
  std::lock_guard<std::mutex> guard(StackLock());
  if (++g_instances == 1) g_shared_stack = new Stack();
}

void ReleaseSharedStack() {
  std::lock_guard<std::mutex> guard(StackLock());
  if (--g_instances == 0) {
    delete g_shared_stack.exchange(nullptr);
  }
}

}  // namespace replyvane::net
