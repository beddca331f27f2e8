// The schedule through the program against Dovecot and aiosmtpd: outside
// it `--check` does nothing at all and says so (exit 0), inside it answers,
// a stored end that is not a time stops the check with nothing sent, and
// `--watch` ends by itself, exit 0, when the end passes while it idles.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <time.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>

#include "responder/schedule.h"
#include "tests/responder/program_run.h"
#include "tests/support/child_process.h"
#include "tests/support/dovecot_server.h"
#include "tests/support/smtp_server.h"
#include "tests/support/temp_dir.h"

namespace replyvane::testing {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// "[Schedule]" with the ends `from` and `until` seconds from now (0: open).
std::string ScheduleLines(int64_t from, int64_t until) {
  const int64_t now = ::time(nullptr);
  std::string lines = "[Schedule]\r\n";
  if (from != 0) {
    lines += "From=" + responder::ScheduleTimeText(now + from) + "\r\n";
  }
  if (until != 0) {
    lines += "Until=" + responder::ScheduleTimeText(now + until) + "\r\n";
  }
  return lines;
}

class ScheduleRunTest : public ProgramWithServersTest {};

TEST_F(ScheduleRunTest, OutsideNothingHappensInsideItAnswers) {
  DovecotServer pop;
  SmtpServer smtp;
  pop.AddMessage(Message("ann@example.com", "question"));
  ASSERT_TRUE(pop.Start());
  ASSERT_TRUE(smtp.Start());
  TempDir dir("schedule");
  CheckSettings settings = ServerSettings(pop.Port(), smtp);
  const std::string check = "--check --settings " + dir.Path();

  const struct {
    const char* name;
    std::string schedule;
  } outside[] = {
      {"ended", ScheduleLines(-7200, -60)},
      {"not begun", ScheduleLines(3600, 0)},
  };
  for (const auto& row : outside) {
    SCOPED_TRACE(row.name);
    settings.extra = row.schedule;
    WriteSettings(dir.Path(), settings);
    const RunResult run = RunProgram(dir, check);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("\tskipped: Outside the schedule ("),
              std::string::npos)
        << run.out;
    EXPECT_EQ(run.err, "");
  }
  // Not even a log-in: Dovecot saw none.
  EXPECT_EQ(pop.Log().find("Login: user=<"), std::string::npos) << pop.Log();
  EXPECT_EQ(smtp.MessageCount(), 0u);
  EXPECT_EQ(pop.MessageCount(), 1);

  settings.extra = "[Schedule]\r\nUntil=2027-01-04 10:00\r\n";
  WriteSettings(dir.Path(), settings);
  RunResult run = RunProgram(dir, check);
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("[Schedule] Until=2027-01-04 10:00 is not a time "
                         "such as 2027-01-04 09:00 +0100; nothing was sent"),
            std::string::npos)
      << run.err;
  EXPECT_EQ(smtp.MessageCount(), 0u);

  settings.extra = ScheduleLines(-60, 3600);
  WriteSettings(dir.Path(), settings);
  run = RunProgram(dir, check);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("\tanswered, deleted\tann@example.com\tquestion\n"),
            std::string::npos)
      << run.out;
  EXPECT_TRUE(smtp.WaitForMessages(1));
  // What Dovecot logs for a log-in, so that its absence above says it.
  EXPECT_NE(pop.Log().find("Login: user=<"), std::string::npos) << pop.Log();
}

// The end passes while --watch idles: it stops waiting, says so and ends
// with exit status 0, without being told to.
TEST_F(ScheduleRunTest, WatchEndsByItselfAtTheEnd) {
  if (std::string missing = DovecotServer::MissingImapReason();
      !missing.empty()) {
    GTEST_SKIP() << missing;
  }
  DovecotServer::Options options;
  options.imap = true;
  std::unique_ptr<DovecotServer> imap = DovecotServer::UnderTmp(options);
  ASSERT_TRUE(imap->Start());
  SmtpServer smtp;
  ASSERT_TRUE(smtp.Start());
  TempDir dir("schedule-watch");
  CheckSettings settings = ServerSettings(imap->Port(), smtp);
  const int64_t end = ::time(nullptr) + 10;
  settings.extra =
      "[Schedule]\r\nUntil=" + responder::ScheduleTimeText(end) + "\r\n";
  ChildProcess watch;
  const std::string log = dir.File("watch.log");
  ASSERT_NO_FATAL_FAILURE(StartWatching(watch, dir, settings));
  std::this_thread::sleep_for(milliseconds(300));
  imap->AddMessage(Message("ann@example.com", "in time"));
  ASSERT_TRUE(smtp.WaitForMessages(1, milliseconds(20000))) << ReadFile(log);

  EXPECT_TRUE(watch.Wait(std::chrono::seconds(end - ::time(nullptr) + 15)))
      << ReadFile(log);
  EXPECT_GE(::time(nullptr), end);
  EXPECT_TRUE(WIFEXITED(watch.ExitStatus()) &&
              WEXITSTATUS(watch.ExitStatus()) == 0)
      << ReadFile(log);
  const std::string printed = ReadFile(log);
  EXPECT_NE(printed.find("\tanswered\tann@example.com\tin time\n"),
            std::string::npos)
      << printed;
  EXPECT_NE(printed.find("\tskipped: Outside the schedule (until "),
            std::string::npos)
      << printed;
}

}  // namespace
}  // namespace replyvane::testing
