// Folder names on the wire. IMAP4rev1 servers take them in modified UTF-7
// (RFC 3501 5.1.3): printable ASCII as itself, "&" as "&-", any other run
// of characters as "&" + base64 of UTF-16BE with "," for "/" and no
// padding + "-". A server of IMAP4rev2 alone takes UTF-8 as it is.
#ifndef REPLYVANE_MAIL_IMAP_MAILBOX_NAME_H_
#define REPLYVANE_MAIL_IMAP_MAILBOX_NAME_H_

#include <string>
#include <string_view>

namespace replyvane::mail {

// `name` (UTF-8) in modified UTF-7. Raises core::Exception for a name that
// is not UTF-8 or holds control characters.
std::string ModifiedUtf7(std::string_view name);

}  // namespace replyvane::mail

#endif  // REPLYVANE_MAIL_IMAP_MAILBOX_NAME_H_
