// Where the OAuth tokens are kept: in the desktop's secret store when one
// answers, else in oauth-tokens.dat in the settings folder, readable by its
// owner only (0600) and replaced whole or not at all, one line per server
// and account. Never Settings.ini, never any output.
//
// A line: key TAB refresh token TAB access token TAB expires at (seconds
// since 1970). A key is "mailbox" or "smtp", a blank and the user name.
// In the secret store, the same line without its key is the secret of an
// item found by the settings folder and the key.
#ifndef REPLYVANE_AUTH_TOKEN_STORE_H_
#define REPLYVANE_AUTH_TOKEN_STORE_H_

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "auth/secret_service.h"
#include "core/file_lock.h"

namespace replyvane::auth {

inline constexpr char kTokenFileName[] = "oauth-tokens.dat";
// Held while a sign-in is refreshed, by one process at a time.
inline constexpr char kTokenLockName[] = ".replyvane-oauth.lock";

struct StoredTokens {
  std::string refresh_token;
  std::string access_token;
  int64_t expires_at = 0;
};

class TokenStore {
 public:
  // `folder` ends in "/"; empty: kept in memory only. `secrets`: the
  // secret store tried before the file; null: the file alone.
  explicit TokenStore(std::string folder,
                      const SecretService* secrets = SecretService::Desktop());

  static std::string Key(bool smtp, const std::string& user);

  // Held while a sign-in is refreshed or replaced, so that one process at a
  // time does it; tried for up to `wait` (a holder that takes longer is not
  // waited for further). Null for the store in memory.
  std::unique_ptr<core::FileLock> LockForChange(
      std::chrono::milliseconds wait) const;

  // Both places asked: the one whose access token runs out later wins.
  // Raises core::StreamError when the file exists but cannot be read and
  // the secret store has none.
  std::optional<StoredTokens> Load(const std::string& key) const;
  // Raise core::StreamError when the file cannot be written (the old one
  // stays).
  void Save(const std::string& key, const StoredTokens& tokens);
  // Raises core::StreamError when either place keeps it still.
  void Forget(const std::string& key);

  // Why the secret store could not be used at the last call; empty when it
  // could, or when there is none.
  const std::string& SecretStoreProblem() const { return problem_; }

 private:
  std::map<std::string, StoredTokens> ReadAll() const;
  void WriteAll(const std::map<std::string, StoredTokens>& all);

  void ForgetInFile(const std::string& key);

  std::string folder_;
  std::string path_;
  const SecretService* secrets_;
  mutable std::string problem_;
  std::map<std::string, StoredTokens> memory_;
};

}  // namespace replyvane::auth

#endif  // REPLYVANE_AUTH_TOKEN_STORE_H_
