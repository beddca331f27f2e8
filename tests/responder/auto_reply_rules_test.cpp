// Which received messages an automatic responder leaves unanswered, and
// what its responses carry (RFC 3834, RFC 5230).
#include "responder/auto_reply_rules.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace replyvane::responder {
namespace {

message::HeaderList Headers(const std::vector<std::string>& lines) {
  message::HeaderList headers;
  for (const std::string& line : lines) headers.Add(line);
  return headers;
}

TEST(AutoReplyRulesTest, WhoIsNotAnswered) {
  struct Row {
    std::vector<std::string> headers;
    std::string sender;
    std::string reason;  // with own address me@example.com
  };
  const Row rows[] = {
      {{"Subject: hi"}, "ann@example.com", ""},
      {{"Auto-Submitted: auto-replied"},
       "ann@example.com",
       "automatic message"},
      {{"auto-submitted:   Auto-Generated; type=vacation"},
       "a@x",
       "automatic message"},
      {{"Auto-Submitted: no"}, "ann@example.com", ""},
      {{"Auto-Submitted: No (a person wrote this)"}, "a@x", ""},
      {{"Precedence: bulk"}, "a@x", "mailing list"},
      {{"PRECEDENCE: List"}, "a@x", "mailing list"},
      {{"Precedence: junk"}, "a@x", "automatic message"},
      {{"Precedence: first-class"}, "a@x", ""},
      {{"List-Id: <news.example.com>"}, "a@x", "mailing list"},
      {{"list-unsubscribe: <mailto:u@x>"}, "a@x", "mailing list"},
      {{"List-Post: NO"}, "a@x", "mailing list"},
      {{"List-Help: <mailto:h@x>"}, "a@x", ""},
      {{"Return-Path: <>"}, "a@x", "automatic message"},
      {{"Return-Path: <a@x>"}, "a@x", ""},
      {{}, "MAILER-DAEMON@mx.example.com", "automatic message"},
      {{}, "Postmaster@x", "automatic message"},
      {{}, "listserv@x", "automatic message"},
      {{}, "MajorDomo@x", "automatic message"},
      {{}, "noreply@x", "automatic message"},
      {{}, "No-Reply@x", "automatic message"},
      {{}, "do-not-reply@x", "automatic message"},
      {{}, "owner-list-REQUEST@x", "automatic message"},
      {{}, "request@x", ""},
      {{}, "norepl@x", ""},
      {{}, "Me@Example.com", "our own address"},
      {{"X-Loop: me@example.com"}, "a@x", "our own address"},
      {{"X-Loop: Robot <ME@example.COM>"}, "a@x", "our own address"},
      {{"X-Loop: other@example.com"}, "a@x", ""},
      // Folded values are read whole.
      {{"Auto-Submitted:", " auto-replied"}, "a@x", "automatic message"},
  };
  for (const Row& row : rows) {
    const std::string name =
        row.headers.empty() ? row.sender : row.headers.front();
    const MessageKind kind = ClassifyMessage(Headers(row.headers), row.sender);
    EXPECT_EQ(NotAnsweredReason(kind, row.sender, "me@example.com"), row.reason)
        << name;
  }
}

TEST(AutoReplyRulesTest, ResponsesNameWhatTheyAnswer) {
  MessageKind none = ClassifyMessage(Headers({"Subject: x"}), "a@x");
  EXPECT_EQ(ResponseHeaders(none),
            std::vector<std::string>{"Auto-Submitted: auto-replied"});
  MessageKind first = ClassifyMessage(Headers({"Message-ID: <1@x>"}), "a@x");
  EXPECT_EQ(
      ResponseHeaders(first),
      (std::vector<std::string>{"Auto-Submitted: auto-replied",
                                "In-Reply-To: <1@x>", "References: <1@x>"}));
  MessageKind thread = ClassifyMessage(
      Headers({"References: <0@x>", "  <00@x>", "Message-Id: <2@x>"}), "a@x");
  EXPECT_EQ(ResponseHeaders(thread).back(), "References: <0@x> <00@x> <2@x>");
  // A long thread keeps its newest ids and stays inside a line.
  std::string many;
  for (int i = 0; i < 200; ++i) many += "<" + std::to_string(i) + "@x> ";
  MessageKind longer = ClassifyMessage(
      Headers({"References: " + many, "Message-ID: <new@x>"}), "a@x");
  const std::string references = ResponseHeaders(longer).back();
  EXPECT_LE(references.size(), 998u);
  EXPECT_TRUE(references.ends_with("<199@x> <new@x>"));
  EXPECT_TRUE(references.starts_with("References: <"));
}

}  // namespace
}  // namespace replyvane::responder
