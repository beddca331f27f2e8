#include "message/forward_text.h"

#include <sys/stat.h>

#include <algorithm>

#include "core/text.h"
#include "message/code_page.h"
#include "message/html_text.h"
#include "message/message_part.h"
#include "message/message_parts.h"
#include "message/mime_boundary.h"

namespace replyvane::message {

namespace {

// True when the text needs no conversion from any ASCII-based charset:
// no 8-bit byte and no escape (ISO-2022 shifts with ESC).
bool IsPlainAscii(std::string_view text) {
  return std::none_of(text.begin(), text.end(), [](char c) {
    return static_cast<unsigned char>(c) >= 0x80 || c == '\x1b';
  });
}

std::string OneLineToSystem(const std::string& line, std::string_view from) {
  const std::string system = SystemCodeset();
  if (!from.empty()) {
    if (auto converted = ConvertCharset(line, from, system)) {
      return core::BlankLineBreaks(*converted);
    }
  }
  if (ConvertCharset(line, system, system)) return line;
  if (auto latin = ConvertCharset(line, "ISO-8859-1", system)) return *latin;
  return line;
}

bool IsTextType(std::string_view content_type, std::string_view subtype) {
  std::string type = core::LowerCase(core::Trim(content_type));
  if (type.empty()) return subtype == "plain";  // the MIME default
  const std::string wanted = "text/" + std::string(subtype);
  return type.compare(0, wanted.size(), wanted) == 0 &&
         (type.size() == wanted.size() || type[wanted.size()] == ';' ||
          type[wanted.size()] == ' ');
}

const TextPart* FirstTextPart(const MessageParts& parts,
                              std::string_view subtype) {
  for (int i = 0; i < parts.Count(); ++i) {
    const TextPart* text = parts[i].AsText();
    if (text != nullptr && IsTextType(text->ContentType(), subtype)) {
      return text;
    }
  }
  return nullptr;
}

const TextPart* FirstPartWithText(const MessageParts& parts) {
  for (int i = 0; i < parts.Count(); ++i) {
    const TextPart* text = parts[i].AsText();
    if (text == nullptr) continue;
    for (const std::string& line : text->Body()) {
      if (!core::Trim(line).empty()) return text;
    }
  }
  return nullptr;
}

std::string CharsetOf(const MessagePart& part) {
  return ParameterValue(part.ContentType(), "CHARSET=");
}

std::vector<std::string> HtmlPartLines(const TextPart& part) {
  std::string html;
  for (const std::string& line : part.Body()) {
    html += line;
    html += '\n';
  }
  const std::string charset = CharsetOf(part);
  std::string utf8 = html;
  if (!IsPlainAscii(html)) {
    if (auto converted = ConvertCharset(html, charset, "UTF-8")) {
      utf8 = *converted;
    } else if (!ConvertCharset(html, "UTF-8", "UTF-8")) {
      utf8 = ConvertCharset(html, "ISO-8859-1", "UTF-8").value_or(html);
    }
  }
  return LinesToSystemCodeset(HtmlToTextLines(utf8), "UTF-8");
}

std::string AttachmentLine(const Attachment& attachment) {
  struct stat info;
  long long size = 0;
  if (!attachment.StoredPath().empty() &&
      ::stat(attachment.StoredPath().c_str(), &info) == 0) {
    size = static_cast<long long>(info.st_size);
  }
  std::string name = core::BlankLineBreaks(attachment.AttachmentName());
  if (name.empty()) name = "unnamed";
  return core::Format("Attachment: %s (%lld bytes)", name.c_str(), size);
}

}  // namespace

std::vector<std::string> LinesToSystemCodeset(
    const std::vector<std::string>& lines, std::string_view charset) {
  const bool same = !charset.empty() && SameCharset(charset, SystemCodeset());
  if (same || std::all_of(lines.begin(), lines.end(), IsPlainAscii)) {
    return lines;
  }
  // The whole text at once first, for charsets whose shifts span lines.
  if (!charset.empty()) {
    std::string joined;
    for (const std::string& line : lines) {
      joined += line;
      joined += "\r\n";
    }
    if (auto converted = ConvertCharset(joined, charset, SystemCodeset())) {
      return core::SplitLines(*converted);
    }
  }
  std::vector<std::string> result;
  result.reserve(lines.size());
  for (const std::string& line : lines) {
    result.push_back(IsPlainAscii(line) ? line
                                        : OneLineToSystem(line, charset));
  }
  return result;
}

std::vector<std::string> ForwardTextLines(const Message& fetched) {
  const MessageParts& parts = fetched.MessageParts();
  if (parts.Count() == 0) {
    return LinesToSystemCodeset(fetched.Body(), fetched.CharSet());
  }
  std::vector<std::string> lines;
  if (const TextPart* plain = FirstTextPart(parts, "plain")) {
    lines = LinesToSystemCodeset(plain->Body(), CharsetOf(*plain));
  } else if (const TextPart* html = FirstTextPart(parts, "html")) {
    lines = HtmlPartLines(*html);
  } else if (const TextPart* other = FirstPartWithText(parts)) {
    // A part that is not what it claims (a multipart whose boundary never
    // comes): its raw lines are the text there is.
    lines = LinesToSystemCodeset(other->Body(), CharsetOf(*other));
  } else {
    lines = LinesToSystemCodeset(fetched.Body(), fetched.CharSet());
  }
  for (int i = 0; i < parts.Count(); ++i) {
    if (const Attachment* attachment = parts[i].AsAttachment()) {
      lines.push_back(AttachmentLine(*attachment));
    }
  }
  return lines;
}

}  // namespace replyvane::message
