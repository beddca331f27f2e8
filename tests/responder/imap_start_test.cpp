// Where answering starts in each IMAP folder: kept across store objects in
// a private file, one line a folder; a damaged line counts as no start (so
// the folder starts again at its newest message and nothing old is
// answered), and the other folders' lines stay.
#include "responder/imap_start.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "tests/support/temp_dir.h"

namespace replyvane::responder {
namespace {

using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

TEST(ImapStartTest, StartsAreKeptPerFolderAndDamageForgetsOnlyItsLine) {
  TempDir dir("imap-start");
  const std::string path = dir.File(kImapStartName);
  {
    ImapStartStore store(path);
    EXPECT_EQ(store.Find("imap:a"), std::nullopt);
    store.Record("imap:a", {77, 9});
    store.Record("imap:b", {5, 1});
    store.Record("imap:a", {77, 12});
  }
  ImapStartStore again(path);
  ASSERT_TRUE(again.Find("imap:a"));
  EXPECT_EQ(again.Find("imap:a")->uid_validity, 77u);
  EXPECT_EQ(again.Find("imap:a")->first_uid, 12u);
  EXPECT_EQ(again.Find("imap:b")->first_uid, 1u);
  struct stat info;
  ASSERT_EQ(::stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);

  WriteFile(path, "imap:a 77 x12\r\nimap:b 5 3\r\nimap:c 0 4\r\ngarbage\r\n");
  EXPECT_EQ(again.Find("imap:a"), std::nullopt);
  EXPECT_EQ(again.Find("imap:c"), std::nullopt);
  EXPECT_EQ(again.Find("imap:b")->first_uid, 3u);
  again.Record("imap:a", {78, 1});
  EXPECT_EQ(ReadFile(path), "imap:a 78 1\r\nimap:b 5 3\r\n");

  ImapStartStore memory("");
  memory.Record("imap:a", {1, 2});
  EXPECT_EQ(memory.Find("imap:a")->first_uid, 2u);
}

}  // namespace
}  // namespace replyvane::responder
