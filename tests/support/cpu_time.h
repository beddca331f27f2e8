// CPU time of the calling thread, for tests that bound how long some work
// may take: other processes on a busy machine do not count against it.
#ifndef REPLYVANE_TESTS_SUPPORT_CPU_TIME_H_
#define REPLYVANE_TESTS_SUPPORT_CPU_TIME_H_

#include <time.h>

namespace replyvane::testing {

// Seconds of CPU this thread has used so far; only differences matter.
inline double ThreadCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + now.tv_nsec * 1e-9;
}

}  // namespace replyvane::testing

#endif  // REPLYVANE_TESTS_SUPPORT_CPU_TIME_H_
