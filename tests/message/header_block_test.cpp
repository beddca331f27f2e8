#include <gtest/gtest.h>

#include "core/text.h"
#include "message/internet_date.h"
#include "message/message.h"

namespace replyvane::message {
namespace {

constexpr DateTime kSomeDate = 46362.4201388889;  // 6 Dec 2026 10:05

// A message whose header encoding does not depend on the locale.
void UseLatin1Headers(Message& msg) {
  msg.OnInitializeISO = [](Transfer& transfer, char& letter,
                           std::string& charset) {
    transfer = Transfer::bit8;
    letter = 'Q';
    charset = "ISO-8859-1";
  };
}

void ComposeSimple(Message& msg) {
  UseLatin1Headers(msg);
  msg.From().SetText("Ann <ann@example.com>");
  msg.Recipients().SetAddressesText("bob@example.com");
  msg.SetSubject("Hello");
  msg.SetDate(kSomeDate);
  msg.Body().push_back("Hi Bob");
}

std::vector<std::string> Names(const HeaderList& block) {
  std::vector<std::string> names;
  for (const std::string& line : block.Lines()) {
    names.push_back(line.substr(0, line.find(':')));
  }
  return names;
}

TEST(BuildHeaderBlockTest, WritesAPlainMessageExactly) {
  Message msg;
  ComposeSimple(msg);
  const std::string date = "Date: " + FormatInternetDate(kSomeDate, false);
  const std::vector<std::string> expected = {
      "From: \"Ann\" <ann@example.com>",
      "Subject: Hello",
      "To: bob@example.com",
      date,
      "X-Priority: 3",
      "X-Library: Vorn 9.00.10",
  };
  EXPECT_EQ(msg.BuildHeaderBlock()->Lines(), expected);
  EXPECT_EQ(msg.BuildHeaderBlock()->Lines(), expected);
  EXPECT_EQ(msg.ContentType(), "");
}

TEST(BuildHeaderBlockTest, AnnouncesAttachmentsAndAddsTheCharsetOnce) {
  Message msg;
  ComposeSimple(msg);
  msg.MessageParts().AddAttachment("/tmp/a.bin");
  const std::string date = "Date: " + FormatInternetDate(kSomeDate, false);
  const std::vector<std::string> expected = {
      "From: \"Ann\" <ann@example.com>",
      "Subject: Hello",
      "To: bob@example.com",
      "Content-Type: multipart/mixed; "
      "boundary=\"=_NextPart_2rfkvornsadvnqw3nerasdf\"",
      "MIME-Version: 1.0",
      date,
      "X-Priority: 3",
      "X-Library: Vorn 9.00.10",
  };
  EXPECT_EQ(msg.BuildHeaderBlock()->Lines(), expected);
  EXPECT_EQ(msg.BuildHeaderBlock()->Lines(), expected);

  msg.SetCharSet("ISO-8859-1");
  std::unique_ptr<HeaderList> first = msg.BuildHeaderBlock();
  std::unique_ptr<HeaderList> second = msg.BuildHeaderBlock();
  EXPECT_EQ(first->Lines(), second->Lines());
  EXPECT_EQ(msg.ContentType(),
            "multipart/mixed; boundary=\"=_NextPart_2rfkvornsadvnqw3nerasdf\"");
  std::string value = first->ValueOf("Content-Type");
  EXPECT_EQ(value.find("charset=\"ISO-8859-1\""), value.rfind("charset="))
      << value;
  EXPECT_NE(value.find(";"), std::string::npos);
}

TEST(BuildHeaderBlockTest, ChoosesTheMultipartTypeFromTheParts) {
  struct Row {
    const char* name;
    int texts;
    int attachments;
    bool related;
    const char* content_type;
  } rows[] = {
      {"no parts keeps the type", 0, 0, false, "text/plain"},
      {"text parts", 2, 0, false,
       "multipart/alternative; "
       "boundary=\"=_NextPart_2rfkvornsadvnqw3nerasdf\""},
      {"attachments", 1, 1, false,
       "multipart/mixed; boundary=\"=_NextPart_2rfkvornsadvnqw3nerasdf\""},
      {"related part", 0, 1, true,
       "multipart/related; type=\"multipart/alternative\"; "
       "boundary=\"=_NextPart_2relrfksadvnqvornw3nerasdf\""},
  };
  for (const Row& row : rows) {
    Message msg;
    UseLatin1Headers(msg);
    msg.SetContentType("text/plain");
    for (int i = 0; i < row.texts; ++i) msg.MessageParts().AddTextPart();
    for (int i = 0; i < row.attachments; ++i) {
      Attachment& file = msg.MessageParts().AddAttachment("/tmp/x");
      if (row.related) file.ExtraHeaders().Add("Content-ID: <x@y>");
    }
    std::unique_ptr<HeaderList> block = msg.BuildHeaderBlock();
    EXPECT_EQ(msg.ContentType(), row.content_type) << row.name;
    EXPECT_EQ(block->ValueOf("Content-Type"), row.content_type) << row.name;
    EXPECT_EQ(block->ValueOf("MIME-Version"),
              row.texts + row.attachments > 0 ? "1.0" : "")
        << row.name;
  }
}

TEST(BuildHeaderBlockTest, WritesEveryFieldInItsOrderAroundStoredHeaders) {
  Message msg;
  ComposeSimple(msg);
  msg.Headers().Add("Received: from somewhere");
  msg.Headers().Add("Subject: old subject");
  msg.Headers().Add("X-Kept: yes");
  msg.CCList().SetAddressesText("cc@example.com");
  msg.BccList().SetAddressesText("hidden@example.com");
  msg.SetNewsGroups({"comp.lang", "odd group"});
  msg.SetContentTransferEncoding("8bit");
  msg.SetContentType("text/plain");
  msg.Sender().SetText("Sam <sam@example.com>");
  msg.ReplyTo().SetAddressesText("reply@example.com");
  msg.SetOrganization("Org");
  msg.ReceiptRecipient().SetText("rr@example.com");
  msg.SetReferences("<r@x>");
  msg.SetPriority(mpHighest);
  msg.ExtraHeaders().Add("X-Mailer: test");
  std::unique_ptr<HeaderList> block = msg.BuildHeaderBlock();
  EXPECT_EQ(
      Names(*block),
      (std::vector<std::string>{
          "Received", "Subject", "X-Kept", "From", "To", "Cc", "Newsgroups",
          "Content-Type", "Content-Transfer-Encoding", "Sender", "Reply-To",
          "Organization", "Disposition-Notification-To", "References", "Date",
          "X-Priority", "X-Library", "X-Mailer"}));
  EXPECT_EQ(block->ValueOf("Subject"), "Hello");
  EXPECT_EQ(block->ValueOf("Newsgroups"), "comp.lang,\"odd group\"");
  EXPECT_EQ(block->ValueOf("Sender"), "Sam <sam@example.com>");
  EXPECT_EQ(block->ValueOf("X-Priority"), "1");
  msg.SetPriority(mpLowest);
  EXPECT_EQ(msg.BuildHeaderBlock()->ValueOf("X-Priority"), "5");
}

TEST(BuildHeaderBlockTest, RefusesTextPartsInUUMessages) {
  Message msg;
  ComposeSimple(msg);
  msg.SetEncoding(meUU);
  msg.SetContentType("text/plain");
  msg.SetContentTransferEncoding("7bit");
  msg.MessageParts().AddAttachment("/tmp/a");
  std::unique_ptr<HeaderList> block = msg.BuildHeaderBlock();
  EXPECT_EQ(block->FindName("Content-Type"), -1);
  EXPECT_EQ(block->FindName("MIME-Version"), -1);
  EXPECT_EQ(block->FindName("Content-Transfer-Encoding"), -1);

  msg.MessageParts().AddTextPart({"x"});
  try {
    msg.BuildHeaderBlock();
    FAIL() << "a UU message with a text part was built";
  } catch (const MessageException& e) {
    EXPECT_STREQ(e.what(),
                 "Invalid Encoding. UU only allows Body and Attachments");
  }
}

TEST(BuildHeaderBlockTest, UsesTheCurrentTimeWithoutADate) {
  Message msg;
  ComposeSimple(msg);
  msg.SetUseNowForDate(true);
  std::string date = msg.BuildHeaderBlock()->ValueOf("Date");
  std::string parsed = date;
  DateTime when = ParseInternetDate(parsed);
  EXPECT_NEAR(when, Now(), 2.0 / 86400) << date;
}

Message& Apply(Message& msg, const std::vector<std::string>& lines) {
  for (const std::string& line : lines) msg.Headers().Add(line);
  msg.ApplyHeaderBlock();
  return msg;
}

TEST(ApplyHeaderBlockTest, ReadsPriorityTexts) {
  struct Row {
    const char* priority;
    const char* x_priority;
    MessagePriority expected;
  } rows[] = {
      {"", "1 (Highest)", mpHighest},
      {"", "2", mpHigh},
      {"", "3 (Normal)", mpNormal},
      {"", "5", mpLowest},
      {"", "", mpNormal},
      {"", "high", mpNormal},
      {"urgent", "5", mpHigh},
      {"Non-Urgent", "1", mpLow},
      {"non-priority", "", mpLow},
      {"normal", "1", mpNormal},
      {"", "0", mpHighest},
      {"", "9", mpLowest},
      {"", "-4", mpHighest},
  };
  for (const Row& row : rows) {
    Message msg;
    std::vector<std::string> lines;
    if (*row.priority)
      lines.push_back(std::string("Priority: ") + row.priority);
    if (*row.x_priority) {
      lines.push_back(std::string("X-Priority: ") + row.x_priority);
    }
    EXPECT_EQ(Apply(msg, lines).Priority(), row.expected)
        << row.priority << " / " << row.x_priority;
  }
}

TEST(ApplyHeaderBlockTest, ReadsContentTypeCharsetAndBoundary) {
  struct Row {
    const char* content_type;
    const char* charset;
    const char* boundary;
  } rows[] = {
      {"text/plain; charset=iso-8859-1", "ISO-8859-1", ""},
      {"text/plain; charset=\"utf-8\"; format=flowed", "UTF-8", ""},
      {"text/plain; charset=us-ascii; format=flowed", "US-ASCII", ""},
      {"multipart/mixed; boundary=\"abc\"", "", "ABC"},
      {"multipart/mixed;\r\n\tboundary=\"----=_Part_1\"", "", "----=_PART_1"},
      {"text/plain", "", ""},
  };
  for (const Row& row : rows) {
    Message msg;
    std::string type = row.content_type;
    std::vector<std::string> lines;
    std::string first = "Content-Type: " + core::TakeUntil(type, "\r\n");
    lines.push_back(first);
    if (!type.empty()) lines.push_back(type);
    Apply(msg, lines);
    EXPECT_EQ(msg.CharSet(), row.charset) << row.content_type;
    EXPECT_EQ(msg.MIMEBoundary().CurrentBoundary(), row.boundary)
        << row.content_type;
  }
}

TEST(ApplyHeaderBlockTest, FillsTheFieldsOfAReceivedBlock) {
  Message msg;
  Apply(msg, {
                 "Received: from x by y",
                 "From: =?ISO-8859-1?Q?Ann_Lee?= <ann@example.com>",
                 "To: bob@example.com, \"Doe, Jo\" <jo@example.com>",
                 "Cc: =?windows-1252?B?Q2Fy?= <car@example.com>",
                 "Subject: =?iso-8859-1?q?Hello_World?=",
                 "Message-Id: <1@example.com>",
                 "Newsgroups: a.b, \"c,d\" ,,e",
                 "Organization: =?ISO-8859-1?Q?kept?=",
                 "Return-Receipt-To: rr@example.com",
                 "References: <0@example.com>",
                 "Reply-To: Rep <rep@example.com>",
                 "Sender: snd@example.com",
                 "Content-Transfer-Encoding: base64",
                 "Content-Disposition: inline",
                 "Date: Sun, 06 Dec 2026 10:00:00 +0000",
             });
  EXPECT_EQ(msg.From().Name(), "Ann Lee");
  EXPECT_EQ(msg.From().Address(), "ann@example.com");
  ASSERT_EQ(msg.Recipients().Count(), 2);
  EXPECT_EQ(msg.Recipients()[1].Name(), "Doe, Jo");
  ASSERT_EQ(msg.CCList().Count(), 1);
  EXPECT_EQ(msg.CCList()[0].Name(), "Car");
  EXPECT_EQ(msg.Subject(), "Hello World");
  EXPECT_EQ(msg.MsgId(), "<1@example.com>");
  EXPECT_EQ(msg.NewsGroups(),
            (std::vector<std::string>{"a.b", "\"c,d\"", "e"}));
  EXPECT_EQ(msg.Organization(), "=?ISO-8859-1?Q?kept?=");
  EXPECT_EQ(msg.ReceiptRecipient().Address(), "rr@example.com");
  EXPECT_EQ(msg.References(), "<0@example.com>");
  EXPECT_EQ(msg.ReplyTo().AddressesText(), "Rep <rep@example.com>");
  EXPECT_EQ(msg.Sender().Address(), "snd@example.com");
  EXPECT_EQ(msg.ContentTransferEncoding(), "base64");
  EXPECT_EQ(msg.ContentDisposition(), "inline");
  EXPECT_EQ(msg.Date(), InternetDateToLocal("Sun, 06 Dec 2026 10:00:00 +0000"));
  EXPECT_FALSE(msg.UseNowForDate());
  EXPECT_EQ(msg.Headers().Count(), 15);

  Message receipt;
  Apply(receipt, {"Disposition-Notification-To: dn@example.com",
                  "Return-Receipt-To: rr@example.com"});
  EXPECT_EQ(receipt.ReceiptRecipient().Address(), "dn@example.com");
}

}  // namespace
}  // namespace replyvane::message
