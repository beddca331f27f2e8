// One reader for every source: a message read from a POP3 connection (dot-
// stuffed, up to its "." line), from memory and from a file gives the same
// header, body lines, parts and attachment bytes, for lines that begin with
// dots, a line over the line limit, lines that straddle the blocks a file
// is read in, a lone CR, LF-only line ends and a last line without its end.
#include <string>
#include <vector>

#include "core/file_stream.h"
#include "core/reception_limits.h"
#include "mail/message_reader.h"
#include "message/message.h"
#include "tests/mail/base64_lines.h"
#include "tests/mail/message_client_fixture.h"
#include "tests/mail/message_forms.h"

namespace replyvane::mail {
namespace {

using message::Message;

// A message as a file holds it.
std::string StoredMessage(const std::string& attachment) {
  std::vector<std::string> lines = {
      "From: Ann <ann@example.com>",
      "Subject: dots and lengths",
      "Content-Type: multipart/mixed; boundary=\"BB\"",
      "",
      ".",
      "..two dots",
      ".one dot",
      std::string(core::kDefaultMaxLineLength + 10, 'x'),
      "a lone \r inside",
      "--BB",
      "Content-Type: text/plain",
      "",
      "in the part",
      ".",
      "--BB",
      "Content-Type: application/octet-stream",
      "Content-Transfer-Encoding: base64",
      "Content-Disposition: attachment; filename=\"data.bin\"",
      ""};
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return text + Base64Lines(attachment) + "--BB--\r\n" +
         "last line without its end";
}

class MessageSourcesTest : public MessageClientTest {};

TEST_F(MessageSourcesTest, ConnectionMemoryAndFileReadAlike) {
  std::string attachment;
  for (int i = 0; i < 300000; ++i) attachment += char(i * 7 % 256);
  const std::string stored = StoredMessage(attachment);

  Message from_connection;
  Serve(Stuffed(stored), [&](MessageClient& client) {
    if (client.ReadHeader(from_connection, "").empty()) {
      client.ReadBody(from_connection, ".");
    }
    EXPECT_EQ(client.ReadTextLine(), kNextReply);
  });
  const std::string expected = Described(from_connection);
  EXPECT_NE(expected.find("file data.bin: " + attachment), std::string::npos);
  EXPECT_NE(expected.find("\n.|\n..two dots|\n.one dot|\n"), std::string::npos)
      << expected.substr(0, 400);

  Message from_memory;
  ReadMessageText(stored, from_memory);
  EXPECT_EQ(Described(from_memory), expected);

  // Only the CR of each line end goes: the lone one stays.
  std::string lf_only = stored;
  for (size_t at = 0; (at = lf_only.find("\r\n", at)) != std::string::npos;) {
    lf_only.erase(at, 1);
  }
  Message from_lf_only;
  ReadMessageText(lf_only, from_lf_only);
  EXPECT_EQ(Described(from_lf_only), expected);

  const std::string path = kTestTempDirectory + "stored.eml";
  {
    core::FileStream file(path, core::FileMode::kCreate);
    file.WriteString(stored);
  }
  Message from_file;
  ReadMessageFile(path, from_file);
  EXPECT_EQ(Described(from_file), expected);
  ::unlink(path.c_str());
  EXPECT_THROW(ReadMessageFile(path, from_file), core::StreamError);
}

}  // namespace
}  // namespace replyvane::mail
