// What the responder job reports to, and asks of, whoever drives it: the
// windows or the unattended run. Every call comes on the thread that runs
// the job. The texts are bytes in the locale's encoding. Panels are the
// status bar's: 0 the message being processed, 1 the connection state.
#ifndef REPLYVANE_RESPONDER_JOB_VIEW_H_
#define REPLYVANE_RESPONDER_JOB_VIEW_H_

#include <string>

#include "responder/listed_message.h"
#include "responder/settings.h"

namespace replyvane::responder {

class JobView {
 public:
  virtual ~JobView() = default;

  // The settings as they stand now; asked when a check starts and at each
  // message of its run, so that a change made in a pause applies to the
  // next message.
  virtual Settings CurrentSettings() = 0;

  // A point where pending user input may be served (the job may be
  // re-entered through Disconnect from there).
  virtual void ProcessEvents() {}
  virtual void ShowBusy(bool /*busy*/) {}
  // Panel 1, shown at once.
  virtual void ShowStatusText(const std::string& /*text*/) {}
  virtual void WritePanel(int /*panel*/, const std::string& /*text*/) {}
  // The connection state the controls show; also writes panel 1.
  virtual void SetConnected(bool /*connected*/) {}
  // The POP3 log-in failed; `text` says so. Returns when the user has seen
  // it.
  virtual void ConnectFailed(const std::string& /*text*/) {}
  // The check found messages and listed them all.
  virtual void MailboxListed() {}
  // Something the user should know that stops nothing (the journal of
  // answered messages could not be read or written).
  virtual void Notice(const std::string& /*text*/) {}

  // The list of waiting messages changed.
  virtual void RowsCleared() {}
  virtual void RowAdded(const ListedMessage& /*row*/) {}
  virtual void RowRemoved(int /*index*/) {}
  virtual void RowChanged(int /*index*/, const ListedMessage& /*row*/) {}

  // The run is through with one message.
  virtual void MessageDone(const ListedMessage& /*row*/,
                           const MessageOutcome& /*outcome*/) {}
  // The server confirmed at QUIT that the messages the run deleted are
  // gone (called only when it deleted any).
  virtual void DeletionsConfirmed() {}
  // The pause after each answered message; returns when the run may go on.
  virtual void Pause() {}
  // The run is over: how many messages it answered and how many it did not
  // answer (for the rules, or for want of a sender).
  virtual void RunFinished(int /*answered*/, int /*not_answered*/) {}
};

}  // namespace replyvane::responder

#endif  // REPLYVANE_RESPONDER_JOB_VIEW_H_
