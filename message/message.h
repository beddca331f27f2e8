// The in-memory mail message: header fields, the plain body, the parts and
// the boundary stack used while reading. BuildHeaderBlock turns the fields
// into the header lines to send; ApplyHeaderBlock turns received header
// lines into fields. Failures: BuildHeaderBlock raises MessageException for
// a UU message with text or related parts; address parsing, encoded-word
// decoding and the time zone query raise their own errors, which propagate.
// ApplyHeaderBlock never fails: received fields that do not parse keep what
// could be read.
#ifndef REPLYVANE_MESSAGE_MESSAGE_H_
#define REPLYVANE_MESSAGE_MESSAGE_H_

#include <functional>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "core/exception.h"
#include "message/date_time.h"
#include "message/email_address.h"
#include "message/email_address_list.h"
#include "message/header_list.h"
#include "message/header_words.h"
#include "message/message_parts.h"
#include "message/mime_boundary.h"

namespace replyvane::message {

enum MessagePriority { mpHighest, mpHigh, mpNormal, mpLow, mpLowest };
enum MessageEncoding { meMIME, meUU };
enum MessageFlag {
  mfAnswered,
  mfFlagged,
  mfDeleted,
  mfDraft,
  mfSeen,
  mfRecent
};

// "Invalid Encoding. UU only allows Body and Attachments" and other misuse
// of a message.
class MessageException : public core::Exception {
 public:
  using core::Exception::Exception;
};

// The value of the X-Library header.
inline constexpr std::string_view kLibraryVersion = "Vorn 9.00.10";

// Called while a header block is built with the transfer kind, encoding
// letter and charset of the header encoding; it may change all three.
using InitializeIsoEvent = std::function<void(
    Transfer& transfer, char& header_encoding, std::string& charset)>;

class Message {
 public:
  // Empty fields, Priority mpNormal, Encoding meMIME, AttachmentEncoding
  // "MIME", UseNowForDate true, no parts.
  Message();
  virtual ~Message();
  Message(const Message&) = delete;
  Message& operator=(const Message&) = delete;

  // The parts collection's encoder name; setting it selects the registered
  // part encoder of that name (raises core::Exception when there is none).
  const std::string& AttachmentEncoding() const;
  void SetAttachmentEncoding(const std::string& name);

  std::vector<std::string>& Body() { return body_; }
  const std::vector<std::string>& Body() const { return body_; }
  void SetBody(std::vector<std::string> lines) { body_ = std::move(lines); }

  // Never written to a header block.
  EMailAddressList& BccList() { return bcc_list_; }
  const EMailAddressList& BccList() const { return bcc_list_; }
  EMailAddressList& CCList() { return cc_list_; }
  const EMailAddressList& CCList() const { return cc_list_; }
  // The To header.
  EMailAddressList& Recipients() { return recipients_; }
  const EMailAddressList& Recipients() const { return recipients_; }
  EMailAddressList& ReplyTo() { return reply_to_; }
  const EMailAddressList& ReplyTo() const { return reply_to_; }

  EMailAddressItem& From() { return from_; }
  const EMailAddressItem& From() const { return from_; }
  // The Disposition-Notification-To header.
  EMailAddressItem& ReceiptRecipient() { return receipt_recipient_; }
  const EMailAddressItem& ReceiptRecipient() const {
    return receipt_recipient_;
  }
  EMailAddressItem& Sender() { return sender_; }
  const EMailAddressItem& Sender() const { return sender_; }

  // Added to the content type of a built header block; stored upper-case
  // when read from a received block.
  const std::string& CharSet() const { return char_set_; }
  void SetCharSet(const std::string& value) { char_set_ = value; }
  const std::string& ContentType() const { return content_type_; }
  void SetContentType(const std::string& value) { content_type_ = value; }
  const std::string& ContentTransferEncoding() const {
    return content_transfer_encoding_;
  }
  void SetContentTransferEncoding(const std::string& value) {
    content_transfer_encoding_ = value;
  }
  // Read from received headers only.
  const std::string& ContentDisposition() const { return content_disposition_; }
  void SetContentDisposition(const std::string& value) {
    content_disposition_ = value;
  }

  // 0 means: the current time when a header block is built.
  DateTime Date() const { return date_; }
  void SetDate(DateTime value) { date_ = value; }
  // True exactly when Date is 0; setting either value makes Date 0.
  bool UseNowForDate() const { return date_ == 0; }
  void SetUseNowForDate(bool) { date_ = 0; }

  // Setting it also selects the attachment encoder: "MIME" for meMIME,
  // "UUE" for meUU.
  MessageEncoding Encoding() const { return encoding_; }
  void SetEncoding(MessageEncoding value);

  // Lines appended to a built header block as they are.
  HeaderList& ExtraHeaders() { return extra_headers_; }
  const HeaderList& ExtraHeaders() const { return extra_headers_; }
  void SetExtraHeaders(const HeaderList& lines);

  // Written as one comma-separated Newsgroups value.
  std::vector<std::string>& NewsGroups() { return news_groups_; }
  const std::vector<std::string>& NewsGroups() const { return news_groups_; }
  void SetNewsGroups(std::vector<std::string> lines) {
    news_groups_ = std::move(lines);
  }

  // Sending: write the stored Headers and Body unchanged.
  bool NoEncode() const { return no_encode_; }
  void SetNoEncode(bool value) { no_encode_ = value; }
  // Reception: keep the whole body in Body, no part decoding.
  bool NoDecode() const { return no_decode_; }
  void SetNoDecode(bool value) { no_decode_ = value; }

  const std::string& Organization() const { return organization_; }
  void SetOrganization(const std::string& value) { organization_ = value; }
  MessagePriority Priority() const { return priority_; }
  void SetPriority(MessagePriority value) { priority_ = value; }
  const std::string& References() const { return references_; }
  void SetReferences(const std::string& value) { references_ = value; }
  const std::string& Subject() const { return subject_; }
  void SetSubject(const std::string& value) { subject_ = value; }

  InitializeIsoEvent OnInitializeISO;

  // The header lines of a received message (also copied into a built block).
  HeaderList& Headers() { return headers_; }
  const HeaderList& Headers() const { return headers_; }
  class MessageParts& MessageParts() {
    return *message_parts_;
  }
  const class MessageParts& MessageParts() const { return *message_parts_; }
  class MIMEBoundary& MIMEBoundary() {
    return mime_boundary_;
  }
  const class MIMEBoundary& MIMEBoundary() const { return mime_boundary_; }
  // The Message-Id of a received message; kept by ResetMessage.
  const std::string& MsgId() const { return msg_id_; }
  void SetMsgId(const std::string& value) { msg_id_ = value; }
  std::set<MessageFlag>& Flags() { return flags_; }
  const std::set<MessageFlag>& Flags() const { return flags_; }

  // Calls OnInitializeISO when it is set.
  virtual void NotifyInitializeISO(Transfer& transfer, char& header_encoding,
                                   std::string& charset);
  // ResetHeaderFields, then ResetContent.
  virtual void ResetMessage();
  // Empties every header field, Headers, ExtraHeaders, the boundaries and
  // the flags; keeps MsgId, Encoding, AttachmentEncoding, NoEncode, NoDecode
  // and the event.
  void ResetHeaderFields();
  // Destroys the parts and empties Body.
  void ResetContent();

  // A new header block for sending: Headers, then the fields in their fixed
  // order (From, Subject, To, Cc, Newsgroups, Content-Type, MIME-Version,
  // Content-Transfer-Encoding, Sender, Reply-To, Organization,
  // Disposition-Notification-To, References, Date, X-Priority, X-Library),
  // then ExtraHeaders. An empty field gives no line. With meMIME the part
  // encoder may set ContentType to a multipart type; the CharSet parameter
  // is added to the written value only. Raises MessageException "Invalid
  // Encoding. UU only allows Body and Attachments" for meUU with text or
  // related parts.
  std::unique_ptr<HeaderList> BuildHeaderBlock();
  // Sets the fields from Headers and pushes the top-level boundary. A field
  // that does not parse keeps what was read before the fault; undecodable
  // encoded words stay as received; decoded texts hold no CR, LF or NUL.
  void ApplyHeaderBlock();

 private:
  void StoreGeneratedHeaders(HeaderList& block, Transfer transfer,
                             char header_encoding, const std::string& charset);

  std::vector<std::string> body_;
  EMailAddressList bcc_list_;
  EMailAddressList cc_list_;
  EMailAddressList recipients_;
  EMailAddressList reply_to_;
  EMailAddressItem from_;
  EMailAddressItem receipt_recipient_;
  EMailAddressItem sender_;
  std::string char_set_;
  std::string content_type_;
  std::string content_transfer_encoding_;
  std::string content_disposition_;
  DateTime date_ = 0;
  MessageEncoding encoding_ = meMIME;
  HeaderList extra_headers_;
  std::vector<std::string> news_groups_;
  bool no_encode_ = false;
  bool no_decode_ = false;
  std::string organization_;
  MessagePriority priority_ = mpNormal;
  std::string references_;
  std::string subject_;
  HeaderList headers_;
  std::unique_ptr<class MessageParts> message_parts_;
  class MIMEBoundary mime_boundary_;
  std::string msg_id_;
  std::set<MessageFlag> flags_;
};

// The priority of a Priority or X-Priority value: "urgent" gives mpHigh,
// "non-urgent" and "non-priority" mpLow; otherwise the number that starts
// the value, minus one (1 is mpHighest, 5 mpLowest, clamped to that range);
// a value without a number (empty included) gives mpNormal.
MessagePriority ParsePriorityText(std::string_view value);

}  // namespace replyvane::message

#endif  // REPLYVANE_MESSAGE_MESSAGE_H_
