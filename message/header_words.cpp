// Encoding of header text as RFC 2047 encoded words, and the header form of
// address items. Words are split at whitespace; a run of words that need
// encoding (with the whitespace between them) becomes one encoded text,
// continued on new lines before it passes 75 columns.
#include "message/header_words.h"

#include <array>

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

// Writes runs of text as encoded words onto `out`.
class RunWriter {
 public:
  RunWriter(std::string& out, char letter, std::string_view charset,
            const ByteSet& q_escape)
      : out_(out), letter_(letter), q_escape_(q_escape) {
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
  // Starts a new line when `piece_length` more characters would pass the
  // limit.
  void Reserve(size_t piece_length) {
    if (line_length_ + piece_length > kMaxLine) {
      out_ += kContinue;
      out_ += begin_;
      line_length_ = begin_.size() + 2;
    }
    line_length_ += piece_length;
  }

  void WriteQ(std::string_view run) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    for (char ch : run) {
      const unsigned char b = static_cast<unsigned char>(ch);
      if (ch == ' ') {
        Reserve(1);
        out_ += '_';
      } else if (!In(q_escape_, ch)) {
        Reserve(1);
        out_ += ch;
      } else {
        Reserve(3);
        out_ += '=';
        out_ += kHex[b >> 4];
        out_ += kHex[b & 15];
      }
    }
  }

  void WriteB(std::string_view run) {
    for (size_t i = 0; i < run.size(); i += 3) {
      Reserve(4);
      const size_t n = std::min<size_t>(3, run.size() - i);
      uint32_t group = 0;
      for (size_t k = 0; k < 3; ++k) {
        group = (group << 8) |
                (k < n ? static_cast<unsigned char>(run[i + k]) : 0u);
      }
      for (size_t k = 0; k < 4; ++k) {
        out_ += k <= n ? kBase64Alphabet[(group >> (18 - 6 * k)) & 63] : '=';
      }
    }
  }

  std::string& out_;
  const char letter_;
  const ByteSet& q_escape_;
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
  const std::string& name = item.Name();
  if (name.empty()) return item.Address();
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
  return written + " <" + item.Address() + ">";
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
