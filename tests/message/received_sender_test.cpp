// Received header blocks from strangers: every field keeps what could be
// read, nothing raises, and the reply address is the best one the message
// names anywhere.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/text.h"
#include "message/message.h"
#include "message/sender_address.h"
#include "scoped_codeset.h"

namespace replyvane::message {
namespace {

// A message whose Headers are `lines`, applied as reception does.
void Receive(Message& msg, const std::vector<std::string>& lines) {
  msg.ResetMessage();
  for (const std::string& line : lines) msg.Headers().Add(line);
  msg.ApplyHeaderBlock();
}

struct SenderCase {
  std::vector<std::string> headers;
  std::string best;       // BestSenderAddress
  std::string recipient;  // ReplyRecipient
};

TEST(ReceivedSenderTest, BestAddressFromWhateverTheMessageNames) {
  ScopedCodeset utf8("UTF-8");
  const SenderCase cases[] = {
      // An ordinary From keeps its header form for the reply.
      {{"From: \"Doe, John\" <john@example.com>"},
       "john@example.com",
       "\"Doe, John\" <john@example.com>"},
      {{"From: jane@example.org"}, "jane@example.org", "jane@example.org"},
      // An "@" after the brackets: what parsed before the fault is used.
      {{"From: \"x\" <a@b.example> @c"}, "a@b.example", "x <a@b.example>"},
      {{"From: @ Outside address <real@example.net>"},
       "real@example.net",
       "real@example.net"},
      // No brackets, the address is a token among words.
      {{"From: Sales Team sales@shop.example (do not reply)"},
       "sales@shop.example",
       "Sales Team  <sales@shop.example>"},
      // Words after the address, or nested comments, are no part of it.
      {{"From: Sent on behalf of xena@example.com by the list"},
       "xena@example.com",
       "xena@example.com"},
      {{"From: sam@example.com (Sam (the (real) one) Tate)"},
       "sam@example.com",
       "sam@example.com"},
      // Comments and folding white space wherever an address allows them
      // (RFC 5322 §3.2.2) are no part of it.
      {{"From: Pete(A wonderful \\) chap) <pete(his account)@silly.test"
        "(his host)>"},
       "pete@silly.test",
       "pete@silly.test"},
      {{"From: Fay <fay @ example.com>"}, "fay@example.com", "fay@example.com"},
      {{"From: Cy <cy.(middle)jones@(dept)example.com>"},
       "cy.jones@example.com",
       "cy.jones@example.com"},
      {{"From: ben (the man) @ example.org"},
       "ben@example.org",
       "ben@example.org"},
      // An address only named in a comment is nobody's; one in quotes is
      // part of a name.
      {{"From: (write to boss@evil.example) ann@example.com"},
       "ann@example.com",
       "ann@example.com"},
      {{"From: \"(x) y\" <gus@example.com>"},
       "gus@example.com",
       "\"(x) y\" <gus@example.com>"},
      // Nothing usable in From: the other headers in order.
      {{"From: Undisclosed", "Reply-To: <r@example.com>",
        "Sender: s@example.com"},
       "r@example.com",
       "r@example.com"},
      {{"From: @@@", "Sender: Bounce <s@example.com>",
        "Return-Path: <p@example.com>"},
       "s@example.com",
       "s@example.com"},
      {{"Return-Path: <p@example.com>"}, "p@example.com", "p@example.com"},
      // Nobody to answer.
      {{"From: MAILER", "Return-Path: <>"}, "", ""},
      {{"Subject: no sender at all"}, "", ""},
      {{"From: <@>", "Reply-To: a@", "Sender: @b"}, "", ""},
      // A display name smuggling line ends and commands.
      {{"From: =?UTF-8?Q?x=0D=0A.=0D=0AMAIL_FROM:=3Ce@evil.example=3E?= "
        "<v@example.com>"},
       "v@example.com",
       "v@example.com"},
      // A decoded comma is part of the name, not a second address.
      {{"From: =?ISO-8859-1?Q?Doe=2C_J=F6rg?= <j@example.com>"},
       "j@example.com",
       "\"Doe, J\xC3\xB6rg\" <j@example.com>"},
  };
  for (const SenderCase& c : cases) {
    Message msg;
    Receive(msg, c.headers);
    const std::string row = c.headers.front();
    EXPECT_EQ(BestSenderAddress(msg), c.best) << row;
    EXPECT_EQ(ReplyRecipient(msg), c.recipient) << row;
  }
}

TEST(ReceivedSenderTest, UsableAddresses) {
  for (const char* good : {"a@b", "first.last+tag@mail.example.com",
                           "\"john doe\"@example.com", "\xC3\xA4@b.example"}) {
    EXPECT_TRUE(IsUsableAddress(good)) << good;
  }
  for (const char* bad : {"", "@", "a@", "@b", "a b@c", "a@b c", "a@.b", "a@b.",
                          "<a@b>", "a@b\r\nRCPT TO:<x@y>", "a,b@c"}) {
    EXPECT_FALSE(IsUsableAddress(bad)) << bad;
  }
}

TEST(ReceivedHeaderBlockTest, BadFieldsKeepWhatCouldBeRead) {
  ScopedCodeset utf8("UTF-8");
  Message msg;
  Receive(msg, {"From: =?UTF-8?Q?bad=ZZhex?= <a@example.com>",
                "To: one@example.com, <two@example.com> stray@example.com, "
                "three@example.com",
                "Cc: <a@b> c@d", "Reply-To: @ Outside address",
                "Subject: =?UTF-8?B?!!!notbase64?= and =?UTF-8?Q?=E2=9C?=",
                "Date: Mon, 99 Foo 99999 99:99:99 +9999",
                "Sender: <s@example.com> @x", "Missing colon line",
                "Organization: Caf\xE9 \x01\r"});
  EXPECT_EQ(msg.From().Address(), "a@example.com");
  EXPECT_EQ(msg.Recipients().AddressesText(),
            "one@example.com, two@example.com, three@example.com");
  EXPECT_EQ(msg.CCList().AddressesText(), "a@b");
  EXPECT_EQ(msg.Sender().Address(), "s@example.com");
  // No field holds a line break.
  EXPECT_NE(msg.Subject().find(" and "), std::string::npos);
  for (const std::string& text :
       {msg.Subject(), msg.From().Text(), msg.Organization()}) {
    EXPECT_EQ(text.find_first_of(std::string("\r\n\0", 3)), std::string::npos)
        << text;
  }
}

}  // namespace
}  // namespace replyvane::message
