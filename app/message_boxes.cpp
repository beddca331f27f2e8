#include "app/message_boxes.h"

#include <QMessageBox>
#include <QPushButton>
#include <QString>
#include <exception>
#include <new>

#include "core/exception.h"

namespace replyvane::app {

namespace {

void RunBox(QMessageBox::Icon icon, const char* name, const std::string& text,
            const char* caption = kApplicationTitle) {
  QMessageBox box(icon, QString::fromUtf8(caption),
                  QString::fromLocal8Bit(text), QMessageBox::Ok);
  box.setObjectName(name);
  // Failure texts carry server replies and file names: never markup.
  box.setTextFormat(Qt::PlainText);
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

std::string CurrentFailureText() {
  try {
    throw;
  } catch (const core::Exception& failure) {
    return failure.Message();
  } catch (const std::bad_alloc&) {
    return "Out of memory";
  } catch (const std::exception& failure) {
    return failure.what();
  } catch (...) {
    return "Unknown failure";
  }
}

bool ReportFailures(const std::function<void()>& action) {
  std::string failure;
  try {
    action();
    return true;
  } catch (...) {
    failure = CurrentFailureText();
  }
  // Shown once the exception is gone, so the box's own event loop does not
  // run inside the handler.
  ShowFailure(failure);
  return false;
}

}  // namespace replyvane::app
