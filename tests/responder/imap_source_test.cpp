// The IMAP mailbox against scripted servers, over several checks of one
// folder: the start point moves only past what a whole run listed, a
// renumbered folder (a new UIDVALIDITY) starts again at its UIDNEXT without
// answering anything old, a folder without UIDNEXT starts past its highest
// UID, and one without UIDVALIDITY stops the check. Answered messages are
// deleted together once a run has gone through, and not at all when it is
// abandoned.
#include "responder/imap_source.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "responder/settings.h"
#include "tests/mail/outcome.h"
#include "tests/support/scripted_server.h"
#include "tests/support/temp_dir.h"

namespace replyvane::responder {
namespace {

using testing::Script;
using testing::ScriptedServer;
using testing::TempDir;
using testing::Transcript;

// Greeting, LOGIN and EXAMINE INBOX answered with `folder` lines, then
// `rest`.
Script Examined(std::initializer_list<std::string_view> folder,
                std::initializer_list<std::string_view> rest) {
  Script script =
      Transcript({"S: * OK [CAPABILITY IMAP4rev1] hi", "C: A001 LOGIN u p",
                  "S: A001 OK [CAPABILITY IMAP4rev1 UIDPLUS] in",
                  "C: A002 EXAMINE INBOX"});
  script = script.Transcript(folder).Transcript({"S: A002 OK [READ-ONLY] ok"});
  return script.Transcript(rest);
}

// The scripts' IMAP mailbox on `port`: user "u", password "p".
Settings ImapSettings(int port) {
  Settings settings;
  settings.pop3_host = "127.0.0.1";
  settings.pop3_port = port;
  settings.pop3_user = "u";
  settings.pop3_password = "p";
  settings.mailbox.kind = MailboxKind::kImap;
  settings.read_timeout_seconds = 10;
  return settings;
}

// The UIDs one check lists, "failed: …" when it stops.
std::string ListedUids(ImapSource& source, const Settings& settings,
                       bool finish = true) {
  if (std::string failure = source.Open(settings); !failure.empty()) {
    return "failed to open";
  }
  std::string uids;
  const std::string outcome = mail::Outcome([&] {
    size_t used = 0;
    for (const MessageRef& ref : source.List(1 << 20, used)) {
      uids += std::to_string(ref.number) + "=" + ref.unique_id + " ";
    }
  });
  if (!outcome.empty()) {
    source.Abandon();
    return outcome;
  }
  if (finish) {
    source.Finish();
  } else {
    source.Abandon();
  }
  return uids;
}

TEST(ImapSourceTest, TheStartMovesOnlyPastWholeRunsAndANewNumberingIsHistory) {
  std::vector<Script> checks = {
      // The first look: 7 and 9 are history; "10:*" names 9, the last.
      Examined({"S: * 2 EXISTS", "S: * OK [UIDVALIDITY 5] v",
                "S: * OK [UIDNEXT 10] n"},
               {"C: A003 UID SEARCH UID 10:*", "S: * SEARCH 9", "S: A003 OK",
                "C: A004 LOGOUT", "S: A004 OK"}),
      // Two new ones, but the run is abandoned: listed again next time.
      Examined({"S: * OK [UIDVALIDITY 5] v", "S: * OK [UIDNEXT 12] n"},
               {"C: A003 UID SEARCH UID 10:*", "S: * SEARCH 10 11",
                "S: A003 OK", "C: A004 LOGOUT"}),
      Examined({"S: * OK [UIDVALIDITY 5] v", "S: * OK [UIDNEXT 12] n"},
               {"C: A003 UID SEARCH UID 10:*", "S: * SEARCH 11 10",
                "S: A003 OK", "C: A004 LOGOUT", "S: A004 OK"}),
      Examined({"S: * OK [UIDVALIDITY 5] v", "S: * OK [UIDNEXT 12] n"},
               {"C: A003 UID SEARCH UID 12:*", "S: * SEARCH 11", "S: A003 OK",
                "C: A004 LOGOUT", "S: A004 OK"}),
      // Renumbered: UID 3 under the new number may be any old message.
      Examined({"S: * OK [UIDVALIDITY 6] v", "S: * OK [UIDNEXT 4] n"},
               {"C: A003 UID SEARCH UID 4:*", "S: * SEARCH 3", "S: A003 OK",
                "C: A004 LOGOUT", "S: A004 OK"}),
      Examined({"S: * OK [UIDVALIDITY 6] v", "S: * OK [UIDNEXT 5] n"},
               {"C: A003 UID SEARCH UID 4:*", "S: * SEARCH 4", "S: A003 OK",
                "C: A004 LOGOUT", "S: A004 OK"}),
  };
  ScriptedServer server(checks);
  TempDir dir("imap-source");
  const Settings settings = ImapSettings(server.Port());
  const std::string starts = dir.File("imap-start.dat");
  // Each check with a source of its own, as each --check is a process.
  const std::vector<std::pair<bool, std::string>> expected = {
      {true, ""},
      {false, "10=5:10 11=5:11 "},
      {true, "10=5:10 11=5:11 "},
      {true, ""},
      {true, ""},
      {true, "4=6:4 "},
  };
  for (const auto& [finish, uids] : expected) {
    ImapSource source(starts);
    EXPECT_EQ(ListedUids(source, settings, finish), uids);
  }
  EXPECT_TRUE(server.Played()) << server.Report();
}

TEST(ImapSourceTest, AFolderWithoutItsNumbersIsReadSafely) {
  ScriptedServer server(std::vector<Script>{
      // No UIDNEXT: one past the highest UID there.
      Examined({"S: * 2 EXISTS", "S: * OK [UIDVALIDITY 5] v"},
               {"C: A003 UID SEARCH ALL", "S: * SEARCH 3 8", "S: A003 OK",
                "C: A004 UID SEARCH UID 9:*", "S: * SEARCH 8", "S: A004 OK",
                "C: A005 LOGOUT", "S: A005 OK"}),
      // No UIDVALIDITY: nothing can be told apart.
      Examined({"S: * 2 EXISTS", "S: * OK [UIDNEXT 9] n"}, {"C: A003 LOGOUT"}),
  });
  const Settings settings = ImapSettings(server.Port());
  ImapSource source("");
  EXPECT_EQ(ListedUids(source, settings), "");
  EXPECT_EQ(ListedUids(source, settings),
            "error: The IMAP server gave no UIDVALIDITY for the folder INBOX: "
            "its messages cannot be told apart from one check to the next");
  EXPECT_TRUE(server.Played()) << server.Report();
}

TEST(ImapSourceTest, DeletionsAreMadeTogetherAtTheEndOfAWholeRunOnly) {
  const auto selected = [](std::initializer_list<std::string_view> rest) {
    return Transcript({"S: * OK [CAPABILITY IMAP4rev1] hi", "C: A001 LOGIN u p",
                       "S: A001 OK [CAPABILITY IMAP4rev1 UIDPLUS] in",
                       "C: A002 SELECT INBOX", "S: * OK [UIDVALIDITY 5] v",
                       "S: * OK [UIDNEXT 9] n", "S: A002 OK [READ-WRITE] ok"})
        .Transcript(rest);
  };
  ScriptedServer server(std::vector<Script>{
      selected({"C: A003 UID SEARCH UNSEEN", "S: * SEARCH 4 5 6 8",
                "S: A003 OK", "C: A004 UID SEARCH UID 9:*", "S: * SEARCH 8",
                "S: A004 OK",
                "C: A005 UID STORE 4,6,8 +FLAGS.SILENT (\\Deleted)",
                "S: A005 OK", "C: A006 UID EXPUNGE 4,6,8", "S: * 1 EXPUNGE",
                "S: A006 OK", "C: A007 LOGOUT", "S: A007 OK"}),
      // Stopped after two: nothing is deleted.
      selected({"C: A003 UID SEARCH UID 9:*", "S: * SEARCH 9 10", "S: A003 OK",
                "C: A004 LOGOUT"}),
      // The server refuses the deletions: the run's end says so.
      selected({"C: A003 UID SEARCH UID 9:*", "S: * SEARCH 9 10", "S: A003 OK",
                "C: A004 UID STORE 9:10 +FLAGS.SILENT (\\Deleted)",
                "S: A004 NO [CANNOT] read-only", "C: A005 LOGOUT"}),
  });
  Settings settings = ImapSettings(server.Port());
  settings.mailbox.after_answering = AfterAnswering::kDelete;
  settings.mailbox.answer_existing = true;
  ImapSource source("");
  for (int run = 0; run < 3; ++run) {
    ASSERT_EQ(source.Open(settings), "");
    size_t used = 0;
    std::vector<MessageRef> refs = source.List(1 << 20, used);
    for (auto ref = refs.rbegin(); ref != refs.rend(); ++ref) {
      if (ref->number == 5) continue;  // say, not answered
      EXPECT_EQ(source.Dispose(*ref), kDisposedDeleted);
    }
    if (run == 0) {
      source.Finish();
    } else if (run == 1) {
      EXPECT_TRUE(source.Abandon());
    } else {
      EXPECT_EQ(mail::Outcome([&] { source.Finish(); }),
                "reply 2: NO [CANNOT] read-only");
      source.Abandon();
    }
  }
  EXPECT_TRUE(server.Played()) << server.Report();
}

}  // namespace
}  // namespace replyvane::responder
