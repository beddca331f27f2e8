// Byte-string helpers shared by every layer: cutting, trimming and the
// whole-text integer conversion. Texts are 8-bit bytes; positions are 0-based.
#ifndef REPLYVANE_CORE_TEXT_H_
#define REPLYVANE_CORE_TEXT_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace replyvane::core {

// Returns the text before the first occurrence of `delimiter`. With `remove`,
// `text` is left holding what follows the delimiter. When the delimiter does
// not occur the whole text is returned and (with `remove`) `text` becomes
// empty. The case-insensitive form compares both sides upper-cased.
std::string TakeUntil(std::string& text, std::string_view delimiter,
                      bool remove = true, bool case_sensitive = true);

// Removes all bytes of value 32 or below at both ends / one end.
std::string Trim(std::string_view text);
std::string TrimLeft(std::string_view text);
std::string TrimRight(std::string_view text);

// ASCII case mapping; bytes above 127 are left alone.
std::string UpperCase(std::string_view text);
std::string LowerCase(std::string_view text);
bool SameText(std::string_view a, std::string_view b);

// Whole-text integer conversion: leading blanks, one optional sign, then
// decimal digits, or hexadecimal digits after "$", "x", "X" or "0x". Nothing
// else may follow. Hexadecimal values may use all 32 (or 64) bits and wrap
// into the negative range; decimal ones must fit. nullopt when the text does
// not convert as a whole.
std::optional<int32_t> ParseInt32(std::string_view text);
std::optional<int64_t> ParseInt64(std::string_view text);

// The defaulting and the raising form ("'%s' is not a valid integer value").
int32_t StrToIntDef(std::string_view text, int32_t default_value);
int32_t StrToInt(std::string_view text);
int64_t StrToInt64Def(std::string_view text, int64_t default_value);
int64_t StrToInt64(std::string_view text);

// The lines of `text`, split at every CR LF, lone CR or lone LF; a line end
// at the very end starts no further line, so "" gives no line at all.
std::vector<std::string> SplitLines(std::string_view text);
// Cuts `text` to at most `limit` bytes, never in the middle of a UTF-8
// character; true when it cut.
bool CutAtCharacter(std::string& text, size_t limit);
// The words of `text` between blanks; runs of blanks part no empty words.
std::vector<std::string> SplitWords(std::string_view text);

// `text` with every CR, LF and NUL turned into a blank, so that text taken
// from a received message can never end or break a line it is put into.
std::string BlankLineBreaks(std::string_view text);

// printf-style formatting into a std::string.
std::string Format(const char* format, ...)
    __attribute__((format(printf, 1, 2)));

}  // namespace replyvane::core

#endif  // REPLYVANE_CORE_TEXT_H_
