// Scripted POP3 and SMTP dialogues for the responder tests, built from a
// list of waiting messages, and small readers for the message texts the
// SMTP scripts record. Free of Qt, for the job's own tests too.
#ifndef REPLYVANE_TESTS_SUPPORT_MAIL_SCRIPTS_H_
#define REPLYVANE_TESTS_SUPPORT_MAIL_SCRIPTS_H_

#include <string>
#include <string_view>
#include <vector>

#include "tests/support/script.h"

namespace replyvane::testing {

// A waiting message as the POP3 script serves it.
struct Incoming {
  std::string subject;
  std::string from;
  std::string to = "me@example.com";
  std::string date = "Tue, 01 Dec 2026 12:00:00 +0000";
  std::vector<std::string> body = {"Hello."};
  // Extra header lines and a body that replace `body`, for a multipart one.
  std::vector<std::string> extra_headers;
  int size = 120;
  // Its UIDL id; empty: "uid-" and its subject and sender.
  std::string uid;

  std::string UniqueId() const {
    if (!uid.empty()) return uid;
    std::string id = "uid-" + subject + "-" + from;
    for (char& c : id) {
      if (c < 0x21 || c > 0x7E) c = '_';
    }
    return id.substr(0, 70);
  }

  std::vector<std::string> HeaderLines() const {
    std::vector<std::string> lines = {"From: " + from, "To: " + to,
                                      "Subject: " + subject, "Date: " + date};
    lines.insert(lines.end(), extra_headers.begin(), extra_headers.end());
    return lines;
  }
};

// Greeting and USER/PASS log-in.
inline Script& Pop3LogIn(Script& script, std::string_view user = "u",
                         std::string_view password = "p") {
  script.SendLine("+OK ready");
  script.Expect("USER " + std::string(user)).SendLine("+OK");
  return script.Expect("PASS " + std::string(password)).SendLine("+OK");
}

// An empty mailbox that offers only SASL XOAUTH2 and takes only the
// initial response `base64`.
inline Script Pop3TokenCheck(const std::string& base64) {
  return Transcript({"S: +OK hi", "C: CAPA", "S: +OK", "S: SASL XOAUTH2",
                     "S: .", "C: AUTH XOAUTH2 " + base64, "S: +OK in",
                     "C: STAT", "S: +OK 0 0", "C: QUIT", "S: +OK bye"});
}

// Log-in, STAT, UIDL and TOP n 0 / LIST n for every message, in
// order.
inline Script Pop3Listing(const std::vector<Incoming>& mailbox,
                          std::string_view user = "u") {
  Script script;
  Pop3LogIn(script, user);
  int total = 0;
  for (const Incoming& m : mailbox) total += m.size;
  script.Expect("STAT").SendLine("+OK " + std::to_string(mailbox.size()) + " " +
                                 std::to_string(total));
  if (!mailbox.empty()) {
    script.Expect("UIDL").SendLine("+OK");
    for (size_t i = 0; i < mailbox.size(); ++i) {
      script.SendLine(std::to_string(i + 1) + " " + mailbox[i].UniqueId());
    }
    script.SendLine(".");
  }
  for (size_t i = 0; i < mailbox.size(); ++i) {
    const std::string n = std::to_string(i + 1);
    script.Expect("TOP " + n + " 0").SendLine("+OK");
    for (const std::string& line : mailbox[i].HeaderLines()) {
      script.SendLine(line);
    }
    script.SendLine("").SendLine(".");
    script.Expect("LIST " + n)
        .SendLine("+OK " + n + " " + std::to_string(mailbox[i].size));
  }
  return script;
}

// RETR n answered with the whole message.
inline Script& Pop3Retrieve(Script& script, int number, const Incoming& m) {
  script.Expect("RETR " + std::to_string(number)).SendLine("+OK");
  for (const std::string& line : m.HeaderLines()) script.SendLine(line);
  script.SendLine("");
  for (const std::string& line : m.body) script.SendLine(line);
  return script.SendLine(".");
}

inline Script& Pop3Delete(Script& script, int number) {
  return script.Expect("DELE " + std::to_string(number)).SendLine("+OK");
}

// The QUIT that ends a run, answered: the server's word that the run's
// deletions are made.
inline Script& Pop3Quit(Script& script) {
  return script.Expect("QUIT").SendLine("+OK bye");
}

// How one SMTP connection is expected to go.
struct SmtpSession {
  std::string from = "me@example.com";
  std::vector<std::string> recipients;
  bool auth_login = false;  // expects AUTH LOGIN with "su" / "sp"
};

// One connection: greeting, EHLO (announcing AUTH LOGIN), RSET, the
// optional log-in, MAIL FROM, RCPT TO each, DATA with its body, QUIT.
inline Script SmtpScript(const SmtpSession& session) {
  Script script;
  script.SendLine("220 smtp.test ready");
  script.ExpectLine();  // EHLO <local host name>
  script.SendLine("250-smtp.test")
      .SendLine("250-AUTH LOGIN")
      .SendLine("250 HELP");
  script.Expect("RSET").SendLine("250 ok");
  if (session.auth_login) {
    script.Expect("AUTH LOGIN").SendLine("334 VXNlcm5hbWU6");
    script.Expect("c3U=").SendLine("334 UGFzc3dvcmQ6");
    script.Expect("c3A=").SendLine("235 ok");
  }
  script.Expect("MAIL FROM:<" + session.from + ">").SendLine("250 ok");
  for (const std::string& to : session.recipients) {
    script.Expect("RCPT TO:<" + to + ">").SendLine("250 ok");
  }
  script.Expect("DATA").SendLine("354 go");
  script.ReceiveUntil().SendLine("250 ok");
  return script.Expect("QUIT");
}

// The header block of a recorded message text (up to the empty line).
inline std::string HeaderBlock(std::string_view text) {
  const size_t end = text.find("\r\n\r\n");
  return std::string(text.substr(0, end == text.npos ? text.size() : end + 2));
}

// The value of the first header `name` (unfolded), or "" when there is none.
inline std::string HeaderValue(std::string_view text, std::string_view name) {
  const std::string block = "\r\n" + HeaderBlock(text);
  const std::string key = "\r\n" + std::string(name) + ": ";
  size_t start = block.find(key);
  if (start == block.npos) return "";
  start += key.size();
  std::string value;
  size_t end = block.find("\r\n", start);
  value = block.substr(start, end - start);
  while (end + 2 < block.size() &&
         (block[end + 2] == ' ' || block[end + 2] == '\t')) {
    const size_t next = block.find("\r\n", end + 2);
    value += block.substr(end + 2, next - end - 2);
    end = next;
  }
  return value;
}

// What follows the header block.
inline std::string BodyText(std::string_view text) {
  const size_t end = text.find("\r\n\r\n");
  return end == text.npos ? "" : std::string(text.substr(end + 4));
}

}  // namespace replyvane::testing

#endif  // REPLYVANE_TESTS_SUPPORT_MAIL_SCRIPTS_H_
