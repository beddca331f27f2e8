// A TCP server on 127.0.0.1 (ephemeral port) that plays scripts (see
// script.h) on its own thread, one script per accepted connection in order,
// and records every byte the client sends. Faults come from the scripts:
// close after a reply, close mid-line, reset, stall, one byte at a time; for
// a refused connect use ClosedPort() (socket_util.h).
//
// Typical use:
//
//   ScriptedServer server(Transcript({"S: +OK ready", "C: USER a",
//                                     "S: +OK", "C: QUIT"}));
//   client.SetPort(server.Port());
//   ... run the client ...
//   EXPECT_TRUE(server.Played());   // waits, then explains any divergence
//   EXPECT_EQ(server.Lines(), (std::vector<std::string>{"USER a", "QUIT"}));
//
// The thread never asserts; a client that diverges from the script (other
// line, bare LF, early close, extra bytes) is recorded and shown by
// Played()/Report(). Every wait is bounded by Options; destroying the server
// stops the thread at once (closing any open connection) and joins it.
// Accessors may be called from any thread at any time (they take snapshots).
#ifndef REPLYVANE_TESTS_SUPPORT_SCRIPTED_SERVER_H_
#define REPLYVANE_TESTS_SUPPORT_SCRIPTED_SERVER_H_

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/script.h"
#include "tests/support/socket_util.h"

namespace replyvane::testing {

class ScriptedServer {
 public:
  struct Options {
    // Longest wait for one read (a line, a body chunk, the client's close).
    std::chrono::milliseconds read_timeout{10000};
    // Longest wait for each expected connection to arrive.
    std::chrono::milliseconds accept_timeout{10000};
    // The port to listen on; 0: a free one. A later server of the same
    // mailbox takes its predecessor's port, as a real server keeps its own.
    int port = 0;
  };

  // What one connection received.
  struct Connection {
    std::string received;             // every byte, in order
    std::vector<std::string> lines;   // lines read by Expect/ExpectLine, and
                                      // those sent after the script or in
                                      // the moment after a Close; no CR LF
    std::vector<std::string> bodies;  // one per ReceiveUntil, as sent
    bool finished = false;            // script played and connection closed
  };

  // Listens at once (Port() is valid on return) and serves `scripts` in
  // order, one per connection; after the last one the listener closes, so
  // further connects are refused. Throws std::system_error when it cannot
  // listen.
  explicit ScriptedServer(std::vector<Script> scripts, Options options);
  explicit ScriptedServer(std::vector<Script> scripts)
      : ScriptedServer(std::move(scripts), Options()) {}
  explicit ScriptedServer(Script script)
      : ScriptedServer(std::vector<Script>{std::move(script)}, Options()) {}
  ScriptedServer(Script script, Options options)
      : ScriptedServer(std::vector<Script>{std::move(script)}, options) {}
  ScriptedServer(const ScriptedServer&) = delete;
  ScriptedServer& operator=(const ScriptedServer&) = delete;
  // Stops the thread (interrupting any wait) and joins it.
  ~ScriptedServer();

  // The listening port on 127.0.0.1.
  int Port() const { return port_; }

  // Waits up to `timeout` until every script was played and each
  // connection ended. True when that happened in time (divergences may still
  // have been recorded: see Ok()).
  bool WaitDone(
      std::chrono::milliseconds timeout = std::chrono::milliseconds(10000));
  // True when everything was played and nothing diverged.
  bool Ok() const;
  // WaitDone then Ok, as a gtest assertion whose failure text is Report():
  // EXPECT_TRUE(server.Played()).
  ::testing::AssertionResult Played(
      std::chrono::milliseconds timeout = std::chrono::milliseconds(10000));
  // The recorded divergences, one text each, naming connection and step:
  // "connection 1, step 3 (C: PASS b): received \"PASS c\"".
  std::vector<std::string> Failures() const;
  // The divergences (or that the script is still running) followed by what
  // each connection received, line by line; for assertion messages.
  std::string Report() const;

  // Snapshots of what was received; all connections together, or one by
  // its 0-based index (empty when there is no such connection yet).
  std::string Received() const;
  std::vector<std::string> Lines() const;
  std::vector<std::string> Bodies() const;
  Connection ConnectionAt(size_t index) const;
  // Number of connections accepted so far.
  size_t Accepted() const;

 private:
  class Player;

  void Serve();
  void AddFailure(std::string text);
  // One list field of every connection, joined in connection order.
  std::vector<std::string> Gather(
      std::vector<std::string> Connection::*field) const;

  std::vector<Script> scripts_;
  Options options_;
  Fd listener_;
  Fd wake_read_;
  Fd wake_write_;
  int port_ = 0;

  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<Connection> connections_;
  std::vector<std::string> failures_;
  bool done_ = false;
  std::atomic<bool> stopping_{false};

  std::thread thread_;  // last: starts after everything above exists
};

}  // namespace replyvane::testing

#endif  // REPLYVANE_TESTS_SUPPORT_SCRIPTED_SERVER_H_
