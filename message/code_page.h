// The system code page: the codeset of the locale (nl_langinfo(CODESET)),
// UTF-8 on current systems, in which texts of the layers are held. Tests
// and the application may set it explicitly. Also the conversion of text
// between charsets (iconv), which reports failure instead of raising.
#ifndef REPLYVANE_MESSAGE_CODE_PAGE_H_
#define REPLYVANE_MESSAGE_CODE_PAGE_H_

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace replyvane::message {

// The codeset name set by SetSystemCodeset, else the locale's codeset;
// "UTF-8" where the locale names ASCII (the C locale) or none. This is the
// one place that says which charset the settings' texts are in.
std::string SystemCodeset();
// Overrides the codeset for the whole process; an empty name goes back to
// the locale's. Not thread-safe: set it before texts are coded.
void SetSystemCodeset(std::string codeset);

// True when two charset names are the same ignoring case, "-" and "_".
bool SameCharset(std::string_view a, std::string_view b);

// True when `codeset` names UTF-8 (any spelling: "UTF-8", "utf8").
bool IsUtf8Codeset(std::string_view codeset);
// True when `codeset` names Shift-JIS or one of its Windows variants.
bool IsShiftJisCodeset(std::string_view codeset);

// True when `byte` opens a two-byte character in the system codeset; only
// legacy double-byte codesets (Shift-JIS, GBK, GB18030, Big5, EUC-KR,
// EUC-CN/GB2312) have such bytes, UTF-8 and single-byte codesets none.
bool IsLeadByte(unsigned char byte);
// The same test for all 256 byte values at once, for loops over text.
std::array<bool, 256> LeadBytes();

// `text` converted from charset `from` to charset `to`; nullopt when either
// name is unknown or not a plain charset name, or when the text does not
// convert completely (invalid or unrepresentable bytes).
std::optional<std::string> ConvertCharset(std::string_view text,
                                          std::string_view from,
                                          std::string_view to);

}  // namespace replyvane::message

#endif  // REPLYVANE_MESSAGE_CODE_PAGE_H_
