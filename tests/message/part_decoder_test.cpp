#include <gtest/gtest.h>

#include "core/text.h"
#include "message/message_decoder_mime.h"
#include "message/message_decoder_uue.h"
#include "part_reading.h"

namespace replyvane::message {
namespace {

using Lines = std::vector<std::string>;

std::string Join(const Lines& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

const Lines kMixedHeader = {"Content-Type: multipart/mixed; boundary=\"XyZ\""};

TEST(PartDecoderTest, KeepsAPlainBodyOutsideParts) {
  Message msg;
  ReadResult result = ReadMessageBody(
      msg, {"Subject: plain"},
      Join({"Hello", "..stuffed", ".single", "--", "-- ", "begin 000 f.txt",
            "begin 644f.txt", "", "bye", ".", "next reply"}));
  EXPECT_EQ(result.body,
            (Lines{"Hello", ".stuffed", ".single", "--", "-- ",
                   "begin 000 f.txt", "begin 644f.txt", "", "bye"}));
  EXPECT_TRUE(result.parts.empty());
  EXPECT_EQ(result.rest, "next reply\r\n");
}

TEST(PartDecoderTest, ReadsAMultipartMessage) {
  Message msg;
  ReadResult result =
      ReadMessageBody(msg, kMixedHeader,
                      Join({"This is a multi-part message in MIME format",
                            "",
                            "--XyZ",
                            "Content-Type: text/plain",
                            "Content-Transfer-Encoding: 7bit",
                            "",
                            "Hello",
                            "..dotted",
                            "",
                            "--xyz",
                            "Content-Type: application/octet-stream;",
                            "        name=\"a.bin\"",
                            "Content-Transfer-Encoding: base64",
                            "Content-Disposition: attachment;",
                            "        filename=\"a.bin\"",
                            "",
                            "AAEC/w==",
                            "",
                            "--XYZ--",
                            "epilogue",
                            ".",
                            "after"}));
  EXPECT_EQ(result.body, (Lines{"This is a multi-part message in MIME format",
                                "", "epilogue"}));
  ASSERT_EQ(result.parts.size(), 2u);
  EXPECT_EQ(result.parts[0].kind, MessagePartKind::kText);
  EXPECT_EQ(result.parts[0].content_type, "text/plain");
  EXPECT_EQ(result.parts[0].data, "Hello\r\n.dotted\r\n\r\n");
  EXPECT_EQ(result.parts[1].kind, MessagePartKind::kAttachment);
  EXPECT_EQ(result.parts[1].file_name, "a.bin");
  EXPECT_EQ(result.parts[1].data, std::string("\0\1\2\xff", 4));
  EXPECT_FALSE(result.message_ended);
  EXPECT_EQ(msg.MIMEBoundary().Count(), 0);
  EXPECT_EQ(result.rest, "after\r\n");
}

TEST(PartDecoderTest, DecidesKindAndFileNameFromThePartHeaders) {
  struct Row {
    Lines headers;
    MessagePartKind kind;
    std::string file_name;
  } rows[] = {
      {{"Content-Type: text/plain"}, MessagePartKind::kText, ""},
      {{}, MessagePartKind::kText, ""},
      {{"Content-Disposition: attachment; filename=\"r.pdf\""},
       MessagePartKind::kAttachment,
       "r.pdf"},
      {{"Content-Type: application/pdf; name=\"n.pdf\""},
       MessagePartKind::kAttachment,
       "n.pdf"},
      {{"Content-Disposition: attachment"}, MessagePartKind::kAttachment, ""},
      {{"Content-Disposition: ATTACHMENT; filename=plain.txt; size=4"},
       MessagePartKind::kAttachment,
       "plain.txt"},
      {{"Content-Type: application/pdf; name=\"ct.pdf\"",
        "Content-Disposition: attachment; filename=\"cd.pdf\""},
       MessagePartKind::kAttachment,
       "cd.pdf"},
      {{"Content-Type: text/plain; name=\"=?ISO-8859-1?Q?a_b.txt?=\""},
       MessagePartKind::kAttachment,
       "a b.txt"},
      {{"Content-Disposition: attachment; filename=\"../../etc/x\\y.txt\""},
       MessagePartKind::kAttachment,
       "y.txt"},
      // Decoded line ends are blanks by the time the name is read.
      {{"Content-Disposition: attachment; filename==?ISO-8859-1?Q?a=0D=0Ab?="},
       MessagePartKind::kAttachment,
       "a  b"},
      {{"Content-Disposition: inline; filename=\"i.png\""},
       MessagePartKind::kText,
       ""},
      {{"Content-Type: application/pdf;", "\tname=\"f.pdf\""},
       MessagePartKind::kAttachment,
       "f.pdf"},
      // Without a blank after the colon the header is not found by name.
      {{"Content-Type:application/pdf; name=x.pdf"},
       MessagePartKind::kText,
       ""},
  };
  for (const Row& row : rows) {
    Message msg;
    Lines body = {"--XyZ"};
    body.insert(body.end(), row.headers.begin(), row.headers.end());
    body.insert(body.end(), {"", "data", "--XyZ--", "."});
    ReadResult result = ReadMessageBody(msg, kMixedHeader, Join(body));
    std::string name = row.headers.empty() ? "(none)" : row.headers[0];
    ASSERT_EQ(result.parts.size(), 1u) << name;
    EXPECT_EQ(result.parts[0].kind, row.kind) << name;
    EXPECT_EQ(result.parts[0].file_name, row.file_name) << name;
    EXPECT_EQ(result.parts[0].data, "data\r\n") << name;
  }
}

TEST(PartDecoderTest, FollowsNestedMultipartsThroughTheBoundaryStack) {
  Message msg;
  ReadResult result = ReadMessageBody(
      msg, {"Content-Type: multipart/mixed; boundary=outer"},
      Join({"--outer",
            "Content-Type: multipart/alternative; boundary=\"inner\"",
            "",
            "--inner",
            "Content-Type: text/plain",
            "",
            "plain",
            "--inner",
            "Content-Type: text/html",
            "Content-Transfer-Encoding: "
            "quoted-printable",
            "",
            "<p>caf=E9 =",
            "long</p>",
            "--inner--",
            "",
            "--outer",
            "Content-Type: application/octet-stream; name=\"z.bin\"",
            "Content-Transfer-Encoding: base64",
            "",
            "QUJD",
            "REVG",
            "--outer--",
            "."}));
  ASSERT_EQ(result.parts.size(), 4u);
  EXPECT_EQ(result.parts[0].content_type,
            "multipart/alternative; boundary=\"inner\"");
  EXPECT_EQ(result.parts[0].data, "");
  EXPECT_EQ(result.parts[1].data, "plain\r\n");
  EXPECT_EQ(result.parts[2].data, "<p>caf\xE9 long</p>\r\n");
  EXPECT_EQ(result.parts[3].file_name, "z.bin");
  EXPECT_EQ(result.parts[3].data, "ABCDEF");
  EXPECT_EQ(result.body, Lines{""});
  EXPECT_EQ(msg.MIMEBoundary().Count(), 0);
}

TEST(PartDecoderTest, ReadsAnEncodedBodyAsOnePart) {
  struct Row {
    const char* name;
    Lines headers;
    Lines body;
    MessagePartKind kind;
    std::string file_name;
    std::string data;
  } rows[] = {
      {"base64 text",
       {"Content-Type: text/plain", "Content-Transfer-Encoding: BASE64"},
       {"SGVsbG8s", "", "IHdvcmxk"},
       MessagePartKind::kText,
       "",
       "Hello, world"},
      {"quoted-printable text",
       {"Content-Transfer-Encoding: quoted-printable"},
       {"a=3Db", "soft =", "break", "..x"},
       MessagePartKind::kText,
       "",
       "a=b\r\nsoft break\r\n.x\r\n"},
      {"base64 attachment",
       {"Content-Type: application/pdf; name=\"doc.pdf\"",
        "Content-Transfer-Encoding: base64"},
       {"JVBERg=="},
       MessagePartKind::kAttachment,
       "doc.pdf",
       "%PDF"},
  };
  for (const Row& row : rows) {
    Message msg;
    Lines body = row.body;
    body.push_back(".");
    ReadResult result = ReadMessageBody(msg, row.headers, Join(body));
    ASSERT_EQ(result.parts.size(), 1u) << row.name;
    EXPECT_EQ(result.parts[0].kind, row.kind) << row.name;
    EXPECT_EQ(result.parts[0].file_name, row.file_name) << row.name;
    EXPECT_EQ(result.parts[0].data, row.data) << row.name;
    EXPECT_TRUE(result.message_ended) << row.name;
    EXPECT_TRUE(result.body.empty()) << row.name;
  }
}

TEST(PartDecoderTest, ReadsUUEAndXXEBlocksBetweenBodyLines) {
  struct Row {
    const char* name;
    Lines block;
  } rows[] = {
      {"uue", {"begin 644 file.txt", "#86)C", "`", "end"}},
      {"uue with blank zeros", {"BEGIN 644 file.txt", "#86)C", " ", "END"}},
      {"xxe", {"begin 600 file.txt", "1MK7X", "+", "end"}},
      {"empty line before data", {"begin 644 file.txt", "", "#86)C", "end"}},
  };
  for (const Row& row : rows) {
    Message msg;
    Lines body = {"before"};
    body.insert(body.end(), row.block.begin(), row.block.end());
    body.insert(body.end(), {"after", "."});
    ReadResult result = ReadMessageBody(msg, {}, Join(body));
    EXPECT_EQ(result.body, (Lines{"before", "after"})) << row.name;
    ASSERT_EQ(result.parts.size(), 1u) << row.name;
    EXPECT_EQ(result.parts[0].kind, MessagePartKind::kAttachment) << row.name;
    EXPECT_EQ(result.parts[0].file_name, "file.txt") << row.name;
    EXPECT_EQ(result.parts[0].data, "abc") << row.name;
  }
}

std::string NestedMultiparts(int depth) {
  std::string text;
  for (int i = 0; i < depth; ++i) {
    text += core::Format(
        "--b%d\r\nContent-Type: multipart/mixed; boundary=\"b%d\"\r\n\r\n", i,
        i + 1);
  }
  text +=
      core::Format("--b%d\r\nContent-Type: text/plain\r\n\r\ndeep\r\n", depth);
  for (int i = depth; i >= 0; --i) text += core::Format("--b%d--\r\n", i);
  return text + ".\r\n";
}

TEST(PartDecoderTest, SurvivesMalformedInput) {
  const std::string long_boundary(16384, 'q');
  struct Row {
    const char* name;
    Lines headers;
    std::string body;
    const char* error;  // nullptr: no error
    size_t parts;
    bool message_ended;
  } rows[] = {
      {"boundary never closed, ends at the terminator", kMixedHeader,
       Join({"--XyZ", "", "one", "--other", "."}), nullptr, 1, true},
      {"boundary never closed, ends with the source", kMixedHeader,
       Join({"--XyZ", "", "one"}), nullptr, 1, true},
      {"16 KiB boundary line",
       {"Content-Type: multipart/mixed; boundary=\"" + long_boundary + "\""},
       Join({"--" + long_boundary, "", "x", "--" + long_boundary, "", "y",
             "--" + long_boundary + "--", "."}),
       nullptr,
       2,
       false},
      {"part header without blank line", kMixedHeader,
       Join({"--XyZ", "Content-Type: text/plain", "hello", "--XyZ--", "."}),
       "Unknown Message Part Type.", 0, false},
      {"message ends in a part header", kMixedHeader,
       Join({"--XyZ", "Content-Type: text/plain"}),
       "Unknown Message Part Type.", 0, false},
      {"base64 line of odd length", kMixedHeader,
       Join({"--XyZ", "Content-Transfer-Encoding: base64", "", "QUJDR",
             "--XyZ--", "."}),
       "Uneven size in DecodeToStream.", 0, false},
      {"bad first UUE line",
       {},
       Join({"begin 644 f", "Zxyz", "end", "."}),
       "Unrecognized UUE encoding scheme.",
       0,
       false},
      {"UUE block without end, ends at the terminator",
       {},
       Join({"begin 644 f", "#86)C", ".", "+OK next reply"}),
       nullptr,
       1,
       true},
      {"UUE block without end, ends with the source",
       {},
       Join({"begin 644 f", "#86)C"}),
       nullptr,
       1,
       true},
  };
  for (const Row& row : rows) {
    Message msg;
    try {
      ReadResult result = ReadMessageBody(msg, row.headers, row.body);
      EXPECT_EQ(row.error, nullptr) << row.name;
      EXPECT_EQ(result.parts.size(), row.parts) << row.name;
      EXPECT_EQ(result.message_ended, row.message_ended) << row.name;
    } catch (const core::Exception& e) {
      EXPECT_STREQ(e.what(), row.error) << row.name;
    }
  }
}

TEST(PartDecoderTest, StopsAUUEBlockAtTheTerminatorLine) {
  Message msg;
  ReadResult result = ReadMessageBody(
      msg, {}, Join({"begin 644 f", "#86)C", ".", "+OK next reply"}));
  ASSERT_EQ(result.parts.size(), 1u);
  EXPECT_EQ(result.parts[0].data, "abc");
  EXPECT_EQ(result.rest, "+OK next reply\r\n");
}

TEST(PartDecoderTest, ReadsMultipartsNestedAThousandDeep) {
  Message msg;
  ReadResult result =
      ReadMessageBody(msg, {"Content-Type: multipart/mixed; boundary=\"b0\""},
                      NestedMultiparts(1000));
  ASSERT_EQ(result.parts.size(), 1001u);
  EXPECT_EQ(result.parts.back().data, "deep\r\n");
  // Only the innermost closing line meets its decoder; the outer ones are
  // plain body lines and their boundaries stay on the stack.
  EXPECT_EQ(result.body.size(), 1000u);
  EXPECT_EQ(msg.MIMEBoundary().Count(), 1000);
}

TEST(PartDecoderTest, WritesDataInBlocksAndKeepsWhatPrecedesAFailure) {
  Message msg;
  msg.SetContentTransferEncoding("base64");
  std::string lines;
  for (int i = 0; i < 20000; ++i) lines += "QUJDREVGR0hJSktM\r\n";
  core::MemoryStream source(lines + "QUJDR\r\n");
  std::unique_ptr<MessageDecoder> decoder =
      FindPartStart(msg, source.Data().substr(0, 16));
  source.SetPosition(18);
  decoder->SetSource(&source);
  decoder->ReadPartHeaders();
  WriteCountingStream file;
  bool ended = false;
  EXPECT_THROW(decoder->ReadPartBody(file, ended), core::Exception);
  EXPECT_EQ(file.Size(), 20000 * 12);
  EXPECT_LE(file.writes, 5);
}

TEST(PartDecoderTest, RecognisesPartStartsByRegistrationOrder) {
  Message msg;
  msg.Headers().Add("Content-Type: multipart/mixed; boundary=B");
  msg.ApplyHeaderBlock();
  EXPECT_NE(dynamic_cast<MessageDecoderMIME*>(FindPartStart(msg, "--b").get()),
            nullptr);
  EXPECT_EQ(FindPartStart(msg, "--B--"), nullptr);
  EXPECT_EQ(FindPartStart(msg, "--BB"), nullptr);
  std::unique_ptr<MessageDecoder> uue =
      FindPartStart(msg, "begin 644 /tmp/x y");
  ASSERT_NE(dynamic_cast<MessageDecoderUUE*>(uue.get()), nullptr);
  EXPECT_EQ(uue->PartFileName(), "x y");
  for (const char* line : {"begin 0 x", "begin 000 x", "begin 644x",
                           "begin 64 x", "begin -12 x", "begin 644"}) {
    EXPECT_EQ(FindPartStart(msg, line), nullptr) << line;
  }
  EXPECT_NE(FindPartStart(msg, "Begin  64 x"), nullptr);
}

}  // namespace
}  // namespace replyvane::message
