// What a hostile or broken server can make the POP3 client do: endless
// headers, replies and messages end with the reception limit's failure
// (never a hang or an exhausted memory), and content that cannot be decoded
// never stops a fetch: the message comes back with its raw text and the
// connection stays in step with the server.
#include "core/reception_limits.h"

#include <sys/stat.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "mail/pop3.h"
#include "message/message.h"
#include "tests/mail/message_client_fixture.h"
#include "tests/mail/outcome.h"

namespace replyvane::mail {
namespace {

using message::Message;
using testing::Script;
using testing::ScriptedServer;
using Lines = std::vector<std::string>;

// Served before a reader with a missing limit would exhaust the memory; a
// test that reaches it fails with this text instead.
constexpr size_t kServedCap = 512u * 1024 * 1024;
constexpr char kServedTooMuch[] = "served without end";

// A POP3 client whose server is memory: the commands it writes are
// dropped, and it receives `prefix`, then `pattern` again and again.
class EndlessServerClient : public POP3 {
 public:
  EndlessServerClient(std::string prefix, std::string pattern)
      : prefix_(std::move(prefix)), pattern_(std::move(pattern)) {}

  int32_t FillInputBuffer(bool, int32_t, bool) override {
    std::string chunk;
    chunk.swap(prefix_);
    while (chunk.size() < 65536) chunk += pattern_;
    served_ += chunk.size();
    if (served_ > kServedCap) throw core::Exception(kServedTooMuch);
    InputQueue().Append(chunk);
    return int32_t(chunk.size());
  }
  void WriteTextLine(const std::string&) override {}

 private:
  std::string prefix_;
  std::string pattern_;
  size_t served_ = 0;
};

class ReceptionLimitsTest : public MessageClientTest {};

TEST_F(ReceptionLimitsTest, EndlessDataEndsWithTheLimitsFailure) {
  const std::string header_lines = "error: The message header has more than " +
                                   std::to_string(core::kMaxHeaderLines) +
                                   " lines.";
  const std::string header_bytes = "error: The message header is larger than " +
                                   std::to_string(core::kMaxHeaderBlockBytes) +
                                   " bytes.";
  const std::string reply_lines = "error: The server's reply has more than " +
                                  std::to_string(core::kMaxReplyLines) +
                                  " lines.";
  const std::string message_text = "error: The message text is larger than " +
                                   std::to_string(core::kMaxMessageTextBytes) +
                                   " bytes.";
  const std::string multipart =
      "+OK\r\nContent-Type: multipart/mixed; boundary=B\r\n\r\n";
  // Lines long enough that the memory limit comes after few of them.
  const std::string line = std::string(200, 'l') + "\r\n";
  const auto top = [](POP3& client) {
    Message msg;
    client.FetchHeader(1, msg);
  };
  const auto retr = [](POP3& client) {
    Message msg;
    client.FetchMessage(1, msg);
  };
  struct Row {
    const char* name;
    std::string prefix;
    std::string pattern;
    std::function<void(POP3&)> action;
    std::string outcome;
  };
  const std::vector<Row> rows = {
      {"blank lines after TOP", "+OK\r\nSubject: s\r\n", "\r\n", top,
       header_lines},
      {"header lines without end", "+OK\r\n", "X-Spam: yes\r\n", retr,
       header_lines},
      {"long header lines", "+OK\r\n", "X-A: " + std::string(500, 'b') + "\r\n",
       retr, header_bytes},
      {"one header line without end", "+OK\r\nSubject: ", std::string(999, 'x'),
       retr, header_bytes},
      {"continuation lines of a reply", "250-hi\r\n", "250-more\r\n",
       [](POP3& client) { client.ReadReplyLines(); }, reply_lines},
      {"blank lines instead of a reply", "", "\r\n",
       [](POP3& client) { client.ReadReplyLines(); }, reply_lines},
      {"body lines", "+OK\r\nSubject: s\r\n\r\n",
       std::string(998, 'l') + "\r\n", retr, message_text},
      {"empty body lines", "+OK\r\nSubject: s\r\n\r\n", "\r\n", retr,
       message_text},
      {"one body line without end", "+OK\r\nSubject: s\r\n\r\n",
       std::string(999, 'l'), retr, message_text},
      {"body of a message read undecoded", "+OK\r\nSubject: s\r\n\r\n", line,
       [](POP3& client) {
         Message msg;
         msg.SetNoDecode(true);
         client.FetchMessage(1, msg);
       },
       message_text},
      {"text part without end", multipart + "--B\r\n\r\n", line, retr,
       message_text},
      {"raw text of an undecodable part without end",
       multipart + "--B\r\nContent-Disposition: attachment\r\n"
                   "Content-Transfer-Encoding: base64\r\n\r\nAAE\r\n",
       line, retr, message_text},
      {"empty parts without end", multipart, "--B\r\n\r\n", retr, message_text},
      {"part header without end", multipart + "--B\r\n", "X-A: " + line, retr,
       message_text},
  };
  for (const Row& row : rows) {
    EndlessServerClient client(row.prefix, row.pattern);
    EXPECT_EQ(Outcome([&] { row.action(client); }), row.outcome) << row.name;
    EXPECT_EQ(OpenVornFiles(), 0) << row.name;
  }
}

TEST_F(ReceptionLimitsTest, AnEndlessListingGivesNoMailboxSize) {
  EndlessServerClient client("+OK\r\n", "1 120\r\n");
  EXPECT_EQ(client.GetMailboxSize(), -1);
}

// A POP3 session that logs in, answers RETR 1 with `message` (already
// dot-stuffed, without the "." line) and then DELE 1.
Script RetrThenDele(const Lines& message) {
  Script script =
      testing::Transcript({"S: +OK ready", "C: USER alice", "S: +OK",
                           "C: PASS secret", "S: +OK", "C: RETR 1", "S: +OK"});
  for (const std::string& line : message) script.SendLine(line);
  return script.Transcript({"S: .", "C: DELE 1", "S: +OK deleted", "C: QUIT"});
}

// One part of a received message: "text: " and its lines, or
// "attachment <name>: <bytes in its file>".
std::string Describe(const message::MessagePart& part) {
  if (const message::TextPart* text = part.AsText()) {
    std::string shown = "text:";
    for (const std::string& line : text->Body()) {
      shown +=
          " [" +
          (line.size() > 40 ? std::to_string(line.size()) + " bytes" : line) +
          "]";
    }
    return shown;
  }
  const message::Attachment& file = *part.AsAttachment();
  struct stat info {};
  ::stat(file.StoredPath().c_str(), &info);
  return "attachment " + file.AttachmentName() + ": " +
         std::to_string(info.st_size);
}

TEST_F(ReceptionLimitsTest, UndecodableContentIsKeptAndTheSessionGoesOn) {
  const std::string multipart = "Content-Type: multipart/mixed; boundary=B";
  const std::string long_line(20000, 'A');
  const std::string piece(size_t(core::kDefaultMaxLineLength), 'x');
  struct Row {
    const char* name;
    Lines message;  // as sent after "+OK"
    Lines body;
    Lines parts;  // Describe() of each part
    size_t headers = 1;
  };
  const std::vector<Row> rows = {
      {"base64 line of bad length after good parts",
       {multipart, "", "--B", "", "hello", "--B",
        "Content-Disposition: attachment; filename=a.bin",
        "Content-Transfer-Encoding: base64", "", "AAAA", "AAE", "more",
        "--B--"},
       {},
       {"text: [hello]", "attachment a.bin: 3", "text: [AAE] [more] [--B--]"}},
      {"part header runs into the end",
       {multipart, "", "--B", "Content-Type: text/plain", "data", "--B--"},
       {},
       {"text: [Content-Type: text/plain] [data] [--B--]"}},
      {"message ends inside a part header",
       {multipart, "", "--B", "Content-Type: application/octet-stream"},
       {},
       {"text: [Content-Type: application/octet-stream]"}},
      {"bad first line of a UUE block",
       {"Subject: s", "", "before", "begin 644 a.bin", "Zxyz", "`", "end",
        "..after"},
       {"before"},
       {"attachment a.bin: 0", "text: [Zxyz] [`] [end] [.after]"}},
      {"UUE block without end stops at the message's end",
       {"Subject: s", "", "begin 644 b.bin", "#86)C"},
       {},
       {"attachment b.bin: 3"}},
      {"over-long line in a base64 attachment",
       {multipart, "", "--B", "Content-Disposition: attachment; filename=c",
        "Content-Transfer-Encoding: base64", "", "AAAA", long_line, "--B--"},
       {},
       {"attachment c: 3", "text: [16384 bytes] [3616 bytes] [--B--]"}},
      {"over-long body line holding the terminator",
       {"Subject: s", "", piece + ".", "..", "last"},
       {piece, ".", ".", "last"},
       {}},
      {"over-long header line",
       {"Subject: " + long_line, "X-Next: z", "", "b"},
       {"b"},
       {},
       2},
      {"unreadable sender", {"From: @ Outside address", "", "b"}, {"b"}, {}},
  };
  for (const Row& row : rows) {
    ScriptedServer server(RetrThenDele(row.message));
    POP3 client;
    client.SetUsername("alice");
    client.SetPassword("secret");
    Connect(client, server.Port());
    Message msg;
    EXPECT_EQ(Outcome([&] { EXPECT_TRUE(client.FetchMessage(1, msg)); }), "")
        << row.name;
    EXPECT_EQ(OpenVornFiles(), 0) << row.name;
    EXPECT_EQ(Outcome([&] { client.DeleteMessage(1); }), "") << row.name;
    EXPECT_EQ(client.LastReply().Text(), Lines{"deleted"}) << row.name;
    client.CloseConnection();
    EXPECT_TRUE(server.Played()) << row.name;

    EXPECT_EQ(msg.Body(), row.body) << row.name;
    Lines parts;
    for (int i = 0; i < msg.MessageParts().Count(); ++i) {
      parts.push_back(Describe(msg.MessageParts()[i]));
    }
    EXPECT_EQ(parts, row.parts) << row.name;
    EXPECT_EQ(size_t(msg.Headers().Count()), row.headers) << row.name;
  }
}

}  // namespace
}  // namespace replyvane::mail
