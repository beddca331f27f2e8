// Runs the real program unattended (`replyvane --check` and its relatives)
// as the systemd timer does: no display at all, a settings folder written
// by the test, servers on 127.0.0.1 only, every run bounded by `timeout`.
#ifndef REPLYVANE_TESTS_RESPONDER_PROGRAM_RUN_H_
#define REPLYVANE_TESTS_RESPONDER_PROGRAM_RUN_H_

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include "tests/support/child_process.h"
#include "tests/support/dovecot_server.h"
#include "tests/support/smtp_server.h"
#include "tests/support/temp_dir.h"

namespace replyvane::testing {

#ifdef REPLYVANE_PROGRAM
inline constexpr char kProgram[] = REPLYVANE_PROGRAM;
#else
inline constexpr char kProgram[] = "";
#endif

// Why a test of the program against Dovecot and aiosmtpd cannot run here;
// empty when it can.
inline std::string MissingForRealServers() {
  if (std::string(kProgram).empty()) return "no program built";
  return DovecotServer::MissingReason() + SmtpServer::MissingReason();
}

// A test of the program against Dovecot and aiosmtpd.
class ProgramWithServersTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string missing = MissingForRealServers();
    if (!missing.empty()) GTEST_SKIP() << missing;
  }
};

struct RunResult {
  int status = -1;  // the exit status; -1 when killed
  std::string out;
  std::string err;
};

// Runs the program with `arguments` and no display, killed after
// `timeout_seconds`. `environment` goes before the program ("LANG=C ...").
inline RunResult RunProgram(const TempDir& dir, const std::string& arguments,
                            int timeout_seconds = 120,
                            const std::string& environment = "") {
  const std::string out = dir.File("stdout.txt");
  const std::string err = dir.File("stderr.txt");
  const std::string command =
      "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM " + environment +
      " timeout " + std::to_string(timeout_seconds) + " " +
      std::string(kProgram) + " " + arguments + " >" + out + " 2>" + err +
      " </dev/null";
  const int raw = std::system(command.c_str());
  RunResult result;
  result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  result.out = ReadFile(out);
  result.err = ReadFile(err);
  return result;
}

// What a settings folder for a check holds.
struct CheckSettings {
  std::string pop_host = "127.0.0.1";
  std::string smtp_host = "127.0.0.1";
  int pop_port = 0;
  std::string pop_user = "testuser";
  std::string pop_password = "testpass";
  int smtp_port = 0;
  bool smtp_login = true;
  std::string smtp_user = "testuser";
  std::string smtp_password = "testpass";
  bool forward = true;
  // Lines added at the end of Settings.ini (sections of their own).
  std::string extra;
};

inline void WriteSettings(const std::string& folder,
                          const CheckSettings& settings) {
  WriteFile(folder + "/Settings.ini",
            "[Options]\r\n1=" + settings.smtp_host +
                "\r\n2=" + settings.pop_host + "\r\n3=" + settings.pop_user +
                "\r\n4=" + settings.pop_password + "\r\n5=10\r\n6=" +
                settings.smtp_user + "\r\n7=" + settings.smtp_password +
                "\r\n8=" + std::to_string(settings.pop_port) +
                "\r\n9=" + std::to_string(settings.smtp_port) +
                "\r\n10=" + (settings.smtp_login ? "1" : "0") +
                "\r\n[Reponder]\r\n1=Me\r\n2=me@example.com\r\n"
                "3=Thank you\r\n4=" +
                (settings.forward ? "1" : "0") + "\r\n5=fw@example.com\r\n" +
                settings.extra);
  WriteFile(folder + "/response.dat", "Thanks for your mail.\r\nBye.");
}

// Settings for scripted servers (tests/support/mail_scripts.h): POP3 user
// "u" / "p", no SMTP log-in, no forward.
inline CheckSettings ScriptedCheckSettings(int pop_port, int smtp_port) {
  CheckSettings settings;
  settings.pop_port = pop_port;
  settings.pop_user = "u";
  settings.pop_password = "p";
  settings.smtp_port = smtp_port;
  settings.smtp_login = false;
  settings.forward = false;
  return settings;
}

inline void WriteSettings(const std::string& folder, const DovecotServer& pop,
                          const SmtpServer& smtp,
                          const std::string& pop_password) {
  CheckSettings settings;
  settings.pop_port = pop.Port();
  settings.pop_user = pop.User();
  settings.pop_password = pop_password;
  settings.smtp_port = smtp.Port();
  settings.smtp_user = smtp.User();
  settings.smtp_password = smtp.Password();
  WriteSettings(folder, settings);
}

// Settings for the mailbox server on `mailbox_port` (Dovecot's user) and
// `smtp` with its log-in, the forward off.
inline CheckSettings ServerSettings(int mailbox_port, const SmtpServer& smtp) {
  CheckSettings settings;
  settings.pop_port = mailbox_port;
  settings.smtp_port = smtp.Port();
  settings.smtp_user = smtp.User();
  settings.smtp_password = smtp.Password();
  settings.forward = false;
  return settings;
}

// Starts `replyvane --watch` as `watch` over `settings` (an IMAP mailbox,
// with settings.extra after its section) written into `dir`, logging to
// watch.log there; returns once the first look has recorded where
// answering starts.
inline void StartWatching(ChildProcess& watch, const TempDir& dir,
                          CheckSettings settings) {
  settings.extra = "[Mailbox]\r\nKind=IMAP\r\n" + settings.extra;
  WriteSettings(dir.Path(), settings);
  watch.Start({kProgram, "--watch", "--settings", dir.Path()},
              dir.File("watch.log"));
  const auto started = std::chrono::steady_clock::now();
  while (!std::filesystem::exists(dir.File("imap-start.dat")) &&
         std::chrono::steady_clock::now() - started <
             std::chrono::seconds(20)) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  ASSERT_TRUE(std::filesystem::exists(dir.File("imap-start.dat")))
      << ReadFile(dir.File("watch.log"));
}

inline std::string Message(const std::string& from,
                           const std::string& subject) {
  return "From: " + from + "\r\nTo: me@example.com\r\nSubject: " + subject +
         "\r\nDate: Tue, 01 Dec 2026 12:00:00 +0000\r\n\r\nHello.\r\n";
}

}  // namespace replyvane::testing

#endif  // REPLYVANE_TESTS_RESPONDER_PROGRAM_RUN_H_
