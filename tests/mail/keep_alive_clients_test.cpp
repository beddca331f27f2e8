// The mail clients' sockets carry the program's keepalive, so a POP3 or
// SMTP server that vanishes mid-check ends the check instead of holding it.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "mail/pop3.h"
#include "mail/smtp.h"
#include "tests/support/scripted_server.h"
#include "tests/support/socket_options.h"

namespace replyvane::mail {
namespace {

using testing::KeepAliveOptions;
using testing::ScriptedServer;
using testing::Transcript;

TEST(KeepAliveClientsTest, Pop3AndSmtpSocketsProbeASilentServer) {
  const KeepAliveOptions expected{1, 60, 10, 6, 120000};
  struct Row {
    const char* name;
    testing::Script script;
    std::function<std::unique_ptr<net::TCPClient>()> make;
  };
  Row rows[] = {
      {"POP3",
       Transcript({"S: +OK ready", "C: USER u", "S: +OK", "C: PASS p", "S: +OK",
                   "C: QUIT", "S: +OK"}),
       [] {
         auto pop = std::make_unique<POP3>();
         pop->SetUsername("u");
         pop->SetPassword("p");
         return pop;
       }},
      {"SMTP",
       Transcript({"S: 220 ready", "C: EHLO client.test", "S: 250 ok",
                   "C: QUIT", "S: 221 bye"}),
       [] {
         auto smtp = std::make_unique<SMTP>();
         smtp->SetHeloName("client.test");
         return smtp;
       }},
  };
  for (Row& row : rows) {
    ScriptedServer server(std::move(row.script));
    std::unique_ptr<net::TCPClient> client = row.make();
    client->SetHost("127.0.0.1");
    client->SetPort(server.Port());
    client->SetReadTimeout(10000);
    client->ConnectToHost();
    const int fd = testing::SocketConnectedTo("127.0.0.1", server.Port());
    ASSERT_GE(fd, 0) << row.name;
    const KeepAliveOptions options = testing::ReadKeepAliveOptions(fd);
    EXPECT_EQ(testing::Describe(options), testing::Describe(expected))
        << row.name;
    client->CloseConnection();
    EXPECT_TRUE(server.Played()) << row.name;
  }
}

}  // namespace
}  // namespace replyvane::mail
