// A start beside settings that a running window program already uses. The
// first program (which holds responder::InstanceLock) listens on a local
// socket named by responder::InstanceChannelName; a later start connects,
// says "show", and the first answers "shown" after bringing its hidden or
// minimized window to the front, or "visible" when the window is in view
// already. The later start then ends quietly, or with a box saying so.
#ifndef REPLYVANE_APP_SINGLE_INSTANCE_H_
#define REPLYVANE_APP_SINGLE_INSTANCE_H_

#include <QLocalServer>
#include <string>

class QWidget;

namespace replyvane::app {

// The text of the box a later start shows.
inline constexpr char kAlreadyRunningText[] =
    "Replyvane is already running for these settings.";

// The first program's side. Listens from construction until destruction;
// a listener that cannot listen (the name taken by another user) answers
// nothing, and later starts then show the box.
class InstanceListener {
 public:
  // `window` must outlive the listener.
  InstanceListener(const std::string& settings_folder, QWidget* window);

  bool IsListening() const { return server_.isListening(); }

 private:
  void Answer(class QLocalSocket* socket);

  QWidget* window_;
  QLocalServer server_;
};

enum class FirstInstanceAnswer {
  kShown,     // its window was hidden and is now in front
  kVisible,   // its window was in view already
  kNoAnswer,  // nobody of ours listens, or no answer in time
};

// Asks the program listening for `settings_folder` to bring its window to
// the front, trying again while it may still be starting; waits at most
// `timeout_ms`, running the event loop meanwhile.
FirstInstanceAnswer AskFirstInstanceToShow(const std::string& settings_folder,
                                           int timeout_ms = 5000);

// The whole later start: asks the first program to show itself and, unless
// it did, shows the box (caption "Replyvane", information icon, "OK",
// object name "AlreadyRunningBox") with kAlreadyRunningText. Returns the
// exit status, 0.
int GiveWayToFirstInstance(const std::string& settings_folder);

}  // namespace replyvane::app

#endif  // REPLYVANE_APP_SINGLE_INSTANCE_H_
