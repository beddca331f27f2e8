// The APOP log-in digest: the timestamp a POP3 greeting offers and the MD5
// of that timestamp followed by the password. Pure functions; they raise
// nothing (a greeting without a timestamp gives the empty text).
#ifndef REPLYVANE_MAIL_APOP_H_
#define REPLYVANE_MAIL_APOP_H_

#include <string>
#include <string_view>

namespace replyvane::mail {

// Returns the first "<...>" of the greeting text, both angle brackets kept;
// the empty text when there is no "<" or no ">" after it.
std::string ApopTimestamp(std::string_view greeting);

// Returns the MD5 digest of `timestamp` immediately followed by `password`,
// as 32 lower-case hexadecimal digits.
std::string ApopDigest(std::string_view timestamp, std::string_view password);

}  // namespace replyvane::mail

#endif  // REPLYVANE_MAIL_APOP_H_
