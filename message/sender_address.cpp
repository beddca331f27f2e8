#include "message/sender_address.h"

#include <array>

#include "core/exception.h"
#include "core/text.h"
#include "message/email_address_list.h"

namespace replyvane::message {

namespace {

constexpr std::array<bool, 256> MakeTable(std::string_view chars,
                                          std::string_view more = "") {
  std::array<bool, 256> table{};
  for (char c : chars) table[static_cast<unsigned char>(c)] = true;
  for (char c : more) table[static_cast<unsigned char>(c)] = true;
  return table;
}

// Atom characters and dots; 8-bit bytes are allowed for internationalised
// local parts (RFC 6531).
constexpr std::array<bool, 256> kLocalChars = MakeTable(kAtomChars, ".");
constexpr std::array<bool, 256> kDomainChars = MakeTable(
    "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789-.");

bool IsLocalChar(char c) {
  return static_cast<unsigned char>(c) >= 0x80 ||
         kLocalChars[static_cast<unsigned char>(c)];
}
bool IsDomainChar(char c) {
  return static_cast<unsigned char>(c) >= 0x80 ||
         kDomainChars[static_cast<unsigned char>(c)];
}

// Punctuation that mailers and spammers put around a bare address.
bool IsStray(char c) {
  return c == '<' || c == '>' || c == '(' || c == ')' || c == '[' || c == ']' ||
         c == '"' || c == '\'' || c == ',' || c == ';' || c == ':' || c == '.';
}

bool IsSeparator(char c) {
  return static_cast<unsigned char>(c) <= 32 || c == ',' || c == ';';
}

std::string_view Unwrapped(std::string_view token) {
  while (!token.empty() && IsStray(token.front())) token.remove_prefix(1);
  while (!token.empty() && IsStray(token.back())) token.remove_suffix(1);
  return token;
}

// `text` with every comment (RFC 5322 §3.2.2: parentheses, nested, with
// "\\" escapes) replaced by one blank; quoted strings are kept as they are,
// parentheses in them included. A comment left open runs to the end.
std::string WithoutComments(std::string_view text) {
  std::string result;
  result.reserve(text.size());
  int depth = 0;
  bool quoted = false;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (depth > 0) {
      if (c == '\\') {
        ++i;
      } else if (c == '(') {
        ++depth;
      } else if (c == ')' && --depth == 0) {
        result += ' ';
      }
      continue;
    }
    if (quoted) {
      result += c;
      if (c == '\\' && i + 1 < text.size()) {
        result += text[++i];
      } else if (c == '"') {
        quoted = false;
      }
      continue;
    }
    if (c == '(') {
      depth = 1;
    } else {
      if (c == '"') quoted = true;
      result += c;
    }
  }
  return result;
}

// `text` without the blanks, tabs and line ends outside quoted strings:
// folding white space may stand around the "@" and the dots of an address.
std::string WithoutBlanks(std::string_view text) {
  std::string result;
  bool quoted = false;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quoted && c == '\\' && i + 1 < text.size()) {
      result += c;
      result += text[++i];
      continue;
    }
    if (c == '"') quoted = !quoted;
    if (!quoted && (c == ' ' || c == '\t' || c == '\r' || c == '\n')) continue;
    result += c;
  }
  return result;
}

// Blanks on either side of an "@" outside brackets dropped, so that
// "ben @ example.org" reads as one address.
std::string JoinedAtSigns(std::string_view text) {
  std::string result;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (IsSeparator(c) && c != ',' && c != ';') {
      size_t next = i;
      while (next < text.size() && IsSeparator(text[next]) &&
             text[next] != ',' && text[next] != ';') {
        ++next;
      }
      const bool before_at = next < text.size() && text[next] == '@';
      const bool after_at = !result.empty() && result.back() == '@';
      if (before_at || after_at) {
        i = next - 1;
        continue;
      }
    }
    result += c;
  }
  return result;
}

// The address of the first element of an address header value, or one
// found in its raw text.
std::string AddressFromHeader(const Message& msg, std::string_view name) {
  const std::string raw = msg.Headers().ValueOf(name);
  if (raw.empty()) return "";
  EMailAddressList list;
  try {
    list.SetAddressesText(raw);
  } catch (const core::Exception&) {
    // What parsed before the fault is still worth a look.
  }
  for (int i = 0; i < list.Count(); ++i) {
    const std::string& address = list[i].Address();
    if (IsUsableAddress(address) && raw.find(address) != std::string::npos) {
      return address;
    }
  }
  return FindAddressIn(raw);
}

}  // namespace

bool IsUsableAddress(std::string_view address) {
  const size_t at = address.rfind('@');
  if (at == std::string_view::npos || at == 0 || at + 1 == address.size()) {
    return false;
  }
  std::string_view local = address.substr(0, at);
  std::string_view domain = address.substr(at + 1);
  // A quoted local part ("john doe"@x) is usable as it stands.
  const bool quoted =
      local.size() >= 2 && local.front() == '"' && local.back() == '"';
  if (quoted) {
    for (char c : local) {
      if (c == '\r' || c == '\n' || c == '\0') return false;
    }
  } else {
    for (char c : local) {
      if (!IsLocalChar(c)) return false;
    }
  }
  if (domain.front() == '.' || domain.back() == '.' || domain == "-") {
    return false;
  }
  for (char c : domain) {
    if (!IsDomainChar(c)) return false;
  }
  return true;
}

std::string FindAddressIn(std::string_view raw) {
  // A comment is no address: "(write to boss@example.com) ann@example.com"
  // is ann's.
  const std::string clean = WithoutComments(raw);
  for (size_t open = clean.find('<'); open != std::string::npos;
       open = clean.find('<', open + 1)) {
    const size_t close = clean.find('>', open + 1);
    if (close == std::string::npos) break;
    std::string candidate = WithoutBlanks(
        std::string_view(clean).substr(open + 1, close - open - 1));
    if (IsUsableAddress(candidate)) return candidate;
  }
  const std::string joined = JoinedAtSigns(clean);
  const std::string_view text = joined;
  size_t start = 0;
  while (start < text.size()) {
    while (start < text.size() && IsSeparator(text[start])) ++start;
    size_t end = start;
    while (end < text.size() && !IsSeparator(text[end])) ++end;
    std::string_view token = Unwrapped(text.substr(start, end - start));
    // "<a@b>" runs into other text at times: look inside the brackets too.
    const size_t open = token.rfind('<');
    if (open != std::string_view::npos) token = Unwrapped(token.substr(open));
    if (token.find('@') != std::string_view::npos && IsUsableAddress(token)) {
      return std::string(token);
    }
    start = end;
  }
  return "";
}

bool FromParsedSoundly(const Message& msg) {
  const std::string& address = msg.From().Address();
  // The parser joins words and drops comments ("a@b.c by the list" reads as
  // "a@b.cbythelist"): an address that the raw text does not hold as it
  // stands was made up by the parse.
  return IsUsableAddress(address) &&
         msg.Headers().ValueOf("From").find(address) != std::string::npos;
}

std::string BestSenderAddress(const Message& msg) {
  if (FromParsedSoundly(msg)) return msg.From().Address();
  for (std::string_view name : {"From", "Reply-To", "Sender", "Return-Path"}) {
    std::string found = AddressFromHeader(msg, name);
    if (!found.empty()) return found;
  }
  return "";
}

std::string ReplyRecipient(const Message& msg) {
  const std::string& address = msg.From().Address();
  if (FromParsedSoundly(msg)) {
    // The header form is kept only when it reads back as the same single
    // address; a From that parsed in part falls back to the bare address.
    const std::string text = msg.From().Text();
    EMailAddressList check;
    try {
      check.SetAddressesText(text);
      if (check.Count() == 1 && check[0].Address() == address) return text;
    } catch (const core::Exception&) {
    }
    return address;
  }
  return BestSenderAddress(msg);
}

}  // namespace replyvane::message
