// The one process-wide socket stack: every socket call of the program passes
// through it. It resolves host names, converts dotted IPv4 texts and turns
// failed calls into SocketError with the Windows Sockets code and text of the
// failure. Only IPv4 TCP client use is supported.
//
// Failed calls return -1 and leave their code in a per-thread "last error"
// (read with WSAGetLastError), so the connect thread and the main thread do
// not see each other's codes.
#ifndef REPLYVANE_NET_STACK_H_
#define REPLYVANE_NET_STACK_H_

#include <atomic>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace replyvane::net {

inline constexpr int32_t kInvalidSocket = -1;
inline constexpr int32_t kSocketError = -1;
inline constexpr int32_t kAfInet = 2;
inline constexpr int32_t kAfInet6 = 10;
inline constexpr int32_t kSockStream = 1;
// Codes the layer refers to by name.
inline constexpr int32_t kWsaEBadF = 10009;
inline constexpr int32_t kWsaEWouldBlock = 10035;  // also a send timeout
inline constexpr int32_t kWsaENotSock = 10038;
inline constexpr int32_t kWsaEAddrInUse = 10048;
inline constexpr int32_t kWsaEConnAborted = 10053;
inline constexpr int32_t kWsaEConnReset = 10054;
inline constexpr int32_t kWsaEShutdown = 10058;
inline constexpr int32_t kWsaEHostNotFound = 11001;

class Stack {
 public:
  Stack() = default;
  Stack(const Stack&) = delete;
  Stack& operator=(const Stack&) = delete;

  // Code of the last failed call that went through CheckSocketResult.
  int32_t LastSocketError() const { return last_socket_error_; }

  // False when `result` is not -1. Otherwise stores WSAGetLastError() in
  // LastSocketError and returns true if the code is in `ignored`; any other
  // code raises SocketError.
  bool CheckSocketResult(int32_t result,
                         std::initializer_list<int32_t> ignored = {});
  // Always raises SocketError for `code` with its SocketErrorText.
  [[noreturn]] void ThrowSocketError(int32_t code);
  // "Socket Error # <code>\r\n<text>"; unknown codes have an empty text.
  std::string SocketErrorText(int32_t code) const;

  // The address of `host`: the first of ResolveHostAddresses.
  std::string ResolveHostAddress(const std::string& host);
  // The addresses to try for `host`, in order: "127.0.0.1" for LOCALHOST in
  // any case, the text unchanged when it LooksLikeIPAddress, an IPv6
  // address as written (without its brackets, "[::1]" or "::1"), else the
  // IPv6 and IPv4 addresses of a name lookup in the resolver's order. An
  // unknown name raises SocketError 11001.
  std::vector<std::string> ResolveHostAddresses(const std::string& host);
  // True when `text` (in brackets or not) is an IPv6 address inet_pton
  // reads.
  static bool IsIPv6Address(const std::string& text);
  // True when the text cuts at its first three dots into four whole-text
  // integers in 0..255 (so "1.2.3" and "1.2.3.4.5" do not).
  static bool LooksLikeIPAddress(const std::string& text);
  // Four bytes, first dotted number first. A part that is not an integer
  // raises core::ConvertError; each value keeps its low 8 bits.
  static std::vector<uint8_t> TextToAddress(const std::string& text);
  // The four bytes as unsigned decimals joined by ".".
  static std::string AddressToText(const uint8_t address[4]);
  // The local host's name (at most 250 bytes).
  std::string LocalHostName();
  // The dotted addresses of the local host, refilled on every call; a
  // failed lookup raises SocketError.
  const std::vector<std::string>& LocalAddresses();
  // The first of LocalAddresses.
  std::string LocalAddress();

  // A new socket of `family` (kAfInet, kAfInet6), close-on-exec; -1
  // raises InvalidSocket.
  int32_t OpenSocketHandle(int32_t type, int32_t protocol,
                           int32_t family = kAfInet);

  // Thin wrappers: raw result, -1 on failure with the code in
  // WSAGetLastError. Addresses are texts (dotted IPv4, IPv6 with ":"); ""
  // binds to any address of the socket's family.
  int32_t Socket(int32_t family, int32_t type, int32_t protocol);
  int32_t Bind(int32_t socket, int32_t port, const std::string& ip);
  int32_t Connect(int32_t socket, int32_t port, const std::string& ip);
  // Like Connect, but gives up when `stop` becomes true (then the result is
  // -1 with code 10004); used by the connect thread.
  int32_t ConnectInterruptible(int32_t socket, int32_t port,
                               const std::string& ip,
                               const std::atomic<bool>& stop);
  int32_t Recv(int32_t socket, void* buffer, int32_t length, int32_t flags);
  // Never raises SIGPIPE: a closed peer gives -1 with code 10058 or 10054.
  int32_t Send(int32_t socket, const void* buffer, int32_t length,
               int32_t flags);
  int32_t SetSockOpt(int32_t socket, int32_t level, int32_t option,
                     const void* value, int32_t length);
  int32_t Shutdown(int32_t socket, int32_t how);
  int32_t CloseSocket(int32_t socket);
  // Local / peer address of a socket; failures raise SocketError.
  void GetSockName(int32_t socket, std::string* ip, int32_t* port);
  void GetPeerName(int32_t socket, std::string* ip, int32_t* port);
  // Waits until a socket of a list is ready; each non-empty list is left
  // holding the ready sockets. `timeout` in ms, -2 without limit. Returns the
  // number of ready sockets, 0 on timeout, -1 on failure. More than 64
  // sockets in one list raises StackSetSizeExceeded before waiting.
  int32_t Select(std::vector<int32_t>* read, std::vector<int32_t>* write,
                 int32_t timeout, std::vector<int32_t>* error = nullptr);

  // The code of this thread's last failed call.
  static int32_t WSAGetLastError();
  static void WSASetLastError(int32_t code);

 private:
  // First address of a name / all of them; a failed lookup raises
  // SocketError through CheckSocketResult.
  std::string LookUpHost(const std::string& name);
  std::vector<std::string> LookUpAllAddresses(const std::string& name);

  std::atomic<int32_t> last_socket_error_{0};
  std::vector<std::string> host_address_list_;
};

// The shared stack; nullptr while no component of the layer exists.
Stack* SharedStack();
// Every component holds one reference for its lifetime; the first creates
// the stack, the last destroys it. Safe from any thread.
void AcquireSharedStack();
void ReleaseSharedStack();

}  // namespace replyvane::net

#endif  // REPLYVANE_NET_STACK_H_
