// Where the OAuth tokens are kept: oauth-tokens.dat in the settings
// folder, readable by its owner only (0600) and replaced whole or not at
// all, one line per server and account. Never Settings.ini, never any
// output.
//
// A line: key TAB refresh token TAB access token TAB expires at (seconds
// since 1970). A key is "mailbox" or "smtp", a blank and the user name.
#ifndef REPLYVANE_RESPONDER_TOKEN_STORE_H_
#define REPLYVANE_RESPONDER_TOKEN_STORE_H_

#include <cstdint>
#include <map>
#include <optional>
#include <string>

namespace replyvane::responder {

inline constexpr char kTokenFileName[] = "oauth-tokens.dat";

struct StoredTokens {
  std::string refresh_token;
  std::string access_token;
  int64_t expires_at = 0;
};

class TokenStore {
 public:
  // `folder` ends in "/"; empty: kept in memory only.
  explicit TokenStore(std::string folder);

  static std::string Key(bool smtp, const std::string& user);

  // Raises core::StreamError when the file exists but cannot be read.
  std::optional<StoredTokens> Load(const std::string& key) const;
  // Raise core::StreamError when the file cannot be written (the old one
  // stays).
  void Save(const std::string& key, const StoredTokens& tokens);
  void Forget(const std::string& key);

 private:
  std::map<std::string, StoredTokens> ReadAll() const;
  void WriteAll(const std::map<std::string, StoredTokens>& all);

  std::string path_;
  std::map<std::string, StoredTokens> memory_;
};

}  // namespace replyvane::responder

#endif  // REPLYVANE_RESPONDER_TOKEN_STORE_H_
