// The OAuth tokens in the desktop's secret store (GNOME Keyring on a
// session bus of the test's own): with no store answering they go to the
// private file; once one answers they are kept there instead and leave the
// file; `replyvane --check` reads them there and keeps the refreshed,
// rotated token there too; a newer sign-in left in the file wins; a
// damaged secret is not used; signing out forgets them; a store that does
// not answer is given up within its time limit; a store that goes away
// sends them back to the file.
//
// A program of its own: the bus address is set before libsecret is first
// used, which then holds on to that bus.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>

#include <chrono>
#include <string>

#include "auth/secret_service.h"
#include "auth/token_store.h"
#include "tests/responder/program_run.h"
#include "tests/support/mail_scripts.h"
#include "tests/support/oauth_server.h"
#include "tests/support/scripted_server.h"
#include "tests/support/secret_store_session.h"
#include "tests/support/socket_util.h"
#include "tests/support/test_certificates.h"

namespace replyvane::testing {
namespace {

using auth::SecretService;
using auth::StoredTokens;
using auth::TokenStore;

TEST(SecretStoreTest, TokensLiveInTheSecretStoreWhenOneAnswers) {
  const std::string missing = SecretStoreSession::MissingReason();
  if (!missing.empty()) GTEST_SKIP() << missing;
  if (std::string(kProgram).empty()) GTEST_SKIP() << "no program built";
  SecretStoreSession session;
  ASSERT_TRUE(session.StartBus());
  ::setenv("DBUS_SESSION_BUS_ADDRESS", session.Address().c_str(), 1);
  const SecretService* secrets = SecretService::Desktop();
  ASSERT_NE(secrets, nullptr) << "libsecret is not installed";

  TempDir dir("secret-store-tokens");
  const std::string folder = dir.Path() + "/";
  const std::string file = dir.File("oauth-tokens.dat");
  const std::string key = TokenStore::Key(false, "u");
  {
    // Nothing owns the secret store's name yet: the file it is, and that
    // is no problem.
    TokenStore store(folder);
    store.Save(key, {"r0", "a0", 5});
    EXPECT_EQ(store.SecretStoreProblem(), "");
    EXPECT_EQ(ReadFile(file), "mailbox u\tr0\ta0\t5\n");
    ASSERT_TRUE(store.Load(key).has_value());
    EXPECT_EQ(store.Load(key)->refresh_token, "r0");
  }

  ASSERT_TRUE(session.StartKeyring());
  {
    TokenStore store(folder);
    EXPECT_EQ(store.Load(key)->refresh_token, "r0");  // the file's still
    store.Save(key, {"r1", "a1", 100});
    EXPECT_EQ(store.SecretStoreProblem(), "");
    EXPECT_EQ(ReadFile(file), "");
    std::string problem;
    EXPECT_EQ(secrets->Lookup(folder, key, problem), "r1\ta1\t100");
    const std::optional<StoredTokens> loaded = TokenStore(folder).Load(key);
    ASSERT_TRUE(loaded.has_value());
    EXPECT_EQ(loaded->access_token, "a1");
    EXPECT_EQ(loaded->expires_at, 100);
    // Another settings folder's sign-in is another item.
    EXPECT_FALSE(TokenStore(dir.File("other/")).Load(key).has_value());
  }

  // The check finds the sign-in there, refreshes the expired access token
  // and keeps the rotated refresh token there as well.
  TestCertificates certificates;
  TrustScope trust(certificates.CaFile());
  OAuthServer oauth(certificates);
  ASSERT_TRUE(oauth.Start());
  {
    ScriptedServer pop(Pop3TokenCheck("dXNlcj11AWF1dGg9QmVhcmVyIGEyAQE="));
    CheckSettings settings = ScriptedCheckSettings(pop.Port(), ClosedPort());
    settings.extra =
        "[OAuth Mailbox]\r\nProvider=Other\r\nClientId=ok\r\n"
        "TokenEndpoint=" +
        oauth.Url("/token") + "\r\n";
    WriteSettings(dir.Path(), settings);
    const RunResult run = RunProgram(dir, "--check --settings " + dir.Path());
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(pop.Played()) << pop.Report();
  }
  std::optional<StoredTokens> loaded = TokenStore(folder).Load(key);
  ASSERT_TRUE(loaded.has_value());
  EXPECT_EQ(loaded->refresh_token, "r2");
  EXPECT_EQ(loaded->access_token, "a2");
  EXPECT_EQ(ReadFile(file).find("r2"), std::string::npos);

  // A later sign-in made where the store could not be reached is in the
  // file: the newer of the two is used, an older one in the file is not.
  WriteFile(file, "mailbox u\tr9\ta9\t99999999999\n");
  EXPECT_EQ(TokenStore(folder).Load(key)->refresh_token, "r9");
  WriteFile(file, "mailbox u\tr0\ta0\t5\n");
  EXPECT_EQ(TokenStore(folder).Load(key)->refresh_token, "r2");
  WriteFile(file, "");

  {
    // A secret that is not three fields is not used.
    std::string problem;
    ASSERT_TRUE(secrets->Store(folder, key, "damaged", "r3 a3", problem))
        << problem;
    EXPECT_FALSE(TokenStore(folder).Load(key).has_value());

    TokenStore store(folder);
    store.Save(key, {"r4", "a4", 7});
    store.Forget(key);
    EXPECT_FALSE(store.Load(key).has_value());
    EXPECT_EQ(secrets->Lookup(folder, key, problem), std::nullopt);
  }

  {
    // A store that has stopped answering (as one waiting on an unlock
    // prompt nobody sees) holds the check up for the time limit only.
    TokenStore store(folder);
    ::kill(session.KeyringPid(), SIGSTOP);
    const auto asked = std::chrono::steady_clock::now();
    const std::optional<StoredTokens> none = store.Load(key);
    const auto waited = std::chrono::steady_clock::now() - asked;
    ::kill(session.KeyringPid(), SIGCONT);
    EXPECT_FALSE(none.has_value());
    EXPECT_EQ(store.SecretStoreProblem(),
              "the desktop's secret store: no answer within 20 seconds (is "
              "it locked?)");
    EXPECT_GE(waited, auth::kSecretServiceLimit);
    EXPECT_LT(waited, auth::kSecretServiceLimit + std::chrono::seconds(4));
  }

  // The store went away: back to the file.
  session.StopKeyring();
  TokenStore store(folder);
  store.Save(key, {"r5", "a5", 9});
  EXPECT_EQ(ReadFile(file), "mailbox u\tr5\ta5\t9\n");
  EXPECT_EQ(store.Load(key)->refresh_token, "r5");
}

}  // namespace
}  // namespace replyvane::testing
