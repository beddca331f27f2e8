#include "app/application.h"

#include <string>

#include "app/message_boxes.h"

namespace replyvane::app {

Application::Application(int& argc, char** argv) : QApplication(argc, argv) {}

bool Application::notify(QObject* receiver, QEvent* event) {
  std::string failure;
  try {
    return QApplication::notify(receiver, event);
  } catch (...) {
    failure = CurrentFailureText();
  }
  // The box runs its own event loop once the exception is gone.
  ShowFailure(failure);
  return false;
}

}  // namespace replyvane::app
