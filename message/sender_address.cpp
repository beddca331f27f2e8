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

std::string FindAddressIn(std::string_view text) {
  for (size_t open = text.find('<'); open != std::string_view::npos;
       open = text.find('<', open + 1)) {
    const size_t close = text.find('>', open + 1);
    if (close == std::string_view::npos) break;
    std::string candidate = core::Trim(text.substr(open + 1, close - open - 1));
    if (IsUsableAddress(candidate)) return candidate;
  }
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
