// The message boxes the program shows. Every failure that ends a user action
// (a click, a timer event, the close) is reported through ShowFailure, or
// through ReportFailures around the whole action; whatever still leaves an
// event handler is caught by Application (application.h) and shown the same
// way.
//
// For tests: each box is a QMessageBox run with exec(), so while it is open
// QApplication::activeModalWidget() returns it. A QTimer started before the
// action can find it there, read text() and windowTitle(), and close it with
// button(QMessageBox::Ok)->click(). The failure box's object name is
// "FailureBox", the plain one's "MessageBox", the error dialog's
// "ErrorDialog".
#ifndef REPLYVANE_APP_MESSAGE_BOXES_H_
#define REPLYVANE_APP_MESSAGE_BOXES_H_

#include <functional>
#include <string>

namespace replyvane::app {

// The application title: caption of the main window and of every box.
inline constexpr char kApplicationTitle[] = "Replyvane";

// The text with a full stop appended when its last byte is above '.'; an
// empty text stays empty.
std::string WithFullStop(std::string text);

// Shows the failure box (caption kApplicationTitle, error icon, "OK") with
// WithFullStop(message), and waits until the user closes it. `message` is in
// the locale's encoding.
void ShowFailure(const std::string& message);

// Shows the plain box (caption kApplicationTitle, no icon, "OK") and waits
// until the user closes it.
void ShowMessage(const std::string& message);

// Shows the error dialog (caption "Error", error icon, "OK") with
// `message` as it is, and waits until the user closes it.
void ShowErrorDialog(const std::string& message);

// The failure box's text for the exception being handled (call it only
// inside a catch block): a core::Exception's or std::exception's message,
// "Out of memory" for std::bad_alloc, "Unknown failure" for anything else.
std::string CurrentFailureText();

// Runs `action`; any exception it raises (a core::Exception, std::bad_alloc,
// a std::system_error when no thread can be made, anything else) is shown
// with ShowFailure. Returns true when the action ran to its end.
bool ReportFailures(const std::function<void()>& action);

}  // namespace replyvane::app

#endif  // REPLYVANE_APP_MESSAGE_BOXES_H_
