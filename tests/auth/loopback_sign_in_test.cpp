// The browser sign-in with PKCE and a loopback redirect, driven by a
// browser stand-in (libcurl following the sign-in page's redirect) against
// the local authorization server: the code is exchanged with its verifier
// and redirect address; a request with another state is refused and
// ignored; a declined sign-in and a wait that ends are clear refusals.
#include "auth/loopback_sign_in.h"

#include <gtest/gtest.h>
#include <sys/socket.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "tests/support/browser_stand_in.h"
#include "tests/support/oauth_server.h"
#include "tests/support/socket_util.h"
#include "tests/support/test_certificates.h"

namespace replyvane::auth {
namespace {

using testing::Browse;
using testing::OAuthServer;
using testing::TestCertificates;
using testing::TrustScope;

class LoopbackSignInTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(server_.Start()); }

  OAuthClient Client(const std::string& id) const {
    OAuthClient client;
    client.provider_name = "Google";
    client.token_endpoint = server_.Url("/token");
    client.client_id = id;
    client.client_secret = "desktop-secret";
    client.scopes = "https://mail.google.com/";
    return client;
  }

  TestCertificates certificates_;
  TrustScope trust_{certificates_.CaFile()};
  OAuthServer server_{certificates_};
};

TEST(PkceTest, ChallengeAndVerifier) {
  // RFC 7636, appendix B.
  EXPECT_EQ(S256Challenge("dBjftJeZ4CVP-mB92K27uhbUJU1p1r_wW1gFWFOEjXk"),
            "E9Melhoa2OwvFrEMTJguCHaoeK1t8URWbuGJSstw-cM");
  const Pkce one = MakePkce();
  const Pkce two = MakePkce();
  EXPECT_EQ(one.verifier.size(), 43u);
  EXPECT_EQ(one.verifier.find_first_not_of(
                "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"
                "0123456789-._~"),
            std::string::npos);
  EXPECT_NE(one.verifier, two.verifier);
  EXPECT_EQ(Base64Url("\xff\xfe"), "__4");
}

TEST_F(LoopbackSignInTest, TheBrowsersRedirectSignsIn) {
  LoopbackSignIn sign_in(Client("ok"), server_.Url("/authorize"));
  EXPECT_TRUE(sign_in.RedirectUri().starts_with("http://127.0.0.1:"));
  std::pair<long, std::string> forged, browsed;
  std::thread browser([&] {
    // First a page that is not the answer to this sign-in.
    forged = Browse(sign_in.RedirectUri() + "?code=stolen&state=forged", "");
    browsed = Browse(sign_in.AuthorizationUrl(), certificates_.CaFile());
  });
  const OAuthTokens tokens =
      sign_in.Wait(std::chrono::seconds(30), nullptr, 100);
  browser.join();
  EXPECT_EQ(forged.first, 400);
  EXPECT_EQ(browsed.first, 200);
  EXPECT_EQ(browsed.second,
            "Replyvane is signed in. You can close this page.\n");
  EXPECT_EQ(tokens.access_token, "a1");
  EXPECT_EQ(tokens.refresh_token, "r1");
  const std::string exchange = server_.Requests().back();
  EXPECT_NE(exchange.find("\"grant_type\": \"authorization_code\""),
            std::string::npos);
  EXPECT_NE(exchange.find("\"redirect_uri\": \"" + sign_in.RedirectUri()),
            std::string::npos);
  EXPECT_NE(exchange.find("\"client_secret\": \"desktop-secret\""),
            std::string::npos);
  EXPECT_EQ(exchange.find("stolen"), std::string::npos);
}

// A client that sends its request a byte at a time holds the browser's
// redirect up for the request time at most.
TEST_F(LoopbackSignInTest, ATricklingClientDoesNotHoldTheSignInUp) {
  LoopbackSignIn sign_in(Client("ok"), server_.Url("/authorize"));
  const int port = std::stoi(sign_in.RedirectUri().substr(17));
  std::atomic<bool> done{false};
  std::thread trickler([&] {
    testing::Fd slow = testing::ConnectLoopback(port, std::chrono::seconds(5));
    for (int i = 0; i < 40 && !done; ++i) {
      if (::send(slow.Get(), "G", 1, MSG_NOSIGNAL) != 1) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(300));
    }
  });
  std::thread browser([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    Browse(sign_in.AuthorizationUrl(), certificates_.CaFile());
  });
  const auto started = std::chrono::steady_clock::now();
  const OAuthTokens tokens =
      sign_in.Wait(std::chrono::seconds(30), nullptr, 100);
  const auto took = std::chrono::steady_clock::now() - started;
  done = true;
  browser.join();
  trickler.join();
  EXPECT_EQ(tokens.access_token, "a1");
  EXPECT_LT(took, std::chrono::seconds(8));  // not the trickle's 12 s
}

TEST_F(LoopbackSignInTest, DeclinedOrNotFinished) {
  {
    LoopbackSignIn sign_in(Client("decline"), server_.Url("/authorize"));
    std::thread browser(
        [&] { Browse(sign_in.AuthorizationUrl(), certificates_.CaFile()); });
    try {
      sign_in.Wait(std::chrono::seconds(30), nullptr, 100);
      ADD_FAILURE();
    } catch (const SignInRefused& refused) {
      EXPECT_EQ(refused.Message(),
                "Sign in again to Google: the sign-in was declined");
    }
    browser.join();
  }
  LoopbackSignIn idle(Client("ok"), server_.Url("/authorize"));
  bool asked = false;
  EXPECT_THROW(idle.Wait(
                   std::chrono::seconds(30), [&] { return asked = true; }, 100),
               SignInRefused);
  EXPECT_TRUE(asked);
  EXPECT_THROW(LoopbackSignIn(Client("ok"), "http://127.0.0.1/authorize"),
               core::Exception);
}

}  // namespace
}  // namespace replyvane::auth
