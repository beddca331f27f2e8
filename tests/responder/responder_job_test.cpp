// The responder job without any window, against scripted servers: what it
// reports to its view, in which order, with which settings, and what it
// leaves on the servers.
#include "responder/responder_job.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "mail/message_reader.h"
#include "responder/check_lock.h"
#include "tests/message/scoped_codeset.h"
#include "tests/support/mail_scripts.h"
#include "tests/support/scripted_server.h"
#include "tests/support/socket_util.h"
#include "tests/support/temp_dir.h"

namespace replyvane::responder {
namespace {

using testing::BodyText;
using testing::DotUnstuffed;
using testing::HeaderValue;
using testing::Incoming;
using testing::Pop3Quit;
using testing::Script;
using testing::ScriptedServer;
using testing::SmtpScript;

constexpr char kFrom[] = "me@example.com";

// Records what the job reports, one text per event, and serves settings
// that a test may change between two reads.
class RecordingView : public JobView {
 public:
  Settings settings;
  std::vector<std::string> events;
  std::vector<MessageOutcome> outcomes;
  int settings_reads = 0;
  std::function<void()> on_pause;

  Settings CurrentSettings() override {
    ++settings_reads;
    return settings;
  }
  void ShowStatusText(const std::string& text) override {
    events.push_back("status " + text);
  }
  void ConnectFailed(const std::string& text) override {
    events.push_back("connect failed " + text);
  }
  void RowsCleared() override { events.push_back("cleared"); }
  void RowAdded(const ListedMessage& row) override {
    events.push_back("row " + row.subject + " | " + row.from + " | " +
                     row.reply_to);
  }
  void RowRemoved(int index) override {
    events.push_back("removed " + std::to_string(index));
  }
  void RowChanged(int index, const ListedMessage& row) override {
    events.push_back("changed " + std::to_string(index) + " " + row.status);
  }
  void MessageDone(const ListedMessage& row,
                   const MessageOutcome& outcome) override {
    events.push_back("done " + row.subject);
    outcomes.push_back(outcome);
  }
  void Pause() override {
    events.push_back("pause");
    if (on_pause) on_pause();
  }

  std::vector<std::string> Only(const std::string& prefix) const {
    std::vector<std::string> found;
    for (const std::string& event : events) {
      if (event.rfind(prefix, 0) == 0) found.push_back(event);
    }
    return found;
  }
};

void UseServers(Settings& settings, int pop_port, int smtp_port) {
  settings.pop3_host = "127.0.0.1";
  settings.pop3_port = pop_port;
  settings.pop3_user = "u";
  settings.pop3_password = "p";
  settings.smtp_host = "127.0.0.1";
  settings.smtp_port = smtp_port;
  settings.from_address = kFrom;
  settings.subject = "Re";
  settings.response_body = {"Thanks."};
}

std::vector<Incoming> TwoMessages() {
  std::vector<Incoming> mailbox(2);
  mailbox[0].subject = "one";
  mailbox[0].from = "\"Ann\" <ann@example.com>";
  mailbox[1].subject = "two";
  mailbox[1].from = "bob@example.com";
  return mailbox;
}

TEST(ResponderJobTest, ListsThenAnswersForwardsAndDeletesLastToFirst) {
  const std::vector<Incoming> mailbox = TwoMessages();
  Script pop_script = testing::Pop3Listing(mailbox);
  testing::Pop3Retrieve(pop_script, 2, mailbox[1]);
  testing::Pop3Delete(pop_script, 2);
  testing::Pop3Retrieve(pop_script, 1, mailbox[0]);
  testing::Pop3Delete(pop_script, 1);
  ScriptedServer pop(Pop3Quit(pop_script));
  ScriptedServer smtp({SmtpScript({kFrom, {"bob@example.com"}}),
                       SmtpScript({kFrom, {"fw@example.com"}}),
                       SmtpScript({kFrom, {"ann@example.com"}}),
                       SmtpScript({kFrom, {"fw@example.com"}})});
  RecordingView view;
  UseServers(view.settings, pop.Port(), smtp.Port());
  view.settings.forward = true;
  view.settings.forward_address = "fw@example.com";
  ResponderJob job(view);
  EXPECT_TRUE(job.Check());

  EXPECT_TRUE(pop.Played());
  EXPECT_TRUE(smtp.Played());
  EXPECT_EQ(view.Only("row"),
            (std::vector<std::string>{
                "row one | Ann <ann@example.com> | Ann <ann@example.com>",
                "row two | bob@example.com | bob@example.com"}));
  EXPECT_EQ(view.Only("done"),
            (std::vector<std::string>{"done two", "done one"}));
  EXPECT_EQ(view.Only("removed"),
            (std::vector<std::string>{"removed 1", "removed 0"}));
  EXPECT_EQ(view.Only("pause").size(), 2u);
  for (const MessageOutcome& outcome : view.outcomes) {
    EXPECT_TRUE(outcome.answered && outcome.forwarded && outcome.deleted);
    EXPECT_EQ(outcome.not_answered, "");
  }
  EXPECT_TRUE(job.Rows().empty());
  EXPECT_EQ(job.MessageCount(), 2);
  EXPECT_FALSE(job.ConnectionFailed());
  const std::vector<std::string> bodies = smtp.Bodies();
  ASSERT_EQ(bodies.size(), 4u);
  EXPECT_EQ(BodyText(DotUnstuffed(bodies[3])),
            "From: Ann <ann@example.com>\r\nHello.\r\n");
  EXPECT_EQ(HeaderValue(DotUnstuffed(bodies[2]), "To"),
            "\"Ann\" <ann@example.com>");
}

TEST(ResponderJobTest, SettingsAreReadAtEveryUse) {
  const std::vector<Incoming> mailbox = TwoMessages();
  Script pop_script = testing::Pop3Listing(mailbox);
  testing::Pop3Delete(pop_script, 2);
  testing::Pop3Delete(pop_script, 1);
  ScriptedServer pop(Pop3Quit(pop_script));
  ScriptedServer smtp({SmtpScript({kFrom, {"bob@example.com"}}),
                       SmtpScript({"new@example.com", {"ann@example.com"}})});
  RecordingView view;
  UseServers(view.settings, pop.Port(), smtp.Port());
  // A change made while the first pause is open applies to the second
  // message.
  view.on_pause = [&] {
    view.settings.from_address = "new@example.com";
    view.settings.subject = "Changed";
  };
  ResponderJob job(view);
  job.Check();
  EXPECT_TRUE(pop.Played());
  EXPECT_TRUE(smtp.Played());
  const std::vector<std::string> bodies = smtp.Bodies();
  ASSERT_EQ(bodies.size(), 2u);
  EXPECT_EQ(HeaderValue(bodies[0], "Subject"), "Re");
  EXPECT_EQ(HeaderValue(bodies[1], "Subject"), "Changed");
}

TEST(ResponderJobTest, MessageWithoutSenderStaysAndTheRunGoesOn) {
  std::vector<Incoming> mailbox = TwoMessages();
  mailbox[1].from = "Undisclosed recipients:;";
  Script pop_script = testing::Pop3Listing(mailbox);
  testing::Pop3Delete(pop_script, 1);
  ScriptedServer pop(Pop3Quit(pop_script));
  ScriptedServer smtp(SmtpScript({kFrom, {"ann@example.com"}}));
  RecordingView view;
  UseServers(view.settings, pop.Port(), smtp.Port());
  ResponderJob job(view);
  job.Check();
  EXPECT_TRUE(pop.Played());
  EXPECT_TRUE(smtp.Played());
  ASSERT_EQ(view.outcomes.size(), 2u);
  EXPECT_EQ(view.outcomes[0].not_answered, "no sender address");
  EXPECT_FALSE(view.outcomes[0].answered || view.outcomes[0].deleted);
  EXPECT_TRUE(view.outcomes[1].answered && view.outcomes[1].deleted);
  EXPECT_EQ(
      view.Only("changed"),
      std::vector<std::string>{"changed 1 No sender address: not answered"});
  ASSERT_EQ(job.Rows().size(), 1u);
  EXPECT_EQ(job.Rows()[0].subject, "two");
}

TEST(ResponderJobTest, RefusedConnectIsReportedAndNothingIsSent) {
  RecordingView view;
  const int closed = testing::ClosedPort();
  UseServers(view.settings, closed, testing::ClosedPort());
  ResponderJob job(view);
  EXPECT_TRUE(job.Check());
  EXPECT_EQ(view.Only("connect failed"),
            std::vector<std::string>{
                "connect failed Could not connect with \"127.0.0.1\", check "
                "you are on the internet and your settings, username and "
                "password are correct\r\n\r\nPOP3 server 127.0.0.1 port " +
                std::to_string(closed) +
                ": the connection was refused: no server listens on that "
                "port"});
  EXPECT_TRUE(job.ConnectionFailed());
  EXPECT_TRUE(view.outcomes.empty());
}

TEST(ResponderJobTest, AnotherProcessesCheckKeepsThisOneOut) {
  replyvane::testing::TempDir dir;
  const std::string lock_path = dir.File(kCheckLockName);
  RecordingView view;
  UseServers(view.settings, testing::ClosedPort(), testing::ClosedPort());
  ResponderJob job(view);
  job.SetCheckLockPath(lock_path);
  {
    CheckLock other(lock_path);  // a second open file: flock sees a rival
    ASSERT_TRUE(other.Held());
    EXPECT_FALSE(job.Check());
    EXPECT_EQ(view.events, std::vector<std::string>{std::string("status ") +
                                                    ResponderJob::kBusyText});
  }
  view.events.clear();
  EXPECT_TRUE(job.Check());  // released with the other holder
  EXPECT_FALSE(view.Only("connect failed").empty());

  // A lock that cannot be taken at all (here a folder in its place, which
  // cannot be opened for writing, whoever runs the test) is no rival: the
  // check fails and says why, and nothing is sent.
  ResponderJob blocked(view);
  const std::string folder = dir.File("locked");
  ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
  blocked.SetCheckLockPath(folder);
  view.events.clear();
  try {
    blocked.Check();
    ADD_FAILURE() << "no failure";
  } catch (const core::Exception& failure) {
    EXPECT_EQ(failure.Message(), "Cannot lock " + folder +
                                     ": Is a directory; the mailbox was not "
                                     "checked");
  }
  EXPECT_TRUE(view.events.empty());
}

// A hostile server's listing is bounded: a row keeps 1,000 characters of a
// 100 KB folded subject (the answer still goes out), a header naming
// hundreds of X-Loop addresses keeps none and is not answered, and a
// listing past its budget ends the check with a failure that says so.
TEST(ResponderJobTest, AHostileListingIsBounded) {
  std::vector<Incoming> mailbox(3);
  std::string folded = "x";
  for (int i = 0; i < 2000; ++i) folded += "\r\n " + std::string(50, 'y');
  for (size_t i = 0; i < mailbox.size(); ++i) {
    mailbox[i].subject = folded;
    mailbox[i].from = "ann@example.com";
    mailbox[i].uid = "hostile-" + std::to_string(i);
  }
  std::string loops = "X-Loop: ";
  for (int i = 0; i < 300; ++i) loops += "r" + std::to_string(i) + "@x, ";
  mailbox[2].extra_headers = {loops + "me@example.com"};
  {
    Script pop_script = testing::Pop3Listing(mailbox);
    for (int n = 3; n >= 1; --n) testing::Pop3Delete(pop_script, n);
    ScriptedServer pop(Pop3Quit(pop_script));
    ScriptedServer smtp({SmtpScript({kFrom, {"ann@example.com"}}),
                         SmtpScript({kFrom, {"ann@example.com"}})});
    RecordingView view;
    UseServers(view.settings, pop.Port(), smtp.Port());
    view.settings.forward = false;
    ResponderJob job(view);
    message::ScopedCodeset utf8("UTF-8");
    job.Check();
    EXPECT_TRUE(pop.Played()) << pop.Report();
    EXPECT_TRUE(smtp.Played()) << smtp.Report();
    const std::vector<std::string> rows = view.Only("row ");
    ASSERT_EQ(rows.size(), 3u);
    // "row " + 1,000 characters and "…" + " | " ...
    EXPECT_EQ(rows[0].find(" | "), 4u + 1000u + 3u) << rows[0].substr(0, 80);
    EXPECT_EQ(rows[0].substr(4 + 1000, 3), "\xE2\x80\xA6");
    ASSERT_EQ(view.outcomes.size(), 3u);
    EXPECT_EQ(view.outcomes[0].not_answered, "automatic message");
    EXPECT_TRUE(view.outcomes[1].answered);
    EXPECT_TRUE(view.outcomes[2].answered);
  }
  {
    Script pop_script = testing::Pop3Listing(mailbox);
    ScriptedServer pop(pop_script.Expect("QUIT"));
    RecordingView view;
    UseServers(view.settings, pop.Port(), testing::ClosedPort());
    ResponderJob job(view);
    job.SetListingBudget(4096);
    try {
      job.Check();
      ADD_FAILURE() << "no failure";
    } catch (const core::Exception& failure) {
      EXPECT_EQ(failure.Message(),
                "The server's listing of the mailbox is larger than 4 KiB "
                "after 3 messages; the check was stopped");
    }
  }
}

// A mailbox in memory that records what the job asks of it.
class MemoryMailbox : public MailboxSource {
 public:
  struct Stored {
    MessageRef ref;
    std::string text;
  };
  std::vector<Stored> messages;
  std::vector<std::string> calls;

  std::string Scope(const Settings&) const override { return "memory:1"; }
  std::string Open(const Settings&) override {
    calls.push_back("open");
    open_ = true;
    return "";
  }
  bool IsOpen() override { return open_; }
  std::vector<MessageRef> List(size_t, size_t& used) override {
    used = 0;
    std::vector<MessageRef> refs;
    for (const Stored& stored : messages) refs.push_back(stored.ref);
    return refs;
  }
  int32_t FetchHeader(const MessageRef& ref, message::Message& msg) override {
    calls.push_back("header " + std::to_string(ref.number));
    const std::string& text = Find(ref).text;
    mail::ReadMessageText(text.substr(0, text.find("\r\n\r\n") + 4), msg);
    return int32_t(text.size());
  }
  void Fetch(const MessageRef& ref, message::Message& msg) override {
    calls.push_back("fetch " + std::to_string(ref.number));
    mail::ReadMessageText(Find(ref).text, msg);
  }
  std::string Dispose(const MessageRef& ref) override {
    calls.push_back("dispose " + std::to_string(ref.number) + " " +
                    ref.unique_id);
    return "deleted";
  }
  void Finish() override {
    calls.push_back("finish");
    open_ = false;
  }
  bool Abandon() override {
    calls.push_back("abandon");
    open_ = false;
    return true;
  }

 private:
  const Stored& Find(const MessageRef& ref) const {
    for (const Stored& stored : messages) {
      if (stored.ref.number == ref.number) return stored;
    }
    throw std::runtime_error("no such message");
  }
  bool open_ = false;
};

// The job runs on what a mailbox source gives it: its references, not row
// numbers, name the messages it reads, forwards and disposes of.
TEST(ResponderJobTest, AnyMailboxSourceIsReadThroughItsReferences) {
  auto mailbox = std::make_unique<MemoryMailbox>();
  MemoryMailbox& source = *mailbox;
  source.messages = {
      {{17, "a-17"},
       "From: ann@example.com\r\nSubject: one\r\n\r\nFirst text.\r\n"},
      {{42, "b-42"},
       "From: bob@example.com\r\nSubject: two\r\n\r\n.Second text.\r\n"}};
  ScriptedServer smtp({SmtpScript({kFrom, {"bob@example.com"}}),
                       SmtpScript({kFrom, {"fw@example.com"}}),
                       SmtpScript({kFrom, {"ann@example.com"}}),
                       SmtpScript({kFrom, {"fw@example.com"}})});
  RecordingView view;
  UseServers(view.settings, testing::ClosedPort(), smtp.Port());
  view.settings.forward = true;
  view.settings.forward_address = "fw@example.com";
  ResponderJob job(view);
  job.SetMailboxSource(std::move(mailbox));
  EXPECT_TRUE(job.Check());
  EXPECT_TRUE(smtp.Played()) << smtp.Report();
  EXPECT_EQ(source.calls,
            (std::vector<std::string>{"open", "header 17", "header 42",
                                      "fetch 42", "dispose 42 b-42", "fetch 17",
                                      "dispose 17 a-17", "finish"}));
  const std::vector<std::string> bodies = smtp.Bodies();
  ASSERT_EQ(bodies.size(), 4u);
  EXPECT_NE(bodies[1].find("..Second text."), std::string::npos) << bodies[1];
  EXPECT_EQ(view.Only("done"),
            (std::vector<std::string>{"done two", "done one"}));
}

}  // namespace
}  // namespace replyvane::responder
