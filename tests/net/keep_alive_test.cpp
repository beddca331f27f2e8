// TCP keepalive: every socket the layer opens carries the program's probe
// timing, and (as root, with iproute2) a peer that vanishes without a word
// ends a read that has no time limit with the usual socket error.
#include "net/keep_alive.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sched.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <future>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "net/exceptions.h"
#include "net/tcp_client.h"
#include "tests/support/child_process.h"
#include "tests/support/scripted_server.h"
#include "tests/support/socket_options.h"
#include "tests/support/socket_util.h"
#include "tests/support/temp_dir.h"

namespace replyvane::net {
namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;
using testing::KeepAliveOptions;

TEST(KeepAliveTest, EverySocketCarriesTheProgramsProbeTiming) {
  const KeepAliveOptions expected{1, 60, 10, 6, 120000};
  struct Row {
    const char* name;
    int32_t connect_timeout;  // -2: direct connect; else the connect thread
  };
  const Row rows[] = {{"direct connect", -2}, {"connect thread", 5000}};
  for (const Row& row : rows) {
    testing::ScriptedServer server(
        testing::Script().SendLine("+OK").ExpectLine());
    TCPClient client;
    client.SetHost("127.0.0.1");
    client.SetPort(server.Port());
    client.ConnectToHost(row.connect_timeout);
    const int fd = testing::SocketConnectedTo("127.0.0.1", server.Port());
    ASSERT_GE(fd, 0) << row.name;
    const KeepAliveOptions options = testing::ReadKeepAliveOptions(fd);
    EXPECT_EQ(testing::Describe(options), testing::Describe(expected))
        << row.name;
    client.WriteTextLine("bye");
    client.CloseConnection();
    EXPECT_TRUE(server.Played()) << row.name;
  }
  EXPECT_EQ(kKeepAlive.UserTimeoutMs(), 120000);
}

// Runs `argv` (a program of iproute2) and waits for it, at most 10 s. True
// when it exited with status 0.
bool Run(const std::vector<std::string>& argv, const std::string& log) {
  testing::ChildProcess child;
  child.Start(argv, log);
  return child.Wait(milliseconds(10000)) && child.ExitStatus() == 0;
}

std::optional<std::string> FindIp() {
  for (const char* path :
       {"/usr/sbin/ip", "/sbin/ip", "/usr/bin/ip", "/bin/ip"}) {
    if (testing::IsExecutable(path)) return path;
  }
  return std::nullopt;
}

// Two private network namespaces joined by a veth pair, 10.213.0.1 (the
// client's) and 10.213.0.2 (the peer's); no other address is used. Both go
// when the object does, whatever happened in between.
class NamespacePair {
 public:
  NamespacePair(std::string ip, const testing::TempDir& dir)
      : ip_(std::move(ip)),
        log_(dir.File("ip.log")),
        client_("rv-ka-c-" + std::to_string(::getpid())),
        peer_("rv-ka-p-" + std::to_string(::getpid())) {
    RemoveLeftOvers();
    const std::string link = "rvka" + std::to_string(::getpid());
    ok_ =
        Ip({"netns", "add", client_}) && Ip({"netns", "add", peer_}) &&
        Ip({"link", "add", link + "c", "netns", client_, "type", "veth", "peer",
            "name", link + "p", "netns", peer_}) &&
        Ip({"-n", client_, "addr", "add", "10.213.0.1/30", "dev",
            link + "c"}) &&
        Ip({"-n", peer_, "addr", "add", "10.213.0.2/30", "dev", link + "p"}) &&
        Ip({"-n", client_, "link", "set", link + "c", "up"}) &&
        Ip({"-n", peer_, "link", "set", link + "p", "up"});
  }
  ~NamespacePair() {
    // Deleting a namespace takes its end of the veth pair with it.
    Ip({"netns", "del", client_});
    Ip({"netns", "del", peer_});
  }

  bool Ok() const { return ok_; }
  std::string Log() const { return testing::ReadFile(log_); }

  // From now on the peer's packets to the client go nowhere: the peer
  // vanished as far as the client can tell.
  bool DropPeerPackets() {
    return Ip({"-n", peer_, "route", "add", "blackhole", "10.213.0.1/32"});
  }
  bool RestorePeerPackets() {
    return Ip({"-n", peer_, "route", "del", "blackhole", "10.213.0.1/32"});
  }

  // Moves the calling thread into the client's / the peer's namespace;
  // sockets it opens afterwards live there.
  bool EnterClient() const { return Enter(client_); }
  bool EnterPeer() const { return Enter(peer_); }

 private:
  bool Ip(std::vector<std::string> args) {
    args.insert(args.begin(), ip_);
    return Run(args, log_);
  }
  // Namespaces of an earlier run of this test that was killed before it
  // could clean up (its process no longer exists).
  void RemoveLeftOvers() {
    DIR* dir = ::opendir("/run/netns");
    if (dir == nullptr) return;
    std::vector<std::string> stale;
    while (const dirent* entry = ::readdir(dir)) {
      const std::string name = entry->d_name;
      if (name.rfind("rv-ka-", 0) != 0 || name.size() < 9) continue;
      const pid_t owner = pid_t(std::atol(name.c_str() + 8));
      if (owner > 0 && ::kill(owner, 0) == -1 && errno == ESRCH) {
        stale.push_back(name);
      }
    }
    ::closedir(dir);
    for (const std::string& name : stale) Ip({"netns", "del", name});
  }
  static bool Enter(const std::string& name) {
    const int fd = ::open(("/run/netns/" + name).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd == -1) return false;
    const bool entered = ::setns(fd, CLONE_NEWNET) == 0;
    ::close(fd);
    return entered;
  }

  std::string ip_;
  std::string log_;
  std::string client_;
  std::string peer_;
  bool ok_ = false;
};

// Sets the keepalive profile for the test's scope.
class ProfileScope {
 public:
  explicit ProfileScope(const KeepAliveProfile& profile) {
    SetKeepAliveProfileForTesting(profile);
  }
  ~ProfileScope() { SetKeepAliveProfileForTesting(kKeepAlive); }
};

TEST(KeepAliveTest, VanishedPeerEndsAReadWithoutTimeLimit) {
  const std::optional<std::string> ip = FindIp();
  if (::geteuid() != 0 || !ip) {
    GTEST_SKIP() << "needs root and iproute2's ip to drop a peer's packets";
  }
  testing::TempDir dir("keepalive");
  NamespacePair namespaces(*ip, dir);
  if (!namespaces.Ok()) {
    GTEST_SKIP() << "network namespaces are not available here:\n"
                 << namespaces.Log();
  }
  // The peer: a listener in its namespace, made on a thread of its own so
  // the test's threads stay where they are.
  testing::Fd listener;
  std::thread([&] {
    if (!namespaces.EnterPeer()) return;
    listener = testing::Fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(4110);
    ::inet_pton(AF_INET, "10.213.0.2", &address.sin_addr);
    if (::bind(listener.Get(), reinterpret_cast<sockaddr*>(&address),
               sizeof(address)) != 0 ||
        ::listen(listener.Get(), 1) != 0) {
      listener.Reset();
    }
  }).join();
  ASSERT_TRUE(listener.Valid()) << "no listener in the peer's namespace";

  // Probes after 1 s of quiet, 1 s apart, 2 unanswered end it: about 3 s.
  ProfileScope short_probes({1, 1, 2});
  std::promise<bool> greeted;
  std::promise<std::string> ended;
  std::thread client_thread([&] {
    bool greeting_read = false;
    std::string what = "the read returned";
    try {
      if (!namespaces.EnterClient()) throw std::runtime_error("no namespace");
      TCPClient client;
      client.SetHost("10.213.0.2");
      client.SetPort(4110);
      client.SetReadTimeout(0);  // replies have no time limit
      client.ConnectToHost(5000);
      greeting_read = client.ReadTextLine() == "+OK hello";
      greeted.set_value(greeting_read);
      client.ReadTextLine();
    } catch (const SocketError& failure) {
      what = failure.what();
    } catch (const std::exception& failure) {
      what = std::string("another failure: ") + failure.what();
    }
    if (!greeting_read) greeted.set_value(false);
    ended.set_value(what);
  });
  std::future<bool> greeting = greeted.get_future();
  std::future<std::string> end = ended.get_future();

  testing::Fd peer;
  if (testing::WaitFor(listener.Get(), false, -1, milliseconds(10000)) ==
      testing::WaitResult::kReady) {
    peer = testing::Fd(::accept(listener.Get(), nullptr, nullptr));
    const std::string line = "+OK hello\r\n";
    ::send(peer.Get(), line.data(), line.size(), MSG_NOSIGNAL);
  }
  const bool connected =
      greeting.wait_for(seconds(10)) == std::future_status::ready &&
      greeting.get();
  const bool dropped = connected && namespaces.DropPeerPackets();
  const auto dropped_at = std::chrono::steady_clock::now();
  const bool failed_in_time =
      dropped && end.wait_for(seconds(30)) == std::future_status::ready;
  const auto took = std::chrono::steady_clock::now() - dropped_at;
  if (!failed_in_time) {
    // Let the client go: the peer comes back and closes.
    namespaces.RestorePeerPackets();
    peer.Reset();
  }
  client_thread.join();
  ASSERT_TRUE(connected) << "the client never got the greeting";
  ASSERT_TRUE(dropped) << namespaces.Log();
  ASSERT_TRUE(failed_in_time) << "the read outlived the probes";
  EXPECT_EQ(end.get(), "Socket Error # 10060\r\nConnection timed out.");
  EXPECT_GE(took, seconds(1));
  EXPECT_LT(took, seconds(20));
}

}  // namespace
}  // namespace replyvane::net
