// The response run: for every listed message, last to first, the response
// to its sender, the forward when switched on, the message disposed of
// (POP3: DELE) and the row's removal, and the pause; then the end of the
// session (POP3: QUIT). No failure is handled here: the first one ends the
// run and leaves the rows still ahead, the status texts and the mailbox
// session as they are. A message that names nobody to answer is passed
// over and stays on the server.
#include <time.h>

#include "core/text.h"
#include "mail/smtp.h"
#include "message/forward_text.h"
#include "message/message.h"
#include "net/exceptions.h"
#include "responder/message_id.h"
#include "responder/placeholders.h"
#include "responder/responder_job.h"
#include "responder/sender_lists.h"
#include "responder/server_failure.h"

namespace replyvane::responder {

void ResponderJob::ProcessMessages() {
  answered_count_ = 0;
  not_answered_count_ = 0;
  deleted_count_ = 0;
  for (int row = int(rows_.size()) - 1; row >= 0; --row) {
    if (!ProcessRow(row)) break;
  }
  EndSession();
  view_.SetConnected(false);
  if (settings_.auto_reply_rules) {
    view_.RunFinished(answered_count_, not_answered_count_);
  }
}

void ResponderJob::EndSession() {
  try {
    source_->Finish();
  } catch (...) {
    view_.SetConnected(false);
    throw;
  }
  if (deleted_count_ > 0) view_.DeletionsConfirmed();
}

std::string ResponderJob::WhyNotAnswered(const ListedMessage& listed) {
  const Settings& settings = settings_;
  if (std::string why = SenderListReason(
          settings.never_answer, settings.only_answer, listed.sender_address);
      !why.empty()) {
    return why;
  }
  if (settings.auto_reply_rules) {
    std::string reason = NotAnsweredReason(listed.kind, listed.sender_address,
                                           settings.from_address);
    if (!reason.empty()) return reason;
  }
  if (settings.once_per_sender_days > 0) {
    const int64_t last = journal_.LastAnswered(listed.sender_address);
    const int64_t now = ::time(nullptr);
    if (last > 0 &&
        now - last < int64_t(settings.once_per_sender_days) * 24 * 60 * 60) {
      char date[16];
      const time_t when = time_t(last);
      struct tm local;
      ::localtime_r(&when, &local);
      ::strftime(date, sizeof(date), "%Y-%m-%d", &local);
      return std::string("answered on ") + date;
    }
  }
  return "";
}

bool ResponderJob::ProcessRow(int row) {
  view_.ProcessEvents();
  if (size_t(row) >= rows_.size()) return false;
  // A copy: the rows may change while the network waits serve input.
  const ListedMessage listed = rows_[size_t(row)];
  if (listed.reply_to.empty()) {
    // Nothing to answer and nobody to name in a forward: the message stays
    // on the server for its owner, and the run goes on.
    view_.WritePanel(0, kNoSenderText);
    rows_[size_t(row)].status = kNoSenderText;
    view_.RowChanged(row, rows_[size_t(row)]);
    MessageOutcome outcome;
    outcome.not_answered = "no sender address";
    ++not_answered_count_;
    RecordHistory(listed, outcome, "");
    view_.MessageDone(rows_[size_t(row)], outcome);
    return true;
  }
  view_.WritePanel(0, "Processing " + listed.subject);
  view_.ShowBusy(true);
  MessageOutcome outcome;
  // One reading per message: a change made in the pause applies to the
  // next message, and no message is made of two versions of the settings.
  settings_ = view_.CurrentSettings();
  const Settings& settings = settings_;
  const JournalEntry* answered = journal_.Find(listed.identity);
  const bool forwarded_before = answered != nullptr && answered->forwarded;
  std::string response_name;  // empty: the default
  if (answered != nullptr) {
    // Answered at an earlier check that a failure stopped after the
    // response: never again; only what is still missing is done.
    outcome.already_answered = true;
    rows_[size_t(row)].status = kAlreadyAnsweredText;
    view_.RowChanged(row, rows_[size_t(row)]);
  } else if (std::string why = WhyNotAnswered(listed); !why.empty()) {
    // Still forwarded and deleted, so the owner sees it.
    outcome.not_answered = why;
    ++not_answered_count_;
    rows_[size_t(row)].status = "Not answered: " + why;
    view_.RowChanged(row, rows_[size_t(row)]);
  } else {
    const bool rules = settings.auto_reply_rules;
    ResponseText response = TakeResponseText(settings);
    if (const NamedResponse* chosen = ChooseResponseFor(listed)) {
      UseNamedResponse(*chosen, response);
      response_name = chosen->name;
    }
    if (settings.fill_placeholders) {
      const PlaceholderValues values = MakePlaceholderValues(
          listed.subject, listed.sender_name, listed.sender_address,
          listed.date, ::time(nullptr));
      response.subject = FillPlaceholders(response.subject, values);
      response.body = FillPlaceholders(response.body, values);
      response.html = FillPlaceholders(response.html, HtmlEscaped(values));
    }
    ComposeResponse(*msg_send_, response, listed.reply_to);
    if (rules) {
      msg_send_->ExtraHeaders().Add("Message-ID: " +
                                    NewMessageId(msg_send_->From().Address()));
      for (const std::string& line : ResponseHeaders(listed.kind)) {
        msg_send_->ExtraHeaders().Add(line);
      }
    }
    SendThroughSmtp(*msg_send_, [&] {
      const int64_t now = ::time(nullptr);
      Notice(journal_.RecordAnswered(listed.identity, listed.reply_to, now,
                                     listed.sender_address));
    });
    outcome.answered = true;
    ++answered_count_;
  }
  if (settings.forward && !forwarded_before) {
    msg_send_->ResetMessage();
    source_->Fetch(listed.ref, *msg_send_);
    ComposeForward(*forward_msg_, *msg_send_, listed.from,
                   settings.forward_address, settings.from_address,
                   settings.from_name);
    if (settings.auto_reply_rules) {
      forward_msg_->ExtraHeaders().Add(
          "Message-ID: " + NewMessageId(forward_msg_->From().Address()));
      forward_msg_->ExtraHeaders().Add(kForwardHeader);
    }
    SendThroughSmtp(*forward_msg_, [&] {
      Notice(journal_.RecordForwarded(listed.identity, ::time(nullptr)));
    });
    outcome.forwarded = true;
  }
  if (const std::string done = source_->Dispose(listed.ref); !done.empty()) {
    outcome.deleted = done == kDisposedDeleted;
    if (outcome.deleted) {
      ++deleted_count_;
    } else if (done != kDisposedKept) {
      outcome.disposed = done;
    }
    RemoveRow(row);
  }
  RecordHistory(listed, outcome, response_name);
  view_.MessageDone(listed, outcome);
  view_.Pause();
  view_.WritePanel(0, "");
  view_.WritePanel(1, "");
  view_.ShowBusy(false);
  return true;
}

void ResponderJob::RecordHistory(const ListedMessage& listed,
                                 const MessageOutcome& outcome,
                                 const std::string& response) {
  HistoryEntry entry;
  entry.at = ::time(nullptr);
  entry.outcome = outcome.answered ? HistoryEntry::Outcome::kAnswered
                  : outcome.already_answered
                      ? HistoryEntry::Outcome::kAnsweredEarlier
                      : HistoryEntry::Outcome::kNotAnswered;
  entry.sender_address = listed.sender_address;
  entry.sender_name = listed.sender_name;
  entry.subject = listed.subject;
  entry.response = response;
  entry.forwarded = outcome.forwarded;
  entry.why_not = outcome.not_answered;
  Notice(history_.Append(entry));
}

const NamedResponse* ResponderJob::ChooseResponseFor(
    const ListedMessage& listed) {
  const ResponseRules& rules = response_rules_;
  if (rules.Empty()) return nullptr;
  RuleSubject subject{listed.subject, listed.sender_address,
                      listed.recipient_addresses, nullptr};
  subject.text = [&] {
    // Read into the message the response is made in next, which the
    // composing resets.
    msg_send_->ResetMessage();
    source_->Fetch(listed.ref, *msg_send_);
    std::string text;
    for (const std::string& line : message::ForwardTextLines(*msg_send_)) {
      text += line + "\n";
    }
    return text;
  };
  return ChooseResponse(rules, subject);
}

void ResponderJob::UseNamedResponse(const NamedResponse& chosen,
                                    ResponseText& response) {
  if (chosen.from_address) response.from_address = *chosen.from_address;
  if (chosen.from_name) response.from_name = *chosen.from_name;
  if (chosen.subject) response.subject = *chosen.subject;
  if (chosen.text) response.body = *chosen.text;
  if (!chosen.attachments.empty())
    response.attachment_paths = chosen.attachments;
  if (!chosen.html.empty()) response.html = core::SplitLines(chosen.html);
}

ResponseText ResponderJob::TakeResponseText(const Settings& settings) {
  ResponseText response;
  response.attachment_paths = settings.attachment_paths;
  response.body = settings.response_body;
  response.from_address = settings.from_address;
  response.subject = settings.subject;
  response.from_name = settings.from_name;
  response.html = core::SplitLines(settings.response_html);
  return response;
}

void ResponderJob::SendThroughSmtp(message::Message& msg,
                                   const std::function<void()>& accepted) {
  const Settings& settings = settings_;
  RequireKnownMode(settings.smtp_encryption, Server::kSmtp);
  smtp_->SetAuthenticationType(settings.smtp_authentication);
  smtp_->SetUsername(settings.smtp_user);
  smtp_->SetPassword(settings.smtp_password);
  smtp_->SetAccessToken("");
  if (settings.smtp_oauth.On()) {
    // A token replaces the password, so the log-in happens whatever the
    // authentication setting says.
    smtp_->SetAuthenticationType(mail::AuthenticationType::atLogin);
    smtp_->SetAccessToken(AccessToken(true));
  }
  smtp_->SetHost(settings.smtp_host);
  smtp_->SetPort(settings.smtp_port);
  smtp_->SetTLSMode(settings.smtp_encryption.mode);
  smtp_->SetTLSFingerprint(settings.smtp_encryption.fingerprint);
  smtp_->SetReadTimeout(settings.read_timeout_seconds * 1000);
  if (std::string none = NoServerText("SMTP", settings.smtp_host);
      !none.empty()) {
    throw ServerFailure(none);
  }
  try {
    smtp_->ConnectToHost(settings.read_timeout_seconds * 1000);
    try {
      smtp_->SendMessage(msg);
      // The server took the message: recorded before anything else happens.
      accepted();
    } catch (...) {
      smtp_->CloseConnection();
      throw;
    }
    smtp_->CloseConnection();
  } catch (const net::ReadTimeout&) {
    throw;  // names the server and what was awaited already
  } catch (const net::WriteTimeout&) {
    throw;
  } catch (const core::Exception& failure) {
    throw ServerFailure(failure.Message() + "\r\n" +
                        CauseLine(*smtp_, failure));
  }
}

}  // namespace replyvane::responder
