#include "message/quoted_printable_coder.h"

#include <cstring>
#include <vector>

namespace replyvane::message {
namespace {

constexpr size_t kBlockSize = 8192;
// A line longer than this gets a soft break.
constexpr size_t kMaxLineLength = 71;
constexpr char kHexDigits[] = "0123456789ABCDEF";

bool IsLineEnd(int c) { return c == '\r' || c == '\n'; }

// Builds the output lines from one byte at a time, seeing the byte after.
class LineBuilder {
 public:
  explicit LineBuilder(std::string& result) : result_(result) {}

  // `next` is -1 at the end of the data.
  void Put(unsigned char b, int next) {
    if (b == ' ' || b == '\t') {
      if (IsLineEnd(next)) {
        Escape(b);
      } else {
        Plain(b);
      }
    } else if (b == '=') {
      Escape(b);
    } else if ((b >= '!' && b <= '~') || IsLineEnd(b)) {
      Plain(b);
    } else {
      Escape(b);
    }
    // Never right after a line end of the data: between CR and LF it would
    // put a bare CR on the wire, and at the end of the text the "=" would be
    // glued to whatever the caller writes next ("=" + "Ab..." reads as 0xAB).
    if (length_ > kMaxLineLength && !IsLineEnd(b)) {
      std::memcpy(out_, "=\r\n", 3);
      out_ += 3;
      length_ = 0;
    }
  }

  // Room for what one block of source bytes can produce.
  void Reserve(size_t bytes) {
    buffer_.resize(bytes * 6);
    out_ = buffer_.data();
  }
  void Flush() {
    result_.append(buffer_.data(), size_t(out_ - buffer_.data()));
    out_ = buffer_.data();
  }
  // The last line carries no line break of its own.
  void Finish() {
    Flush();
    if (length_ == 0 && result_.size() >= 2) result_.resize(result_.size() - 2);
  }

 private:
  void Plain(unsigned char b) {
    *out_++ = char(b);
    ++length_;
  }
  void Escape(unsigned char b) {
    out_[0] = '=';
    out_[1] = kHexDigits[b >> 4];
    out_[2] = kHexDigits[b & 15];
    out_ += 3;
    length_ += 3;
  }

  std::string& result_;
  std::vector<char> buffer_;
  char* out_ = nullptr;
  size_t length_ = 0;
};

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

std::string EncoderQuotedPrintable::Encode(core::Stream& source,
                                           int64_t count) {
  std::string result;
  LineBuilder lines(result);
  unsigned char block[kBlockSize];
  int pending = -1;  // held back until the byte after it is known
  int64_t remaining = count;
  while (remaining > 0) {
    size_t want =
        remaining < int64_t(kBlockSize) ? size_t(remaining) : kBlockSize;
    size_t got = source.Read(block, want);
    if (got == 0) break;
    remaining -= int64_t(got);
    lines.Reserve(got + 1);
    for (size_t i = 0; i < got; ++i) {
      if (pending >= 0)
        lines.Put(static_cast<unsigned char>(pending), block[i]);
      pending = block[i];
    }
    lines.Flush();
  }
  if (pending >= 0) {
    lines.Reserve(1);
    lines.Put(static_cast<unsigned char>(pending), -1);
  }
  lines.Finish();
  return result;
}

void DecoderQuotedPrintable::DecodeToStream(std::string_view text,
                                            core::Stream& destination) {
  // Trailing blanks and tabs go; CR and LF among them stay in their order.
  size_t end = text.size();
  bool blanks = false;
  while (end > 0 && (text[end - 1] == ' ' || text[end - 1] == '\t' ||
                     IsLineEnd(text[end - 1]))) {
    blanks = blanks || !IsLineEnd(text[end - 1]);
    --end;
  }
  std::string trimmed;
  if (blanks) {
    trimmed.reserve(text.size());
    trimmed.append(text.substr(0, end));
    for (char c : text.substr(end)) {
      if (IsLineEnd(c)) trimmed += c;
    }
    text = trimmed;
  }

  // Nothing decodes to more bytes than it has characters.
  std::string output(text.size(), '\0');
  char* out = output.data();
  const char* in = text.data();
  const char* const stop = in + text.size();
  // Eats one line end (CR LF, CR or LF): a blank line after it is data.
  auto skip_line_end = [&] {
    if (in < stop && *in == '\r') {
      ++in;
      if (in < stop && *in == '\n') ++in;
    } else if (in < stop && *in == '\n') {
      ++in;
    }
  };
  while (in < stop) {
    const char* equals =
        static_cast<const char*>(std::memchr(in, '=', size_t(stop - in)));
    const char* plain_end = equals != nullptr ? equals : stop;
    std::memcpy(out, in, size_t(plain_end - in));
    out += plain_end - in;
    if (equals == nullptr) break;
    in = equals + 1;
    int digits = 0;
    int value = 0;
    for (; digits < 2 && in < stop && HexValue(*in) >= 0; ++digits, ++in) {
      value = value * 16 + HexValue(*in);
    }
    if (digits == 0) {
      skip_line_end();  // soft line break
    } else if (value == ' ' && in < stop && IsLineEnd(*in)) {
      std::memcpy(out, " \r\n", 3);
      out += 3;
      skip_line_end();
    } else {
      *out++ = char(value);
    }
  }
  size_t size = size_t(out - output.data());
  if (size > 0) destination.WriteBuffer(output.data(), size);
}

}  // namespace replyvane::message
