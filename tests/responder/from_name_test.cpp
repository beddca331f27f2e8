// The From name the user typed is the name correspondents see: "Name
// <address>", quoted when the name needs it; no name keeps the plain
// address, as before.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "message/header_list.h"
#include "message/message.h"
#include "responder/compose.h"
#include "tests/message/scoped_codeset.h"

namespace replyvane::responder {
namespace {

TEST(FromNameTest, TheTypedNameStandsBeforeTheAddress) {
  message::ScopedCodeset utf8("UTF-8");
  struct Row {
    const char* name;
    const char* from;
  } rows[] = {
      {"", "me@example.com"},
      {"Jo Smith", "\"Jo Smith\" <me@example.com>"},
      {"Smith, Jo", "\"Smith, Jo\" <me@example.com>"},
      {"J\xC3\xB6rg", "=?UTF-8?Q?J=C3=B6rg?= <me@example.com>"},
  };
  for (const Row& row : rows) {
    message::Message msg;
    ResponseText response;
    response.from_address = "me@example.com";
    response.subject = "Away";
    response.body = {"Back soon."};
    response.from_name = row.name;
    ComposeResponse(msg, response, "ann@example.com");
    EXPECT_EQ(msg.BuildHeaderBlock()->ValueOf("From"), row.from) << row.name;
    message::Message forward;
    ComposeForward(forward, msg, "ann@example.com", "fw@example.com",
                   "me@example.com", row.name);
    EXPECT_EQ(forward.BuildHeaderBlock()->ValueOf("From"), row.from)
        << row.name;
    // Reply-To stays the bare address.
    EXPECT_EQ(msg.BuildHeaderBlock()->ValueOf("Reply-To"), "me@example.com");
  }
}

}  // namespace
}  // namespace replyvane::responder
