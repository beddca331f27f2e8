// The text a forward carries: the body of a plain message as it is, the
// first plain (else HTML) part of a multipart one converted to the system
// codeset, and a line per attachment.
#include "message/forward_text.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "message/html_text.h"
#include "message/message.h"
#include "scoped_codeset.h"
#include "tests/support/temp_dir.h"

namespace replyvane::message {
namespace {

using Lines = std::vector<std::string>;

TEST(ForwardTextTest, PlainMessageKeepsItsBodyBytes) {
  ScopedCodeset utf8("UTF-8");
  Message msg;
  msg.SetBody({"Hello,", "", ".. two dots", "\xC3\xA4 already UTF-8"});
  EXPECT_EQ(ForwardTextLines(msg), msg.Body());
  // A declared legacy charset is converted; 7-bit lines stay as they are.
  msg.SetCharSet("ISO-8859-1");
  msg.SetBody(
      {"Gr\xFC\xDF"
       "e",
       "plain"});
  EXPECT_EQ(ForwardTextLines(msg), (Lines{"Gr\xC3\xBC\xC3\x9F"
                                          "e",
                                          "plain"}));
}

TEST(ForwardTextTest, FirstTextPartAndAttachmentNames) {
  ScopedCodeset utf8("UTF-8");
  replyvane::testing::TempDir dir;
  const std::string path = dir.Path() + "/Vorn1";
  std::ofstream(path) << "12345";
  Message msg;
  msg.SetBody({"This is a multi-part message in MIME format", ""});
  TextPart& html = msg.MessageParts().AddTextPart({"<p>HTML only</p>"});
  html.SetContentType("text/html");
  TextPart& plain = msg.MessageParts().AddTextPart(
      {"\xF0\xD2\xC9\xD7\xC5\xD4", "second line"});
  plain.SetContentType("text/plain; charset=\"koi8-r\"");
  Attachment& file = msg.MessageParts().AddAttachment();
  file.SetStoredPath(path);
  file.SetAttachmentName("report\r\n.pdf");
  EXPECT_EQ(ForwardTextLines(msg),
            (Lines{"\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82",
                   "second line", "Attachment: report  .pdf (5 bytes)"}));
}

TEST(ForwardTextTest, HtmlPartWhenThereIsNoPlainOne) {
  ScopedCodeset utf8("UTF-8");
  Message msg;
  TextPart& html = msg.MessageParts().AddTextPart(
      {"<html><head><title>T</title><style>p{}</style></head>",
       "<body><p>Caf&eacute; &amp; <b>bar</b>&nbsp;&#8364;5</p>",
       "<script>alert(1)</script><div>next&#x21;</div></body></html>"});
  html.SetContentType("text/html; charset=utf-8");
  EXPECT_EQ(ForwardTextLines(msg), (Lines{"Caf\xC3\xA9 & bar \xE2\x82\xAC"
                                          "5",
                                          "", "next!"}));
}

TEST(ForwardTextTest, RawTextOfAPartThatIsNotWhatItClaims) {
  ScopedCodeset utf8("UTF-8");
  Message msg;
  TextPart& inner = msg.MessageParts().AddTextPart(
      {"--xx", "Content-Type: text/plain", "", "Inner text."});
  inner.SetContentType("multipart/alternative; boundary=\"wi\"");
  EXPECT_EQ(ForwardTextLines(msg),
            (Lines{"--xx", "Content-Type: text/plain", "", "Inner text."}));
}

TEST(HtmlTextTest, MarkupToLines) {
  struct Row {
    std::string html;
    Lines lines;
  };
  const Row rows[] = {
      {"", {}},
      {"a<br>b<br/>c", {"a", "b", "c"}},
      {"  a \n\t b  ", {"a b"}},
      {"<p>a</p><p></p><p></p><p>b</p>", {"a", "", "b"}},
      {"x<!-- <p>hidden</p> -->y", {"xy"}},
      {"<td>1</td><td>2</td>", {"1 2"}},
      {"&lt;tag&gt; &bogus; &#0; &#xD800; &",
       {"<tag> &bogus; \xEF\xBF\xBD "
        "\xEF\xBF\xBD &"}},
      {"cut <a href=", {"cut"}},
      {"<<<<", {}},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(HtmlToTextLines(row.html), row.lines) << row.html;
  }
}

}  // namespace
}  // namespace replyvane::message
