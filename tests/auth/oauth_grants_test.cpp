// The OAuth 2.0 grants against the local authorization server over HTTPS
// with the test CA: the device flow to its end and each way it stops, the
// refresh with and without a rotated refresh token, a revoked one, an
// endpoint that is down or not trusted, and an answer that is no JSON.
#include "auth/oauth_grants.h"

#include <gtest/gtest.h>

#include <string>

#include "auth/https_form_post.h"
#include "tests/support/oauth_server.h"
#include "tests/support/socket_util.h"
#include "tests/support/test_certificates.h"

namespace replyvane::auth {
namespace {

using testing::OAuthServer;
using testing::TestCertificates;
using testing::TrustScope;

class OAuthGrantsTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(server_.Start()); }

  OAuthClient Client(const std::string& id) const {
    OAuthClient client;
    client.provider_name = "Microsoft";
    client.device_endpoint = server_.Url("/devicecode");
    client.token_endpoint = server_.Url("/token");
    client.client_id = id;
    client.scopes =
        "https://outlook.office.com/IMAP.AccessAsUser.All "
        "offline_access";
    return client;
  }

  // Polls as a caller would, without waiting: the server does not count
  // time.
  OAuthTokens SignIn(const std::string& id, int* polls) const {
    const OAuthClient client = Client(id);
    DeviceAuthorization authorization = StartDeviceAuthorization(client, 1000);
    EXPECT_EQ(authorization.user_code, "ABCD-EFGH");
    EXPECT_EQ(authorization.verification_uri, "https://127.0.0.1/device");
    EXPECT_EQ(authorization.expires_at, 1900);
    OAuthTokens tokens;
    *polls = 0;
    while (PollDeviceToken(client, authorization, 1001, tokens) ==
           DevicePoll::kPending) {
      if (++*polls > 5) break;
    }
    last_interval_ = authorization.interval_seconds;
    return tokens;
  }

  TestCertificates certificates_;
  TrustScope trust_{certificates_.CaFile()};
  OAuthServer server_{certificates_};
  mutable int last_interval_ = 0;
};

TEST_F(OAuthGrantsTest, DeviceFlow) {
  int polls = 0;
  OAuthTokens tokens = SignIn("ok", &polls);
  EXPECT_EQ(polls, 0);
  EXPECT_EQ(tokens.access_token, "a1");
  EXPECT_EQ(tokens.refresh_token, "r1");
  EXPECT_EQ(tokens.expires_at, 1001 + 3600);

  tokens = SignIn("pending2", &polls);
  EXPECT_EQ(polls, 2);
  EXPECT_EQ(last_interval_, 1);
  EXPECT_EQ(tokens.access_token, "a1");
  tokens = SignIn("slow", &polls);
  EXPECT_EQ(polls, 1);
  EXPECT_EQ(last_interval_, 6);  // slow_down adds five seconds

  // What was sent: the client, the scopes, the grant.
  const std::vector<std::string> requests = server_.Requests();
  ASSERT_GE(requests.size(), 2u);
  EXPECT_NE(requests[0].find("\"scope\": \"https://outlook.office.com/"
                             "IMAP.AccessAsUser.All offline_access\""),
            std::string::npos)
      << requests[0];
  EXPECT_NE(requests[1].find("\"grant_type\": \"urn:ietf:params:oauth:"
                             "grant-type:device_code\", \"device_code\": "
                             "\"dev-ok\""),
            std::string::npos)
      << requests[1];

  for (const auto& [id, text] :
       {std::pair{"expired",
                  "Sign in again to Microsoft: the code expired "
                  "before it was entered"},
        {"denied", "Sign in again to Microsoft: the sign-in was declined"}}) {
    try {
      SignIn(id, &polls);
      ADD_FAILURE() << id;
    } catch (const SignInRefused& refused) {
      EXPECT_EQ(refused.Message(), text);
    }
  }
  // Past its time the code is not polled at all.
  DeviceAuthorization late = StartDeviceAuthorization(Client("ok"), 0);
  OAuthTokens none;
  EXPECT_THROW(PollDeviceToken(Client("ok"), late, 901, none), SignInRefused);
}

TEST_F(OAuthGrantsTest, Refresh) {
  const OAuthClient client = Client("ok");
  OAuthTokens tokens = RefreshAccessToken(client, "r1", 50);
  EXPECT_EQ(tokens.access_token, "a2");
  EXPECT_EQ(tokens.refresh_token, "r2");  // rotated
  EXPECT_EQ(tokens.expires_at, 3650);
  tokens = RefreshAccessToken(client, "keep", 50);
  EXPECT_EQ(tokens.access_token, "a9");
  EXPECT_EQ(tokens.refresh_token, "");  // the old one stays
  EXPECT_EQ(tokens.expires_at, 110);    // "expires_in" as a string
  try {
    RefreshAccessToken(client, "revoked", 50);
    ADD_FAILURE();
  } catch (const SignInRefused& refused) {
    // The provider's text, one plain line.
    EXPECT_EQ(refused.Message(),
              "Sign in again to Microsoft: the sign-in is no longer valid: "
              "AADSTS70008: The refresh token has expired.  Bcc: x");
  }
  const std::string requests = server_.Requests().back();
  EXPECT_NE(requests.find("\"refresh_token\": \"revoked\""), std::string::npos);

  // A server's lifetime is held to a year either way; tokens that are not
  // printable ASCII are not taken.
  EXPECT_EQ(RefreshAccessToken(client, "huge", 50).expires_at,
            50 + 366 * 24 * 60 * 60);
  EXPECT_EQ(RefreshAccessToken(client, "negative", 50).expires_at, 50);
  for (const char* hostile : {"control", "linebreak"}) {
    SCOPED_TRACE(hostile);
    try {
      RefreshAccessToken(client, hostile, 50);
      ADD_FAILURE();
    } catch (const core::Exception& failure) {
      EXPECT_EQ(failure.Message(),
                "The sign-in server of Microsoft gave no bearer access token");
    }
  }

  try {
    RefreshAccessToken(Client("garbage"), "r1", 50);
    ADD_FAILURE();
  } catch (const SignInRefused&) {
    ADD_FAILURE() << "no JSON is no refusal";
  } catch (const core::Exception& failure) {
    EXPECT_EQ(failure.Message(),
              "The sign-in server of Microsoft answered with something that "
              "is not OAuth (HTTP status 200)");
  }
}

TEST_F(OAuthGrantsTest, EndpointsThatCannotBeUsed) {
  OAuthClient down = Client("ok");
  down.token_endpoint =
      "https://127.0.0.1:" + std::to_string(testing::ClosedPort()) + "/token";
  try {
    RefreshAccessToken(down, "r1", 0);
    ADD_FAILURE();
  } catch (const EndpointUnreachable& failure) {
    EXPECT_TRUE(failure.Message().starts_with("Cannot reach " +
                                              down.token_endpoint + ": "))
        << failure.Message();
  }
  OAuthClient plain = Client("ok");
  plain.token_endpoint = "http://127.0.0.1:1/token";
  EXPECT_THROW(RefreshAccessToken(plain, "r1", 0), EndpointUnreachable);

  // A server the trusted certificates do not vouch for gets nothing.
  const size_t before = server_.Requests().size();
  {
    TestCertificates others;
    TrustScope other_trust(others.CaFile());
    EXPECT_THROW(RefreshAccessToken(Client("ok"), "r1", 0),
                 EndpointUnreachable);
  }
  EXPECT_EQ(server_.Requests().size(), before);
}

}  // namespace
}  // namespace replyvane::auth
