// The responder's manners across checks: each sender answered at most once
// in a period when so set, and two responders that meet exchange one
// response each and then stop.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "responder/journal.h"
#include "responder/responder_job.h"
#include "tests/support/dovecot_server.h"
#include "tests/support/mail_scripts.h"
#include "tests/support/scripted_server.h"
#include "tests/support/smtp_server.h"
#include "tests/support/temp_dir.h"

namespace replyvane::responder {
namespace {

using testing::Incoming;
using testing::Pop3Quit;
using testing::Script;
using testing::ScriptedServer;
using testing::SmtpScript;

class RecordingView : public JobView {
 public:
  Settings settings;
  std::vector<MessageOutcome> outcomes;
  Settings CurrentSettings() override { return settings; }
  void MessageDone(const ListedMessage&,
                   const MessageOutcome& outcome) override {
    outcomes.push_back(outcome);
  }
};

Incoming From(const std::string& from, const std::string& subject) {
  Incoming m;
  m.from = from;
  m.subject = subject;
  return m;
}

TEST(MannersTest, EachSenderAtMostOncePerPeriodAlsoAfterARestart) {
  testing::TempDir dir("manners");
  RecordingView view;
  view.settings.pop3_host = view.settings.smtp_host = "127.0.0.1";
  view.settings.pop3_user = "u";
  view.settings.pop3_password = "p";
  view.settings.from_address = "me@example.com";
  view.settings.once_per_sender_days = 7;
  auto check = [&](ResponderJob& job, const std::vector<Incoming>& mailbox,
                   std::vector<Script> smtp_scripts) {
    Script pop_script = testing::Pop3Listing(mailbox);
    for (size_t n = mailbox.size(); n > 0; --n) {
      testing::Pop3Delete(pop_script, int(n));
    }
    ScriptedServer pop(Pop3Quit(pop_script));
    ScriptedServer smtp(std::move(smtp_scripts));
    view.settings.pop3_port = pop.Port();
    view.settings.smtp_port = smtp.Port();
    view.outcomes.clear();
    job.Check();
    EXPECT_TRUE(pop.Played());
    EXPECT_TRUE(smtp.Played());
  };
  {
    ResponderJob job(view);
    job.SetJournalPath(dir.File(kJournalName));
    // Two messages of one sender in one check: only the first (the last
    // listed) is answered.
    check(job,
          {From("Ann <ann@example.com>", "one"), From("ann@example.com", "two"),
           From("bob@example.com", "three")},
          {SmtpScript({"me@example.com", {"bob@example.com"}}),
           SmtpScript({"me@example.com", {"ann@example.com"}})});
    ASSERT_EQ(view.outcomes.size(), 3u);
    EXPECT_TRUE(view.outcomes[0].answered);
    EXPECT_TRUE(view.outcomes[1].answered);
    EXPECT_TRUE(view.outcomes[2].not_answered.starts_with("answered on 20"))
        << view.outcomes[2].not_answered;
    EXPECT_TRUE(view.outcomes[2].deleted);
    // A later check of the same program.
    check(job, {From("ANN@Example.com", "four")}, {});
    ASSERT_EQ(view.outcomes.size(), 1u);
    EXPECT_FALSE(view.outcomes[0].answered);
  }
  {
    // After a restart.
    ResponderJob job(view);
    job.SetJournalPath(dir.File(kJournalName));
    check(job, {From("bob@example.com", "five")}, {});
    ASSERT_EQ(view.outcomes.size(), 1u);
    EXPECT_FALSE(view.outcomes[0].answered);
    // Set back to every message, the same sender is answered again.
    view.settings.once_per_sender_days = 0;
    check(job, {From("bob@example.com", "six")},
          {SmtpScript({"me@example.com", {"bob@example.com"}})});
    ASSERT_EQ(view.outcomes.size(), 1u);
    EXPECT_TRUE(view.outcomes[0].answered);
  }
}

TEST(MannersTest, TwoRespondersThatMeetAnswerOnceEachAndStop) {
  const std::string missing = testing::DovecotServer::MissingReason() +
                              testing::SmtpServer::MissingReason();
  if (!missing.empty()) GTEST_SKIP() << missing;
  testing::DovecotServer pop_a;
  testing::DovecotServer pop_b;
  testing::SmtpServer smtp;
  auto person = [](const std::string& from, const std::string& to) {
    return "From: " + from + "\r\nTo: " + to +
           "\r\nSubject: hello\r\nMessage-ID: <" + from +
           ">\r\nDate: Tue, 01 Dec 2026 12:00:00 +0000\r\n\r\nHi.\r\n";
  };
  pop_a.AddMessage(person("b@example.com", "a@example.com"));
  pop_b.AddMessage(person("a@example.com", "b@example.com"));
  ASSERT_TRUE(pop_a.Start());
  ASSERT_TRUE(pop_b.Start());
  ASSERT_TRUE(smtp.Start());
  testing::TempDir dir_a("manners-a");
  testing::TempDir dir_b("manners-b");
  auto responder = [&](const testing::DovecotServer& pop,
                       const std::string& own) {
    Settings settings;
    settings.pop3_host = settings.smtp_host = "127.0.0.1";
    settings.pop3_port = pop.Port();
    settings.pop3_user = pop.User();
    settings.pop3_password = pop.Password();
    settings.smtp_port = smtp.Port();
    settings.from_address = own;
    settings.subject = "Away";
    settings.response_body = {"I am away."};
    return settings;
  };
  RecordingView view_a;
  view_a.settings = responder(pop_a, "a@example.com");
  RecordingView view_b;
  view_b.settings = responder(pop_b, "b@example.com");
  ResponderJob a(view_a);
  ResponderJob b(view_b);
  a.SetJournalPath(dir_a.File(kJournalName));
  b.SetJournalPath(dir_b.File(kJournalName));

  // Each round: both check, then what the SMTP server took is delivered to
  // the mailbox it was sent to.
  size_t delivered = 0;
  int answered = 0;
  for (int round = 0; round < 4; ++round) {
    a.Check();
    b.Check();
    for (const std::vector<MessageOutcome>* outcomes :
         {&view_a.outcomes, &view_b.outcomes}) {
      for (const MessageOutcome& outcome : *outcomes) {
        answered += outcome.answered ? 1 : 0;
      }
    }
    view_a.outcomes.clear();
    view_b.outcomes.clear();
    const std::vector<testing::SmtpServer::Message> sent = smtp.Messages();
    for (; delivered < sent.size(); ++delivered) {
      const testing::SmtpServer::Message& message = sent[delivered];
      ASSERT_EQ(message.rcpt_tos.size(), 1u);
      (message.rcpt_tos[0] == "a@example.com" ? pop_a : pop_b)
          .AddMessage(message.data);
    }
  }
  EXPECT_EQ(answered, 2);
  EXPECT_EQ(smtp.Messages().size(), 2u);
  // Both mailboxes end empty: the responses were deleted unanswered.
  for (int i = 0; i < 500 && pop_a.MessageCount() + pop_b.MessageCount() > 0;
       ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  EXPECT_EQ(pop_a.MessageCount(), 0);
  EXPECT_EQ(pop_b.MessageCount(), 0);
}

}  // namespace
}  // namespace replyvane::responder
