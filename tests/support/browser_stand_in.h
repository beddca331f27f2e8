// A browser stand-in for the browser sign-in: GETs a page as a browser
// would, following redirects (to the loopback address included), trusting
// `ca_file` (empty: the system's).
#ifndef REPLYVANE_TESTS_SUPPORT_BROWSER_STAND_IN_H_
#define REPLYVANE_TESTS_SUPPORT_BROWSER_STAND_IN_H_

#include <string>
#include <utility>

namespace replyvane::testing {

// The last status (0 when no answer came within 20 s) and page.
std::pair<long, std::string> Browse(const std::string& url,
                                    const std::string& ca_file);

}  // namespace replyvane::testing

#endif  // REPLYVANE_TESTS_SUPPORT_BROWSER_STAND_IN_H_
