// The system codeset and charset conversion through iconv. Charset names
// that come from received mail are checked before they reach iconv_open,
// so that no suffix such as "//IGNORE" or a path can be smuggled in.
#include "message/code_page.h"

#include <errno.h>
#include <iconv.h>
#include <langinfo.h>

#include <array>
#include <memory>

#include "core/text.h"

namespace replyvane::message {

namespace {

std::string& CodesetOverride() {
  static std::string codeset;
  return codeset;
}

// Upper-cased, without "-" and "_": "Shift_JIS" and "SHIFT-JIS" compare
// equal.
std::string Normalized(std::string_view name) {
  std::string result;
  for (char c : core::UpperCase(name)) {
    if (c != '-' && c != '_') result += c;
  }
  return result;
}

bool IsOneOf(std::string_view codeset,
             std::initializer_list<std::string_view> names) {
  const std::string normalized = Normalized(codeset);
  for (std::string_view name : names) {
    if (normalized == name) return true;
  }
  return false;
}

void MarkRange(std::array<bool, 256>& table, int first, int last) {
  for (int b = first; b <= last; ++b) table[b] = true;
}

bool IsPlainCharsetName(std::string_view name) {
  if (name.empty() || name.size() > 64) return false;
  for (char c : name) {
    bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
              (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.' ||
              c == ':';
    if (!ok) return false;
  }
  return true;
}

struct IconvCloser {
  void operator()(void* cd) const { iconv_close(static_cast<iconv_t>(cd)); }
};

}  // namespace

bool SameCharset(std::string_view a, std::string_view b) {
  return Normalized(a) == Normalized(b);
}

std::string SystemCodeset() {
  if (!CodesetOverride().empty()) return CodesetOverride();
  const char* codeset = nl_langinfo(CODESET);
  // The C locale (what systemd user services often get) names ASCII, or
  // nothing: the texts are then what the windows wrote, UTF-8, as Qt keeps
  // them on every Linux locale.
  if (codeset == nullptr || *codeset == '\0' ||
      IsOneOf(codeset, {"ANSIX3.41968", "ASCII", "USASCII"})) {
    return "UTF-8";
  }
  return codeset;
}

void SetSystemCodeset(std::string codeset) {
  CodesetOverride() = std::move(codeset);
}

bool IsUtf8Codeset(std::string_view codeset) {
  return IsOneOf(codeset, {"UTF8"});
}

bool IsShiftJisCodeset(std::string_view codeset) {
  return IsOneOf(codeset, {"SHIFTJIS", "SJIS", "CP932", "WINDOWS31J", "MSKANJI",
                           "CSSHIFTJIS"});
}

std::array<bool, 256> LeadBytes() {
  std::array<bool, 256> table{};
  const std::string codeset = SystemCodeset();
  if (IsShiftJisCodeset(codeset)) {
    MarkRange(table, 0x81, 0x9F);
    MarkRange(table, 0xE0, 0xFC);
  } else if (IsOneOf(codeset, {"GBK", "CP936", "GB18030", "BIG5", "BIG5HKSCS",
                               "CP950", "EUCKR", "CP949", "UHC"})) {
    MarkRange(table, 0x81, 0xFE);
  } else if (IsOneOf(codeset, {"GB2312", "EUCCN"})) {
    MarkRange(table, 0xA1, 0xF7);
  } else if (IsOneOf(codeset, {"EUCJP"})) {
    table[0x8E] = true;
    MarkRange(table, 0xA1, 0xFE);
  }
  return table;
}

bool IsLeadByte(unsigned char byte) { return LeadBytes()[byte]; }

std::optional<std::string> ConvertCharset(std::string_view text,
                                          std::string_view from,
                                          std::string_view to) {
  if (!IsPlainCharsetName(from) || !IsPlainCharsetName(to)) return std::nullopt;
  iconv_t cd = iconv_open(std::string(to).c_str(), std::string(from).c_str());
  if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
  std::unique_ptr<void, IconvCloser> closer(cd);

  std::string out(text.size() * 2 + 16, '\0');
  char* in_ptr = const_cast<char*>(text.data());
  size_t in_left = text.size();
  size_t used = 0;
  bool flushing = false;
  for (;;) {
    char* out_ptr = out.data() + used;
    size_t out_left = out.size() - used;
    size_t rc = flushing ? iconv(cd, nullptr, nullptr, &out_ptr, &out_left)
                         : iconv(cd, &in_ptr, &in_left, &out_ptr, &out_left);
    used = out.size() - out_left;
    if (rc != static_cast<size_t>(-1)) {
      if (flushing) break;
      flushing = true;  // then write the shift sequence that ends the text
      continue;
    }
    if (errno != E2BIG) return std::nullopt;
    out.resize(out.size() * 2);
  }
  out.resize(used);
  return out;
}

}  // namespace replyvane::message
