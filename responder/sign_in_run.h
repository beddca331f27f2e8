// `replyvane --sign-in`: the device sign-in on a terminal for each server
// whose settings choose OAuth 2.0: the page to open and the code to enter
// are printed, the token endpoint is asked at the interval the provider
// gives until the sign-in is done, declined or expired, and the tokens go
// to the token store (never to the output).
#ifndef REPLYVANE_RESPONDER_SIGN_IN_RUN_H_
#define REPLYVANE_RESPONDER_SIGN_IN_RUN_H_

#include <ostream>
#include <string>

namespace replyvane::responder {

// Exit status: 0 when every sign-in was done, 1 when one failed, 2 when
// the settings cannot be read or choose no OAuth sign-in.
int RunSignIn(const std::string& folder, std::ostream& out, std::ostream& err);

}  // namespace replyvane::responder

#endif  // REPLYVANE_RESPONDER_SIGN_IN_RUN_H_
