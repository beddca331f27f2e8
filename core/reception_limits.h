// The most the program holds of what one server sends, so that no server can
// make a reader grow without bound or read forever. Past a limit the reader
// stops with net::ReceptionLimitExceeded (net/exceptions.h); the values are
// far above what real mail needs.
#ifndef REPLYVANE_CORE_RECEPTION_LIMITS_H_
#define REPLYVANE_CORE_RECEPTION_LIMITS_H_

#include <cstddef>

namespace replyvane::core {

// Lines of one message's header block, blank lines included.
inline constexpr size_t kMaxHeaderLines = 10000;
// Bytes of one header block (also of one part's header), with the parts of
// over-long lines that are read and dropped.
inline constexpr size_t kMaxHeaderBlockBytes = 1024 * 1024;
// Lines of one multi-line reply of the command/reply engine, blank ones
// included.
inline constexpr size_t kMaxReplyLines = 10000;
// Text held in memory for one message: body lines and text parts.
// Attachments stream to files and do not count.
inline constexpr size_t kMaxMessageTextBytes = 64 * 1024 * 1024;
// The longest piece of a received line when the connection sets no line
// limit of its own.
inline constexpr int kDefaultMaxLineLength = 16384;

}  // namespace replyvane::core

#endif  // REPLYVANE_CORE_RECEPTION_LIMITS_H_
