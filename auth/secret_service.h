// The desktop's secret store (the freedesktop Secret Service, as GNOME
// Keyring and KWallet offer it), reached through libsecret when that
// library is installed: it is loaded at run time, so the program runs
// without it. Every call is bounded, so that a locked store whose unlock
// prompt nobody answers cannot hold up an unattended check.
#ifndef REPLYVANE_AUTH_SECRET_SERVICE_H_
#define REPLYVANE_AUTH_SECRET_SERVICE_H_

#include <chrono>
#include <optional>
#include <string>

namespace replyvane::auth {

class SecretService {
 public:
  struct Library;  // the functions taken from libsecret

  // The one of this process; null when libsecret cannot be loaded.
  static const SecretService* Desktop();

  explicit SecretService(const Library& library) : library_(library) {}

  // The secret kept for `key` of the settings folder `folder`; nullopt when
  // there is none, or when the store cannot be asked: `problem` then says
  // why.
  std::optional<std::string> Lookup(const std::string& folder,
                                    const std::string& key,
                                    std::string& problem) const;
  // False when the store cannot keep it; `problem` says why.
  bool Store(const std::string& folder, const std::string& key,
             const std::string& label, const std::string& secret,
             std::string& problem) const;
  // False when the store holds it still; `problem` says why.
  bool Clear(const std::string& folder, const std::string& key,
             std::string& problem) const;

 private:
  const Library& library_;
};

// How long one call may wait for the store (an unlock prompt included).
inline constexpr std::chrono::seconds kSecretServiceLimit{20};

}  // namespace replyvane::auth

#endif  // REPLYVANE_AUTH_SECRET_SERVICE_H_
