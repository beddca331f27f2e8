// RFC 2047 encoded words for header text: encoding of non-ASCII words as
// "=?charset?B?...?=" or "=?charset?Q?...?=" runs folded at 75 columns,
// decoding of such words back into the system codeset, and the header form
// of address items. Encoding never fails. Decoding leaves malformed words
// and words of charsets it cannot convert as they are; a Q word with "="
// before two non-hexadecimal characters raises core::ConvertError.
#ifndef REPLYVANE_MESSAGE_HEADER_WORDS_H_
#define REPLYVANE_MESSAGE_HEADER_WORDS_H_

#include <string>
#include <string_view>

#include "message/email_address.h"
#include "message/email_address_list.h"

namespace replyvane::message {

// How header text is transferred: 7-bit, 8-bit, or converted to ISO-2022-JP
// (from Shift-JIS) before encoding.
enum class Transfer { bit7, bit8, iso2022jp };

// The characters that must be encoded in a display name (RFC 822 specials).
inline constexpr std::string_view kAddressNameSpecials = "\"(),.:;<>@[\\]";

// Returns `text` with every run of words that need encoding (words with
// control or 8-bit bytes, or bytes of `specials`) written as encoded words
// of `charset`. `encoding` is 'Q', 'B' or '8'; '8' returns the text
// unencoded and any other letter means 'B'. Long runs continue on new lines
// (CR LF TAB) so that no line of a run exceeds 75 characters. With
// Transfer::iso2022jp the text is first converted by ShiftJisToJis.
std::string EncodeHeaderWords(std::string_view text, std::string_view specials,
                              char encoding, Transfer transfer,
                              std::string_view charset);

// Returns `text` with its ISO-*, WINDOWS-* (and, under a UTF-8 system
// codeset, UTF-8) encoded words decoded into the system codeset, and every
// CR, LF and NUL byte (decoded or not) turned into a blank. Whitespace between
// words stays. Words that are malformed or whose charset does not convert stay
// unchanged. Raises core::ConvertError ("'$xy' is not a valid integer value")
// for "=xy" with non-hexadecimal x or y in a Q word.
std::string DecodeHeaderWords(std::string_view text);

// DecodeHeaderWords for received headers, which never fails: a text whose
// words do not decode stays as received, with CR, LF and NUL made blanks.
std::string DecodeReceivedHeaderWords(std::string_view text);

// The header form of one address: the bare address when there is no name,
// else the name (quoted, or encoded when it has bytes outside 0x20..0x7E
// and `encoding` is not '8'), a blank and the address in angle brackets.
// CR, LF and NUL in the name or address are written as blanks.
std::string EncodeAddressForHeader(const EMailAddressItem& item, char encoding,
                                   Transfer transfer, std::string_view charset);

// Every item's EncodeAddressForHeader joined with ", "; empty for an empty
// list.
std::string EncodeAddressListForHeader(const EMailAddressList& list,
                                       char encoding, Transfer transfer,
                                       std::string_view charset);

}  // namespace replyvane::message

#endif  // REPLYVANE_MESSAGE_HEADER_WORDS_H_
