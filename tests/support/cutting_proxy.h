// A TCP relay on 127.0.0.1 in front of a real server that cuts the
// connection at a chosen client line: a drop at any step of a dialogue,
// with the real server's behaviour on either side of it. Lines are counted
// over every connection the relay carries, from 1, in the clear only (a
// cut is meant for unencrypted dialogues).
//
//   CuttingProxy proxy(dovecot.Port());
//   proxy.CutAt(5, CuttingProxy::Cut::kAfterReply);
//   ... the client connects to proxy.Port() ...
//   proxy.LinesSeen();   // how many client lines went through
//
// kBeforeLine: line n never reaches the server; the client's connection
// and the server's are closed at once. kAfterReply: line n reaches the
// server, whose reply (up to its line tagged as line n, a continuation
// request, or a second of quiet) is read and thrown away before both are
// closed: the server acted, the client never learns it. Connections after
// the cut are relayed whole. SetTarget points new connections at another
// port (a restarted server on a port of its own).
#ifndef REPLYVANE_TESTS_SUPPORT_CUTTING_PROXY_H_
#define REPLYVANE_TESTS_SUPPORT_CUTTING_PROXY_H_

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

#include "tests/support/socket_util.h"

namespace replyvane::testing {

class CuttingProxy {
 public:
  enum class Cut { kBeforeLine, kAfterReply };

  explicit CuttingProxy(int target_port);
  ~CuttingProxy();
  CuttingProxy(const CuttingProxy&) = delete;
  CuttingProxy& operator=(const CuttingProxy&) = delete;

  int Port() const { return port_; }
  // Cuts at client line `line` (counted from the next one relayed, 1 first);
  // 0 relays everything.
  void CutAt(int line, Cut how);
  void SetTarget(int port) { target_port_ = port; }
  // Client lines relayed since the last CutAt (or the start).
  int LinesSeen() const { return lines_seen_; }
  // True once the cut set by the last CutAt has happened.
  bool HasCut() const { return cut_done_; }

 private:
  void Run();
  void Relay(Fd client);

  Fd listener_;
  Fd wake_[2];
  int port_ = 0;
  std::atomic<int> target_port_;
  std::atomic<int> cut_line_{0};
  std::atomic<Cut> cut_how_{Cut::kBeforeLine};
  std::atomic<int> lines_seen_{0};
  std::atomic<bool> cut_done_{false};
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::vector<std::thread> relays_;
  std::thread thread_;
};

}  // namespace replyvane::testing

#endif  // REPLYVANE_TESTS_SUPPORT_CUTTING_PROXY_H_
