// The answered-message journal: its file, and the job never answering a
// message twice whatever step after the response fails.
#include "responder/journal.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <functional>
#include <string>
#include <vector>

#include "responder/responder_job.h"
#include "tests/support/mail_scripts.h"
#include "tests/support/scripted_server.h"
#include "tests/support/socket_util.h"
#include "tests/support/temp_dir.h"

namespace replyvane::responder {
namespace {

using testing::Incoming;
using testing::Script;
using testing::ScriptedServer;
using testing::SmtpScript;
using testing::TempDir;

constexpr int64_t kNow = 1800000000;
constexpr int64_t kDay = 24 * 60 * 60;

TEST(AnsweredJournalTest, RecordsSurviveAReloadAndArePrivate) {
  TempDir dir("journal");
  const std::string path = dir.File(kJournalName);
  {
    AnsweredJournal journal(path);
    EXPECT_EQ(journal.Load(), "");
    EXPECT_EQ(journal.RecordAnswered("uidl:a", "Ann\t<a@x>\r\n", kNow), "");
    EXPECT_EQ(journal.RecordAnswered("uidl:b", "b@x", kNow, "B@X.example"), "");
    EXPECT_EQ(journal.RecordForwarded("uidl:a", kNow), "");
  }
  struct stat info;
  ASSERT_EQ(::stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  AnsweredJournal journal(path);
  EXPECT_EQ(journal.Load(), "");
  ASSERT_NE(journal.Find("uidl:a"), nullptr);
  EXPECT_TRUE(journal.Find("uidl:a")->forwarded);
  EXPECT_EQ(journal.Find("uidl:a")->sender, "Ann <a@x>  ");
  EXPECT_FALSE(journal.Find("uidl:b")->forwarded);
  EXPECT_EQ(journal.Find("uidl:c"), nullptr);
  // The sender, written with its message's line, in any case.
  EXPECT_EQ(journal.LastAnswered("b@x.EXAMPLE"), kNow);
  EXPECT_EQ(journal.LastAnswered("a@x"), 0);

  // Gone from the server, or older than 30 days: dropped, and the file
  // holds one line per message; the recent sender stays.
  journal.RecordAnswered("uidl:old", "o@x", kNow - 31 * kDay);
  EXPECT_EQ(journal.Prune({"uidl:a", "uidl:old"}, kNow), "");
  AnsweredJournal reread(path);
  EXPECT_EQ(reread.Load(), "");
  EXPECT_EQ(reread.Size(), 2u);
  EXPECT_NE(reread.Find("uidl:a"), nullptr);
  EXPECT_EQ(testing::ReadFile(path),
            "sender:b@x.example\tb@x.example\t" + std::to_string(kNow) +
                "\t0\nuidl:a\tAnn <a@x>  \t" + std::to_string(kNow) + "\t1\n");
}

TEST(AnsweredJournalTest, DamageCostsOnlyTheLinesItTouched) {
  const std::string a = "uidl:a\ta@x\t1800000000\t0\n";
  const std::string b = "uidl:b\tb@x\t1800000000\t1\n";
  struct Row {
    const char* name;
    std::string text;
    std::vector<std::string> kept;
    const char* what;
  } rows[] = {
      // What a crash during an append leaves.
      {"NUL tail",
       a + b + std::string(40, '\0'),
       {"uidl:a", "uidl:b"},
       "its last record was cut short"},
      {"cut tail",
       a + "uidl:b\tb@x\t18",
       {"uidl:a", "uidl:b"},
       "its last record was cut short"},
      {"cut tail without its identity's end",
       a + "uidl:",
       {"uidl:a"},
       "its last record was cut short"},
      {"garbage in the middle",
       a + "\x01\x02 garbage\n" + b,
       {"uidl:a", "uidl:b"},
       "1 damaged line was left out"},
      {"bad time",
       "uidl:c\tc@x\tyesterday\t0\n" + b,
       {"uidl:b"},
       "1 damaged line was left out"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    TempDir dir("journal");
    const std::string path = dir.File(kJournalName);
    testing::WriteFile(path + ".bad", "an earlier damaged file");
    testing::WriteFile(path, row.text);
    AnsweredJournal journal(path);
    const std::string notice = journal.Load();
    EXPECT_NE(notice.find(row.what), std::string::npos) << notice;
    EXPECT_NE(notice.find("kept as " + path + ".bad.2"), std::string::npos)
        << notice;
    EXPECT_EQ(journal.Size(), row.kept.size());
    for (const std::string& identity : row.kept) {
      EXPECT_NE(journal.Find(identity), nullptr) << identity;
    }
    // The damage is kept, the earlier copy too, and the file is whole again:
    // a second reading reports nothing and keeps the same records.
    EXPECT_EQ(testing::ReadFile(path + ".bad"), "an earlier damaged file");
    EXPECT_EQ(testing::ReadFile(path + ".bad.2"), row.text);
    AnsweredJournal again(path);
    EXPECT_EQ(again.Load(), "");
    EXPECT_EQ(again.Size(), row.kept.size());
  }
}

TEST(AnsweredJournalTest, AJournalThatCannotBeReadStopsTheCheckAndStays) {
  TempDir dir("journal");
  // Not readable as a file, whoever runs the test (root reads any mode).
  const std::string path = dir.File(kJournalName);
  ASSERT_EQ(::mkdir(path.c_str(), 0700), 0);
  AnsweredJournal journal(path);
  try {
    journal.Load();
    ADD_FAILURE() << "no failure";
  } catch (const JournalUnreadable& failure) {
    EXPECT_NE(std::string(failure.what())
                  .find("Cannot read the list of answered messages " + path),
              std::string::npos)
        << failure.what();
  }
  struct stat info;
  ASSERT_EQ(::stat(path.c_str(), &info), 0);
  EXPECT_TRUE(S_ISDIR(info.st_mode));
  EXPECT_NE(::access((path + ".bad").c_str(), F_OK), 0);
}

TEST(AnsweredJournalTest, HashIdentityTellsFieldsApart) {
  EXPECT_EQ(HashIdentity("<1@x>", "d", "f", "s", "t", 10),
            HashIdentity("<1@x>", "d", "f", "s", "t", 10));
  EXPECT_NE(HashIdentity("ab", "", "f", "s", "t", 10),
            HashIdentity("a", "b", "f", "s", "t", 10));
  EXPECT_NE(HashIdentity("<1@x>", "d", "f", "s", "t", 10),
            HashIdentity("<1@x>", "d", "f", "s", "t", 11));
  EXPECT_NE(HashIdentity("<1@x>", "d", "f", "s", "t", 10),
            HashIdentity("<1@x>", "d", "f", "s", "u", 10));
  EXPECT_EQ(HashIdentity("", "", "", "", "", 0).size(), 7u + 64u);
  EXPECT_EQ(AccountScope("Mail.Example", 110, "ann"),
            AccountScope("mail.example", 110, "ann"));
  EXPECT_NE(AccountScope("mail.example", 110, "ann"),
            AccountScope("mail.example", 995, "ann"));
  EXPECT_NE(AccountScope("mail.example", 110, "ann"),
            AccountScope("mail.example", 110, "bob"));
}

class QuietView : public JobView {
 public:
  Settings settings;
  std::vector<MessageOutcome> outcomes;
  std::vector<std::string> statuses;
  std::function<void()> on_pause;
  Settings CurrentSettings() override { return settings; }
  void Pause() override {
    if (on_pause) on_pause();
  }
  void RowChanged(int, const ListedMessage& row) override {
    statuses.push_back(row.status);
  }
  void MessageDone(const ListedMessage&,
                   const MessageOutcome& outcome) override {
    outcomes.push_back(outcome);
  }
};

// Settings for the scripted servers with POP3 user `user`.
QuietView ViewOfUser(const std::string& user) {
  QuietView view;
  view.settings.pop3_host = view.settings.smtp_host = "127.0.0.1";
  view.settings.pop3_user = user;
  view.settings.pop3_password = "p";
  view.settings.from_address = "me@example.com";
  return view;
}

// A later check (a new start) with the same journal, against a POP3 server
// playing `pop_script` and SMTP servers playing `smtp_scripts`; both must
// play their scripts whole.
void CheckAgain(QuietView& view, const std::string& journal_path,
                Script pop_script, std::vector<Script> smtp_scripts) {
  // The same mailbox: the same server, user and port.
  ScriptedServer::Options same_port;
  same_port.port = view.settings.pop3_port;
  ScriptedServer pop(std::move(pop_script), same_port);
  ScriptedServer smtp(std::move(smtp_scripts));
  view.settings.pop3_port = pop.Port();
  view.settings.smtp_port = smtp.Port();
  view.outcomes.clear();
  view.statuses.clear();
  ResponderJob job(view);
  job.SetJournalPath(journal_path);
  job.Check();
  EXPECT_TRUE(pop.Played());
  EXPECT_TRUE(smtp.Played());
}

// Where the first check breaks off after the response was accepted.
enum class Drop {
  kRetr,
  kForwardConnect,
  kForwardRcpt,
  kForwardData,
  kDele,
  kQuit
};

TEST(JournalRunTest, NoSecondResponseWhateverStepFailsAfterTheFirst) {
  const Incoming message = [] {
    Incoming m;
    m.subject = "question";
    m.from = "ann@example.com";
    return m;
  }();
  const std::vector<Incoming> mailbox = {message};
  struct Row {
    Drop drop;
    const char* name;
    bool forward_sent;  // the first check's forward was accepted
  };
  const Row rows[] = {
      {Drop::kRetr, "RETR", false},
      {Drop::kForwardConnect, "forward connect", false},
      {Drop::kForwardRcpt, "forward RCPT", false},
      {Drop::kForwardData, "forward DATA", false},
      {Drop::kDele, "DELE", true},
      {Drop::kQuit, "QUIT", true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    TempDir dir("journal");
    const std::string journal_path = dir.File(kJournalName);
    QuietView view;
    view.settings.pop3_host = view.settings.smtp_host = "127.0.0.1";
    view.settings.pop3_user = "u";
    view.settings.pop3_password = "p";
    view.settings.from_address = "me@example.com";
    view.settings.forward = true;
    view.settings.forward_address = "fw@example.com";

    // First check: the response goes out, then the step fails.
    Script pop1 = testing::Pop3Listing(mailbox);
    std::vector<Script> smtp1 = {
        SmtpScript({"me@example.com", {"ann@example.com"}})};
    Script forward;
    forward.SendLine("220 smtp.test ready").ExpectLine();
    forward.SendLine("250-smtp.test").SendLine("250 HELP");
    forward.Expect("RSET").SendLine("250 ok");
    forward.Expect("MAIL FROM:<me@example.com>").SendLine("250 ok");
    switch (row.drop) {
      case Drop::kRetr:
        pop1.Expect("RETR 1").Close();
        break;
      case Drop::kForwardConnect:
        testing::Pop3Retrieve(pop1, 1, message);
        smtp1.push_back(Script().Close());
        break;
      case Drop::kForwardRcpt:
        testing::Pop3Retrieve(pop1, 1, message);
        smtp1.push_back(forward.Expect("RCPT TO:<fw@example.com>").Close());
        break;
      case Drop::kForwardData:
        testing::Pop3Retrieve(pop1, 1, message);
        smtp1.push_back(forward.Expect("RCPT TO:<fw@example.com>")
                            .SendLine("250 ok")
                            .Expect("DATA")
                            .SendLine("354 go")
                            .ReceiveUntil()
                            .Close());
        break;
      case Drop::kDele:
        testing::Pop3Retrieve(pop1, 1, message);
        smtp1.push_back(SmtpScript({"me@example.com", {"fw@example.com"}}));
        pop1.Expect("DELE 1").Close();
        break;
      case Drop::kQuit:
        testing::Pop3Retrieve(pop1, 1, message);
        smtp1.push_back(SmtpScript({"me@example.com", {"fw@example.com"}}));
        testing::Pop3Delete(pop1, 1);
        pop1.Expect("QUIT").Close();
        break;
    }
    {
      ScriptedServer pop(std::move(pop1));
      ScriptedServer smtp(std::move(smtp1));
      view.settings.pop3_port = pop.Port();
      view.settings.smtp_port = smtp.Port();
      {
        ResponderJob job(view);
        job.SetJournalPath(journal_path);
        try {
          job.Check();
        } catch (const core::Exception&) {
          // The drop ends the first check; ending the program closes the
          // connections it left open.
        }
      }
      EXPECT_TRUE(pop.Played());
      EXPECT_TRUE(smtp.Played());
    }

    // A later check (a new start): the message is still there; it is not
    // answered again, only a missing forward goes out before DELE.
    Script pop2 = testing::Pop3Listing(mailbox);
    std::vector<Script> smtp2;
    if (!row.forward_sent) {
      testing::Pop3Retrieve(pop2, 1, message);
      smtp2.push_back(SmtpScript({"me@example.com", {"fw@example.com"}}));
    }
    testing::Pop3Delete(pop2, 1);
    CheckAgain(view, journal_path, testing::Pop3Quit(pop2), std::move(smtp2));
    ASSERT_EQ(view.outcomes.size(), 1u);
    EXPECT_TRUE(view.outcomes[0].already_answered);
    EXPECT_FALSE(view.outcomes[0].answered);
    EXPECT_EQ(view.outcomes[0].forwarded, !row.forward_sent);
    EXPECT_TRUE(view.outcomes[0].deleted);
    EXPECT_EQ(view.statuses,
              std::vector<std::string>{"Already answered: deleting"});
  }
}

TEST(JournalRunTest, DisconnectAfterTheResponseUndoesOnlyTheDeletion) {
  Incoming message;
  message.subject = "question";
  message.from = "ann@example.com";
  TempDir dir("journal");
  QuietView view = ViewOfUser("u");
  {
    // The window closes while the box after the message is open: its
    // Disconnect makes the server forget the DELE (RSET, then QUIT).
    Script first = testing::Pop3Listing({message});
    testing::Pop3Delete(first, 1);
    ScriptedServer pop(first.Expect("RSET").SendLine("+OK").Expect("QUIT"));
    ScriptedServer smtp(SmtpScript({"me@example.com", {"ann@example.com"}}));
    view.settings.pop3_port = pop.Port();
    view.settings.smtp_port = smtp.Port();
    ResponderJob job(view);
    job.SetJournalPath(dir.File(kJournalName));
    view.on_pause = [&] { job.Disconnect(); };
    job.Check();
    view.on_pause = nullptr;
    EXPECT_TRUE(pop.Played());
    EXPECT_TRUE(smtp.Played());
  }
  Script second = testing::Pop3Listing({message});
  testing::Pop3Delete(second, 1);
  CheckAgain(view, dir.File(kJournalName), testing::Pop3Quit(second), {});
  ASSERT_EQ(view.outcomes.size(), 1u);
  EXPECT_TRUE(view.outcomes[0].already_answered);
}

TEST(JournalRunTest, WithoutUidlTheListedFieldsIdentifyTheMessage) {
  Incoming message;
  message.subject = "question";
  message.from = "ann@example.com";
  message.extra_headers = {"Message-ID: <1@example.com>"};
  // UIDL refused: the listing goes on, and the journal keys by hash.
  auto listing = [&] {
    Script script;
    testing::Pop3LogIn(script);
    script.Expect("STAT").SendLine("+OK 1 120");
    script.Expect("UIDL").SendLine("-ERR not supported");
    script.Expect("TOP 1 0").SendLine("+OK");
    for (const std::string& line : message.HeaderLines()) {
      script.SendLine(line);
    }
    script.SendLine("").SendLine(".");
    return script.Expect("LIST 1").SendLine("+OK 1 120");
  };
  TempDir dir("journal");
  QuietView view = ViewOfUser("u");
  {
    ScriptedServer pop(listing().Expect("DELE 1").Close());
    ScriptedServer smtp(SmtpScript({"me@example.com", {"ann@example.com"}}));
    view.settings.pop3_port = pop.Port();
    view.settings.smtp_port = smtp.Port();
    ResponderJob job(view);
    job.SetJournalPath(dir.File(kJournalName));
    EXPECT_ANY_THROW(job.Check());
    EXPECT_TRUE(smtp.Played());
  }
  Script second = listing();
  testing::Pop3Delete(second, 1);
  CheckAgain(view, dir.File(kJournalName), testing::Pop3Quit(second), {});
  ASSERT_EQ(view.outcomes.size(), 1u);
  EXPECT_TRUE(view.outcomes[0].already_answered);
  EXPECT_NE(testing::ReadFile(dir.File(kJournalName)).find("/sha256:"),
            std::string::npos);
}

// Without UIDL, two messages that share Message-ID, Date, From and Subject
// but differ in size are two messages: each gets its own response (once
// the second was deleted as "already answered", its text lost).
TEST(JournalRunTest, WithoutUidlMessagesOfAnotherSizeAreOtherMessages) {
  std::vector<Incoming> mailbox(2);
  for (Incoming& m : mailbox) {
    m.subject = "question";
    m.from = "ann@example.com";
    m.extra_headers = {"Message-ID: <1@example.com>"};
  }
  mailbox[1].size = 4321;
  Script script;
  testing::Pop3LogIn(script);
  script.Expect("STAT").SendLine("+OK 2 4441");
  script.Expect("UIDL").SendLine("-ERR not supported");
  for (int n = 1; n <= 2; ++n) {
    script.Expect("TOP " + std::to_string(n) + " 0").SendLine("+OK");
    for (const std::string& line : mailbox[size_t(n - 1)].HeaderLines()) {
      script.SendLine(line);
    }
    script.SendLine("").SendLine(".");
    script.Expect("LIST " + std::to_string(n))
        .SendLine("+OK " + std::to_string(n) + " " +
                  std::to_string(mailbox[size_t(n - 1)].size));
  }
  testing::Pop3Delete(script, 2);
  testing::Pop3Delete(script, 1);
  TempDir dir("journal");
  QuietView view = ViewOfUser("u");
  CheckAgain(view, dir.File(kJournalName), testing::Pop3Quit(script),
             {SmtpScript({"me@example.com", {"ann@example.com"}}),
              SmtpScript({"me@example.com", {"ann@example.com"}})});
  ASSERT_EQ(view.outcomes.size(), 2u);
  EXPECT_TRUE(view.outcomes[0].answered);
  EXPECT_TRUE(view.outcomes[1].answered);
}

// A check that answers `mailbox`'s one message from ann@example.com and is
// then refused its DELE, so the message stays on the server.
void AnswerButKeep(QuietView& view, const std::string& journal_path,
                   const std::vector<Incoming>& mailbox) {
  Script first = testing::Pop3Listing(mailbox, view.settings.pop3_user);
  first.Expect("DELE 1").SendLine("-ERR locked").Expect("QUIT");
  ScriptedServer pop(first);
  ScriptedServer smtp(SmtpScript({"me@example.com", {"ann@example.com"}}));
  view.settings.pop3_port = pop.Port();
  view.settings.smtp_port = smtp.Port();
  ResponderJob job(view);
  job.SetJournalPath(journal_path);
  EXPECT_ANY_THROW(job.Check());
}

// A journal kept beside settings that pointed at another mailbox marks none
// of this mailbox's messages as answered, and keeps the other's records.
TEST(JournalRunTest, AJournalOfAnotherMailboxAnswersNothingHere) {
  std::vector<Incoming> mailbox(1);
  mailbox[0].subject = "question";
  mailbox[0].from = "ann@example.com";
  mailbox[0].uid = "same-uid";
  TempDir dir("journal");
  QuietView view = ViewOfUser("u");
  // Answered in the other mailbox; its DELE refused, so it stays there.
  AnswerButKeep(view, dir.File(kJournalName), mailbox);
  const std::string other = testing::ReadFile(dir.File(kJournalName));
  ASSERT_NE(other.find("/uidl:same-uid\t"), std::string::npos) << other;
  // Another user on the same server: the same UIDL is another message.
  view.settings.pop3_user = "v";
  Script second = testing::Pop3Listing(mailbox, "v");
  testing::Pop3Delete(second, 1);
  CheckAgain(view, dir.File(kJournalName), testing::Pop3Quit(second),
             {SmtpScript({"me@example.com", {"ann@example.com"}})});
  ASSERT_EQ(view.outcomes.size(), 1u);
  EXPECT_TRUE(view.outcomes[0].answered);
  EXPECT_FALSE(view.outcomes[0].already_answered);
  // Both mailboxes' records are kept.
  const std::string both = testing::ReadFile(dir.File(kJournalName));
  size_t count = 0;
  for (size_t at = both.find("/uidl:same-uid\t"); at != std::string::npos;
       at = both.find("/uidl:same-uid\t", at + 1)) {
    ++count;
  }
  EXPECT_EQ(count, 2u) << both;
}

// After a response whose DELE was refused, damage to the journal (what a
// crash leaves, a stray line) never makes the next check answer again.
TEST(JournalRunTest, ADamagedJournalStillKeepsTheAnsweredMessage) {
  std::vector<Incoming> mailbox(1);
  mailbox[0].subject = "question";
  mailbox[0].from = "ann@example.com";
  const std::vector<std::pair<const char*, std::string>> damages = {
      {"NUL tail", std::string(40, '\0')},
      {"cut tail", "uidl:x\tx@"},
      {"garbage line", "\x7f\x01garbage\nsender:z@x\tz@x\t1\t0\n"},
  };
  for (const auto& [name, damage] : damages) {
    SCOPED_TRACE(name);
    TempDir dir("journal");
    QuietView view = ViewOfUser("u");
    AnswerButKeep(view, dir.File(kJournalName), mailbox);
    testing::WriteFile(dir.File(kJournalName),
                       testing::ReadFile(dir.File(kJournalName)) + damage);
    Script second = testing::Pop3Listing(mailbox);
    testing::Pop3Delete(second, 1);
    CheckAgain(view, dir.File(kJournalName), testing::Pop3Quit(second), {});
    ASSERT_EQ(view.outcomes.size(), 1u);
    EXPECT_TRUE(view.outcomes[0].already_answered);
  }
  // A journal that cannot be read at all stops the check before anything
  // is sent.
  TempDir dir("journal");
  ASSERT_EQ(::mkdir(dir.File(kJournalName).c_str(), 0700), 0);
  QuietView view;
  view.settings.pop3_host = view.settings.smtp_host = "127.0.0.1";
  view.settings.pop3_port = testing::ClosedPort();
  ResponderJob job(view);
  job.SetJournalPath(dir.File(kJournalName));
  EXPECT_THROW(job.Check(), JournalUnreadable);
  EXPECT_TRUE(view.outcomes.empty());
}

}  // namespace
}  // namespace replyvane::responder
