// The program's QApplication. An exception that leaves an event handler or a
// slot, however it was raised (std::bad_alloc, std::system_error when no
// thread can be made, a core::Exception that no ReportFailures caught), ends
// only that event: it is shown in the failure box and the program goes on,
// instead of unwinding through Qt, which would abort the program.
#ifndef REPLYVANE_APP_APPLICATION_H_
#define REPLYVANE_APP_APPLICATION_H_

#include <QApplication>

namespace replyvane::app {

class Application : public QApplication {
 public:
  // `argc` must stay valid for the application's life (as for QApplication).
  Application(int& argc, char** argv);

  // Delivers the event; a failure it raises is shown with ShowFailure and the
  // event counts as not handled.
  bool notify(QObject* receiver, QEvent* event) override;
};

}  // namespace replyvane::app

#endif  // REPLYVANE_APP_APPLICATION_H_
