// Parsing and printing of one e-mail address. The parser is a small state
// machine over the remaining text; it only ever consumes text from the
// front, so its work is linear in the length of the input.
#include "message/email_address.h"

#include <array>

#include "core/text.h"

namespace replyvane::message {

namespace {

using Table = std::array<bool, 256>;

constexpr Table MakeTable(std::string_view chars) {
  Table table{};
  for (char c : chars) table[static_cast<unsigned char>(c)] = true;
  return table;
}

constexpr Table kAtomTable = MakeTable(kAtomChars);

bool IsAtom(char c) { return kAtomTable[static_cast<unsigned char>(c)]; }
bool IsNameChar(char c) { return c == ' ' || IsAtom(c); }
bool IsEscaped(char c) { return c == '\\' || c == '"'; }
bool IsBlank(char c) { return static_cast<unsigned char>(c) <= 32; }

// Index of the first atom character of `text` that is not an atom
// character; npos when there is none.
size_t FirstNotAtom(std::string_view text) {
  for (size_t i = 0; i < text.size(); ++i) {
    if (!IsAtom(text[i])) return i;
  }
  return std::string_view::npos;
}

std::string_view TrimView(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

void TrimInPlace(std::string& text) {
  size_t end = text.size();
  while (end > 0 && IsBlank(text[end - 1])) --end;
  text.resize(end);
  size_t begin = 0;
  while (begin < text.size() && IsBlank(text[begin])) ++begin;
  if (begin > 0) text.erase(0, begin);
}

// `"` + text with a backslash before every backslash and double quote + `"`.
std::string QuoteName(std::string_view name) {
  std::string quoted = "\"";
  for (char c : name) {
    if (IsEscaped(c)) quoted += '\\';
    quoted += c;
  }
  quoted += '"';
  return quoted;
}

// The parsing states of one address text; see SetText.
class AddressParser {
 public:
  AddressParser(std::string& name, std::string& address)
      : name_(name), address_(address) {}

  void Run(std::string_view data);

 private:
  std::string_view SearchSet() const;
  std::string& QuoteTarget() { return in_angle_ ? address_ : name_; }
  void Step(size_t p);
  void OnQuote(size_t p);
  void OnOpenComment(size_t p);
  void OnAt(size_t p);

  std::string& name_;
  std::string& address_;
  std::string_view data_;
  bool in_quote_ = false;
  bool in_angle_ = false;
  bool in_address_ = false;
  bool after_at_ = false;
  int depth_ = 0;
  std::string quoted_;  // text of the open quoted string so far
};

std::string_view AddressParser::SearchSet() const {
  if (depth_ > 0) return "()\\";
  if (in_quote_) return "\"\\";
  if (after_at_ && in_angle_) return ".>(";
  if (after_at_) return ".( ";
  if (in_address_) return "\"(@>";
  return "(\"< @\t";
}

void AddressParser::Run(std::string_view data) {
  data_ = data;
  for (;;) {
    size_t p = data_.find_first_of(SearchSet());
    if (p == std::string_view::npos) break;
    Step(p);
  }
  // An unclosed quoted string keeps what it had collected; the text of an
  // unclosed comment is dropped, not taken into the address.
  if (in_quote_) (in_address_ ? address_ : name_) += quoted_;
  if (in_address_ && !in_angle_ && depth_ == 0 && !in_quote_) {
    address_ += TrimView(data_);
  }
}

void AddressParser::Step(size_t p) {
  const std::string_view before = data_.substr(0, p);
  const char c = data_[p];
  switch (c) {
    case ' ':
    case '\t':
      if (p > 0) {
        if (after_at_) {
          address_ += TrimView(before);
        } else {
          name_ += data_.substr(0, p + 1);
        }
      }
      break;
    case '"':
      OnQuote(p);
      break;
    case '(':
      OnOpenComment(p);
      break;
    case ')':
      --depth_;  // the comment's text is dropped
      break;
    case '.':
      if (in_angle_) {
        address_ += TrimView(before);
        address_ += '.';
        data_.remove_prefix(p + 1);
        while (!data_.empty() && IsBlank(data_.front())) data_.remove_prefix(1);
        return;
      }
      address_ += data_.substr(0, p + 1);
      break;
    case '<':
      name_ += before;
      TrimInPlace(name_);
      in_angle_ = true;
      in_address_ = true;
      break;
    case '>':
      in_address_ = false;
      after_at_ = false;
      address_ += TrimView(before);
      break;
    case '@':
      OnAt(p);
      break;
    case '\\':
      // Inside a quote the escaped character is kept; in a comment both go.
      if (in_quote_) {
        quoted_ += before;
        if (p + 1 < data_.size()) quoted_ += data_[p + 1];
      }
      data_.remove_prefix(std::min(p + 2, data_.size()));
      return;
  }
  data_.remove_prefix(p + 1);
}

void AddressParser::OnQuote(size_t p) {
  if (in_quote_) {
    quoted_ += data_.substr(0, p);
    QuoteTarget() += TrimView(quoted_);
    quoted_.clear();
    in_quote_ = false;
  } else {
    // Text that runs into the opening quote belongs to the same field.
    QuoteTarget() += data_.substr(0, p);
    in_quote_ = true;
  }
}

void AddressParser::OnOpenComment(size_t p) {
  if (p > 0) {
    if (in_address_) {
      address_ += TrimView(data_.substr(0, p));
    } else if (depth_ == 0) {
      name_ += data_.substr(0, p);
    }
  }
  ++depth_;
}

void AddressParser::OnAt(size_t p) {
  after_at_ = true;
  if (!in_address_) {
    if (in_angle_) throw EmailParseError("@ Outside address");
    in_address_ = true;
  }
  address_ += data_.substr(0, p + 1);
}

}  // namespace

std::string EMailAddressItem::BracketedAddress() const {
  if (address_.empty()) return name_.empty() ? "" : "<>";
  std::string_view local;
  std::string_view domain;
  if (size_t at = address_.rfind('@'); at != std::string::npos) {
    local = std::string_view(address_).substr(0, at);
    domain = std::string_view(address_).substr(at);
  }
  // A dot-atom stays bare; anything else outside the atom characters and
  // the dot makes the local part a quoted string.
  bool needs_quote = false;
  for (char c : local) needs_quote = needs_quote || !(IsAtom(c) || c == '.');
  if (needs_quote) {
    std::string quoted = "<\"";
    for (size_t k = FirstNotAtom(local); k != std::string_view::npos;
         k = FirstNotAtom(local)) {
      quoted += local.substr(0, k);
      if (IsEscaped(local[k])) quoted += '\\';
      quoted += local[k];
      local.remove_prefix(k + 1);
    }
    quoted += local;
    quoted += '"';
    quoted += domain;
    quoted += '>';
    return quoted;
  }
  std::string bare = std::string(local) + std::string(domain);
  return name_.empty() ? bare : "<" + bare + ">";
}

std::string EMailAddressItem::Text() const {
  if (name_.empty() || core::UpperCase(address_) == name_) {
    return BracketedAddress();
  }
  bool plain = true;
  for (char c : name_) plain = plain && IsNameChar(c);
  return (plain ? name_ : QuoteName(name_)) + " " + BracketedAddress();
}

void EMailAddressItem::SetText(std::string_view text) {
  address_.clear();
  name_.clear();
  const std::string_view data = TrimView(text);
  if (data.empty()) return;
  if (data.find_first_of("(\"< @\t") == std::string_view::npos) {
    address_ = data;
    return;
  }
  AddressParser(name_, address_).Run(data);
}

}  // namespace replyvane::message
