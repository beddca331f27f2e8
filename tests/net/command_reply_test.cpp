#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "net/tcp_client.h"
#include "tests/support/scripted_server.h"

namespace replyvane::net {
namespace {

using testing::ScriptedServer;
using testing::Transcript;

TEST(SendCommandTest, SendsTheLineAndChecksTheReplyCode) {
  ScriptedServer server(
      Transcript({"S: 220 ready", "C: HELO x", "S: 550 no such user", "C: QUIT",
                  "S: 221 bye"}));
  TCPClient client;
  client.SetHost("127.0.0.1");
  client.SetPort(server.Port());
  client.ConnectToHost();
  EXPECT_EQ(client.ReadReply({220}), 220);
  try {
    client.SendCommand("HELO x", 250);
    FAIL() << "550 accepted";
  } catch (const ProtocolReplyError& error) {
    EXPECT_EQ(error.ReplyCode(), 550);
    EXPECT_EQ(error.Message(), "no such user\r\n");
  }
  EXPECT_EQ(client.LastReply().NumericCode(), 550);
  EXPECT_EQ(client.SendCommand("QUIT", -1), 221);
  client.CloseConnection();
  EXPECT_TRUE(server.Played());
}

}  // namespace
}  // namespace replyvane::net
