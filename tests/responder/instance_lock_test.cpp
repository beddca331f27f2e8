// One window program per settings folder: the lock a first program holds,
// what a second finds, that a killed holder's lock is gone with it, and the
// name the programs of one folder meet under.
#include "responder/instance_lock.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <string>

#include "tests/support/temp_dir.h"

namespace replyvane::responder {
namespace {

using replyvane::testing::ReadFile;
using replyvane::testing::TempDir;
using replyvane::testing::WriteFile;

TEST(InstanceLockTest, TheSecondFindsTheFirstUntilItEnds) {
  TempDir dir("instance");
  {
    InstanceLock first(dir.Path());
    EXPECT_TRUE(first.Held());
    // flock conflicts between two open files even in one process.
    InstanceLock second(dir.Path() + "/");
    EXPECT_FALSE(second.Held());
  }
  InstanceLock after(dir.Path());
  EXPECT_TRUE(after.Held());
  EXPECT_EQ(ReadFile(dir.File(kInstanceLockName)), "");

  // A lock file that cannot be made leaves the start free to go on.
  WriteFile(dir.File("file"), "");
  EXPECT_TRUE(InstanceLock(dir.File("file")).Held());
  EXPECT_TRUE(InstanceLock(dir.File("missing")).Held());
}

TEST(InstanceLockTest, AKilledHolderNeverBlocksAStart) {
  TempDir dir("instance-killed");
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  pid_t child = ::fork();
  if (child == 0) {
    InstanceLock held(dir.Path());
    char state = held.Held() ? 'y' : 'n';
    if (::write(ready[1], &state, 1) != 1) _exit(1);
    for (;;) ::pause();
  }
  ::close(ready[1]);
  pollfd wait_for{ready[0], POLLIN, 0};
  char state = 0;
  ASSERT_EQ(::poll(&wait_for, 1, 10000), 1);
  ASSERT_EQ(::read(ready[0], &state, 1), 1);
  ::close(ready[0]);
  EXPECT_EQ(state, 'y');
  EXPECT_FALSE(InstanceLock(dir.Path()).Held());
  ::kill(child, SIGKILL);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(InstanceLock(dir.Path()).Held());
}

TEST(InstanceLockTest, OneFolderOneChannelName) {
  TempDir dir("channel");
  TempDir other("channel-other");
  ASSERT_EQ(::mkdir(dir.File("sub").c_str(), 0700), 0);
  const std::string name = InstanceChannelName(dir.Path());
  EXPECT_EQ(name.rfind("replyvane-" + std::to_string(::getuid()) + "-", 0), 0u)
      << name;
  EXPECT_LE(name.size(), 64u);
  for (const std::string& spelling :
       {dir.Path() + "/", dir.Path() + "/sub/..", dir.Path() + "//."}) {
    EXPECT_EQ(InstanceChannelName(spelling), name) << spelling;
  }
  EXPECT_NE(InstanceChannelName(other.Path()), name);
  EXPECT_NE(InstanceChannelName(dir.File("sub")), name);
}

}  // namespace
}  // namespace replyvane::responder
