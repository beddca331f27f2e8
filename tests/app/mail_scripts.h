// The mail scripts of tests/support, and a reader of the attachments of a
// recorded message, which needs Qt's base64.
#ifndef REPLYVANE_TESTS_APP_MAIL_SCRIPTS_H_
#define REPLYVANE_TESTS_APP_MAIL_SCRIPTS_H_

#include <QByteArray>
#include <string>
#include <vector>

#include "tests/support/mail_scripts.h"

namespace replyvane::testing {

struct Attached {
  std::string file_name;
  QByteArray data;
};

// The attachments (name and decoded bytes) of a recorded multipart message, in
// order.
inline std::vector<Attached> Attachments(const std::string& text) {
  std::vector<Attached> found;
  const std::string type = HeaderValue(text, "Content-Type");
  const size_t at = type.find("boundary=\"");
  if (at == std::string::npos) return found;
  const size_t start = at + 10;
  const std::string delimiter =
      "--" + type.substr(start, type.find('"', start) - start);
  const std::string body = BodyText(text);
  size_t pos = body.find(delimiter);
  while (pos != std::string::npos) {
    const size_t next = body.find(delimiter, pos + delimiter.size());
    if (next == std::string::npos) break;
    const std::string part = body.substr(pos + delimiter.size() + 2,
                                         next - pos - delimiter.size() - 2);
    const std::string disposition = HeaderValue(part, "Content-Disposition");
    const size_t name_at = disposition.find("filename=\"");
    if (name_at != std::string::npos) {
      const size_t name_start = name_at + 10;
      found.push_back(
          {disposition.substr(name_start,
                              disposition.find('"', name_start) - name_start),
           QByteArray::fromBase64(QByteArray::fromStdString(BodyText(part)))});
    }
    pos = next;
  }
  return found;
}

}  // namespace replyvane::testing

#endif  // REPLYVANE_TESTS_APP_MAIL_SCRIPTS_H_
