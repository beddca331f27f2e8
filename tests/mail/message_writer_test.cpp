// Writing messages byte for byte: each body layout, dot-stuffing, the header
// order, the defaults stored into parts, status texts and work counters.
#include <sys/stat.h>

#include <fstream>
#include <string>
#include <vector>

#include "core/exception.h"
#include "core/text.h"
#include "message/internet_date.h"
#include "message/jis.h"
#include "message/message.h"
#include "message/quoted_printable_coder.h"
#include "tests/mail/message_client_fixture.h"
#include "tests/message/scoped_codeset.h"

namespace replyvane::mail {
namespace {

using message::Message;

constexpr char kMixed[] = "=_NextPart_2rfkvornsadvnqw3nerasdf";
constexpr char kRelated[] = "=_NextPart_2relrfksadvnqvornw3nerasdf";
constexpr char kAlt[] = "=_NextPart_2altrfkvornsadvnqw3nerasdf";
constexpr char kPreamble[] = "This is a multi-part message in MIME format";

// The header block (lines) and the body (bytes) of a written message.
struct Written {
  std::vector<std::string> header;
  std::string body;
};

Written Split(const std::string& wire) {
  Written result;
  size_t end = wire.find("\r\n\r\n");
  if (end == std::string::npos) return result;
  std::string head = wire.substr(0, end + 2);
  result.body = wire.substr(end + 4);
  for (size_t start = 0; start < head.size();) {
    size_t eol = head.find("\r\n", start);
    result.header.push_back(head.substr(start, eol - start));
    start = eol + 2;
  }
  return result;
}

// Header names in order, continuation lines left out.
std::vector<std::string> Names(const std::vector<std::string>& header) {
  std::vector<std::string> names;
  for (const std::string& line : header) {
    if (line.empty() || line[0] == ' ' || line[0] == '\t') continue;
    names.push_back(line.substr(0, line.find(':')));
  }
  return names;
}

class MessageWriterTest : public MessageClientTest {
 public:
  // A file with `data` in a directory of its own; returns its path.
  std::string File(const std::string& name, const std::string& data) {
    std::string path = source_dir_ + "/" + name;
    std::ofstream(path, std::ios::binary) << data;
    made_.push_back(path);
    return path;
  }

 protected:
  void SetUp() override {
    source_dir_ =
        kTestTempDirectory + "src_" +
        ::testing::UnitTest::GetInstance()->current_test_info()->name();
    ::mkdir(source_dir_.c_str(), 0700);
  }
  void TearDown() override {
    for (const std::string& path : made_) ::unlink(path.c_str());
    ::rmdir(source_dir_.c_str());
    MessageClientTest::TearDown();
  }

  static void Compose(Message& msg) {
    msg.From().SetText("Ann <ann@example.org>");
    msg.Recipients().SetAddressesText("bob@example.org");
    msg.SetSubject("Hello");
    msg.SetBody({"First", ".x", ".", "..y", ""});
  }

  std::string source_dir_;
  std::vector<std::string> made_;
};

TEST_F(MessageWriterTest, PlainMessageHeaderOrderAndStuffedBody) {
  Message msg;
  Compose(msg);
  Written wire = Split(Capture([&](MessageClient& c) { c.WriteMessage(msg); }));
  EXPECT_EQ(Names(wire.header),
            (std::vector<std::string>{"From", "Subject", "To", "Date",
                                      "X-Priority", "X-Library"}));
  EXPECT_EQ(wire.body, Wire({"First", "..x", "..", "...y", ""}));
  EXPECT_EQ(msg.Body(),
            (std::vector<std::string>{"First", ".x", ".", "..y", ""}));
}

TEST_F(MessageWriterTest, AttachmentHeaderOrderAndLayout) {
  Message msg;
  Compose(msg);
  msg.SetBody({"See attached.", ".dot"});
  msg.MessageParts().AddAttachment(File("report.bin", "Hello, World!"));
  Written wire = Split(Capture([&](MessageClient& c) { c.WriteMessage(msg); }));
  EXPECT_EQ(Names(wire.header),
            (std::vector<std::string>{"From", "Subject", "To", "Content-Type",
                                      "MIME-Version", "Date", "X-Priority",
                                      "X-Library"}));
  std::string boundary = std::string("--") + kMixed;
  EXPECT_EQ(
      wire.body,
      Wire({kPreamble, "", boundary, "Content-Type: text/plain",
            "Content-Transfer-Encoding: 7bit", "", "See attached.", "..dot", "",
            boundary, "Content-Type: application/octet-stream;",
            "        name=\"report.bin\"", "Content-Transfer-Encoding: base64",
            "Content-Disposition: attachment;",
            "        filename=\"report.bin\"", "", "SGVsbG8sIFdvcmxkIQ==", "",
            boundary + "--"}));
  // The defaults written are kept in the part.
  message::Attachment* part = msg.MessageParts()[0].AsAttachment();
  ASSERT_NE(part, nullptr);
  EXPECT_EQ(part->ContentType(), "application/octet-stream");
  EXPECT_EQ(part->ContentTransfer(), "base64");
  EXPECT_EQ(part->ContentDisposition(), "attachment");
}

// One row per layout: how the message is built, and the body expected after
// the header block (or the whole text when `whole` is set).
struct LayoutRow {
  const char* name;
  std::function<void(MessageWriterTest&, Message&)> build;
  std::vector<std::string> expected;
  bool headers_only = false;
  bool whole = false;
};

TEST_F(MessageWriterTest, Layouts) {
  const std::string mixed = std::string("--") + kMixed;
  const std::string related = std::string("--") + kRelated;
  const std::string alt = std::string("--") + kAlt;
  const std::string abc_uue = "#86)C";
  const std::vector<LayoutRow> rows = {
      {"related part changes the outer boundary",
       [](MessageWriterTest& t, Message& m) {
         m.SetBody({"b"});
         message::Attachment& a =
             m.MessageParts().AddAttachment(t.File("logo.png", "abc"));
         a.ExtraHeaders().Add("Content-ID: <logo>");
       },
       {kPreamble, "", related, "Content-Type: text/plain",
        "Content-Transfer-Encoding: 7bit", "", "b", "", related,
        "Content-Type: application/octet-stream;", "        name=\"logo.png\"",
        "Content-Transfer-Encoding: base64", "Content-Disposition: attachment;",
        "        filename=\"logo.png\"", "Content-ID: <logo>", "", "YWJj", "",
        related + "--"}},
      {"two text parts use the alternative layout without Body",
       [](MessageWriterTest&, Message& m) {
         m.SetBody({"not written"});
         m.MessageParts().AddTextPart({"one", ".two"});
         message::TextPart& html = m.MessageParts().AddTextPart({".<b>"});
         html.SetContentType("text/html");
         html.SetContentTransfer("7bit");
       },
       {kPreamble, "", mixed, "Content-Type: text/plain",
        "Content-Transfer-Encoding: quoted-printable", "", "one", "..two", "",
        mixed, "Content-Type: text/html", "Content-Transfer-Encoding: 7bit", "",
        "..<b>", "", mixed + "--"}},
      {"a single text part is written like two, as announced",
       [](MessageWriterTest&, Message& m) {
         m.SetBody({"not written"});
         m.MessageParts().AddTextPart({"only"});
       },
       {kPreamble, "", mixed, "Content-Type: text/plain",
        "Content-Transfer-Encoding: quoted-printable", "", "only", "",
        mixed + "--"}},
      {"text parts and an attachment nest the alternative part",
       [](MessageWriterTest& t, Message& m) {
         m.SetBody({"not written"});
         m.MessageParts().AddTextPart({"plain"});
         m.MessageParts().AddAttachment(t.File("a.txt", "abc"));
         m.MessageParts().AddTextPart({"rich"});
       },
       {kPreamble,
        "",
        mixed,
        "Content-Type: multipart/alternative; ",
        "        boundary=\"=_NextPart_2altrfkvornsadvnqw3nerasdf\"",
        "",
        alt,
        "Content-Type: text/plain",
        "Content-Transfer-Encoding: quoted-printable",
        "",
        "plain",
        "",
        "",
        alt,
        "Content-Type: text/plain",
        "Content-Transfer-Encoding: quoted-printable",
        "",
        "rich",
        "",
        "",
        alt + "--",
        "",
        mixed,
        "Content-Type: application/octet-stream;",
        "        name=\"a.txt\"",
        "Content-Transfer-Encoding: base64",
        "Content-Disposition: attachment;",
        "        filename=\"a.txt\"",
        "",
        "YWJj",
        "",
        mixed + "--"}},
      {"UU encoding: body, then begin/end blocks",
       [](MessageWriterTest& t, Message& m) {
         m.SetEncoding(message::meUU);
         m.SetBody({".b"});
         m.MessageParts().AddAttachment(t.File("x.bin", "abc"));
         m.MessageParts().AddAttachment(t.File("y.bin", ""));
       },
       {"..b", "", "begin 660 x.bin", abc_uue, "`", "end", "",
        "begin 660 y.bin", "`", "end", ""}},
      {"XXE encoder with UU framing",
       [](MessageWriterTest& t, Message& m) {
         m.SetEncoding(message::meUU);
         m.SetAttachmentEncoding("XXE");
         m.SetBody({});
         m.MessageParts().AddAttachment(t.File("x.bin", "abc"));
       },
       {"", "begin 660 x.bin", "1MK7X", "+", "end", ""}},
      {"NoEncode writes the stored header lines and body",
       [](MessageWriterTest& t, Message& m) {
         m.SetNoEncode(true);
         m.Headers().Add("Subject: kept");
         m.Headers().Add("X-Odd: 1");
         m.SetBody({".a", "b"});
         m.MessageParts().AddAttachment(t.File("x.bin", "abc"));
       },
       {"Subject: kept", "X-Odd: 1", "", "..a", "b"},
       false,
       true},
      {"headers only stops after the empty line",
       [](MessageWriterTest&, Message& m) {
         m.SetNoEncode(true);
         m.Headers().Add("Subject: kept");
         m.SetBody({"b"});
       },
       {"Subject: kept", ""},
       true,
       true},
  };
  for (const LayoutRow& row : rows) {
    Message msg;
    Compose(msg);
    row.build(*this, msg);
    std::string wire = Capture(
        [&](MessageClient& c) { c.WriteMessage(msg, row.headers_only); });
    EXPECT_EQ(row.whole ? wire : Split(wire).body, Wire(row.expected))
        << row.name;
  }
}

TEST_F(MessageWriterTest, QuotedPrintablePartIsStuffedButNotChanged) {
  Message msg;
  Compose(msg);
  const std::vector<std::string> body = {".lead", std::string(72, 'a') + "."};
  msg.MessageParts().AddTextPart(body);
  msg.MessageParts().AddTextPart({"x"});
  std::string first = Capture([&](MessageClient& c) { c.WriteBody(msg); });
  std::string second = Capture([&](MessageClient& c) { c.WriteBody(msg); });
  EXPECT_EQ(first, second);
  EXPECT_EQ(msg.MessageParts()[0].AsText()->Body(), body);
  // A soft break just before the dot must not leave a lone "." line.
  EXPECT_NE(first.find("..lead\r\n" + std::string(72, 'a') + "=\r\n..\r\n"),
            std::string::npos)
      << testing::Visible(first);
}

TEST_F(MessageWriterTest, StatusTextsAndWriteWork) {
  Message msg;
  Compose(msg);
  msg.MessageParts().AddTextPart({"one"});
  msg.MessageParts().AddAttachment(File("a.bin", "abc"));
  msg.MessageParts().AddTextPart({"two"});
  msg.MessageParts().AddAttachment(File("b.bin", "abc"));
  MessageClient client;
  std::vector<std::string> statuses;
  int begun = 0, ended = 0, position = 0;
  client.OnStatus = [&](net::Component*, net::Status status,
                        const std::string& text) {
    if (status == net::hsStatusText) statuses.push_back(text);
  };
  client.OnWorkBegin = [&](net::Component*, net::WorkMode mode, int32_t) {
    if (mode == net::wmWrite) ++begun;
  };
  client.OnWork = [&](net::Component*, net::WorkMode mode, int32_t count) {
    if (mode == net::wmWrite) position = count;
  };
  client.OnWorkEnd = [&](net::Component*, net::WorkMode mode) {
    if (mode == net::wmWrite) ++ended;
  };
  std::string body =
      Capture([&](MessageClient& c) { c.WriteBody(msg); }, &client);
  EXPECT_EQ(statuses, (std::vector<std::string>{
                          "Encoding text", "Encoding text",
                          "Encoding attachment", "Encoding attachment"}));
  EXPECT_EQ(begun, 1);
  EXPECT_EQ(ended, 1);
  EXPECT_EQ(size_t(position), body.size());
}

TEST_F(MessageWriterTest, MissingAttachmentFileEndsWorkAndPropagates) {
  Message msg;
  Compose(msg);
  msg.MessageParts().AddAttachment(source_dir_ + "/missing.bin");
  testing::ScriptedServer server(
      testing::Script().ReceiveUntil(".\r\n").Close());
  MessageClient client;
  int begun = 0, ended = 0;
  client.OnWorkBegin = [&](net::Component*, net::WorkMode, int32_t) {
    ++begun;
  };
  client.OnWorkEnd = [&](net::Component*, net::WorkMode) { ++ended; };
  Connect(client, server.Port());
  EXPECT_THROW(client.WriteBody(msg), core::Exception);
  EXPECT_EQ(begun, ended);
  client.WriteTextLine(".");
  EXPECT_TRUE(server.Played());
  client.CloseConnection();
  std::vector<std::string> bodies = server.Bodies();
  ASSERT_EQ(bodies.size(), 1u);
  // What came before the data is on the wire; the data and closing are not.
  EXPECT_NE(bodies[0].find("filename=\"missing.bin\"\r\n\r\n"),
            std::string::npos);
  EXPECT_EQ(bodies[0].find(std::string("--") + kMixed + "--"),
            std::string::npos);
}

// A client on a Japanese system: body text goes out as ISO-2022-JP.
class JisClient : public MessageClient {
 protected:
  bool ConvertsToJis() const override { return true; }
};

TEST_F(MessageWriterTest, JapaneseSystemConvertsBodyText) {
  Message msg;
  const std::string sjis = "\x82\xa0\x82\xa2 ok";
  msg.SetBody({sjis, "." + sjis});
  JisClient client;
  std::string body =
      Capture([&](MessageClient& c) { c.WriteBody(msg); }, &client);
  std::string jis = message::ShiftJisToJis(sjis);
  EXPECT_NE(jis, sjis);
  EXPECT_EQ(body, Wire({jis, ".." + jis}));
  EXPECT_EQ(msg.Body()[0], sjis);
}

// A response in German and Russian under a UTF-8 system: labelled, the
// body quoted-printable, the subject in encoded words of whole characters.
TEST_F(MessageWriterTest, EightBitResponseIsLabelledExactly) {
  message::ScopedCodeset codeset("UTF-8");
  Message msg;
  msg.From().SetText("Ann <ann@example.org>");
  msg.Recipients().SetAddressesText("bob@example.org");
  msg.SetSubject(
      "Gr\xC3\xBC\xC3\x9F"
      "e / \xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82");
  msg.SetDate(46362.4201388889);
  msg.SetBody(
      {"Guten Tag, vielen Dank f\xC3\xBCr Ihre Nachricht!",
       "\xD0\x97\xD0\xB4\xD1\x80\xD0\xB0\xD0\xB2\xD1\x81\xD1\x82\xD0\xB2\xD1"
       "\x83\xD0\xB9\xD1\x82\xD0\xB5, "
       "\xD1\x81\xD0\xBF\xD0\xB0\xD1\x81\xD0\xB8\xD0\xB1\xD0\xBE "
       "\xD0\xB7\xD0\xB0 \xD0\xBF\xD0\xB8\xD1\x81\xD1\x8C\xD0\xBC\xD0\xBE.",
       ".", "a = b "});
  const std::string wire =
      Capture([&](MessageClient& c) { c.WriteMessage(msg); });
  const std::string date =
      "Date: " + message::FormatInternetDate(46362.4201388889, false);
  EXPECT_EQ(
      wire,
      Wire({"From: \"Ann\" <ann@example.org>",
            "Subject: =?UTF-8?Q?Gr=C3=BC=C3=9Fe?= /",
            " =?UTF-8?Q?=D0=9F=D1=80=D0=B8=D0=B2=D0=B5=D1=82?=",
            "To: bob@example.org", "Content-Type: text/plain; charset=UTF-8",
            "MIME-Version: 1.0", "Content-Transfer-Encoding: quoted-printable",
            date, "X-Priority: 3", "X-Library: Vorn 9.00.10", "",
            "Guten Tag, vielen Dank f=C3=BCr Ihre Nachricht!",
            "=D0=97=D0=B4=D1=80=D0=B0=D0=B2=D1=81=D1=82=D0=B2=D1=83=D0=B9=D1="
            "82=D0=B5=",
            // Soft breaks may fall inside a character: the lines are
            // joined before the charset is read.
            ", =D1=81=D0=BF=D0=B0=D1=81=D0=B8=D0=B1=D0=BE =D0=B7=D0=B0 "
            "=D0=BF=D0=B8=D1=",
            "=81=D1=8C=D0=BC=D0=BE.", "..", "a =3D b=20"}))
      << testing::Visible(wire);
  // Nothing of the message was changed by writing it.
  EXPECT_EQ(msg.ContentType(), "");
  EXPECT_EQ(msg.ContentTransferEncoding(), "");
}

// Where 8-bit text appears decides what is labelled; ASCII stays as it was.
TEST_F(MessageWriterTest, EightBitTextIsLabelledWhereItAppears) {
  message::ScopedCodeset codeset("UTF-8");
  const std::string mixed = std::string("--") + kMixed;
  const std::string ae = "\xC3\xA4";
  const std::vector<LayoutRow> rows = {
      {"8-bit subject alone labels the plain body",
       [&](MessageWriterTest&, Message& m) {
         m.SetSubject(ae);
         m.SetBody({"plain"});
       },
       {"plain"}},
      {"a line longer than SMTP carries is soft-broken",
       [&](MessageWriterTest&, Message& m) {
         m.SetBody({std::string(999, 'x')});
       },
       {}},
      {"caller's own content type is kept",
       [&](MessageWriterTest&, Message& m) {
         m.SetContentType("text/plain; charset=KOI8-R");
         m.SetBody({"\xF0\xD2"});
       },
       {"\xF0\xD2"}},
      {"the body part beside an attachment",
       [&](MessageWriterTest& t, Message& m) {
         m.SetBody({"f" + ae + "r"});
         m.MessageParts().AddAttachment(t.File("a.bin", "abc"));
       },
       {kPreamble, "", mixed, "Content-Type: text/plain; charset=UTF-8",
        "Content-Transfer-Encoding: quoted-printable", "", "f=C3=A4r", "",
        mixed, "Content-Type: application/octet-stream;",
        "        name=\"a.bin\"", "Content-Transfer-Encoding: base64",
        "Content-Disposition: attachment;", "        filename=\"a.bin\"", "",
        "YWJj", "", mixed + "--"}},
      {"text parts name the charset unless they do",
       [&](MessageWriterTest&, Message& m) {
         m.MessageParts().AddTextPart({ae});
         m.MessageParts().AddTextPart({ae}).SetContentType(
             "text/html; charset=\"UTF-8\"");
         m.MessageParts().AddTextPart({"ascii"});
       },
       {kPreamble,
        "",
        mixed,
        "Content-Type: text/plain; charset=UTF-8",
        "Content-Transfer-Encoding: quoted-printable",
        "",
        "=C3=A4",
        "",
        mixed,
        "Content-Type: text/html; charset=\"UTF-8\"",
        "Content-Transfer-Encoding: quoted-printable",
        "",
        "=C3=A4",
        "",
        mixed,
        "Content-Type: text/plain",
        "Content-Transfer-Encoding: quoted-printable",
        "",
        "ascii",
        "",
        mixed + "--"}},
  };
  for (const LayoutRow& row : rows) {
    Message msg;
    Compose(msg);
    row.build(*this, msg);
    Written wire =
        Split(Capture([&](MessageClient& c) { c.WriteMessage(msg); }));
    const bool long_line = row.expected.empty();
    if (long_line) {
      EXPECT_EQ(message::DecoderQuotedPrintable().DecodeText(wire.body),
                std::string(999, 'x') + "\r\n");
      for (const std::string& line : core::SplitLines(wire.body)) {
        EXPECT_LE(line.size(), 76u);
      }
    } else {
      EXPECT_EQ(wire.body, Wire(row.expected)) << row.name;
    }
    const bool labelled =
        long_line || (row.expected.size() == 1 && row.expected[0] == "plain");
    auto has = [&](const std::string& line) {
      return std::find(wire.header.begin(), wire.header.end(), line) !=
             wire.header.end();
    };
    EXPECT_EQ(has("Content-Type: text/plain; charset=UTF-8"), labelled)
        << row.name;
    EXPECT_EQ(has("Content-Transfer-Encoding: quoted-printable"), labelled)
        << row.name;
  }
}

}  // namespace
}  // namespace replyvane::mail
