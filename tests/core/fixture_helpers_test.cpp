// The pieces under the real-server fixtures: envelope records are read back
// exactly, a stubborn child process is still stopped in bounded time, and a
// fixture's directory disappears with it.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>

#include "tests/support/child_process.h"
#include "tests/support/flat_json.h"
#include "tests/support/temp_dir.h"

namespace replyvane::testing {
namespace {

using Kind = FlatJsonValue::Kind;

TEST(FlatJsonTest, ReadsEnvelopeRecords) {
  auto fields = ParseFlatJson(
      R"({"mail_from": "a\"b\\c@x", "rcpt_tos": ["b@y", "\u00e9\ud83d\ude00"],)"
      R"( "login": null, "size": 27, "raw": "\udcff\n", "none": []})");
  ASSERT_TRUE(fields);
  EXPECT_EQ((*fields)["mail_from"].text, "a\"b\\c@x");
  EXPECT_EQ((*fields)["rcpt_tos"].items,
            (std::vector<std::string>{"b@y", "\xc3\xa9\xf0\x9f\x98\x80"}));
  EXPECT_EQ((*fields)["login"].kind, Kind::kNull);
  EXPECT_EQ((*fields)["size"].kind, Kind::kLiteral);
  EXPECT_EQ((*fields)["size"].text, "27");
  EXPECT_EQ((*fields)["raw"].text, "\xff\n");
  EXPECT_TRUE((*fields)["none"].items.empty());

  for (const char* bad : {"", "[]", "{", R"({"a" 1})", R"({"a": "x})",
                          R"({"a": [1]})", R"({"a": "\q"})", R"({"a": 1} x)",
                          R"({"a": "\ud83d"})", R"({"a": {}})"}) {
    EXPECT_FALSE(ParseFlatJson(bad)) << bad;
  }
}

TEST(ChildProcessTest, StopsAChildThatIgnoresSigterm) {
  TempDir dir;
  ChildProcess child;
  // The shell ignores SIGTERM and has a child of its own in its group.
  child.Start({"/bin/sh", "-c", "trap '' TERM; sleep 30 & echo $!; wait"},
              dir.File("log"));
  for (int i = 0; i < 500 && ReadFile(dir.File("log")).empty(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  pid_t grandchild = std::atoi(ReadFile(dir.File("log")).c_str());
  ASSERT_GT(grandchild, 0);
  auto start = std::chrono::steady_clock::now();
  child.Stop(std::chrono::milliseconds(200));
  EXPECT_LT(std::chrono::steady_clock::now() - start,
            std::chrono::milliseconds(3000));
  EXPECT_FALSE(child.Running());
  EXPECT_TRUE(WIFSIGNALED(child.ExitStatus()));
  // Its own child goes too (gone, or a zombie waiting for init); the kill
  // may take a moment to land.
  auto dead = [grandchild] {
    std::string stat =
        ReadFile("/proc/" + std::to_string(grandchild) + "/stat");
    return stat.empty() || stat.find(") Z ") != std::string::npos;
  };
  for (int i = 0; i < 1000 && !dead(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_TRUE(dead());

  child.Start({"/nonexistent/program"}, dir.File("log"));
  EXPECT_TRUE(child.Wait(std::chrono::milliseconds(5000)));
  EXPECT_EQ(WEXITSTATUS(child.ExitStatus()), 127);
}

TEST(TempDirTest, IsRemovedWithItsContents) {
  std::string path;
  {
    TempDir dir("check");
    path = dir.Path();
    std::filesystem::create_directories(dir.File("a/b"));
    WriteFile(dir.File("a/b/c"), "bytes");
    bool ok = false;
    EXPECT_EQ(ReadFile(dir.File("a/b/c"), &ok), "bytes");
    EXPECT_TRUE(ok);
    ReadFile(dir.File("missing"), &ok);
    EXPECT_FALSE(ok);
  }
  EXPECT_FALSE(std::filesystem::exists(path));
}

}  // namespace
}  // namespace replyvane::testing
