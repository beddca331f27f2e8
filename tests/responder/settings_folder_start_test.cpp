// The settings folder as the real program meets it: one named with
// --settings that is not there is reported at once (by --check and by the
// window), and a window whose settings cannot be saved still ends on
// SIGTERM, saying on standard error that they are lost.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "tests/responder/program_run.h"
#include "tests/support/child_process.h"

namespace replyvane::testing {
namespace {

TEST(SettingsFolderStartTest, AMissingFolderIsReportedAtTheStart) {
  if (std::string(kProgram).empty()) GTEST_SKIP() << "no program built";
  TempDir dir("start");
  const std::string missing = dir.File("nowhere");
  const RunResult check = RunProgram(dir, "--check --settings " + missing);
  EXPECT_EQ(check.status, 2);
  EXPECT_EQ(check.err,
            "replyvane: The settings folder " + missing + " does not exist\n");
  // The window says so in a box (left open here, so the run is cut short)
  // and on standard error before any window opens.
  const RunResult window =
      RunProgram(dir, "--settings " + missing, 3, "QT_QPA_PLATFORM=offscreen");
  EXPECT_NE(window.err.find("replyvane: The settings folder " + missing +
                            " does not exist\n"),
            std::string::npos)
      << window.err;
  EXPECT_FALSE(std::filesystem::exists(missing));

  // A folder without settings says how to make them.
  const RunResult empty = RunProgram(dir, "--check --settings " + dir.Path());
  EXPECT_EQ(empty.status, 2);
  EXPECT_NE(empty.err.find("start Replyvane once with this settings folder "
                           "and close its window to save them there, or copy "
                           "Settings.ini, response.dat and attach.dat into " +
                           dir.Path() + "/"),
            std::string::npos)
      << empty.err;
}

TEST(SettingsFolderStartTest, AWindowThatCannotSaveStillEndsOnSigterm) {
  if (std::string(kProgram).empty()) GTEST_SKIP() << "no program built";
  TempDir dir("start");
  // A folder where the settings file should be: no save can replace it.
  ASSERT_EQ(::mkdir(dir.File("Settings.ini").c_str(), 0700), 0);
  ChildProcess window;
  ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  window.Start({kProgram, "--settings", dir.Path()}, dir.File("window.log"));
  ::unsetenv("QT_QPA_PLATFORM");
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  ASSERT_TRUE(window.Running()) << ReadFile(dir.File("window.log"));
  ::kill(window.Pid(), SIGTERM);
  ASSERT_TRUE(window.Wait(std::chrono::milliseconds(10000)))
      << ReadFile(dir.File("window.log"));
  EXPECT_TRUE(WIFEXITED(window.ExitStatus()));
  EXPECT_NE(ReadFile(dir.File("window.log"))
                .find("replyvane: the settings could not be saved and are "
                      "lost: "),
            std::string::npos)
      << ReadFile(dir.File("window.log"));
}

}  // namespace
}  // namespace replyvane::testing
