// Moving text between the controls (QString) and the layers below, which
// work on bytes in the locale's encoding. Characters the locale cannot
// encode become what QString::toLocal8Bit makes of them.
#ifndef REPLYVANE_APP_LOCAL_TEXT_H_
#define REPLYVANE_APP_LOCAL_TEXT_H_

#include <QString>
#include <QStringList>
#include <string>
#include <vector>

namespace replyvane::app {

inline QString FromBytes(const std::string& bytes) {
  return QString::fromLocal8Bit(bytes.data(), qsizetype(bytes.size()));
}

inline std::string ToBytes(const QString& text) {
  return text.toLocal8Bit().toStdString();
}

inline std::vector<std::string> ToBytes(const QStringList& lines) {
  std::vector<std::string> result;
  result.reserve(size_t(lines.size()));
  for (const QString& line : lines) result.push_back(ToBytes(line));
  return result;
}

}  // namespace replyvane::app

#endif  // REPLYVANE_APP_LOCAL_TEXT_H_
