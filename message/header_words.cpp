// Encoding of header text as RFC 2047 encoded words, and the header form of
// address items. Words are split at whitespace; a run of words that need
// encoding (with the whitespace between them) becomes one encoded text,
// continued on new lines before it passes 75 columns. A word never ends
// inside a character of a UTF-8 or double-byte charset.
#include "message/header_words.h"

#include <algorithm>
#include <array>

#include "core/text.h"
#include "message/code_page.h"
#include "message/jis.h"

namespace replyvane::message {

namespace {

using ByteSet = std::array<bool, 256>;

constexpr std::string_view kBase64Alphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr size_t kMaxLine = 75;
constexpr std::string_view kEnd = "?=";
constexpr std::string_view kContinue = "?=\r\n\t";

bool IsWhitespace(char c) {
  return c == '\t' || c == '\n' || c == '\r' || c == ' ';
}

bool In(const ByteSet& set, char c) {
  return set[static_cast<unsigned char>(c)];
}

// How characters of a charset are made of bytes, so that no encoded word
// ends inside one (RFC 2047 section 5).
enum class CharacterBytes { kSingle, kUtf8, kDoubleByte };

CharacterBytes CharacterBytesOf(std::string_view charset) {
  if (IsUtf8Codeset(charset)) return CharacterBytes::kUtf8;
  for (std::string_view name : {"GB2312", "GBK", "Big5", "EUC-KR"}) {
    if (core::SameText(charset, name)) return CharacterBytes::kDoubleByte;
  }
  return CharacterBytes::kSingle;
}

// The bytes of the character that starts at `text[i]`. Malformed sequences
// give shorter characters, never more bytes than are there.
size_t CharacterLength(std::string_view text, size_t i, CharacterBytes kind) {
  const unsigned char lead = static_cast<unsigned char>(text[i]);
  size_t length = 1;
  if (kind == CharacterBytes::kUtf8) {
    const size_t wanted = lead >= 0xF0   ? 4
                          : lead >= 0xE0 ? 3
                          : lead >= 0xC0 ? 2
                                         : 1;
    while (length < wanted && i + length < text.size() &&
           (static_cast<unsigned char>(text[i + length]) & 0xC0) == 0x80) {
      ++length;
    }
  } else if (kind == CharacterBytes::kDoubleByte && lead >= 0x81 &&
             lead != 0xFF && i + 1 < text.size()) {
    length = 2;
  }
  return length;
}

std::string Base64(std::string_view data) {
  std::string out;
  for (size_t i = 0; i < data.size(); i += 3) {
    const size_t n = std::min<size_t>(3, data.size() - i);
    uint32_t group = 0;
    for (size_t k = 0; k < 3; ++k) {
      group =
          (group << 8) | (k < n ? static_cast<unsigned char>(data[i + k]) : 0u);
    }
    for (size_t k = 0; k < 4; ++k) {
      out += k <= n ? kBase64Alphabet[(group >> (18 - 6 * k)) & 63] : '=';
    }
  }
  return out;
}

// Writes runs of text as encoded words onto `out`.
class RunWriter {
 public:
  RunWriter(std::string& out, char letter, std::string_view charset,
            const ByteSet& q_escape)
      : out_(out),
        letter_(letter),
        q_escape_(q_escape),
        kind_(CharacterBytesOf(charset)) {
    begin_ = "=?" + std::string(charset) + "?" + letter + "?";
  }

  void Write(std::string_view run) {
    out_ += begin_;
    line_length_ = begin_.size() + 2;
    if (letter_ == 'Q') {
      WriteQ(run);
    } else {
      WriteB(run);
    }
    out_ += kEnd;
  }

 private:
  void NextWord() {
    out_ += kContinue;
    out_ += begin_;
    line_length_ = begin_.size() + 2;
  }

  void WriteQ(std::string_view run) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    for (size_t i = 0; i < run.size();) {
      size_t n = CharacterLength(run, i, kind_);
      size_t width = 0;
      for (size_t k = i; k < i + n; ++k) {
        width += In(q_escape_, run[k]) && run[k] != ' ' ? 3 : 1;
      }
      if (line_length_ + width > kMaxLine) NextWord();
      line_length_ += width;
      for (; n > 0; --n, ++i) {
        const char ch = run[i];
        const unsigned char b = static_cast<unsigned char>(ch);
        if (ch == ' ') {
          out_ += '_';
        } else if (!In(q_escape_, ch)) {
          out_ += ch;
        } else {
          out_ += '=';
          out_ += kHex[b >> 4];
          out_ += kHex[b & 15];
        }
      }
    }
  }

  // Each word encodes whole characters on its own, so a word is cut only
  // between characters and its base64 is complete.
  void WriteB(std::string_view run) {
    size_t word_start = 0;
    for (size_t i = 0; i < run.size();) {
      const size_t n = CharacterLength(run, i, kind_);
      const size_t bytes = i + n - word_start;
      if (i > word_start && line_length_ + (bytes + 2) / 3 * 4 > kMaxLine) {
        out_ += Base64(run.substr(word_start, i - word_start));
        NextWord();
        word_start = i;
      }
      i += n;
    }
    out_ += Base64(run.substr(word_start));
  }

  std::string& out_;
  const char letter_;
  const ByteSet& q_escape_;
  const CharacterBytes kind_;
  std::string begin_;
  size_t line_length_ = 0;
};

std::string QuoteName(std::string_view name) {
  std::string quoted = "\"";
  for (char c : name) {
    if (c == '\\' || c == '"') quoted += '\\';
    quoted += c;
  }
  quoted += '"';
  return quoted;
}

}  // namespace

std::string EncodeHeaderWords(std::string_view text, std::string_view specials,
                              char encoding, Transfer transfer,
                              std::string_view charset) {
  const std::string s =
      transfer == Transfer::iso2022jp ? ShiftJisToJis(text) : std::string(text);
  if (encoding == '8') return s;
  ByteSet need_encode{};
  for (int b = 0; b < 256; ++b) need_encode[b] = b < 0x20 || b >= 0x7F;
  for (char c : specials) need_encode[static_cast<unsigned char>(c)] = true;
  ByteSet q_escape = need_encode;
  for (char c : std::string_view("=?_")) {
    q_escape[static_cast<unsigned char>(c)] = true;
  }
  // The label names the coding actually used.
  const char letter = encoding == 'Q' ? 'Q' : 'B';

  std::string out;
  RunWriter writer(out, letter, charset, q_escape);
  const std::string_view view = s;
  bool run_open = false;
  size_t run_start = 0;
  size_t from = 0;
  while (from < view.size()) {
    size_t i = from;
    while (i < view.size() && IsWhitespace(view[i])) ++i;
    size_t j = i;
    bool needs = false;
    for (; j < view.size() && !IsWhitespace(view[j]); ++j) {
      needs = needs || In(need_encode, view[j]);
    }
    if (!needs) {
      if (run_open) writer.Write(view.substr(run_start, from - run_start));
      run_open = false;
      out += view.substr(from, j - from);
    } else if (!run_open) {
      out += view.substr(from, i - from);
      run_start = i;
      run_open = true;
    }
    from = j;
  }
  if (run_open) writer.Write(view.substr(run_start));
  return out;
}

std::string EncodeAddressForHeader(const EMailAddressItem& item, char encoding,
                                   Transfer transfer,
                                   std::string_view charset) {
  // A line end in a name or address set by any caller must not end the
  // header line or start a new one.
  const std::string name = core::BlankLineBreaks(item.Name());
  const std::string address = core::BlankLineBreaks(item.Address());
  if (name.empty()) return address;
  bool printable = true;
  for (char c : name) {
    const unsigned char b = static_cast<unsigned char>(c);
    printable = printable && b >= 0x20 && b <= 0x7E;
  }
  std::string written;
  if (printable) {
    written = QuoteName(name);
  } else if (encoding == '8') {
    // Unencoded 8-bit names still need quotes, or a comma in them would
    // split the address.
    written = QuoteName(
        EncodeHeaderWords(name, kAddressNameSpecials, '8', transfer, charset));
  } else {
    written = EncodeHeaderWords(name, kAddressNameSpecials, encoding, transfer,
                                charset);
  }
  return written + " <" + address + ">";
}

std::string EncodeAddressListForHeader(const EMailAddressList& list,
                                       char encoding, Transfer transfer,
                                       std::string_view charset) {
  std::string text;
  for (int i = 0; i < list.Count(); ++i) {
    if (i > 0) text += ", ";
    text += EncodeAddressForHeader(list[i], encoding, transfer, charset);
  }
  return text;
}

}  // namespace replyvane::message
