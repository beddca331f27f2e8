// How many sends a whole message takes: the commands one each, the message
// text with its attachments in 64 KiB sends, whatever its number of lines.
#include <gtest/gtest.h>

#include <memory>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "mail/smtp.h"
#include "message/message.h"
#include "message/message_parts.h"
#include "net/io_handler.h"
#include "tests/support/scripted_server.h"
#include "tests/support/temp_dir.h"

namespace replyvane::mail {
namespace {

using testing::ScriptedServer;
using testing::Transcript;

// A socket handler that records every send.
class CountingHandler : public net::IOHandlerSocket {
 public:
  int32_t SendBytes(const void* buffer, int32_t length) override {
    const int32_t n = IOHandlerSocket::SendBytes(buffer, length);
    if (n > 0) sends.emplace_back(static_cast<const char*>(buffer), size_t(n));
    return n;
  }
  std::vector<std::string> sends;
};

TEST(SmtpSendCountTest, AMessageWithAttachmentsLeavesInFewSends) {
  testing::TempDir dir("send-count");
  testing::WriteFile(dir.File("prices.txt"), std::string(20000, 'x') + "\r\n");
  std::mt19937 random(3);
  std::string binary(100000, '\0');
  for (char& byte : binary) byte = char(random());
  testing::WriteFile(dir.File("leaflet.bin"), binary);

  ScriptedServer server(
      Transcript({"S: 220 hi", "C: EHLO client.test", "S: 250 ok", "C: RSET",
                  "S: 250 ok", "C: MAIL FROM:<me@example.org>", "S: 250 ok",
                  "C: RCPT TO:<to@example.org>", "S: 250 ok", "C: DATA",
                  "S: 354 go", "B:", "S: 250 queued", "C: QUIT"}));
  CountingHandler handler;
  SMTP client;
  client.SetIOHandler(&handler);
  client.SetHost("127.0.0.1");
  client.SetPort(server.Port());
  client.SetHeloName("client.test");
  client.SetReadTimeout(10000);
  client.ConnectToHost();
  message::Message msg;
  msg.From().SetAddress("me@example.org");
  msg.Recipients().SetAddressesText("to@example.org");
  msg.SetSubject("Prices");
  std::vector<std::string> body;
  for (int i = 0; i < 200; ++i) body.push_back("Line " + std::to_string(i));
  msg.SetBody(body);
  msg.MessageParts().AddAttachment(dir.File("prices.txt"));
  msg.MessageParts().AddAttachment(dir.File("leaflet.bin"));
  client.SendMessage(msg);
  client.CloseConnection();
  ASSERT_TRUE(server.Played()) << server.Report();
  ASSERT_EQ(server.Bodies().size(), 1u);
  const size_t text = server.Bodies()[0].size();
  ASSERT_GT(text, 160000u) << "both attachments, base64";

  // EHLO, RSET, MAIL, RCPT, DATA, then the text ending in ".", QUIT.
  const std::vector<std::string>& sends = handler.sends;
  ASSERT_GE(sends.size(), 8u);
  const std::vector<std::string> commands = {
      "EHLO client.test\r\n", "RSET\r\n", "MAIL FROM:<me@example.org>\r\n",
      "RCPT TO:<to@example.org>\r\n", "DATA\r\n"};
  for (size_t i = 0; i < commands.size(); ++i) {
    EXPECT_EQ(sends[i], commands[i]) << "a command is one whole send";
  }
  // The final "." leaves with the message's last bytes, not on its own.
  EXPECT_TRUE(sends[sends.size() - 2].ends_with("\r\n.\r\n"));
  EXPECT_GT(sends[sends.size() - 2].size(), 3u);
  EXPECT_EQ(sends.back(), "QUIT\r\n");
  const size_t text_sends = sends.size() - commands.size() - 1;
  const size_t full = size_t(net::TCPConnection::kOutputBufferSize);
  EXPECT_LE(text_sends, (text + full - 1) / full + 1)
      << "over 2,000 lines in " << text_sends << " sends";
  size_t sent = 0;
  for (size_t i = commands.size(); i < commands.size() + text_sends; ++i) {
    sent += sends[i].size();
  }
  EXPECT_EQ(sent, text + 3);  // and ".\r\n"
}

}  // namespace
}  // namespace replyvane::mail
