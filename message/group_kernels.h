// The inner loops of the alphabet coders: whole groups of 3 bytes to 4
// characters and back, without bounds checks of their own. Callers size the
// buffers as each function states.
#ifndef REPLYVANE_MESSAGE_GROUP_KERNELS_H_
#define REPLYVANE_MESSAGE_GROUP_KERNELS_H_

#include <cstddef>
#include <cstdint>

#include "message/coder_3to4.h"

namespace replyvane::message {

// Writes the characters of `size` bytes (a multiple of 3) at `out`; returns
// the end. `in` must be readable 2 bytes past `size`; `pairs` holds two
// characters for every 12-bit value.
char* EncodeGroupsWithPairs(const unsigned char* in, size_t size,
                            const uint16_t* pairs, char* out);
// Lines: the characters of each `line_bytes` bytes followed by CR LF, for
// `size` bytes, a multiple of `line_bytes`. With `line_bytes` an odd
// multiple of 3 (57 for base64 lines) nothing past `size` is read.
char* EncodeLinesWithPairs(const unsigned char* in, size_t size,
                           size_t line_bytes, const uint16_t* pairs, char* out);
// The same, one character at a time from a 64-character table.
char* EncodeGroups(const unsigned char* in, size_t size, const char* table,
                   char* out);
// The last group of 1 or 2 bytes, padded with `fill`.
char* EncodeTail(const unsigned char* in, size_t size, const char* table,
                 char fill, char* out);

// Decodes `groups` groups of 4 characters at `out`, none of which has the
// fill character in its 3rd or 4th place; returns the end. `out` must be
// writable 2 bytes past 3 bytes per group.
char* DecodeGroups(const unsigned char* in, size_t groups,
                   const DecodeTable& table, char* out);
// One group that may end in fill characters: 1, 2 or 3 bytes.
char* DecodeGroupWithFill(const unsigned char* in, const DecodeTable& table,
                          unsigned char fill, char* out);

}  // namespace replyvane::message

#endif  // REPLYVANE_MESSAGE_GROUP_KERNELS_H_
