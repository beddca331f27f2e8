// Starting a real server fixture from a test: skip when the server program
// is not installed on this machine, fail when it is but does not start.
#ifndef REPLYVANE_TESTS_SUPPORT_START_OR_SKIP_H_
#define REPLYVANE_TESTS_SUPPORT_START_OR_SKIP_H_

#include <gtest/gtest.h>

#include <string>

// In a test body or a fixture's SetUp, with `server` a DovecotServer or an
// SmtpServer: GTEST_SKIP with the reason when its program is missing, else
// ASSERT that Start() succeeds (its failure text holds the server's log).
#define REPLYVANE_START_OR_SKIP(server)                                   \
  do {                                                                    \
    if (std::string missing = (server).MissingReason(); !missing.empty()) \
      GTEST_SKIP() << missing;                                            \
    ASSERT_TRUE((server).Start());                                        \
  } while (false)

#endif  // REPLYVANE_TESTS_SUPPORT_START_OR_SKIP_H_
