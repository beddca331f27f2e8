// One socket and its addresses: allocation, binding to a port or a port
// range, connecting (directly or for the connect thread), waiting until it is
// readable in anti-freeze slices, and closing.
//
// The connect thread touches only its handle's socket and address fields;
// everything else runs on the thread that owns the connection.
#ifndef REPLYVANE_NET_SOCKET_HANDLE_H_
#define REPLYVANE_NET_SOCKET_HANDLE_H_

#include <atomic>
#include <cstdint>
#include <string>

#include "net/stack.h"

namespace replyvane::net {

class SocketHandle {
 public:
  SocketHandle() = default;
  ~SocketHandle();
  SocketHandle(const SocketHandle&) = delete;
  SocketHandle& operator=(const SocketHandle&) = delete;

  int32_t OSHandle() const { return os_handle_; }
  bool IsAllocated() const { return is_allocated_; }
  const std::string& IP() const { return ip_; }
  void SetIP(const std::string& value) { ip_ = value; }
  int32_t Port() const { return port_; }
  void SetPort(int32_t value) { port_ = value; }
  const std::string& RemoteIP() const { return remote_ip_; }
  void SetRemoteIP(const std::string& value) { remote_ip_ = value; }
  int32_t RemotePort() const { return remote_port_; }
  void SetRemotePort(int32_t value) { remote_port_ = value; }
  int32_t ClientPortMin() const { return client_port_min_; }
  void SetClientPortMin(int32_t value) { client_port_min_ = value; }
  int32_t ClientPortMax() const { return client_port_max_; }
  void SetClientPortMax(int32_t value) { client_port_max_ = value; }

  // Closes any previous socket and opens a new TCP socket (InvalidSocket on
  // failure).
  void AllocateSocket(int32_t family = kAfInet);
  // Binds to IP and Port, or tries the range from ClientPortMax down to
  // ClientPortMin when a range is set and Port is 0. Raises
  // CouldNotBindSocket, InvalidPortRange, CanNotBindPortInRange or
  // SocketError. Reads the bound address back.
  void Bind();
  // Connects to RemoteIP:RemotePort; raw result (-1 on failure). On success
  // the local and peer addresses are read back.
  int32_t Connect();
  // The same, giving up (-1) once `stop` is set.
  int32_t Connect(const std::atomic<bool>& stop);
  // Waits up to `timeout` ms (-2 without limit) for data or a close. Raises
  // ConnClosedGracefully when no socket is allocated.
  bool Readable(int32_t timeout);
  // Shuts down the sending side and closes the socket, ignoring failures.
  // While a connect thread uses the socket, the descriptor itself is closed
  // only once the thread has ended (EndThreadUse), so its number cannot be
  // reused under the thread.
  void CloseSocket();
  // Marks the socket as used by a connect thread; meanwhile AllocateSocket
  // and Reset raise AlreadyConnected. Main thread only.
  void BeginThreadUse() { thread_use_ = true; }
  void EndThreadUse();
  // Forgets the socket (closing it) and clears the addresses and ports.
  void Reset();

 private:
  bool SelectOnce(int32_t timeout);
  void ReadBackAddresses(bool with_peer);

  int32_t os_handle_ = -1;
  bool is_allocated_ = false;
  std::string ip_;
  int32_t port_ = 0;
  std::string remote_ip_;
  int32_t remote_port_ = 0;
  int32_t client_port_min_ = 0;
  int32_t client_port_max_ = 0;
  bool thread_use_ = false;
  bool close_deferred_ = false;
};

}  // namespace replyvane::net

#endif  // REPLYVANE_NET_SOCKET_HANDLE_H_
