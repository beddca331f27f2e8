// How long the job waits for a server that has gone silent: the read
// timeout of every POP3 and SMTP connection, kept in Settings.ini as
// [Connection] ReadTimeout (seconds) and written only by hand; a missing,
// unreadable or out-of-range value means the default. 60 s is what mail
// programs usually wait; a server that says nothing for that long ends the
// check with a failure naming it and what was awaited.
#ifndef REPLYVANE_RESPONDER_TIMEOUT_SETTINGS_H_
#define REPLYVANE_RESPONDER_TIMEOUT_SETTINGS_H_

#include <cstdint>

namespace replyvane::responder {

class IniFile;

inline constexpr char kConnectionSection[] = "Connection";
inline constexpr char kReadTimeoutKey[] = "ReadTimeout";
inline constexpr int32_t kDefaultReadTimeoutSeconds = 60;
inline constexpr int32_t kMaxReadTimeoutSeconds = 3600;

// The read timeout the file sets, in seconds (1 to kMaxReadTimeoutSeconds).
int32_t ReadTimeoutSeconds(IniFile& ini);

}  // namespace replyvane::responder

#endif  // REPLYVANE_RESPONDER_TIMEOUT_SETTINGS_H_
