// Reading messages: header blocks and their terminators, plain bodies with
// dot-unstuffing, MIME multiparts, base64 bodies, UUE and XXE blocks, and
// NoDecode. Every row also checks that the client stops exactly after the
// terminator line.
#include <sys/stat.h>

#include <string>
#include <vector>

#include "core/file_stream.h"
#include "core/memory_stream.h"
#include "message/message.h"
#include "message/message_encoder.h"
#include "tests/mail/message_client_fixture.h"

namespace replyvane::mail {
namespace {

using message::Message;

// A UUE or XXE block for `data` as the part encoder writes it.
std::string Block(message::MessageEncoder&& encoder, const std::string& data,
                  const std::string& name) {
  core::MemoryStream source(data), out;
  encoder.SetFilename(name);
  encoder.SetPermissionCode(644);
  encoder.EncodePart(source, out);
  return out.Data();
}

// The whole content of the file of an attachment, and a check that it is a
// new "Vorn" file of the temporary directory, readable by the owner only
// and owned by the part.
std::string Stored(const message::Attachment& part) {
  const std::string& path = part.StoredPath();
  EXPECT_EQ(path.rfind(TempDirectory() + "Vorn", 0), 0u) << path;
  struct stat info;
  EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
  EXPECT_EQ(info.st_mode & 0777, 0600u) << path;
  EXPECT_TRUE(part.IsTemporaryFile());
  return core::ReadWholeFile(path);
}

// The part at `index` as text part or attachment; a test failure when it
// is not one.
const message::TextPart& TextAt(const Message& msg, int index) {
  const message::TextPart* part = msg.MessageParts()[index].AsText();
  if (part == nullptr) throw std::runtime_error("no text part there");
  return *part;
}

const message::Attachment& AttachmentAt(const Message& msg, int index) {
  const message::Attachment* part = msg.MessageParts()[index].AsAttachment();
  if (part == nullptr) throw std::runtime_error("no attachment there");
  return *part;
}

class MessageReaderTest : public MessageClientTest {
 protected:
  // Reads a whole message as a POP3 RETR would and checks that the next
  // line is the server's next reply.
  static void ReadWhole(const std::string& wire, Message& msg) {
    Serve(wire, [&](MessageClient& client) {
      if (client.ReadHeader(msg, "").empty()) client.ReadBody(msg, ".");
      EXPECT_EQ(client.ReadTextLine(), kNextReply);
    });
  }
};

TEST_F(MessageReaderTest, HeaderTerminators) {
  struct Row {
    const char* name;
    std::string wire;
    std::string alt;
    std::string returned;
    std::vector<std::string> headers;
  };
  const std::vector<Row> rows = {
      {"TOP reply reads past the empty line to the dot",
       Wire({"Subject: a", "", "."}),
       ".",
       ".",
       {"Subject: a"}},
      {"a message without body ends at the dot",
       Wire({"Subject: a", "."}),
       "",
       ".",
       {"Subject: a"}},
      {"empty line ends the block of a whole message",
       Wire({"Subject: a", " continued", "From: x@y", ""}),
       "",
       "",
       {"Subject: a", " continued", "From: x@y"}},
      {"another terminator is compared exactly",
       Wire({"Subject: a", "END ", "", "END"}),
       "END",
       "END",
       {"Subject: a", "END "}},
  };
  for (const Row& row : rows) {
    Message msg;
    Serve(row.wire, [&](MessageClient& client) {
      EXPECT_EQ(client.ReadHeader(msg, row.alt), row.returned) << row.name;
      EXPECT_EQ(client.ReadTextLine(), kNextReply) << row.name;
    });
    EXPECT_EQ(msg.Headers().Lines(), row.headers) << row.name;
  }
  // The header block is applied to the fields.
  Message msg;
  Serve(Wire({"Subject: a", " b", "Content-Type: multipart/mixed;",
              "  boundary=\"xy\"", ""}),
        [&](MessageClient& client) { client.ReadHeader(msg); });
  EXPECT_EQ(msg.Subject(), "a b");
  EXPECT_EQ(msg.MIMEBoundary().CurrentBoundary(), "XY");
}

TEST_F(MessageReaderTest, PlainBodies) {
  struct Row {
    const char* name;
    std::vector<std::string> body_lines;
    std::vector<std::string> expected;
  };
  const std::vector<Row> rows = {
      {"dots", {"..x", "...", ".x", "", "end"}, {".x", "..", ".x", "", "end"}},
      {"only the terminator", {}, {}},
      {"a begin line with mode 0 is plain text",
       {"begin 000 a.txt", "begin 644", "BEGIN 6440 x"},
       {"begin 000 a.txt", "begin 644", "BEGIN 6440 x"}},
  };
  for (const Row& row : rows) {
    std::vector<std::string> lines = {"Subject: s", ""};
    lines.insert(lines.end(), row.body_lines.begin(), row.body_lines.end());
    lines.push_back(".");
    Message msg;
    ReadWhole(Wire(lines), msg);
    EXPECT_EQ(msg.Body(), row.expected) << row.name;
    EXPECT_EQ(msg.MessageParts().Count(), 0) << row.name;
  }
}

TEST_F(MessageReaderTest, MultipartWithPreambleTextAndAttachment) {
  Message msg;
  ReadWhole(Wire({"Content-Type: multipart/mixed; boundary=\"BB\"",
                  "",
                  "This is a multi-part message in MIME format",
                  "",
                  "--bb",
                  "Content-Type: text/plain",
                  "Content-Transfer-Encoding: 7bit",
                  "",
                  "hello",
                  "..dotted",
                  "",
                  "--BB",
                  "Content-Type: application/octet-stream;",
                  "        name=\"ignored.bin\"",
                  "Content-Transfer-Encoding: base64",
                  "Content-Disposition: attachment;",
                  "        filename=\"data.bin\"",
                  "",
                  "AAEC",
                  "/w==",
                  "",
                  "--BB--",
                  "epilogue",
                  "."}),
            msg);
  EXPECT_EQ(msg.Body(), (std::vector<std::string>{
                            "This is a multi-part message in MIME format", "",
                            "epilogue"}));
  ASSERT_EQ(msg.MessageParts().Count(), 2);
  const message::TextPart& text = TextAt(msg, 0);
  EXPECT_EQ(text.ContentType(), "text/plain");
  EXPECT_EQ(text.ContentTransfer(), "7bit");
  EXPECT_EQ(text.Body(), (std::vector<std::string>{"hello", ".dotted", ""}));
  const message::Attachment& file = AttachmentAt(msg, 1);
  EXPECT_EQ(file.AttachmentName(), "data.bin");
  EXPECT_EQ(file.ContentTransfer(), "base64");
  EXPECT_EQ(file.ContentDisposition().rfind("attachment;", 0), 0u);
  EXPECT_EQ(Stored(file), std::string("\x00\x01\x02\xff", 4));
}

TEST_F(MessageReaderTest, EncodedBodiesAndBlocks) {
  const std::string data(100, '\x5a');
  const std::string uue = Block(message::MessageEncoderUUE(), data, "u.bin");
  const size_t first_line = uue.find("\r\n") + 2;
  const std::string cut = uue.substr(first_line, 63);  // 45 bytes
  struct Row {
    const char* name;
    std::string wire;
    std::vector<std::string> body;
    std::string text;  // the single text part's lines joined by "|", or
    std::string file;  // the single attachment's bytes and
    std::string file_name;
  };
  const std::vector<Row> rows = {
      {"base64 body is one text part",
       Wire({"Content-Type: text/plain", "Content-Transfer-Encoding: base64",
             "", "bGluZTENCmxpbmUyDQo=", "."}),
       {},
       "line1|line2",
       "",
       ""},
      {"quoted-printable body is one text part",
       Wire({"Content-Transfer-Encoding: Quoted-Printable", "", "a=3Db=", "c",
             "."}),
       {},
       "a=bc",
       "",
       ""},
      {"base64 body with a name is an attachment",
       Wire({"Content-Type: image/png; name=\"p.png\"",
             "Content-Transfer-Encoding: base64", "", "AAEC", "."}),
       {},
       "",
       std::string("\x00\x01\x02", 3),
       "p.png"},
      {"UUE block between text lines",
       Wire({"Subject: u", "", "before"}) + uue + Wire({"after", "."}),
       {"before", "after"},
       "",
       data,
       "u.bin"},
      {"XXE block",
       Wire({"Subject: x", ""}) +
           Block(message::MessageEncoderXXE(), data, "x y.bin") + Wire({"."}),
       {},
       "",
       data,
       "x y.bin"},
      {"UUE block without end stops at the terminator",
       Wire({"Subject: u", "", "begin 644 cut.bin"}) + cut + Wire({"."}),
       {},
       "",
       data.substr(0, 45),
       "cut.bin"},
  };
  for (const Row& row : rows) {
    Message msg;
    ReadWhole(row.wire, msg);
    EXPECT_EQ(msg.Body(), row.body) << row.name;
    ASSERT_EQ(msg.MessageParts().Count(), 1) << row.name;
    if (!row.text.empty()) {
      std::string joined;
      for (const std::string& line : TextAt(msg, 0).Body()) {
        joined += (joined.empty() ? "" : "|") + line;
      }
      EXPECT_EQ(joined, row.text) << row.name;
    } else {
      EXPECT_EQ(Stored(AttachmentAt(msg, 0)), row.file) << row.name;
      EXPECT_EQ(AttachmentAt(msg, 0).AttachmentName(), row.file_name)
          << row.name;
    }
  }
}

TEST_F(MessageReaderTest, NoDecodeKeepsTheWholeBody) {
  Message msg;
  msg.SetNoDecode(true);
  ReadWhole(Wire({"Content-Type: multipart/mixed; boundary=b", "", "--b",
                  "Content-Type: text/plain", "", "..x", "--b--", "."}),
            msg);
  EXPECT_EQ(msg.Body(),
            (std::vector<std::string>{"--b", "Content-Type: text/plain", "",
                                      ".x", "--b--"}));
  EXPECT_EQ(msg.MessageParts().Count(), 0);
}

TEST_F(MessageReaderTest, ReadWorkIsAnnouncedAndEnded) {
  Message msg;
  int begun = 0, ended = 0;
  Serve(Wire({"Subject: a", "", "body", "."}), [&](MessageClient& client) {
    client.OnWorkBegin = [&](net::Component*, net::WorkMode mode, int32_t) {
      if (mode == net::wmRead) ++begun;
    };
    client.OnWorkEnd = [&](net::Component*, net::WorkMode mode) {
      if (mode == net::wmRead) ++ended;
    };
    client.ReadHeader(msg);
    client.ReadBody(msg);
    EXPECT_EQ(begun, 2);
    EXPECT_EQ(ended, 2);
  });
}

}  // namespace
}  // namespace replyvane::mail
