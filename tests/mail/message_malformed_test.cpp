// Malformed messages from a server: each gives its result, never an error,
// a crash or a hang, and never leaves an attachment file open
// (the fixture checks the process's descriptors after every test).
#include <string>
#include <vector>

#include "core/exception.h"
#include "message/message.h"
#include "tests/mail/message_client_fixture.h"

namespace replyvane::mail {
namespace {

using message::Message;

// `depth` multiparts, each the only part of the one around it, around one
// text part; with `closed` every level is closed again.
std::string Nested(int depth, bool closed) {
  std::string wire = Wire({"Content-Type: multipart/mixed; boundary=b0", ""});
  for (int i = 0; i < depth; ++i) {
    wire += Wire(
        {"--b" + std::to_string(i),
         "Content-Type: multipart/mixed; boundary=b" + std::to_string(i + 1),
         ""});
  }
  wire += Wire(
      {"--b" + std::to_string(depth), "Content-Type: text/plain", "", "deep"});
  if (closed) {
    for (int i = depth; i >= 0; --i)
      wire += Wire({"--b" + std::to_string(i) + "--"});
  }
  return wire + Wire({"."});
}

struct Row {
  const char* name;
  std::string wire;        // sent after the header block "Subject: m"
  std::string error;       // the exception text, or "" for none
  int parts;               // parts stored (also when it failed)
  bool next_reply = true;  // the client stopped right after the terminator
};

class MalformedMessageTest : public MessageClientTest {};

TEST_F(MalformedMessageTest, ReceivedErrorsAndResults) {
  const std::string multipart =
      Wire({"Content-Type: multipart/mixed; boundary=\"B\"", ""});
  const std::string boundary_16k(16382, 'q');
  const std::string boundary_16000(16000, 'q');
  const std::vector<Row> rows = {
      {"boundary never closed ends at the terminator",
       multipart + Wire({"--B", "Content-Type: text/plain", "", "t", "."}), "",
       1},
      // Every multipart level is a part of its own (an empty text part).
      {"nested multiparts 1000 deep", Nested(1000, true), "", 1001},
      {"nested multiparts 1000 deep never closed", Nested(1000, false), "",
       1001},
      {"a long boundary that fits the line limit",
       Wire({"Content-Type: multipart/mixed; boundary=" + boundary_16000, "",
             "--" + boundary_16000, "", "t", "--" + boundary_16000 + "--",
             "."}),
       "", 1},
      // Content that cannot be decoded is kept as raw text (a text part)
      // and never ends the read.
      {"a 16 KiB boundary line is kept in pieces of the line limit",
       Wire({"Content-Type: multipart/mixed; boundary=x", "",
             "--" + boundary_16k, "."}),
       "", 0},
      {"part header without blank line runs into the end",
       multipart +
           Wire({"--B", "Content-Type: text/plain", "data", "--B--", "."}),
       "", 1},
      {"message ends inside a part's headers",
       multipart + Wire({"--B", "Content-Type: application/octet-stream", "."}),
       "", 1},
      {"base64 of odd length",
       multipart +
           Wire({"--B", "Content-Disposition: attachment",
                 "Content-Transfer-Encoding: base64", "", "AAE", "--B--", "."}),
       "", 2},
      {"UUE block with a bad first line",
       Wire({"Subject: m", "", "begin 644 a.bin", "Zxyz", "`", "end", "."}), "",
       2},
      {"begin with mode 0 is no block",
       Wire({"Subject: m", "", "begin 000 a.bin", "#86)C", "end", "."}), "", 0},
  };
  for (const Row& row : rows) {
    Message msg;
    std::string error;
    Serve(row.wire, [&](MessageClient& client) {
      try {
        if (client.ReadHeader(msg).empty()) client.ReadBody(msg);
        if (row.next_reply) {
          EXPECT_EQ(client.ReadTextLine(), kNextReply) << row.name;
        }
      } catch (const core::Exception& e) {
        error = e.what();
      }
    });
    EXPECT_EQ(error, row.error) << row.name;
    EXPECT_EQ(msg.MessageParts().Count(), row.parts) << row.name;
    EXPECT_EQ(OpenVornFiles(), 0) << row.name;
  }
}

// The peer goes away in the middle of a message: the reader fails with the
// closed-connection error instead of taking the rest for a complete message.
TEST_F(MalformedMessageTest, ConnectionClosedInsideTheMessage) {
  struct Cut {
    const char* name;
    std::string sent;
  };
  const std::vector<Cut> cuts = {
      {"inside the header block", "Subject: a\r\nFrom: x"},
      {"after a complete header line", "Subject: a\r\n"},
      {"inside a part",
       "Content-Type: multipart/mixed; boundary=B\r\n\r\n"
       "--B\r\nContent-Disposition: attachment\r\n\r\nAAEC"},
      {"inside a UUE block", "Subject: a\r\n\r\nbegin 644 a\r\n"},
  };
  for (const Cut& cut : cuts) {
    testing::ScriptedServer server(testing::Script().Send(cut.sent).Close());
    MessageClient client;
    Connect(client, server.Port());
    Message msg;
    try {
      if (client.ReadHeader(msg).empty()) client.ReadBody(msg);
      ADD_FAILURE() << cut.name << ": no error";
    } catch (const core::Exception& e) {
      EXPECT_STREQ(e.what(), "Connection Closed Gracefully.") << cut.name;
    }
    EXPECT_TRUE(server.Played()) << cut.name;
    EXPECT_EQ(OpenVornFiles(), 0) << cut.name;
  }
}

}  // namespace
}  // namespace replyvane::mail
