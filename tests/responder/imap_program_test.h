// A test of the program with an IMAP mailbox on Dovecot (one old message in
// the inbox, or those the test adds before Start) and aiosmtpd, and what a
// Maildir folder holds afterwards.
#ifndef REPLYVANE_TESTS_RESPONDER_IMAP_PROGRAM_TEST_H_
#define REPLYVANE_TESTS_RESPONDER_IMAP_PROGRAM_TEST_H_

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "tests/responder/program_run.h"

namespace replyvane::testing {

// The message files of a Maildir folder (its new/ and cur/).
inline std::vector<std::string> MessageFiles(const std::string& maildir) {
  std::vector<std::string> names;
  for (const char* sub : {"/new", "/cur"}) {
    if (!std::filesystem::exists(maildir + sub)) continue;
    for (const auto& entry :
         std::filesystem::directory_iterator(maildir + sub)) {
      names.push_back(entry.path().filename().string());
    }
  }
  return names;
}

// True when a Maildir file name carries \Seen.
inline bool Seen(const std::string& name) {
  const size_t info = name.find(":2,");
  return info != std::string::npos && name.find('S', info) != std::string::npos;
}

class ImapProgramTest : public ProgramWithServersTest {
 protected:
  // Starts the servers with `old` messages in the inbox.
  void StartServers(const std::vector<std::string>& old) {
    if (std::string missing = DovecotServer::MissingImapReason();
        !missing.empty()) {
      GTEST_SKIP() << missing;
    }
    DovecotServer::Options options;
    options.imap = true;
    imap_ = DovecotServer::UnderTmp(options);
    for (const std::string& message : old) imap_->AddMessage(message);
    ASSERT_TRUE(imap_->Start());
    ASSERT_TRUE(smtp_.Start());
  }

  // Settings for the servers (IMAP on `imap_port`, 0: Dovecot's own), with
  // `mailbox` lines added to the [Mailbox] section.
  CheckSettings SettingsFor(const std::string& mailbox, int imap_port = 0) {
    CheckSettings settings;
    settings.pop_port = imap_port != 0 ? imap_port : imap_->Port();
    settings.pop_user = imap_->User();
    settings.pop_password = imap_->Password();
    settings.smtp_port = smtp_.Port();
    settings.smtp_user = smtp_.User();
    settings.smtp_password = smtp_.Password();
    settings.extra = "[Mailbox]\r\nKind=IMAP\r\n" + mailbox;
    return settings;
  }

  RunResult Check(const TempDir& dir) {
    return RunProgram(dir, "--check --settings " + dir.Path(), 120);
  }

  std::unique_ptr<DovecotServer> imap_;
  SmtpServer smtp_;
};

}  // namespace replyvane::testing

#endif  // REPLYVANE_TESTS_RESPONDER_IMAP_PROGRAM_TEST_H_
