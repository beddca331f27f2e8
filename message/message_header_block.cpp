// Header blocks of a message: building the lines to send from the fields,
// and applying received lines to the fields.
#include <algorithm>

#include "core/text.h"
#include "message/eight_bit_text.h"
#include "message/header_charset.h"
#include "message/internet_date.h"
#include "message/message.h"
#include "message/message_encoder.h"

namespace replyvane::message {
namespace {

// The names joined by ","; a name with a blank, comma or quote is quoted.
std::string JoinNewsGroups(const std::vector<std::string>& groups) {
  std::string result;
  for (const std::string& group : groups) {
    if (!result.empty()) result += ',';
    if (group.find_first_of(" ,\"") == std::string::npos && !group.empty()) {
      result += group;
      continue;
    }
    result += '"';
    for (char ch : group) {
      if (ch == '"') result += '"';
      result += ch;
    }
    result += '"';
  }
  return result;
}

// Splits at commas outside a quoted piece; pieces trimmed, empty ones
// skipped.
std::vector<std::string> SplitNewsGroups(const std::string& value) {
  std::vector<std::string> groups;
  std::string piece;
  int quotes = 0;
  auto flush = [&] {
    std::string trimmed = core::Trim(piece);
    if (!trimmed.empty()) groups.push_back(trimmed);
    piece.clear();
    quotes = 0;
  };
  for (char ch : value) {
    if (ch == ',' && quotes != 1) {
      flush();
      continue;
    }
    if (ch == '"') ++quotes;
    piece += ch;
  }
  flush();
  return groups;
}

// Parses a received address into `item`; a fault leaves it with what was
// read before it. Encoded words are decoded in the name only after the
// parse, so that what they hold can never become an address or a second
// element.
void ReadAddressItem(EMailAddressItem& item, std::string_view text) {
  try {
    item.SetText(text);
  } catch (const EmailParseError&) {
  }
  item.SetName(DecodeReceivedHeaderWords(item.Name()));
  item.SetAddress(core::BlankLineBreaks(item.Address()));
}

void ReadAddressList(EMailAddressList& list, std::string_view text) {
  list.ReadAddressesText(text);
  for (int i = 0; i < list.Count(); ++i) {
    list[i].SetName(DecodeReceivedHeaderWords(list[i].Name()));
    list[i].SetAddress(core::BlankLineBreaks(list[i].Address()));
  }
}

}  // namespace

MessagePriority ParsePriorityText(std::string_view value) {
  std::string lower = core::LowerCase(value);
  // "non-urgent" names the low priority even though it contains "urgent".
  if (lower.find("non-urgent") != std::string::npos) return mpLow;
  if (lower.find("urgent") != std::string::npos) return mpHigh;
  if (lower.find("non-priority") != std::string::npos) return mpLow;
  std::string text = core::Trim(value);
  int number = core::StrToIntDef(core::TakeUntil(text, " "), 3);
  return MessagePriority(std::clamp(number, 1, 5) - 1);
}

std::unique_ptr<HeaderList> Message::BuildHeaderBlock() {
  message_parts_->CountParts();
  if (encoding_ == meUU && (message_parts_->RelatedPartCount() > 0 ||
                            message_parts_->TextPartCount() > 0)) {
    throw MessageException(
        "Invalid Encoding. UU only allows Body and Attachments");
  }
  if (encoding_ == meMIME) {
    message_parts_->EncoderInfo().PrepareMessageHeaders(*this);
  }
  HeaderCharset header_charset = DefaultHeaderCharset();
  NotifyInitializeISO(header_charset.transfer, header_charset.encoding,
                      header_charset.charset);
  auto block = std::make_unique<HeaderList>();
  block->AddLines(headers_);
  StoreGeneratedHeaders(*block, header_charset.transfer,
                        header_charset.encoding, header_charset.charset);
  block->AddLines(extra_headers_);
  return block;
}

void Message::StoreGeneratedHeaders(HeaderList& block, Transfer transfer,
                                    char letter, const std::string& charset) {
  // A field's own line ends become blanks before encoding: only the folds
  // that the encoding and the block write may continue a header.
  const auto unbroken = [](std::string_view text) {
    return core::BlankLineBreaks(text);
  };
  // The charset and the 8-bit label go into the written values only, so
  // that building twice gives the same block.
  std::string content_type = unbroken(content_type_);
  std::string transfer_encoding = unbroken(content_transfer_encoding_);
  const bool labelled = LabelsPlainBody(*this);
  if (labelled) {
    content_type = WithCharset(
        "text/plain", char_set_.empty() ? charset : unbroken(char_set_));
    // ISO-2022-JP text is 7-bit once converted.
    transfer_encoding =
        transfer == Transfer::iso2022jp ? "7bit" : "quoted-printable";
  } else if (!char_set_.empty()) {
    std::string param = "charset=\"" + unbroken(char_set_) + "\"";
    content_type =
        content_type.empty() ? param : content_type + ";\r\n\t" + param;
  }
  const bool mime = encoding_ == meMIME;
  block.StoreValue("From",
                   EncodeAddressForHeader(from_, letter, transfer, charset));
  block.StoreValue("Subject", EncodeHeaderWords(unbroken(subject_), "", letter,
                                                transfer, charset));
  block.StoreValue(
      "To", EncodeAddressListForHeader(recipients_, letter, transfer, charset));
  block.StoreValue(
      "Cc", EncodeAddressListForHeader(cc_list_, letter, transfer, charset));
  block.StoreValue("Newsgroups", unbroken(JoinNewsGroups(news_groups_)));
  if (mime) {
    block.StoreValue("Content-Type", content_type);
    if (!message_parts_->Empty() || labelled) {
      block.StoreValue("MIME-Version", "1.0");
    }
    block.StoreValue("Content-Transfer-Encoding", transfer_encoding);
  }
  block.StoreValue("Sender", unbroken(sender_.Text()));
  block.StoreValue("Reply-To", EncodeAddressListForHeader(reply_to_, letter,
                                                          transfer, charset));
  block.StoreValue("Organization",
                   EncodeHeaderWords(unbroken(organization_), "", letter,
                                     transfer, charset));
  block.StoreValue(
      "Disposition-Notification-To",
      EncodeAddressForHeader(receipt_recipient_, letter, transfer, charset));
  block.StoreValue("References", unbroken(references_));
  block.StoreValue("Date",
                   FormatInternetDate(UseNowForDate() ? Now() : date_, false));
  block.StoreValue("X-Priority", std::to_string(int(priority_) + 1));
  block.StoreValue("X-Library", kLibraryVersion);
}

void Message::ApplyHeaderBlock() {
  // Received headers come from strangers: a field that does not parse keeps
  // what could be read (or its raw text), and never stops the reading.
  const HeaderList& h = headers_;
  content_type_ = h.ValueOf("Content-Type");
  char_set_ = core::UpperCase(ParameterValue(content_type_, "CHARSET="));
  content_transfer_encoding_ = h.ValueOf("Content-Transfer-Encoding");
  content_disposition_ = h.ValueOf("Content-Disposition");
  subject_ = DecodeReceivedHeaderWords(h.ValueOf("Subject"));
  ReadAddressItem(from_, h.ValueOf("From"));
  msg_id_ = h.ValueOf("Message-Id");
  news_groups_ = SplitNewsGroups(h.ValueOf("Newsgroups"));
  ReadAddressList(recipients_, h.ValueOf("To"));
  ReadAddressList(cc_list_, h.ValueOf("Cc"));
  organization_ = h.ValueOf("Organization");
  ReadAddressItem(receipt_recipient_, h.ValueOf("Disposition-Notification-To"));
  if (receipt_recipient_.Text().empty()) {
    ReadAddressItem(receipt_recipient_, h.ValueOf("Return-Receipt-To"));
  }
  references_ = h.ValueOf("References");
  ReadAddressList(reply_to_, h.ValueOf("Reply-To"));
  try {
    date_ = InternetDateToLocal(h.ValueOf("Date"));
  } catch (const core::Exception&) {
    date_ = 0;  // a date the clock cannot hold reads as no date
  }
  ReadAddressItem(sender_, h.ValueOf("Sender"));
  std::string priority = h.ValueOf("Priority");
  priority_ =
      ParsePriorityText(priority.empty() ? h.ValueOf("X-Priority") : priority);
  mime_boundary_.PushBoundary(BoundaryFromContentType(content_type_));
}

}  // namespace replyvane::message
