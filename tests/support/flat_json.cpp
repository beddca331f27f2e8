// A small JSON reader for flat envelope records. Anything outside the
// supported shape makes the whole parse fail rather than guess.
#include "tests/support/flat_json.h"

#include <cstdint>

namespace replyvane::testing {
namespace {

class Reader {
 public:
  explicit Reader(std::string_view text) : text_(text) {}

  bool Eat(char c) {
    SkipBlanks();
    if (pos_ < text_.size() && text_[pos_] == c) {
      ++pos_;
      return true;
    }
    return false;
  }

  bool AtEnd() {
    SkipBlanks();
    return pos_ == text_.size();
  }

  bool String(std::string* out) {
    if (!Eat('"')) return false;
    out->clear();
    while (pos_ < text_.size()) {
      char c = text_[pos_++];
      if (c == '"') return true;
      if (c != '\\') {
        out->push_back(c);
        continue;
      }
      if (pos_ >= text_.size()) return false;
      char e = text_[pos_++];
      switch (e) {
        case '"':
        case '\\':
        case '/':
          out->push_back(e);
          break;
        case 'b':
          out->push_back('\b');
          break;
        case 'f':
          out->push_back('\f');
          break;
        case 'n':
          out->push_back('\n');
          break;
        case 'r':
          out->push_back('\r');
          break;
        case 't':
          out->push_back('\t');
          break;
        case 'u':
          if (!Unicode(out)) return false;
          break;
        default:
          return false;
      }
    }
    return false;
  }

  // true, false, null or a number, kept as text.
  bool Literal(std::string* out) {
    SkipBlanks();
    size_t start = pos_;
    while (pos_ < text_.size() &&
           std::string_view("+-.0123456789eEtruefalsn").find(text_[pos_]) !=
               std::string_view::npos) {
      ++pos_;
    }
    *out = text_.substr(start, pos_ - start);
    return !out->empty();
  }

 private:
  void SkipBlanks() {
    while (pos_ < text_.size() && std::string_view(" \t\r\n").find(
                                      text_[pos_]) != std::string_view::npos) {
      ++pos_;
    }
  }

  bool Hex4(uint32_t* value) {
    if (pos_ + 4 > text_.size()) return false;
    *value = 0;
    for (int i = 0; i < 4; ++i) {
      char c = text_[pos_++];
      int digit = c >= '0' && c <= '9'   ? c - '0'
                  : c >= 'a' && c <= 'f' ? c - 'a' + 10
                  : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                         : -1;
      if (digit < 0) return false;
      *value = *value * 16 + static_cast<uint32_t>(digit);
    }
    return true;
  }

  bool Unicode(std::string* out) {
    uint32_t code;
    if (!Hex4(&code)) return false;
    if (code >= 0xDC80 && code <= 0xDCFF) {  // an undecodable raw byte
      out->push_back(static_cast<char>(code - 0xDC00));
      return true;
    }
    if (code >= 0xD800 && code <= 0xDBFF) {
      uint32_t low;
      if (text_.substr(pos_, 2) != "\\u") return false;
      pos_ += 2;
      if (!Hex4(&low) || low < 0xDC00 || low > 0xDFFF) return false;
      code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
    }
    AppendUtf8(code, out);
    return true;
  }

  static void AppendUtf8(uint32_t code, std::string* out) {
    if (code < 0x80) {
      out->push_back(static_cast<char>(code));
    } else if (code < 0x800) {
      out->push_back(static_cast<char>(0xC0 | (code >> 6)));
      out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else if (code < 0x10000) {
      out->push_back(static_cast<char>(0xE0 | (code >> 12)));
      out->push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
      out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else {
      out->push_back(static_cast<char>(0xF0 | (code >> 18)));
      out->push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
      out->push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
      out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
    }
  }

  std::string_view text_;
  size_t pos_ = 0;
};

bool Value(Reader& reader, FlatJsonValue* value) {
  using Kind = FlatJsonValue::Kind;
  if (reader.Eat('[')) {
    value->kind = Kind::kArray;
    if (reader.Eat(']')) return true;
    do {
      std::string item;
      if (!reader.String(&item)) return false;
      value->items.push_back(std::move(item));
    } while (reader.Eat(','));
    return reader.Eat(']');
  }
  if (reader.String(&value->text)) {
    value->kind = Kind::kString;
    return true;
  }
  if (!reader.Literal(&value->text)) return false;
  value->kind = value->text == "null" ? Kind::kNull : Kind::kLiteral;
  return true;
}

}  // namespace

std::optional<std::map<std::string, FlatJsonValue>> ParseFlatJson(
    std::string_view json) {
  Reader reader(json);
  std::map<std::string, FlatJsonValue> members;
  if (!reader.Eat('{')) return std::nullopt;
  if (!reader.Eat('}')) {
    do {
      std::string key;
      FlatJsonValue value;
      if (!reader.String(&key) || !reader.Eat(':') || !Value(reader, &value)) {
        return std::nullopt;
      }
      members[key] = std::move(value);
    } while (reader.Eat(','));
    if (!reader.Eat('}')) return std::nullopt;
  }
  if (!reader.AtEnd()) return std::nullopt;
  return members;
}

}  // namespace replyvane::testing
