// A session bus of the test's own, with GNOME Keyring's secret store on it
// when asked for: the bus offers no activation, so nothing but what the
// test starts answers on it, and the keyring lives in the test's directory
// (its login keyring created unlocked). Both stop with the object.
#ifndef REPLYVANE_TESTS_SUPPORT_SECRET_STORE_SESSION_H_
#define REPLYVANE_TESTS_SUPPORT_SECRET_STORE_SESSION_H_

#include <gtest/gtest.h>

#include <string>

#include "tests/support/child_process.h"
#include "tests/support/temp_dir.h"

namespace replyvane::testing {

class SecretStoreSession {
 public:
  // Why it cannot run here; empty when it can.
  static std::string MissingReason();

  // The bus, bounded by 10 s.
  ::testing::AssertionResult StartBus();
  // The keyring, until it owns the secret store's name (bounded by 20 s).
  ::testing::AssertionResult StartKeyring();
  void StopKeyring() { keyring_.Stop(); }
  pid_t KeyringPid() const { return keyring_.Pid(); }

  // For DBUS_SESSION_BUS_ADDRESS.
  std::string Address() const { return "unix:path=" + dir_.File("bus"); }

 private:
  bool NameOwned() const;

  TempDir dir_{"secret-store"};
  ChildProcess bus_;
  ChildProcess keyring_;
};

}  // namespace replyvane::testing

#endif  // REPLYVANE_TESTS_SUPPORT_SECRET_STORE_SESSION_H_
