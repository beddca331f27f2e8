// Decoding of RFC 2047 encoded words into the system codeset. The text is
// searched once from left to right: every search position only moves
// forward, so hostile input (many "=?" without an end) stays linear.
#include <array>
#include <optional>
#include <vector>

#include "core/exception.h"
#include "core/text.h"
#include "message/code_page.h"
#include "message/header_words.h"
#include "message/jis.h"

namespace replyvane::message {

namespace {

// Finds `needle` in `text` for positions that never decrease between calls;
// remembers the last answer so that no stretch is searched twice.
class ForwardFinder {
 public:
  ForwardFinder(std::string_view text, std::string_view needle)
      : text_(text), needle_(needle) {}

  size_t Find(size_t from) {
    if (searched_ && from >= searched_from_ && from <= found_) return found_;
    searched_ = true;
    searched_from_ = from;
    found_ = from >= text_.size() ? std::string_view::npos
                                  : text_.find(needle_, from);
    return found_;
  }

 private:
  std::string_view text_;
  std::string_view needle_;
  bool searched_ = false;
  size_t searched_from_ = 0;
  size_t found_ = 0;  // npos: none at or after searched_from_
};

constexpr std::array<uint8_t, 256> MakeBase64Values() {
  std::array<uint8_t, 256> values{};
  constexpr std::string_view kAlphabet =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  for (size_t i = 0; i < kAlphabet.size(); ++i) {
    values[static_cast<unsigned char>(kAlphabet[i])] = static_cast<uint8_t>(i);
  }
  return values;
}

// `data` ends with the closing "?=", which takes part in the length tests.
std::string DecodeQ(std::string_view data) {
  std::string out;
  const size_t end = data.size() - 2;
  for (size_t i = 0; i < end; ++i) {
    const char c = data[i];
    if (c == '_') {
      out += ' ';
    } else if (c == '=' && data.size() - i - 1 >= 4) {
      out += static_cast<char>(
          core::StrToInt("$" + std::string(data.substr(i + 1, 2))));
      i += 2;
    } else {
      out += c;
    }
  }
  return out;
}

// `data` ends with the closing "?=", which is not data. Every group of four
// characters (the last may be shorter) yields the bytes its characters
// before any trailing "=" padding hold: 4 give 3, 3 give 2, 2 give 1.
// Other characters outside the alphabet count as zero.
std::string DecodeB(std::string_view data) {
  static constexpr std::array<uint8_t, 256> kValues = MakeBase64Values();
  data.remove_suffix(2);
  std::string out;
  out.reserve(data.size() / 4 * 3 + 2);
  for (size_t i = 0; i < data.size(); i += 4) {
    const std::string_view group = data.substr(i, 4);
    size_t significant = group.size();
    while (significant > 0 && group[significant - 1] == '=') --significant;
    uint32_t value = 0;
    for (size_t k = 0; k < 4; ++k) {
      value = (value << 6) |
              (k < group.size() ? kValues[static_cast<unsigned char>(group[k])]
                                : 0u);
    }
    for (size_t k = 0; k + 1 < significant; ++k) {
      out += static_cast<char>((value >> (16 - 8 * k)) & 0xFF);
    }
  }
  return out;
}

// `decoded` (bytes in `charset`) in the system codeset; nullopt when it
// does not convert.
std::optional<std::string> ToCodeset(std::string decoded,
                                     std::string_view charset,
                                     const std::string& codeset) {
  std::string from(charset);
  if (core::SameText(charset, "ISO-2022-JP")) {
    decoded = JisToShiftJis(decoded);
    if (IsShiftJisCodeset(codeset)) return decoded;
    from = "CP932";
  }
  if (SameCharset(from, codeset)) return decoded;
  if (IsUtf8Codeset(from) && IsUtf8Codeset(codeset)) return decoded;
  return ConvertCharset(decoded, from, codeset);
}

}  // namespace

std::string DecodeHeaderWords(std::string_view text) {
  const std::string upper = core::UpperCase(text);
  const std::string codeset = SystemCodeset();
  // Words are looked for in this order of charset families.
  std::vector<ForwardFinder> starts = {ForwardFinder(upper, "=?ISO"),
                                       ForwardFinder(upper, "=?WINDOWS")};
  if (IsUtf8Codeset(codeset)) starts.emplace_back(upper, "=?UTF-8?");
  auto next_word = [&](size_t from) {
    for (ForwardFinder& finder : starts) {
      size_t a = finder.Find(from);
      if (a != std::string_view::npos) return a;
    }
    return std::string_view::npos;
  };
  ForwardFinder charset_end(upper, "?");
  ForwardFinder letter_end(upper, "?");
  ForwardFinder word_end(upper, "?=");

  std::string out;
  size_t copied = 0;
  for (size_t a = next_word(0); a != std::string_view::npos;) {
    size_t resume = a + 1;
    const size_t q1 = charset_end.Find(a + 5);
    const size_t q2 =
        q1 == std::string_view::npos ? q1 : letter_end.Find(q1 + 1);
    const size_t e = q2 == std::string_view::npos ? q2 : word_end.Find(q2 + 1);
    if (e != std::string_view::npos) {
      const std::string_view charset = text.substr(a + 2, q1 - a - 2);
      const char letter = text[q1 + 1];
      const std::string_view data = text.substr(q2 + 1, e + 2 - (q2 + 1));
      std::string decoded =
          (letter == 'Q' || letter == 'q') ? DecodeQ(data) : DecodeB(data);
      if (auto converted = ToCodeset(std::move(decoded), charset, codeset)) {
        out += text.substr(copied, a - copied);
        out += *converted;
        copied = e + 2;
        resume = copied;  // decoded text is not decoded again
      }
    }
    a = next_word(resume);
  }
  out += text.substr(copied);
  // Decoded text goes into lines of its own (a forward's body, a reply's
  // headers): a decoded line end must not end them.
  return core::BlankLineBreaks(out);
}

std::string DecodeReceivedHeaderWords(std::string_view text) {
  try {
    return DecodeHeaderWords(text);
  } catch (const core::Exception&) {
    return core::BlankLineBreaks(text);
  }
}

}  // namespace replyvane::message
