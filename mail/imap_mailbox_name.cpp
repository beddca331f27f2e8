#include "mail/imap_mailbox_name.h"

#include <optional>

#include "core/exception.h"
#include "message/code_page.h"
#include "message/encoder.h"
#include "message/mime_coder.h"

namespace replyvane::mail {

namespace {

[[noreturn]] void NotText(std::string_view name) {
  throw core::Exception("The IMAP folder name \"" + std::string(name) +
                        "\" is not text that a folder can be named by");
}

// A run of non-ASCII UTF-8 as "&" + base64 of its UTF-16BE, "," for "/",
// unpadded, + "-". iconv refuses overlong forms, surrogates and cut
// sequences.
void AppendShifted(std::string_view name, std::string_view run,
                   std::string& out) {
  const std::optional<std::string> utf16 =
      message::ConvertCharset(run, "UTF-8", "UTF-16BE");
  if (!utf16) NotText(name);
  std::string coded = message::EncodeTextOnce<message::EncoderMIME>(*utf16);
  while (!coded.empty() && coded.back() == '=') coded.pop_back();
  for (char& c : coded) {
    if (c == '/') c = ',';
  }
  out += '&' + coded + '-';
}

}  // namespace

std::string ModifiedUtf7(std::string_view name) {
  std::string out;
  size_t run = std::string_view::npos;  // where a non-ASCII run began
  for (size_t i = 0; i <= name.size(); ++i) {
    const unsigned char c = i < name.size() ? (unsigned char)name[i] : ' ';
    if (c >= 0x80) {
      if (run == std::string_view::npos) run = i;
      continue;
    }
    if (c < 0x20 || c == 0x7F) NotText(name);
    if (run != std::string_view::npos) {
      AppendShifted(name, name.substr(run, i - run), out);
      run = std::string_view::npos;
    }
    if (i == name.size()) break;
    out += c == '&' ? std::string("&-") : std::string(1, char(c));
  }
  return out;
}

}  // namespace replyvane::mail
