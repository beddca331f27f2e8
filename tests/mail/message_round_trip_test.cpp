// Messages written by one client and read back by another give the same
// body, attachment names and attachment bytes, for sizes around the 57-byte
// base64 line and the 45-byte UUE line, and for a 1 MiB attachment.
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "core/file_stream.h"
#include "message/message.h"
#include "tests/mail/message_client_fixture.h"

namespace replyvane::mail {
namespace {

using message::Message;

std::string RandomBytes(size_t size, unsigned seed) {
  std::mt19937 generator(seed);
  std::string data(size, '\0');
  for (char& c : data) c = char(generator() & 0xff);
  return data;
}

struct RoundTripRow {
  const char* name;
  message::MessageEncoding encoding;
  std::vector<size_t> sizes;  // one attachment per size
};

class MessageRoundTripTest : public MessageClientTest {
 protected:
  void SetUp() override {
    source_dir_ = kTestTempDirectory + "roundtrip";
    ::mkdir(source_dir_.c_str(), 0700);
  }
  void TearDown() override {
    for (const std::string& path : made_) ::unlink(path.c_str());
    ::rmdir(source_dir_.c_str());
    MessageClientTest::TearDown();
  }

  std::string source_dir_;
  std::vector<std::string> made_;
};

TEST_F(MessageRoundTripTest, AttachmentsComeBackIdentical) {
  constexpr size_t kMiB = 1 << 20;
  const std::vector<RoundTripRow> rows = {
      {"no attachment", message::meMIME, {}},
      {"0 bytes", message::meMIME, {0}},
      {"1 byte", message::meMIME, {1}},
      {"2 bytes", message::meMIME, {2}},
      {"3 bytes", message::meMIME, {3}},
      {"56 bytes", message::meMIME, {56}},
      {"57 bytes", message::meMIME, {57}},
      {"58 bytes", message::meMIME, {58}},
      {"1 MiB", message::meMIME, {kMiB}},
      {"three small", message::meMIME, {0, 1, 2}},
      {"three around a line", message::meMIME, {56, 57, 58}},
      {"three with 1 MiB", message::meMIME, {3, kMiB, 0}},
      {"UUE three small", message::meUU, {0, 1, 2}},
      {"UUE three around a line", message::meUU, {3, 44, 45}},
      {"UUE three with 1 MiB", message::meUU, {56, kMiB, 58}},
  };
  const std::vector<std::string> body = {"Dear reader,", ".", "..two", "",
                                         "bye"};
  unsigned seed = 1;
  for (const RoundTripRow& row : rows) {
    Message sent;
    sent.SetEncoding(row.encoding);
    sent.From().SetText("ann@example.org");
    sent.SetSubject(row.name);
    sent.SetBody(body);
    std::vector<std::string> data;
    for (size_t i = 0; i < row.sizes.size(); ++i) {
      data.push_back(RandomBytes(row.sizes[i], seed++));
      std::string path =
          source_dir_ + "/file " + std::to_string(i) + "-" + row.name + ".bin";
      std::ofstream(path, std::ios::binary) << data.back();
      made_.push_back(path);
      sent.MessageParts().AddAttachment(path);
    }
    std::string wire =
        CaptureLarge([&](MessageClient& c) { c.WriteMessage(sent); });

    Message received;
    Serve(wire + ".\r\n", [&](MessageClient& client) {
      ASSERT_EQ(client.ReadHeader(received), "") << row.name;
      client.ReadBody(received);
      EXPECT_EQ(client.ReadTextLine(), kNextReply) << row.name;
    });
    EXPECT_EQ(received.Subject(), row.name);
    // The MIME layout puts its preamble before the text section; what
    // matters is that the text comes back whole.
    std::vector<std::string> text = received.Body();
    if (row.encoding == message::meMIME && !row.sizes.empty()) {
      ASSERT_EQ(received.MessageParts().Count(), int(row.sizes.size()) + 1)
          << row.name;
      text = received.MessageParts()[0].AsText()->Body();
      ASSERT_FALSE(text.empty()) << row.name;
      text.pop_back();  // the empty line before the next boundary
    } else if (row.encoding == message::meUU) {
      ASSERT_EQ(text.size(), body.size() + 1 + row.sizes.size()) << row.name;
      text.resize(body.size());
    }
    EXPECT_EQ(text, body) << row.name;
    int first = received.MessageParts().Count() - int(row.sizes.size());
    for (size_t i = 0; i < row.sizes.size(); ++i) {
      const message::Attachment* part =
          received.MessageParts()[first + int(i)].AsAttachment();
      ASSERT_NE(part, nullptr) << row.name << " #" << i;
      EXPECT_EQ(part->AttachmentName(),
                sent.MessageParts()[int(i)].AsAttachment()->AttachmentName())
          << row.name << " #" << i;
      EXPECT_TRUE(core::ReadWholeFile(part->StoredPath()) == data[i])
          << row.name << " #" << i << ": bytes differ";
    }
  }
}

}  // namespace
}  // namespace replyvane::mail
