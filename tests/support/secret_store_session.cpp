#include "tests/support/secret_store_session.h"

#include <stdio.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <thread>

namespace replyvane::testing {
namespace {

constexpr char kBusDaemon[] = "/usr/bin/dbus-daemon";
constexpr char kBusSend[] = "/usr/bin/dbus-send";
constexpr char kKeyring[] = "/usr/bin/gnome-keyring-daemon";

template <typename Ready>
bool WaitUntil(Ready ready, std::chrono::milliseconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!ready()) {
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return true;
}

}  // namespace

std::string SecretStoreSession::MissingReason() {
  std::string missing;
  for (const char* program : {kBusDaemon, kBusSend, kKeyring}) {
    if (!IsExecutable(program)) {
      missing += std::string(program) + " is not installed (scripts/" +
                 "install-deps.sh installs it); ";
    }
  }
  return missing;
}

::testing::AssertionResult SecretStoreSession::StartBus() {
  WriteFile(dir_.File("bus.conf"),
            "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus "
            "Configuration 1.0//EN\" \"http://www.freedesktop.org/standards/"
            "dbus/1.0/busconfig.dtd\">\n"
            "<busconfig>\n  <type>session</type>\n  <listen>" +
                Address() +
                "</listen>\n  <auth>EXTERNAL</auth>\n"
                "  <policy context=\"default\">\n"
                "    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
                "    <allow eavesdrop=\"true\"/>\n    <allow own=\"*\"/>\n"
                "  </policy>\n</busconfig>\n");
  bus_.Start({kBusDaemon, "--config-file=" + dir_.File("bus.conf"), "--nofork",
              "--nopidfile"},
             dir_.File("bus.log"));
  const std::string socket = dir_.File("bus");
  if (!WaitUntil([&] { return std::filesystem::exists(socket); },
                 std::chrono::seconds(10))) {
    return ::testing::AssertionFailure()
           << "the bus did not start: " << ReadFile(dir_.File("bus.log"));
  }
  return ::testing::AssertionSuccess();
}

::testing::AssertionResult SecretStoreSession::StartKeyring() {
  const std::string home = dir_.File("home");
  const std::string runtime = dir_.File("run");
  std::filesystem::create_directories(home);
  std::filesystem::create_directories(runtime);
  ::chmod(runtime.c_str(), 0700);
  // --unlock reads the login keyring's password from its input, and
  // creates that keyring when there is none.
  keyring_.Start({"/usr/bin/env", "HOME=" + home, "XDG_RUNTIME_DIR=" + runtime,
                  "XDG_DATA_HOME=" + home + "/data",
                  "DBUS_SESSION_BUS_ADDRESS=" + Address(), "/bin/sh", "-c",
                  // exec: the daemon itself is the child that Stop ends.
                  std::string("exec ") + kKeyring +
                      " --foreground --unlock --components=secrets <<END\n"
                      "keyring\nEND\n"},
                 dir_.File("keyring.log"));
  if (!WaitUntil([&] { return NameOwned(); }, std::chrono::seconds(20))) {
    return ::testing::AssertionFailure() << "the keyring did not start: "
                                         << ReadFile(dir_.File("keyring.log"));
  }
  return ::testing::AssertionSuccess();
}

bool SecretStoreSession::NameOwned() const {
  const std::string command =
      std::string(kBusSend) + " --bus=" + Address() +
      " --print-reply --reply-timeout=2000 --dest=org.freedesktop.DBus "
      "/org/freedesktop/DBus org.freedesktop.DBus.NameHasOwner "
      "string:org.freedesktop.secrets 2>/dev/null";
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return false;
  std::string reply;
  char buffer[256];
  while (size_t n = ::fread(buffer, 1, sizeof buffer, pipe)) {
    reply.append(buffer, n);
  }
  ::pclose(pipe);
  return reply.find("boolean true") != std::string::npos;
}

}  // namespace replyvane::testing
