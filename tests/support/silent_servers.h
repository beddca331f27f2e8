// Servers that go silent where a reply is awaited: after the connect, in the
// middle of the POP3 listing, after the SMTP greeting, and in the middle of
// the reply to the end of a message. Each case is a pair of scripts for one
// message from ann@example.com (response only, no forward) and the words
// the failure must hold with a read timeout of 1 s.
#ifndef REPLYVANE_TESTS_SUPPORT_SILENT_SERVERS_H_
#define REPLYVANE_TESTS_SUPPORT_SILENT_SERVERS_H_

#include <chrono>
#include <string>
#include <vector>

#include "tests/support/mail_scripts.h"

namespace replyvane::testing {

struct SilentCase {
  const char* name;
  Script pop;
  std::vector<Script> smtp;
  // "POP3" or "SMTP", and what was awaited.
  const char* server;
  const char* awaited;
};

// Longer than any timeout the cases are run with.
inline constexpr std::chrono::milliseconds kSilence{8000};

inline std::vector<SilentCase> SilentCases() {
  std::vector<Incoming> mailbox(1);
  mailbox[0].subject = "question";
  mailbox[0].from = "ann@example.com";

  std::vector<SilentCase> cases;
  cases.push_back({"no POP3 greeting",
                   Script().Stall(kSilence),
                   {},
                   "POP3",
                   "the greeting"});
  Script listing;
  Pop3LogIn(listing).Expect("STAT").Stall(kSilence);
  cases.push_back(
      {"POP3 silent at STAT", listing, {}, "POP3", "the reply to STAT"});

  Script answered = Pop3Listing(mailbox);
  Script no_ehlo_reply;
  no_ehlo_reply.SendLine("220 smtp.test ready").ExpectLine().Stall(kSilence);
  cases.push_back({"SMTP silent after the greeting",
                   answered,
                   {no_ehlo_reply},
                   "SMTP",
                   "the reply to EHLO"});

  // The same dialogue up to the message's end, then half a reply.
  Script data;
  data.SendLine("220 smtp.test ready").ExpectLine();
  data.SendLine("250-smtp.test").SendLine("250 HELP");
  data.Expect("RSET").SendLine("250 ok");
  data.Expect("MAIL FROM:<me@example.com>").SendLine("250 ok");
  data.Expect("RCPT TO:<ann@example.com>").SendLine("250 ok");
  data.Expect("DATA").SendLine("354 go");
  data.ReceiveUntil().SendLine("250-queued as 1").Stall(kSilence);
  cases.push_back({"SMTP silent inside the reply to the message",
                   answered,
                   {data},
                   "SMTP",
                   "the reply to the end of the message"});
  return cases;
}

// The words of a read timeout's failure for `server` on 127.0.0.1:`port`.
inline std::string SilenceText(const SilentCase& silent, int port) {
  return std::string("Read Timeout: the ") + silent.server +
         " server 127.0.0.1 port " + std::to_string(port) +
         " sent nothing for 1 s while " + silent.awaited + " was awaited";
}

}  // namespace replyvane::testing

#endif  // REPLYVANE_TESTS_SUPPORT_SILENT_SERVERS_H_
