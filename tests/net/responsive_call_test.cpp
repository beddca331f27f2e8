// A call that blocks on its own runs beside the window's thread, which goes
// on handling events; what it raises comes back; off the window's thread,
// or without an anti-freeze, it runs in place.
#include "net/responsive_call.h"

#include <gtest/gtest.h>

#include <chrono>
#include <stdexcept>
#include <thread>

#include "net/anti_freeze.h"

namespace replyvane::net {
namespace {

class CountingAntiFreeze : public AntiFreezeBase {
 public:
  void ProcessPendingMessages() override { ++processed; }
  int processed = 0;
};

TEST(ResponsiveCallTest, TheWindowGoesOnWhileTheCallBlocks) {
  std::thread::id ran_on;
  const auto call = [&] {
    ran_on = std::this_thread::get_id();
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
  };
  CallResponsively(call);  // no anti-freeze: in place
  EXPECT_EQ(ran_on, std::this_thread::get_id());
  {
    CountingAntiFreeze anti_freeze;
    anti_freeze.SetIdleTimeOut(50);
    CallResponsively(call);
    EXPECT_NE(ran_on, std::this_thread::get_id());
    EXPECT_GE(anti_freeze.processed, 8);  // 600 ms in 50 ms steps
    EXPECT_LE(anti_freeze.processed, 13);

    try {
      CallResponsively([] { throw std::runtime_error("token server down"); });
      ADD_FAILURE();
    } catch (const std::runtime_error& failure) {
      EXPECT_STREQ(failure.what(), "token server down");
    }
    // Another thread than the window's: in place, untouched.
    anti_freeze.processed = 0;
    std::thread other([&] {
      CallResponsively(call);
      EXPECT_EQ(ran_on, std::this_thread::get_id());
    });
    other.join();
    EXPECT_EQ(anti_freeze.processed, 0);
  }
}

}  // namespace
}  // namespace replyvane::net
