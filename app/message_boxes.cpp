#include "app/message_boxes.h"

#include <QMessageBox>
#include <QPushButton>
#include <QString>

#include "core/exception.h"

namespace replyvane::app {

namespace {

void RunBox(QMessageBox::Icon icon, const char* name, const std::string& text,
            const char* caption = kApplicationTitle) {
  QMessageBox box(icon, QString::fromUtf8(caption),
                  QString::fromLocal8Bit(text), QMessageBox::Ok);
  box.setObjectName(name);
  box.button(QMessageBox::Ok)->setText("OK");
  box.exec();
}

}  // namespace

std::string WithFullStop(std::string text) {
  if (!text.empty() && static_cast<unsigned char>(text.back()) > '.') {
    text += '.';
  }
  return text;
}

void ShowFailure(const std::string& message) {
  RunBox(QMessageBox::Critical, "FailureBox", WithFullStop(message));
}

void ShowMessage(const std::string& message) {
  RunBox(QMessageBox::NoIcon, "MessageBox", message);
}

void ShowErrorDialog(const std::string& message) {
  RunBox(QMessageBox::Critical, "ErrorDialog", message, "Error");
}

bool ReportFailures(const std::function<void()>& action) {
  try {
    action();
    return true;
  } catch (const core::Exception& failure) {
    ShowFailure(failure.Message());
    return false;
  }
}

}  // namespace replyvane::app
