// The files of received attachments: they live exactly as long as the
// message that names them, and the start-up sweep removes only what a
// crashed run of ours left behind.
#include "mail/temp_file.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <ctime>
#include <iostream>
#include <string>
#include <vector>

#include "message/forward_text.h"
#include "message/message.h"
#include "net/exceptions.h"
#include "tests/mail/message_client_fixture.h"
#include "tests/support/temp_dir.h"

namespace replyvane::mail {
namespace {

using message::Message;

bool Exists(const std::string& path) {
  struct stat info;
  return ::lstat(path.c_str(), &info) == 0;
}

// The stored paths of the message's attachments, in order.
std::vector<std::string> AttachmentFiles(const Message& msg) {
  std::vector<std::string> paths;
  for (int i = 0; i < msg.MessageParts().Count(); ++i) {
    if (const message::Attachment* part =
            msg.MessageParts()[i].AsAttachment()) {
      paths.push_back(part->StoredPath());
    }
  }
  return paths;
}

// A message with a text part and two base64 attachments (4 and 3 bytes).
std::string TwoAttachments() {
  return Wire({"Content-Type: multipart/mixed; boundary=\"BB\"",
               "",
               "--BB",
               "Content-Type: text/plain",
               "",
               "hello",
               "--BB",
               "Content-Type: application/octet-stream",
               "Content-Transfer-Encoding: base64",
               "Content-Disposition: attachment; filename=\"one.bin\"",
               "",
               "AAEC/w==",
               "--BB",
               "Content-Type: application/octet-stream",
               "Content-Transfer-Encoding: base64",
               "Content-Disposition: attachment; filename=\"two.bin\"",
               "",
               "YWJj",
               "--BB--",
               "."});
}

class AttachmentFilesTest : public MessageClientTest {
 protected:
  static void Read(const std::string& wire, Message& msg) {
    Serve(wire, [&](MessageClient& client) {
      if (client.ReadHeader(msg, "").empty()) client.ReadBody(msg, ".");
      EXPECT_EQ(client.ReadTextLine(), kNextReply);
    });
  }
};

TEST_F(AttachmentFilesTest, LiveAsLongAsTheMessageThatNamesThem) {
  struct Row {
    const char* name;
    // Ends the files' owner; the message is destroyed after it anyway.
    void (*release)(Message&);
    // Which of the two files are left after `release`.
    std::vector<bool> left;
  };
  const std::vector<Row> rows = {
      {"reset message",
       [](Message& msg) { msg.ResetMessage(); },
       {false, false}},
      {"reset content",
       [](Message& msg) { msg.ResetContent(); },
       {false, false}},
      {"parts cleared",
       [](Message& msg) { msg.MessageParts().Clear(); },
       {false, false}},
      {"one part deleted",
       [](Message& msg) { msg.MessageParts().Delete(1); },
       {false, true}},
      {"header fields reset",
       [](Message& msg) { msg.ResetHeaderFields(); },
       {true, true}},
  };
  for (const Row& row : rows) {
    std::vector<std::string> files;
    {
      Message msg;
      Read(TwoAttachments(), msg);
      files = AttachmentFiles(msg);
      ASSERT_EQ(files.size(), 2u) << row.name;
      // Until then a forward reads them whole.
      const std::vector<std::string> text = message::ForwardTextLines(msg);
      const std::vector<std::string> expected = {
          "hello", "Attachment: one.bin (4 bytes)",
          "Attachment: two.bin (3 bytes)"};
      for (const std::string& line : expected) {
        EXPECT_NE(std::find(text.begin(), text.end(), line), text.end())
            << row.name << ": " << line;
      }
      row.release(msg);
      for (size_t i = 0; i < files.size(); ++i) {
        EXPECT_EQ(Exists(files[i]), row.left[i]) << row.name << " " << i;
      }
    }
    for (const std::string& file : files) {
      EXPECT_FALSE(Exists(file)) << row.name << ": left after the message";
    }
  }
}

TEST_F(AttachmentFilesTest, FilesTheUserChoseAreNeverRemoved) {
  const std::string path = kTestTempDirectory + "VornChosen.pdf";
  testing::WriteFile(path, "mine");
  {
    Message msg;
    msg.MessageParts().AddAttachment(path);
    msg.ResetMessage();
    msg.MessageParts().AddAttachment(path);
  }
  EXPECT_EQ(testing::ReadFile(path), "mine");
  ::unlink(path.c_str());
}

TEST_F(AttachmentFilesTest, ConnectionLostInsideAnAttachmentLeavesNoFile) {
  // The server closes inside the attachment's data: no part names the file.
  testing::ScriptedServer server(
      testing::Script()
          .Send(Wire({"Content-Type: multipart/mixed; boundary=\"BB\"", "",
                      "--BB", "Content-Type: application/octet-stream",
                      "Content-Transfer-Encoding: base64",
                      "Content-Disposition: attachment; filename=\"a.bin\"", "",
                      "AAEC/w=="}))
          .Close());
  {
    Message msg;
    MessageClient client;
    Connect(client, server.Port());
    EXPECT_THROW(
        {
          if (client.ReadHeader(msg, "").empty()) client.ReadBody(msg, ".");
        },
        net::ConnClosedGracefully);
    EXPECT_TRUE(AttachmentFiles(msg).empty());
  }
  for (const std::string& name : Entries(TempDirectory())) {
    EXPECT_NE(name.rfind("Vorn", 0), 0u) << name << " was left behind";
  }
}

// Sets the modification time of `path` (not of a link's target) to `age`
// seconds ago.
void Age(const std::string& path, int age) {
  const timespec when[2] = {{time(nullptr) - age, 0}, {time(nullptr) - age, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), when, AT_SYMLINK_NOFOLLOW), 0)
      << path;
}

TEST(TempFileSweepTest, RemovesOnlyOldRegularFilesOfOursNamedVorn) {
  constexpr int kHour = 3600;
  constexpr int kOld = 2 * 24 * kHour;
  testing::TempDir dir("sweep");
  testing::TempDir elsewhere("sweep-target");
  const std::string directory = dir.Path() + "/";
  const std::string target = elsewhere.File("precious");
  testing::WriteFile(target, "keep me");
  Age(target, kOld);
  const passwd* nobody = ::getpwnam("nobody");
  const bool as_root = ::geteuid() == 0 && nobody != nullptr;

  struct Row {
    const char* name;
    int age;
    enum Kind { kFile, kLink, kDirectory, kOtherOwner } kind;
    bool removed;
  };
  std::vector<Row> rows = {
      {"VornYoung", kHour, Row::kFile, false},
      {"VornAlmostADay", 23 * kHour, Row::kFile, false},
      {"VornOld", kOld, Row::kFile, true},
      {"VornOlder", 30 * 24 * kHour, Row::kFile, true},
      {"vornLowerCase", kOld, Row::kFile, false},
      {"OtherOld", kOld, Row::kFile, false},
      {"xVornOld", kOld, Row::kFile, false},
      {"VornLink", kOld, Row::kLink, false},
      {"VornDirectory", kOld, Row::kDirectory, false},
  };
  if (as_root) {
    rows.push_back({"VornOfNobody", kOld, Row::kOtherOwner, false});
  }
  for (const Row& row : rows) {
    const std::string path = directory + row.name;
    switch (row.kind) {
      case Row::kFile:
        testing::WriteFile(path, "data");
        break;
      case Row::kLink:
        ASSERT_EQ(::symlink(target.c_str(), path.c_str()), 0);
        break;
      case Row::kDirectory:
        ASSERT_EQ(::mkdir(path.c_str(), 0700), 0);
        break;
      case Row::kOtherOwner:
        testing::WriteFile(path, "data");
        ASSERT_EQ(::chown(path.c_str(), nobody->pw_uid, nobody->pw_gid), 0);
        break;
    }
    Age(path, row.age);
  }
  // Only the folder itself is swept, not what lies below it.
  const std::string nested = directory + "VornDirectory/VornNested";
  testing::WriteFile(nested, "data");
  Age(nested, kOld);

  int expected = 0;
  for (const Row& row : rows) expected += row.removed ? 1 : 0;
  EXPECT_EQ(RemoveStaleTempFiles(directory), expected);
  for (const Row& row : rows) {
    EXPECT_EQ(Exists(directory + row.name), !row.removed) << row.name;
  }
  EXPECT_TRUE(Exists(nested));
  EXPECT_EQ(testing::ReadFile(target), "keep me");
  EXPECT_EQ(RemoveStaleTempFiles(directory + "missing/"), 0);
  if (!as_root) {
    std::cout << "[  SKIPPED ] the other owner's file needs root\n";
  }
}

}  // namespace
}  // namespace replyvane::mail
