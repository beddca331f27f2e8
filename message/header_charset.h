// The charset, transfer kind and encoding letter for header text written by
// this system, chosen from the user's locale. Never fails: an unknown
// locale gives ISO-8859-1 with Q words, a UTF-8 codeset gives UTF-8.
#ifndef REPLYVANE_MESSAGE_HEADER_CHARSET_H_
#define REPLYVANE_MESSAGE_HEADER_CHARSET_H_

#include <string>
#include <string_view>

#include "message/header_words.h"

namespace replyvane::message {

struct HeaderCharset {
  Transfer transfer = Transfer::bit8;
  char encoding = 'B';  // 'B', 'Q' or '8'
  std::string charset;

  bool operator==(const HeaderCharset&) const = default;
};

// The choice for a locale name such as "ja_JP.SJIS" or "zh_CN" (language,
// optional "_" territory, the rest ignored) and a codeset: under UTF-8 the
// charset "UTF-8" with bit8 and the language's letter; otherwise GB2312
// (Chinese of China), Big5 (other Chinese), ISO-2022-JP (Japanese),
// EUC-KR (Korean) with 'B', else ISO-8859-1 with 'Q'.
HeaderCharset DefaultHeaderCharsetFor(std::string_view locale_name,
                                      std::string_view codeset);

// The choice for the current locale (LC_CTYPE) and SystemCodeset().
HeaderCharset DefaultHeaderCharset();

}  // namespace replyvane::message

#endif  // REPLYVANE_MESSAGE_HEADER_CHARSET_H_
