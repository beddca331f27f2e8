// No value a message holds can end a line of DATA, end DATA, or add a
// header: every placement of CR, LF, CR LF, NUL, "." and ".." in every text
// the writer sends, checked on the bytes the server receives.
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "message/message.h"
#include "tests/mail/message_client_fixture.h"

namespace replyvane::mail {
namespace {

using message::Message;

// The marker that would start a header line of its own if a break got
// through.
constexpr char kEvil[] = "X-Evil: 1";

// The lines of `wire`, which must end with CR LF; a fault is reported and
// the lines so far returned.
std::vector<std::string> WireLines(const std::string& wire,
                                   const std::string& row) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < wire.size()) {
    size_t end = wire.find("\r\n", start);
    if (end == std::string::npos) {
      ADD_FAILURE() << row << ": text after the last line end";
      break;
    }
    std::string line = wire.substr(start, end - start);
    EXPECT_EQ(line.find_first_of(std::string("\r\n\0", 3)), std::string::npos)
        << row << ": bare CR, LF or NUL in " << testing::Visible(line);
    lines.push_back(std::move(line));
    start = end + 2;
  }
  return lines;
}

// Header names in order up to the empty line; continuation lines left out.
std::vector<std::string> HeaderNames(const std::vector<std::string>& lines) {
  std::vector<std::string> names;
  for (const std::string& line : lines) {
    if (line.empty()) break;
    if (line[0] == ' ' || line[0] == '\t') continue;
    names.push_back(line.substr(0, line.find(':')));
  }
  return names;
}

struct Placement {
  const char* name;
  // Puts `value` into the message; "v" gives the harmless form.
  std::function<void(Message&, const std::string& value,
                     const std::string& file)>
      place;
  bool in_header;  // the value lands in a header (of the message or a part)
};

class OutputSafetyTest : public MessageClientTest {
 protected:
  void TearDown() override {
    ::unlink(file_.c_str());
    MessageClientTest::TearDown();
  }

  // A message with the usual fields and the placement applied.
  void Build(Message& msg, const Placement& placement,
             const std::string& value) {
    msg.From().SetText("Ann <ann@example.org>");
    msg.Recipients().SetAddressesText("bob@example.org");
    msg.SetSubject("Hello");
    msg.SetBody({"First"});
    placement.place(msg, value, file_);
  }

  const std::string file_ = kTestTempDirectory + "safety.bin";
};

TEST_F(OutputSafetyTest, NoValueEndsALineDataOrAHeader) {
  std::ofstream(file_, std::ios::binary) << "abc";
  const std::string nul(1, '\0');
  const std::vector<std::string> values = {
      "\r",        "\n",     "\r\n",  nul,     "\r\n.\r\n",
      "\n.\n",     "\r.\r",  "\r\n.", ".\r\n", "\r\n..\r\n",
      "\r\n \r\n", "\r\n\t", ".",     "..",    "\n" + nul + "\r"};
  const std::string ae = "\xC3\xA4";
  const std::vector<Placement> placements = {
      {"body line",
       [](Message& m, const std::string& v, const std::string&) {
         m.SetBody({"a" + v + "b", v, v + kEvil, "."});
       },
       false},
      {"8-bit body line (quoted-printable)",
       [&](Message& m, const std::string& v, const std::string&) {
         m.SetBody({ae + v + kEvil, v + ae, "." + v});
       },
       false},
      {"UU body line",
       [](Message& m, const std::string& v, const std::string& file) {
         m.SetEncoding(message::meUU);
         m.SetBody({v + kEvil, v});
         m.MessageParts().AddAttachment(file).SetAttachmentName("f" + v + "g");
       },
       false},
      {"body beside an attachment",
       [](Message& m, const std::string& v, const std::string& file) {
         m.SetBody({v + kEvil, "." + v});
         m.MessageParts().AddAttachment(file);
       },
       false},
      {"quoted-printable text part",
       [&](Message& m, const std::string& v, const std::string&) {
         m.MessageParts().AddTextPart(
             {v + kEvil, "x" + v, v, std::string(72, 'a') + v + "."});
         m.MessageParts().AddTextPart({ae + v + kEvil});
       },
       false},
      {"7bit text part",
       [](Message& m, const std::string& v, const std::string&) {
         m.MessageParts()
             .AddTextPart({v + kEvil, v, "." + v})
             .SetContentTransfer("7bit");
       },
       false},
      {"subject",
       [](Message& m, const std::string& v, const std::string&) {
         m.SetSubject("Hi" + v + kEvil + v);
       },
       true},
      {"8-bit subject",
       [&](Message& m, const std::string& v, const std::string&) {
         m.SetSubject(ae + v + kEvil + v + ae);
       },
       true},
      {"sender name",
       [](Message& m, const std::string& v, const std::string&) {
         m.From().SetName("Ann" + v + kEvil);
       },
       true},
      {"recipient address",
       [](Message& m, const std::string& v, const std::string&) {
         m.Recipients()[0].SetAddress("bob@example.org" + v + kEvil);
       },
       true},
      {"reply-to name and cc address",
       [&](Message& m, const std::string& v, const std::string&) {
         m.ReplyTo().AddItem().SetName(ae + v + kEvil);
         m.ReplyTo()[0].SetAddress("r@example.org");
         m.CCList().AddItem().SetAddress("c@example.org" + v + kEvil);
       },
       true},
      {"organization and references",
       [](Message& m, const std::string& v, const std::string&) {
         m.SetOrganization("Org" + v + kEvil);
         m.SetReferences("<a@b>" + v + kEvil);
       },
       true},
      {"extra header line",
       [](Message& m, const std::string& v, const std::string&) {
         m.ExtraHeaders().Add("X-Note: a" + v + kEvil);
         m.ExtraHeaders().Add("X-Two:" + v);
       },
       true},
      {"attachment name and part headers",
       [](Message& m, const std::string& v, const std::string& file) {
         message::Attachment& a = m.MessageParts().AddAttachment(file);
         a.SetAttachmentName("f" + v + kEvil);
         a.ExtraHeaders().Add("Content-ID: <x" + v + kEvil + ">");
         m.MessageParts().AddTextPart({"t"}).ExtraHeaders().Add("X-Part: p" +
                                                                v + kEvil);
       },
       true},
      {"stored header lines sent without encoding",
       [](Message& m, const std::string& v, const std::string&) {
         m.SetNoEncode(true);
         m.Headers().Add("Subject: s" + v + kEvil);
         m.Headers().Add("X-Odd: 1" + v);
         m.SetBody({v + "b"});
       },
       true},
  };
  for (const Placement& placement : placements) {
    Message harmless;
    Build(harmless, placement, "v");
    const std::vector<std::string> expected_names = HeaderNames(WireLines(
        CaptureLarge([&](MessageClient& c) { c.WriteMessage(harmless); }),
        placement.name));
    for (const std::string& value : values) {
      const std::string row =
          std::string(placement.name) + " with " + testing::Visible(value);
      Message msg;
      Build(msg, placement, value);
      const std::vector<std::string> lines = WireLines(
          CaptureLarge([&](MessageClient& c) { c.WriteMessage(msg); }), row);
      for (const std::string& line : lines) {
        EXPECT_NE(line, ".") << row << ": DATA would end early";
        if (placement.in_header) {
          EXPECT_NE(line.rfind(kEvil, 0), 0u) << row << ": a header was added";
        }
      }
      EXPECT_EQ(HeaderNames(lines), expected_names) << row;
    }
  }
}

}  // namespace
}  // namespace replyvane::mail
