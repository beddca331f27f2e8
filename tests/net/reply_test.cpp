#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "net/exceptions.h"
#include "net/rfc_reply.h"
#include "net/tcp_client.h"
#include "tests/net/net_test_util.h"
#include "tests/support/scripted_server.h"

namespace replyvane::net {
namespace {

using testing::Script;
using testing::ScriptedServer;
using testing::Transcript;

using Lines = std::vector<std::string>;

TEST(RFCReplyTest, ParsesCodeAndTextFromRawLines) {
  struct Row {
    Lines lines;
    std::string text_code;
    int32_t numeric_code;
    Lines text;
  };
  const Row rows[] = {
      {{"250 OK"}, "250", 250, {"OK"}},
      {{"250-a", "250 b"}, "250", 250, {"a", "b"}},
      {{"+OK 2 320"}, "+OK", 0, {"2 320"}},
      {{"-ERR"}, "-ERR", 0, {""}},
      {{"220"}, "220", 220, {""}},
      {{"2"}, "2", 2, {""}},
      {{"abcd efg"}, "abcd", 0, {" efg"}},
      {{"250-"}, "250", 250, {""}},
      {{}, "", 0, {}},
  };
  for (const Row& row : rows) {
    RFCReply reply;
    reply.SetNumericCode(999);
    reply.ParseReplyLines(row.lines);
    const std::string name = row.lines.empty() ? "(none)" : row.lines[0];
    EXPECT_EQ(reply.TextCode(), row.text_code) << name;
    EXPECT_EQ(reply.NumericCode(), row.numeric_code) << name;
    EXPECT_EQ(reply.Text(), row.text) << name;
  }
}

TEST(RFCReplyTest, KeepsTheTwoCodesCoupled) {
  RFCReply reply;
  reply.SetTextCode("-ERR");
  EXPECT_EQ(reply.NumericCode(), 0);
  reply.SetNumericCode(2);
  EXPECT_EQ(reply.TextCode(), "2");
  reply.SetNumericCode(0);  // not above 0: the text stays
  EXPECT_EQ(reply.TextCode(), "2");
  reply.SetTextCode("354");
  EXPECT_EQ(reply.NumericCode(), 354);
  reply.SetTextCode("");  // empty: the number stays
  EXPECT_EQ(reply.NumericCode(), 354);
  reply.SetText({"x"});
  RFCReply copy = reply;
  reply.Clear();
  EXPECT_EQ(copy.Text(), Lines{"x"});
  EXPECT_EQ(reply.NumericCode(), 0);
  EXPECT_EQ(reply.TextCode(), "");
  EXPECT_TRUE(reply.Text().empty());
}

TEST(ReadReplyTest, ReadsMultiLineRepliesUpToTheirEndLine) {
  struct Row {
    std::string name;
    std::string sent;
    int32_t code;
    Lines text;
  };
  const Row rows[] = {
      {"one line", "+OK ready\r\n", 0, {"ready"}},
      {"three lines",
       "250-first\r\n250-second\r\n250 last\r\n",
       250,
       {"first", "second", "last"}},
      {"blank lines skipped",
       "\r\n  \r\n250-one\r\n\r\n250-two\r\n250 three\r\n",
       250,
       {"one", "two", "three"}},
      {"short line ends", "250-a\r\n250\r\n", 250, {"a", ""}},
      {"three-character first line", "220\r\n", 220, {""}},
      {"other codes continue",
       "250-a\r\n550 b\r\n250 c\r\n",
       250,
       {"a", "b", "c"}},
      {"no blank after code continues",
       "250-x\r\n250x\r\n250 end\r\n",
       250,
       {"x", "", "end"}},
      {"end marker ignores case", "abc-x\r\nABC y\r\n", 0, {"x", "y"}},
      {"trimmed", " \t250 padded  \r\n", 250, {"padded"}},
  };
  for (const Row& row : rows) {
    ScriptedServer server(Script().Send(row.sent + "next\r\n"));
    auto client = ConnectedClient(server.Port());
    client->SetReadTimeout(5000);
    client->ReadReplyLines();
    EXPECT_EQ(client->LastReply().NumericCode(), row.code) << row.name;
    EXPECT_EQ(client->LastReply().Text(), row.text) << row.name;
    EXPECT_EQ(client->ReadTextLine(), "next") << row.name << ": over-read";
    client->CloseConnection();
  }
}

TEST(ReadReplyTest, ChecksTheCodeAgainstTheAllowedList) {
  ScriptedServer server(Script().Send("+OK\r\n250 ok\r\n251 no\r\n251 ok\r\n"));
  auto client = ConnectedClient(server.Port());
  EXPECT_EQ(client->ReadReply({}), 0) << "an empty list accepts code 0";
  EXPECT_EQ(client->ReadReply({220, 250}), 250);
  EXPECT_THROW(client->ReadReply({250}), ProtocolReplyError);
  EXPECT_EQ(client->ReadReply(std::vector<int16_t>{251}), 251);
  client->CloseConnection();
}

TEST(SendCommandTest, SendsTheLineAndChecksTheReplyCode) {
  ScriptedServer server(Transcript(
      {"S: 220 ready", "C: HELO x", "S: 550 no such user", "C: ", "S: 250 ok",
       "C: NOOP", "S: +OK", "C: QUIT", "S: 221 bye"}));
  auto client = ConnectedClient(server.Port());
  EXPECT_EQ(client->ReadReply({220}), 220);
  try {
    client->SendCommand("HELO x", 250);
    FAIL() << "550 accepted";
  } catch (const ProtocolReplyError& error) {
    EXPECT_EQ(error.ReplyCode(), 550);
    EXPECT_EQ(error.Message(), "no such user\r\n");
  }
  EXPECT_EQ(client->LastReply().NumericCode(), 550);
  EXPECT_TRUE(client->IsConnected()) << "a rejected reply keeps the line";
  EXPECT_EQ(client->SendCommand("", {250, 251}), 250) << "a bare CR LF";
  EXPECT_EQ(client->SendCommand("NOOP", -1), 0) << "-1 accepts code 0";
  EXPECT_EQ(client->SendCommand("QUIT", {}), 221);
  client->CloseConnection();
  EXPECT_TRUE(server.Played());
}

TEST(SendCommandTest, AFailedReadKeepsThePreviousReply) {
  ScriptedServer server(
      Transcript({"S: 250 kept", "C: NEXT", "S| 251 cut"}).Close());
  auto client = ConnectedClient(server.Port());
  EXPECT_EQ(client->ReadReply({250}), 250);
  // The cut line reads as empty and the close follows.
  EXPECT_THROW(client->SendCommand("NEXT", 251), ConnClosedGracefully);
  EXPECT_EQ(client->LastReply().Text(), Lines{"kept"});
}

TEST(SendCommandTest, AReplyThatNeverEndsIsBoundedByTheReadTimeout) {
  ScriptedServer server(Script()
                            .Send("250-a\r\n250-b\r\n")
                            .Stall(std::chrono::milliseconds(2000)));
  auto client = ConnectedClient(server.Port());
  client->SetReadTimeout(200);
  EXPECT_THROW(client->ReadReply({250}), ReadTimeout);
  client->CloseConnection();
}

// A protocol with status words maps them onto codes; SendCommand goes
// through the override too.
class StatusWordClient : public TCPClient {
 public:
  int16_t ReadReply(const std::vector<int16_t>& allowed) override {
    ReadReplyLines();
    LastReply().SetNumericCode(LastReply().TextCode() == "+OK" ? 1 : 2);
    return CheckReplyCode(int16_t(LastReply().NumericCode()), allowed);
  }
};

TEST(SendCommandTest, UsesTheProtocolsReplyInterpretation) {
  ScriptedServer server(
      Transcript({"C: STAT", "S: +OK 2 320", "C: DELE 9", "S: -ERR no"}));
  StatusWordClient client;
  client.SetHost("127.0.0.1");
  client.SetPort(server.Port());
  client.ConnectToHost();
  EXPECT_EQ(client.SendCommand("STAT", 1), 1);
  EXPECT_EQ(client.LastReply().TextCode(), "1");
  EXPECT_EQ(client.LastReply().Text(), Lines{"2 320"});
  try {
    client.SendCommand("DELE 9", 1);
    FAIL() << "-ERR accepted";
  } catch (const ProtocolReplyError& error) {
    EXPECT_EQ(error.ReplyCode(), 2);
    EXPECT_EQ(error.Message(), " no\r\n")
        << "the text starts at the fifth character";
  }
  client.CloseConnection();
  EXPECT_TRUE(server.Played());
}

}  // namespace
}  // namespace replyvane::net
