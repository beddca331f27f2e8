// Runs a MessageClient against a scripted server on 127.0.0.1: writing
// tests capture what the client sends as one DATA body, reading tests serve
// a message followed by a marker line and check the client stops exactly at
// the terminator. Attachment files land in a private temporary directory
// that is emptied after every test.
#ifndef REPLYVANE_TESTS_MAIL_MESSAGE_CLIENT_FIXTURE_H_
#define REPLYVANE_TESTS_MAIL_MESSAGE_CLIENT_FIXTURE_H_

#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "mail/message_client.h"
#include "mail/temp_file.h"
#include "tests/support/scripted_server.h"

namespace replyvane::mail {

// A private directory for attachment files, made the process's $TMPDIR
// before any test runs (the directory is read on first use), and removed at
// exit once the tests have emptied it.
inline const std::string kTestTempDirectory = [] {
  std::string dir = ::testing::TempDir() + "mailio_XXXXXX";
  if (::mkdtemp(dir.data()) == nullptr) return std::string();
  ::setenv("TMPDIR", dir.c_str(), 1);
  static std::string removed_at_exit = dir;
  std::atexit([] { ::rmdir(removed_at_exit.c_str()); });
  return dir + "/";
}();

// The lines, each followed by CR LF.
inline std::string Wire(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

// The line the reading server sends after the message.
inline constexpr char kNextReply[] = "+OK next";

// Names of the entries of `directory`.
inline std::vector<std::string> Entries(const std::string& directory) {
  std::vector<std::string> names;
  if (DIR* dir = ::opendir(directory.c_str())) {
    while (dirent* entry = ::readdir(dir)) names.push_back(entry->d_name);
    ::closedir(dir);
  }
  return names;
}

// How many descriptors of this process are open on a "Vorn" file.
inline int OpenVornFiles() {
  int count = 0;
  for (const std::string& fd : Entries("/proc/self/fd")) {
    char target[4096];
    ssize_t n =
        ::readlink(("/proc/self/fd/" + fd).c_str(), target, sizeof(target));
    if (n > 0 &&
        std::string(target, size_t(n)).find("/Vorn") != std::string::npos) {
      ++count;
    }
  }
  return count;
}

class MessageClientTest : public ::testing::Test {
 protected:
  void TearDown() override {
    EXPECT_EQ(OpenVornFiles(), 0) << "an attachment file was left open";
    for (const std::string& name : Entries(TempDirectory())) {
      if (name.rfind("Vorn", 0) == 0) {
        ::unlink((TempDirectory() + name).c_str());
      }
    }
  }

  // A connected client with bounded reads.
  static void Connect(MessageClient& client, int port) {
    client.SetHost("127.0.0.1");
    client.SetPort(port);
    client.SetReadTimeout(10000);
    client.ConnectToHost();
  }

  // What `write` sends, as the server receives it (dot-stuffed, without the
  // final "." line that this helper adds).
  static std::string Capture(const std::function<void(MessageClient&)>& write,
                             MessageClient* client = nullptr) {
    testing::ScriptedServer server(
        testing::Script().ReceiveUntil(".\r\n").Close());
    MessageClient own;
    MessageClient& used = client != nullptr ? *client : own;
    Connect(used, server.Port());
    write(used);
    used.WriteTextLine(".");
    EXPECT_TRUE(server.Played());
    used.CloseConnection();
    std::vector<std::string> bodies = server.Bodies();
    return bodies.empty() ? std::string() : bodies[0];
  }

  // Like Capture, through a plain loopback receiver instead of the scripted
  // server, whose recorded DATA bodies are cut wrong once more than 1 MiB
  // has been read on one connection.
  static std::string CaptureLarge(
      const std::function<void(MessageClient&)>& write) {
    testing::Fd listener = testing::ListenLoopback(0);
    std::string received;
    std::thread reader([&] {
      using std::chrono::milliseconds;
      if (testing::WaitFor(listener.Get(), false, -1, milliseconds(10000)) !=
          testing::WaitResult::kReady) {
        return;
      }
      testing::Fd peer(::accept(listener.Get(), nullptr, nullptr));
      char chunk[65536];
      while (peer.Valid() &&
             testing::WaitFor(peer.Get(), false, -1, milliseconds(10000)) ==
                 testing::WaitResult::kReady) {
        ssize_t n = ::recv(peer.Get(), chunk, sizeof(chunk), 0);
        if (n <= 0) break;
        received.append(chunk, size_t(n));
      }
    });
    {
      MessageClient client;
      try {
        Connect(client, testing::LocalPort(listener.Get()));
        write(client);
        client.WriteTextLine(".");
        client.CloseConnection();
      } catch (...) {
        client.CloseConnection();
        reader.join();
        throw;
      }
    }
    reader.join();
    const std::string dot_line = ".\r\n";
    bool ended = received.size() >= dot_line.size() &&
                 received.compare(received.size() - dot_line.size(),
                                  dot_line.size(), dot_line) == 0;
    EXPECT_TRUE(ended) << "the message did not arrive whole";
    if (ended) received.resize(received.size() - dot_line.size());
    return received;
  }

  // Serves `wire` and kNextReply to a new client and runs `read` on it. The
  // exception of `read`, if any, is passed on after the client is closed.
  static void Serve(const std::string& wire,
                    const std::function<void(MessageClient&)>& read) {
    testing::ScriptedServer server(
        testing::Script().Send(wire).SendLine(kNextReply).Close());
    MessageClient client;
    Connect(client, server.Port());
    read(client);
    EXPECT_TRUE(server.Played());
  }
};

}  // namespace replyvane::mail

#endif  // REPLYVANE_TESTS_MAIL_MESSAGE_CLIENT_FIXTURE_H_
