// The history file: hostile fields stay one field of one line, damaged
// lines are passed over, and pruning keeps what is young enough and
// rewrites the file only when something is to go.
#include "responder/answer_history.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "tests/support/temp_dir.h"

namespace replyvane::responder {
namespace {

using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

HistoryEntry Entry(int64_t at, std::string subject) {
  HistoryEntry entry;
  entry.at = at;
  entry.sender_address = "ann@example.com";
  entry.sender_name = "Ann";
  entry.subject = std::move(subject);
  return entry;
}

TEST(AnswerHistoryTest, HostileFieldsStayInTheirField) {
  HistoryEntry entry = Entry(1700000000, "a\tb\r\nBcc: x@y\rz\n");
  entry.outcome = HistoryEntry::Outcome::kNotAnswered;
  entry.why_not = "automatic message";
  entry.forwarded = true;
  entry.response = "Billing";
  const std::string line = HistoryLine(entry);
  EXPECT_EQ(line,
            "1700000000\tnot answered\tann@example.com\tAnn\ta b  Bcc: x@y z "
            "\tBilling\t1\tautomatic message\n");
  const std::optional<HistoryEntry> back =
      ParseHistoryLine(line.substr(0, line.size() - 1));
  ASSERT_TRUE(back);
  EXPECT_EQ(back->subject, "a b  Bcc: x@y z ");
  EXPECT_EQ(back->why_not, "automatic message");
  EXPECT_TRUE(back->forwarded);

  // A long UTF-8 subject is cut at a character's start.
  std::string long_subject;
  while (long_subject.size() < 5000) long_subject += "\xC3\xA9";
  entry.subject = long_subject;
  const std::optional<HistoryEntry> cut = ParseHistoryLine(
      HistoryLine(entry).substr(0, HistoryLine(entry).size() - 1));
  ASSERT_TRUE(cut);
  EXPECT_EQ(cut->subject.size(), kHistoryFieldLimit);
  EXPECT_EQ(cut->subject, long_subject.substr(0, kHistoryFieldLimit));

  for (const char* bad :
       {"", "x\tanswered\ta\tb\tc\t\t0\t", "1\tmaybe\ta\tb\tc\t\t0\t",
        "1\tanswered\ta\tb\tc\t\t2\t", "1\tanswered\ta\tb\tc\t\t0",
        "-5\tanswered\ta\tb\tc\t\t0\t", "1\tanswered\ta\tb\tc\t\t0\t\tmore"}) {
    EXPECT_FALSE(ParseHistoryLine(bad)) << bad;
  }
  EXPECT_FALSE(
      ParseHistoryLine(std::string("1\tanswered\ta\tb\tc\t\t0\t\0", 22)));
}

TEST(AnswerHistoryTest, AppendsReadsAndPassesOverDamage) {
  TempDir dir("history");
  const std::string path = dir.File("history.dat");
  EXPECT_TRUE(ReadHistory(path).empty());  // none yet
  const AnswerHistory history(path);
  ASSERT_EQ(history.Append(Entry(100, "one")), "");
  struct stat status;
  ASSERT_EQ(::stat(path.c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 0777, 0600u);
  WriteFile(path, ReadFile(path) + "garbage\n\n");
  ASSERT_EQ(history.Append(Entry(200, "two")), "");
  WriteFile(path, ReadFile(path) + "300\tanswered\tcut");
  size_t damaged = 0;
  const std::vector<HistoryEntry> entries = ReadHistory(path, &damaged);
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0], Entry(100, "one"));
  EXPECT_EQ(entries[1], Entry(200, "two"));
  EXPECT_EQ(damaged, 2u);
  EXPECT_EQ(AnswerHistory("").Append(Entry(1, "x")), "");
}

TEST(AnswerHistoryTest, PruneDropsOnlyWhatIsOlderThanTheDays) {
  TempDir dir("history-prune");
  const std::string path = dir.File("history.dat");
  const AnswerHistory history(path);
  const int64_t day = 24 * 60 * 60;
  const int64_t now = 1000 * day;
  EXPECT_EQ(history.Prune(now, 30), "");  // no file: nothing to do
  for (int64_t age : {40, 31, 29, 1}) {
    ASSERT_EQ(history.Append(Entry(now - age * day, std::to_string(age))), "");
  }
  // Nothing older than 60 days: the file is not touched.
  const std::string before = ReadFile(path);
  struct stat first;
  ASSERT_EQ(::stat(path.c_str(), &first), 0);
  EXPECT_EQ(history.Prune(now, 60), "");
  struct stat second;
  ASSERT_EQ(::stat(path.c_str(), &second), 0);
  EXPECT_EQ(first.st_ino, second.st_ino);
  EXPECT_EQ(ReadFile(path), before);

  WriteFile(path, ReadFile(path) + "garbage\n" +
                      HistoryLine(Entry(now, "cut")).substr(0, 9));
  EXPECT_EQ(history.Prune(now, 30), "");
  std::vector<std::string> subjects;
  for (const HistoryEntry& entry : ReadHistory(path)) {
    subjects.push_back(entry.subject);
  }
  EXPECT_EQ(subjects, (std::vector<std::string>{"29", "1"}));
  EXPECT_EQ(history.Prune(now + 2 * day, 1), "");
  EXPECT_TRUE(ReadHistory(path).empty());
}

}  // namespace
}  // namespace replyvane::responder
