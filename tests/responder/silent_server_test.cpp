// A server that accepts the connection and then says nothing never holds
// `replyvane --check` (and with it the check lock) for ever: the check ends
// after the read timeout with exit 1 and a text naming the server and what
// was awaited, and the next check runs.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "tests/responder/program_run.h"
#include "tests/support/scripted_server.h"
#include "tests/support/silent_servers.h"

namespace replyvane::testing {
namespace {

TEST(SilentServerTest, ACheckEndsAfterTheReadTimeout) {
  if (std::string(kProgram).empty()) GTEST_SKIP() << "no program built";
  for (SilentCase& silent : SilentCases()) {
    SCOPED_TRACE(silent.name);
    ScriptedServer pop(silent.pop);
    ScriptedServer smtp(silent.smtp);
    TempDir dir("silent");
    CheckSettings settings = ScriptedCheckSettings(pop.Port(), smtp.Port());
    settings.extra = "[Connection]\r\nReadTimeout=1\r\n";
    WriteSettings(dir.Path(), settings);

    const auto start = std::chrono::steady_clock::now();
    const RunResult run = RunProgram(dir, "--check --settings " + dir.Path());
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(run.status, 1) << run.err;
    const int port =
        std::string(silent.server) == "POP3" ? pop.Port() : smtp.Port();
    EXPECT_NE(run.err.find(SilenceText(silent, port)), std::string::npos)
        << run.err;
    EXPECT_LT(took, kSilence);
    // The lock went with the process: the next check is not turned away.
    const RunResult again = RunProgram(dir, "--check --settings " + dir.Path());
    EXPECT_EQ(again.out.find("skipped"), std::string::npos) << again.out;
  }
}

}  // namespace
}  // namespace replyvane::testing
