#include "message/message.h"

#include <gtest/gtest.h>

#include "message/coder_registry.h"

namespace replyvane::message {
namespace {

TEST(MessageTest, StartsWithTheDocumentedDefaults) {
  Message msg;
  EXPECT_EQ(msg.Priority(), mpNormal);
  EXPECT_EQ(msg.Encoding(), meMIME);
  EXPECT_EQ(msg.AttachmentEncoding(), "MIME");
  EXPECT_EQ(&msg.MessageParts().EncoderInfo(), &EncoderInfoByName("MIME"));
  EXPECT_TRUE(msg.UseNowForDate());
  EXPECT_EQ(msg.Date(), 0);
  EXPECT_EQ(msg.MessageParts().Count(), 0);
  EXPECT_FALSE(msg.NoEncode());
  EXPECT_FALSE(msg.NoDecode());
  EXPECT_TRUE(msg.Body().empty());
  EXPECT_EQ(msg.Recipients().Count(), 0);
  EXPECT_EQ(msg.From().Text(), "");
  EXPECT_EQ(msg.ContentType(), "");
  EXPECT_EQ(msg.CharSet(), "");
  EXPECT_EQ(msg.MIMEBoundary().CurrentBoundary(), "");
}

TEST(MessageTest, CouplesDateWithUseNowAndEncodingWithAttachmentEncoding) {
  Message msg;
  msg.SetDate(46000.5);
  EXPECT_FALSE(msg.UseNowForDate());
  msg.SetUseNowForDate(false);  // either value clears the date
  EXPECT_EQ(msg.Date(), 0);
  EXPECT_TRUE(msg.UseNowForDate());
  msg.SetDate(1);
  msg.SetUseNowForDate(true);
  EXPECT_EQ(msg.Date(), 0);

  msg.SetEncoding(meUU);
  EXPECT_EQ(msg.AttachmentEncoding(), "UUE");
  EXPECT_EQ(&msg.MessageParts().EncoderInfo(), &EncoderInfoByName("UUE"));
  msg.SetAttachmentEncoding("XXE");
  EXPECT_EQ(msg.Encoding(), meUU);
  msg.SetEncoding(meMIME);
  EXPECT_EQ(msg.AttachmentEncoding(), "MIME");

  try {
    msg.SetAttachmentEncoding("mime");  // names match exactly
    FAIL() << "no error for an unregistered name";
  } catch (const core::Exception& e) {
    EXPECT_STREQ(e.what(), "Message encoder not found: mime");
  }
  EXPECT_EQ(msg.AttachmentEncoding(), "MIME");
}

TEST(MessageTest, ResetClearsFieldsAndPartsButKeepsSettings) {
  Message msg;
  msg.SetEncoding(meUU);
  msg.SetNoEncode(true);
  msg.SetNoDecode(true);
  msg.SetMsgId("<id@x>");
  int notified = 0;
  msg.OnInitializeISO = [&](Transfer&, char&, std::string&) { ++notified; };
  msg.From().SetText("a@b.c");
  msg.ReceiptRecipient().SetText("r@b.c");
  msg.Sender().SetText("s@b.c");
  msg.Recipients().SetAddressesText("x@y.z, v@w.x");
  msg.CCList().SetAddressesText("c@y.z");
  msg.BccList().SetAddressesText("d@y.z");
  msg.ReplyTo().SetAddressesText("e@y.z");
  msg.SetSubject("s");
  msg.SetOrganization("o");
  msg.SetReferences("r");
  msg.SetContentType("text/plain");
  msg.SetCharSet("UTF-8");
  msg.SetContentTransferEncoding("8bit");
  msg.SetContentDisposition("inline");
  msg.SetPriority(mpLowest);
  msg.SetDate(5);
  msg.SetNewsGroups({"a.b"});
  msg.Headers().Add("Received: x");
  msg.ExtraHeaders().Add("X-A: b");
  msg.MIMEBoundary().PushBoundary("B");
  msg.Flags().insert(mfSeen);
  msg.Body().push_back("line");
  msg.MessageParts().AddTextPart({"t"});
  msg.MessageParts().AddAttachment("/tmp/f");

  msg.ResetMessage();
  EXPECT_EQ(msg.From().Text(), "");
  EXPECT_EQ(msg.ReceiptRecipient().Text(), "");
  EXPECT_EQ(msg.Sender().Text(), "");
  EXPECT_EQ(msg.Recipients().Count() + msg.CCList().Count() +
                msg.BccList().Count() + msg.ReplyTo().Count(),
            0);
  EXPECT_EQ(msg.Subject() + msg.Organization() + msg.References() +
                msg.ContentType() + msg.CharSet() +
                msg.ContentTransferEncoding() + msg.ContentDisposition(),
            "");
  EXPECT_EQ(msg.Priority(), mpNormal);
  EXPECT_TRUE(msg.UseNowForDate());
  EXPECT_TRUE(msg.NewsGroups().empty());
  EXPECT_TRUE(msg.Headers().IsEmpty());
  EXPECT_TRUE(msg.ExtraHeaders().IsEmpty());
  EXPECT_EQ(msg.MIMEBoundary().Count(), 0);
  EXPECT_TRUE(msg.Flags().empty());
  EXPECT_TRUE(msg.Body().empty());
  EXPECT_EQ(msg.MessageParts().Count(), 0);

  EXPECT_EQ(msg.MsgId(), "<id@x>");
  EXPECT_EQ(msg.Encoding(), meUU);
  EXPECT_EQ(msg.AttachmentEncoding(), "UUE");
  EXPECT_TRUE(msg.NoEncode());
  EXPECT_TRUE(msg.NoDecode());
  Transfer transfer = Transfer::bit8;
  char letter = 'B';
  std::string charset;
  msg.NotifyInitializeISO(transfer, letter, charset);
  EXPECT_EQ(notified, 1);
}

TEST(MessagePartsTest, CountsPartsAndKeepsContentFieldsInHeaders) {
  Message msg;
  MessageParts& parts = msg.MessageParts();
  TextPart& text = parts.AddTextPart({"one", "two"});
  Attachment& plain = parts.AddAttachment("/var/tmp/dir/report.pdf");
  Attachment& related = parts.AddAttachment("logo.png");
  related.ExtraHeaders().Add("Content-ID: <logo>");
  Attachment& blank_id = parts.AddAttachment("");
  blank_id.ExtraHeaders().Add("Content-ID:");
  parts.CountParts();
  EXPECT_EQ(parts.TextPartCount(), 1);
  EXPECT_EQ(parts.AttachmentCount(), 3);
  EXPECT_EQ(parts.RelatedPartCount(), 1);

  EXPECT_EQ(text.Body(), (std::vector<std::string>{"one", "two"}));
  EXPECT_EQ(plain.StoredPath(), "/var/tmp/dir/report.pdf");
  EXPECT_EQ(plain.AttachmentName(), "report.pdf");
  EXPECT_EQ(related.AttachmentName(), "logo.png");
  EXPECT_EQ(plain.ContentType() + plain.ContentTransfer() +
                plain.ContentDisposition(),
            "");
  EXPECT_FALSE(plain.IsTemporaryFile());
  EXPECT_FALSE(plain.IsEncoded());

  plain.SetContentType("application/pdf");
  plain.SetContentTransfer("base64");
  plain.SetContentDisposition("attachment");
  EXPECT_EQ(plain.Headers().ValueOf("content-type"), "application/pdf");
  EXPECT_EQ(plain.ContentTransfer(), "base64");
  EXPECT_EQ(plain.Headers().Count(), 3);
  plain.SetContentType("");
  EXPECT_EQ(plain.Headers().Count(), 2);

  EXPECT_EQ(parts[0].AsText(), &text);
  EXPECT_EQ(parts[0].AsAttachment(), nullptr);
  EXPECT_EQ(parts[1].AsAttachment(), &plain);
  parts.Delete(0);
  EXPECT_EQ(parts.Count(), 3);
  EXPECT_EQ(&parts[0], &plain);
  EXPECT_THROW(parts.Delete(3), std::out_of_range);
}

TEST(MessagePartsTest, AssignCopiesTheFieldsOfItsClass) {
  Message msg;
  TextPart& text = msg.MessageParts().AddTextPart({"a"});
  text.SetContentType("text/html");
  text.SetContentTransfer("7bit");
  text.ExtraHeaders().Add("X-T: 1");
  TextPart& copy = msg.MessageParts().AddTextPart();
  copy.Assign(text);
  EXPECT_EQ(copy.ContentType(), "text/html");
  EXPECT_EQ(copy.ContentTransfer(), "7bit");
  EXPECT_EQ(copy.ExtraHeaders().Lines(), text.ExtraHeaders().Lines());
  EXPECT_EQ(copy.Body(), text.Body());

  Attachment& file = msg.MessageParts().AddAttachment("/a/b.bin");
  file.SetContentDisposition("inline");
  file.SetContentType("image/png");
  Attachment& target = msg.MessageParts().AddAttachment("/c/d.bin");
  target.Assign(file);
  EXPECT_EQ(target.ContentDisposition(), "inline");
  EXPECT_EQ(target.ContentType(), "image/png");
  EXPECT_EQ(target.AttachmentName(), "b.bin");
  EXPECT_EQ(target.StoredPath(), "/c/d.bin");
}

TEST(MIMEBoundaryTest, PushesOnlyNewNonEmptyBoundaries) {
  MIMEBoundary stack;
  stack.PushBoundary("");
  EXPECT_EQ(stack.Count(), 0);
  stack.PopBoundary();  // harmless on an empty stack
  stack.PushBoundary("Outer");
  stack.PushBoundary("OUTER");
  EXPECT_TRUE(stack.RepeatedBoundary());
  EXPECT_EQ(stack.Count(), 1);
  stack.PushBoundary("inner");
  EXPECT_FALSE(stack.RepeatedBoundary());
  EXPECT_EQ(stack.CurrentBoundary(), "inner");
  stack.PopBoundary();
  EXPECT_EQ(stack.CurrentBoundary(), "Outer");
  stack.ClearBoundaries();
  EXPECT_EQ(stack.CurrentBoundary(), "");
}

TEST(MIMEBoundaryTest, ReadsBoundaryAndParameterValues) {
  struct Row {
    const char* value;
    const char* boundary;
  } rows[] = {
      {"multipart/mixed; boundary=\"abc\"", "ABC"},
      {"multipart/mixed; BOUNDARY=\"a;b c\"; charset=x", "A;B C"},
      {"multipart/mixed; boundary=xyz", "XYZ"},
      {"multipart/mixed; boundary=xyz ; type=a", "XYZ"},
      {"multipart/mixed; boundary=\"open", "OPEN"},
      {"multipart/mixed", ""},
      {"", ""},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(BoundaryFromContentType(row.value), row.boundary) << row.value;
  }
  EXPECT_EQ(
      ParameterValue("attachment; FileName=\"R\xE9sum\xE9.txt\"", "FILENAME="),
      "R\xE9sum\xE9.txt");
  EXPECT_EQ(ParameterValue("attachment; filename=a.txt; size=3", "FILENAME="),
            "a.txt");
  EXPECT_EQ(ParameterValue("attachment", "FILENAME="), "");
}

}  // namespace
}  // namespace replyvane::message
