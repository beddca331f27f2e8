// Building scripts and parsing transcript lines. A malformed transcript line
// is a mistake in the test itself, so it throws at once.
#include "tests/support/script.h"

#include <algorithm>
#include <stdexcept>

namespace replyvane::testing {
namespace {

constexpr std::chrono::milliseconds kMaxStall{30000};

}  // namespace

std::string Step::Describe() const {
  switch (kind) {
    case Kind::kSend: {
      std::string_view body = text;
      if (body.ends_with("\r\n")) {
        body.remove_suffix(2);
        if (body.find_first_of("\r\n") == std::string_view::npos) {
          return "S: " + Visible(body);
        }
      }
      return "S| " + Visible(text);
    }
    case Kind::kExpect:
      return "C: " + Visible(text);
    case Kind::kExpectAny:
      return "C?";
    case Kind::kReceiveUntil:
      return "B: up to " + Visible(text);
    case Kind::kStall:
      return "stall " + std::to_string(pause.count()) + " ms";
    case Kind::kClose:
      return "CLOSE";
    case Kind::kReset:
      return "RESET";
  }
  return "?";
}

Script& Script::Send(std::string_view bytes) {
  steps_.push_back({Step::Kind::kSend, std::string(bytes)});
  return *this;
}

Script& Script::SendLine(std::string_view line) {
  return Send(std::string(line) + "\r\n");
}

Script& Script::Expect(std::string_view line) {
  steps_.push_back({Step::Kind::kExpect, std::string(line)});
  return *this;
}

Script& Script::ExpectLine() {
  steps_.push_back({Step::Kind::kExpectAny, ""});
  return *this;
}

Script& Script::ReceiveUntil(std::string_view terminator_line) {
  if (terminator_line.empty() || terminator_line.back() != '\n') {
    throw std::invalid_argument("ReceiveUntil needs a whole line: \"" +
                                Visible(terminator_line) + "\"");
  }
  steps_.push_back({Step::Kind::kReceiveUntil, std::string(terminator_line)});
  return *this;
}

Script& Script::Stall(std::chrono::milliseconds pause) {
  steps_.push_back(
      {Step::Kind::kStall, "",
       std::clamp(pause, std::chrono::milliseconds(0), kMaxStall)});
  return *this;
}

Script& Script::Close() {
  steps_.push_back({Step::Kind::kClose, ""});
  return *this;
}

Script& Script::CloseMidLine(std::string_view partial_line) {
  return Send(partial_line).Close();
}

Script& Script::Reset() {
  steps_.push_back({Step::Kind::kReset, ""});
  return *this;
}

Script& Script::Transcript(std::initializer_list<std::string_view> lines) {
  for (std::string_view line : lines) {
    std::string_view rest = line.size() > 3 ? line.substr(3) : "";
    if (line.starts_with("S: ")) {
      SendLine(rest);
    } else if (line.starts_with("S| ")) {
      Send(rest);
    } else if (line.starts_with("C: ")) {
      Expect(rest);
    } else if (line.starts_with("C?")) {
      ExpectLine();
    } else if (line.starts_with("B:")) {
      ReceiveUntil(".\r\n");
    } else if (line == "CLOSE") {
      Close();
    } else {
      throw std::invalid_argument("unknown transcript line: \"" +
                                  Visible(line) + "\"");
    }
  }
  return *this;
}

Script& Script::ByteAtATime(std::chrono::microseconds pause) {
  byte_at_a_time_ = true;
  byte_pause_ = pause;
  return *this;
}

std::string Visible(std::string_view text) {
  std::string out;
  for (unsigned char c : text) {
    if (c == '\r') {
      out += "\\r";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c < 32 || c == 127) {
      static const char kHex[] = "0123456789abcdef";
      out += "\\x";
      out += kHex[c >> 4];
      out += kHex[c & 15];
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

std::string DotUnstuffed(std::string_view body) {
  std::string out;
  out.reserve(body.size());
  bool line_start = true;
  for (size_t i = 0; i < body.size(); ++i) {
    char c = body[i];
    if (!(line_start && c == '.')) out.push_back(c);
    line_start = c == '\n';
  }
  return out;
}

Script Transcript(std::initializer_list<std::string_view> lines) {
  Script script;
  script.Transcript(lines);
  return script;
}

}  // namespace replyvane::testing
