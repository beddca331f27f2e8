// The password mechanisms apart from any protocol: which one is chosen,
// what each says, and that neither answers more than it holds.
#include "mail/sasl.h"

#include <gtest/gtest.h>

#include "core/exception.h"

namespace replyvane::mail {
namespace {

TEST(SaslTest, PasswordMechanisms) {
  EXPECT_EQ(PasswordMechanism({"CRAM-MD5"}, "u", "p"), nullptr);
  EXPECT_EQ(PasswordMechanism({}, "u", "p"), nullptr);
  EXPECT_STREQ(PasswordMechanism({"plain", "login"}, "u", "p")->Name(),
               "LOGIN");

  std::unique_ptr<SaslMechanism> plain =
      PasswordMechanism({"Plain"}, "alice", "se\"cret");
  ASSERT_NE(plain, nullptr);
  EXPECT_FALSE(plain->Complete());
  EXPECT_EQ(plain->InitialResponse(), std::string("\0alice\0se\"cret", 14));
  EXPECT_TRUE(plain->Complete());
  EXPECT_THROW(plain->Respond(""), core::Exception);

  SaslLogin login("alice", "secret");
  EXPECT_EQ(login.InitialResponse(), std::nullopt);
  EXPECT_EQ(login.Respond("Username:"), "alice");
  EXPECT_FALSE(login.Complete());
  EXPECT_EQ(login.Respond("Password:"), "secret");
  EXPECT_TRUE(login.Complete());
  EXPECT_THROW(login.Respond("More:"), core::Exception);
}

}  // namespace
}  // namespace replyvane::mail
