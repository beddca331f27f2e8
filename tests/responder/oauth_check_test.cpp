// The OAuth 2.0 sign-in through the real program against the local
// authorization server: `--sign-in` prints the page and the code, waits
// out the provider's "authorization_pending" and keeps the tokens in a
// private file of their own (never in Settings.ini, never in the output);
// `--check` then logs in to the mailbox with the access token, refreshes
// an expired one (keeping the rotated refresh token), and a refresh the
// provider refuses ends the check before any server is reached; a refresh
// under way in another process is waited for and its token used.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "core/file_lock.h"
#include "tests/responder/program_run.h"
#include "tests/support/mail_scripts.h"
#include "tests/support/oauth_server.h"
#include "tests/support/scripted_server.h"
#include "tests/support/socket_util.h"
#include "tests/support/test_certificates.h"

namespace replyvane::testing {
namespace {

class OAuthCheckTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (std::string(kProgram).empty()) GTEST_SKIP() << "no program built";
    ASSERT_TRUE(server_.Start());
  }

  // Settings whose mailbox signs in at the local server as `client_id`.
  void WriteOAuthSettings(int pop_port, const std::string& client_id,
                          const std::string& smtp_oauth = "") {
    CheckSettings settings = ScriptedCheckSettings(pop_port, ClosedPort());
    settings.extra =
        "[OAuth Mailbox]\r\nProvider=Other\r\nClientId=" + client_id +
        "\r\nDeviceEndpoint=" + server_.Url("/devicecode") +
        "\r\nTokenEndpoint=" + server_.Url("/token") +
        "\r\nScopes=mail offline_access\r\n" + smtp_oauth;
    WriteSettings(dir_.Path(), settings);
  }

  // A --check whose mailbox takes the XOAUTH2 log-in `base64` only.
  void CheckLogsInWith(const std::string& base64) {
    ScriptedServer pop(Pop3TokenCheck(base64));
    WriteOAuthSettings(pop.Port(), "pending2");
    const RunResult run = RunProgram(dir_, "--check --settings " + dir_.Path());
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(pop.Played()) << pop.Report();
  }

  TestCertificates certificates_;
  TrustScope trust_{certificates_.CaFile()};
  OAuthServer server_{certificates_};
  TempDir dir_{"oauth-check"};
};

TEST_F(OAuthCheckTest, SignInThenChecksUseAndRenewTheToken) {
  WriteOAuthSettings(ClosedPort(), "pending2");
  const std::string ini = ReadFile(dir_.File("Settings.ini"));
  RunResult run = RunProgram(dir_, "--sign-in --settings " + dir_.Path(), 60);
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("To sign in to the provider for the mailbox server "
                         "(u), open https://127.0.0.1/device and enter the "
                         "code ABCD-EFGH\n"),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("Signed in to the provider for the mailbox server."),
            std::string::npos);
  // The tokens: in their own private file only.
  const std::string tokens = dir_.File("oauth-tokens.dat");
  const std::string stored = ReadFile(tokens);
  EXPECT_TRUE(stored.starts_with("mailbox u\tr1\ta1\t")) << stored;
  struct stat status;
  ASSERT_EQ(::stat(tokens.c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 0777, 0600u);
  EXPECT_EQ(ReadFile(dir_.File("Settings.ini")), ini);
  EXPECT_EQ((run.out + run.err).find("r1"), std::string::npos);

  CheckLogsInWith("dXNlcj11AWF1dGg9QmVhcmVyIGExAQE=");  // a1
  // Expired: refreshed before the log-in, the rotated token kept.
  WriteFile(tokens, "mailbox u\tr1\told\t100\n");
  CheckLogsInWith("dXNlcj11AWF1dGg9QmVhcmVyIGEyAQE=");  // a2
  EXPECT_TRUE(ReadFile(tokens).starts_with("mailbox u\tr2\ta2\t"))
      << ReadFile(tokens);
  // A damaged expiry is an expired one.
  WriteFile(tokens, "mailbox u\tr2\told\t-9223372036854775808\n");
  CheckLogsInWith("dXNlcj11AWF1dGg9QmVhcmVyIGEzAQE=");  // a3
}

// Another process refreshing the same sign-in holds the refresh lock: the
// check waits for it and logs in with what that one got, without a
// refresh of its own (a rotated refresh token used twice may be refused);
// a sign-in meanwhile is kept after that refresh.
TEST_F(OAuthCheckTest, ARefreshUnderWayElsewhereIsWaitedForAndUsed) {
  const std::string tokens = dir_.File("oauth-tokens.dat");
  WriteFile(tokens, "mailbox u\tr1\told\t100\n");
  auto elsewhere =
      std::make_unique<core::FileLock>(dir_.File(".replyvane-oauth.lock"));
  ASSERT_TRUE(elsewhere->Held());
  ScriptedServer pop(Pop3TokenCheck("dXNlcj11AWF1dGg9QmVhcmVyIGE1AQE="));  // a5
  WriteOAuthSettings(pop.Port(), "ok");
  RunResult run;
  std::thread check(
      [&] { run = RunProgram(dir_, "--check --settings " + dir_.Path()); });
  std::this_thread::sleep_for(std::chrono::seconds(1));
  // The other refresh lands, then its lock goes.
  WriteFile(tokens, "mailbox u\tr5\ta5\t99999999999\n");
  elsewhere.reset();
  check.join();
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(pop.Played()) << pop.Report();
  for (const std::string& request : server_.Requests()) {
    EXPECT_EQ(request.find("refresh_token"), std::string::npos) << request;
  }

  // A new sign-in is kept after the refresh under way, not under it.
  elsewhere =
      std::make_unique<core::FileLock>(dir_.File(".replyvane-oauth.lock"));
  std::thread sign_in([&] {
    run = RunProgram(dir_, "--sign-in --settings " + dir_.Path(), 60);
  });
  // Long enough for the sign-in to be done and waiting.
  std::this_thread::sleep_for(std::chrono::seconds(3));
  WriteFile(tokens, "mailbox u\tr6\ta6\t99999999999\n");
  elsewhere.reset();
  sign_in.join();
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(ReadFile(tokens).starts_with("mailbox u\tr1\ta1\t"))
      << ReadFile(tokens);
}

TEST_F(OAuthCheckTest, ARefusedSignInEndsTheCheckBeforeAnyServer) {
  // The mailbox's server would refuse a connection: the check must end
  // for the sign-in, before it tries.
  WriteOAuthSettings(ClosedPort(), "ok");
  RunResult run = RunProgram(dir_, "--check --settings " + dir_.Path());
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("Sign in to the provider for the mailbox server "
                         "first"),
            std::string::npos)
      << run.err;

  WriteFile(dir_.File("oauth-tokens.dat"), "mailbox u\trevoked\t\t0\n");
  run = RunProgram(dir_, "--check --settings " + dir_.Path());
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("Sign in again to the provider: the sign-in is no "
                         "longer valid: AADSTS70008: The refresh token has "
                         "expired.  Bcc: x; nothing was sent"),
            std::string::npos)
      << run.err;

  // SMTP's sign-in is checked at the start too.
  WriteOAuthSettings(ClosedPort(), "ok",
                     "[OAuth SMTP]\r\nProvider=Other\r\nClientId=ok\r\n"
                     "TokenEndpoint=" +
                         server_.Url("/token") + "\r\n");
  WriteFile(dir_.File("oauth-tokens.dat"),
            "mailbox u\tr1\ta1\t99999999999\nsmtp testuser\trevoked\t\t0\n");
  run = RunProgram(dir_, "--check --settings " + dir_.Path());
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("Sign in again to the provider"), std::string::npos)
      << run.err;
  EXPECT_EQ(run.err.find("connect"), std::string::npos) << run.err;

  // Declined at the device sign-in: exit 1 with the reason.
  WriteOAuthSettings(ClosedPort(), "denied");
  run = RunProgram(dir_, "--sign-in --settings " + dir_.Path(), 60);
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("Sign in again to the provider: the sign-in was "
                         "declined"),
            std::string::npos)
      << run.err;
}

}  // namespace
}  // namespace replyvane::testing
