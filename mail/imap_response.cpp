#include "mail/imap_response.h"

#include "core/exception.h"
#include "core/reception_limits.h"
#include "core/text.h"
#include "net/exceptions.h"

namespace replyvane::mail {

namespace {

// Values of one response at most, and lists within lists.
constexpr size_t kMaxValues = 1000000;
constexpr int kMaxDepth = 32;

[[noreturn]] void RaiseUnreadable(const std::string& line) {
  throw core::Exception("Unreadable IMAP response: " +
                        core::BlankLineBreaks(line.substr(0, 200)));
}

class Parser {
 public:
  Parser(net::TCPConnection& connection, const ImapLiteralSink& sink)
      : connection_(connection), sink_(sink) {}

  ImapResponse Read() {
    NextLine();
    ImapResponse response;
    response.tag = Atom();
    if (response.tag.empty()) RaiseUnreadable(line_);
    if (response.tag == "+") {
      SkipSpace();
      response.text = line_.substr(pos_);
      return response;
    }
    SkipSpace();
    const size_t mark = pos_;
    const std::string word = core::UpperCase(Atom());
    if (word == "OK" || word == "NO" || word == "BAD" || word == "BYE" ||
        word == "PREAUTH") {
      response.status = word;
      SkipSpace();
      if (pos_ < line_.size() && line_[pos_] == '[') {
        const size_t end = line_.find(']', pos_);
        if (end == std::string::npos) RaiseUnreadable(line_);
        response.code = line_.substr(pos_ + 1, end - pos_ - 1);
        pos_ = end + 1;
        SkipSpace();
      }
      response.text = line_.substr(pos_);
      return response;
    }
    if (response.tag != "*") RaiseUnreadable(line_);
    pos_ = mark;
    response.values = Values(0);
    return response;
  }

 private:
  void NextLine() {
    line_ = connection_.ReadTextLine("\n", -1, kMaxImapLineLength);
    if (connection_.LastLineTimedOut()) throw net::ConnClosedGracefully();
    pos_ = 0;
  }

  void SkipSpace() {
    while (pos_ < line_.size() && line_[pos_] == ' ') ++pos_;
  }

  // An atom: up to a blank or a parenthesis outside brackets, so that
  // "BODY[HEADER.FIELDS (FROM)]" is one.
  std::string Atom() {
    const size_t start = pos_;
    int brackets = 0;
    while (pos_ < line_.size()) {
      const char c = line_[pos_];
      if (c == '[') ++brackets;
      if (c == ']' && brackets > 0) --brackets;
      if (brackets == 0 && (c == ' ' || c == '(' || c == ')' || c == '"')) {
        break;
      }
      ++pos_;
    }
    return line_.substr(start, pos_ - start);
  }

  std::string Quoted() {
    ++pos_;  // the opening quote
    std::string text;
    while (pos_ < line_.size() && line_[pos_] != '"') {
      if (line_[pos_] == '\\' && pos_ + 1 < line_.size()) ++pos_;
      text += line_[pos_++];
    }
    if (pos_ >= line_.size()) RaiseUnreadable(line_);
    ++pos_;  // the closing quote
    return text;
  }

  // "{N}" or "{N+}" ending the line: the literal follows.
  ImapValue Literal(const std::string& name) {
    const size_t close = line_.find('}', pos_);
    if (close == std::string::npos || close + 1 != line_.size()) {
      RaiseUnreadable(line_);
    }
    std::string digits = line_.substr(pos_ + 1, close - pos_ - 1);
    if (!digits.empty() && digits.back() == '+') digits.pop_back();
    const std::optional<int64_t> size = core::ParseInt64(digits);
    if (!size || *size < 0) RaiseUnreadable(line_);
    ImapValue value;
    value.kind = ImapValue::Kind::kString;
    if (sink_ && sink_(name, size_t(*size))) {
      value.streamed = true;
    } else {
      if (size_t(*size) > kMaxImapLiteralBytes) throw net::MessageTooLarge();
      value.text.resize(size_t(*size));
      connection_.ReadBytes(value.text.data(), int32_t(*size));
    }
    NextLine();
    return value;
  }

  std::vector<ImapValue> Values(int depth) {
    if (depth > kMaxDepth) RaiseUnreadable(line_);
    std::vector<ImapValue> values;
    for (;;) {
      SkipSpace();
      if (pos_ >= line_.size()) {
        if (depth > 0) RaiseUnreadable(line_);
        return values;
      }
      if (++count_ > kMaxValues) throw net::TooManyReplyLines();
      const char c = line_[pos_];
      if (c == ')') {
        if (depth == 0) RaiseUnreadable(line_);
        ++pos_;
        return values;
      }
      ImapValue value;
      if (c == '(') {
        ++pos_;
        value.kind = ImapValue::Kind::kList;
        value.items = Values(depth + 1);
      } else if (c == '"') {
        value.kind = ImapValue::Kind::kString;
        value.text = Quoted();
      } else if (c == '{') {
        const std::string name = values.empty() ? "" : values.back().text;
        value = Literal(name);
      } else {
        value.text = Atom();
        if (value.text.empty()) RaiseUnreadable(line_);
        if (core::SameText(value.text, "NIL"))
          value.kind = ImapValue::Kind::kNil;
      }
      values.push_back(std::move(value));
    }
  }

  net::TCPConnection& connection_;
  const ImapLiteralSink& sink_;
  std::string line_;
  size_t pos_ = 0;
  size_t count_ = 0;
};

}  // namespace

ImapResponse ReadImapResponse(net::TCPConnection& connection,
                              const ImapLiteralSink& sink) {
  return Parser(connection, sink).Read();
}

std::string ImapTextAt(const std::vector<ImapValue>& values, size_t index) {
  if (index >= values.size() || values[index].kind == ImapValue::Kind::kList) {
    return "";
  }
  return values[index].text;
}

}  // namespace replyvane::mail
