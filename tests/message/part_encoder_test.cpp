#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <random>

#include "core/file_stream.h"
#include "core/memory_stream.h"
#include "message/coder_registry.h"
#include "part_reading.h"
#include "tests/message/coder_test_util.h"

namespace replyvane::message {
namespace {

std::string Bytes0To99() {
  std::string data;
  for (int i = 0; i < 100; ++i) data += char(i);
  return data;
}

std::string Encode(MessageEncoder& encoder, const std::string& data) {
  core::MemoryStream source(data);
  source.SetPosition(source.Size());  // encoders start at the beginning
  core::MemoryStream destination;
  encoder.EncodePart(source, destination);
  return destination.Data();
}

TEST(PartEncoderTest, WritesBase64LinesOf76Characters) {
  MessageEncoderMIME encoder;
  EXPECT_EQ(Encode(encoder, Bytes0To99()),
            "AAECAwQFBgcICQoLDA0ODxAREhMUFRYXGBkaGxwdHh8gISIjJCUmJygpKiss"
            "LS4vMDEyMzQ1Njc4\r\n"
            "OTo7PD0+P0BBQkNERUZHSElKS0xNTk9QUVJTVFVWV1hZWltcXV5fYGFiYw==\r\n");
  EXPECT_EQ(Encode(encoder, ""), "");
  EXPECT_EQ(Encode(encoder, "abc"), "YWJj\r\n");
}

TEST(PartEncoderTest, Base64LinesFollowThePlainRulesAtEveryBlockEdge) {
  // Blocks hold 1024 lines of 57 bytes; sources that read in other steps.
  const size_t sizes[] = {0,
                          1,
                          56,
                          57,
                          58,
                          114,
                          57 * 1024 - 1,
                          57 * 1024,
                          57 * 1024 + 1,
                          57 * 2048 + 58};
  for (size_t size : sizes) {
    const std::string data = RandomBytes(size, unsigned(size));
    const std::string text = PlainBase64(data);
    std::string lines;
    for (size_t at = 0; at < text.size(); at += 76) {
      lines += text.substr(at, 76) + "\r\n";
    }
    MessageEncoderMIME encoder;
    EXPECT_EQ(Encode(encoder, data), lines) << "size " << size;
    TrickleStream pipe(data);
    core::MemoryStream destination;
    encoder.EncodePart(pipe, destination);
    EXPECT_EQ(destination.Data(), lines) << "pipe, size " << size;
  }
}

TEST(PartEncoderTest, WritesUUEAndXXEBlocks) {
  MessageEncoderUUE uue;
  uue.SetFilename("data.bin");
  EXPECT_EQ(uue.PermissionCode(), 660);
  EXPECT_EQ(Encode(uue, Bytes0To99()),
            "begin 660 data.bin\r\n"
            "M``$\"`P0%!@<(\"0H+#`T.#Q`1$A,4%187&!D:&QP='A\\@(2(C)\"4F)R@I*BLL"
            "\r\n"
            "M+2XO,#$R,S0U-C<X.3H[/#T^/T!!0D-$149'2$E*2TQ-3D]045)35%565UA9\r\n"
            "*6EM<75Y?8&%B8P``\r\n"
            "`\r\nend\r\n");

  MessageEncoderXXE xxe;
  xxe.SetFilename("data.bin");
  xxe.SetPermissionCode(644);
  EXPECT_EQ(Encode(xxe, Bytes0To99()),
            "begin 644 data.bin\r\n"
            "h++20+kE3-UQ60Ec91+oC1l+F2VAI3FML4-YO4lkR5VwU6G6X70Ia7mUd8Wgg\r\n"
            "h9GsjA12mAnEpBXQsCHcvD1oyDo--EYB2FIN5G2Z8GolBHYxEIJ7HJ3JKJpVN\r\n"
            "8KZhQLJtTM43WMk++\r\n"
            "+\r\nend\r\n");

  EXPECT_EQ(Encode(uue, ""), "begin 660 data.bin\r\n`\r\nend\r\n");
  // A line of 14 bytes begins with "." and goes out stuffed.
  EXPECT_EQ(Encode(uue, "fourteen bytes"),
            "begin 660 data.bin\r\n..9F]U<G1E96X@8GET97,`\r\n`\r\nend\r\n");
}

class TempDir {
 public:
  TempDir() {
    char name[] = "/tmp/replyvane-parts-XXXXXX";
    path_ = mkdtemp(name);
  }
  ~TempDir() {
    for (const std::string& file : files_) unlink(file.c_str());
    rmdir(path_.c_str());
  }
  std::string Write(const std::string& name, const std::string& data) {
    std::string file = path_ + "/" + name;
    core::FileStream out(file, core::FileMode::kCreate);
    out.WriteString(data);
    files_.push_back(file);
    return file;
  }

 private:
  std::string path_;
  std::vector<std::string> files_;
};

TEST(PartEncoderTest, StreamsAnAttachmentFileInBlocks) {
  TempDir dir;
  const std::string data = RandomBytes(1 << 20, 7);
  Message msg;
  Attachment& file =
      msg.MessageParts().AddAttachment(dir.Write("big.bin", data));
  WriteCountingStream destination;
  file.EncodeToStream(destination);
  MessageEncoderMIME encoder;
  EXPECT_EQ(destination.Data(), Encode(encoder, data));
  EXPECT_GT(destination.writes, 10);
  EXPECT_LT(destination.largest_write, size_t(128 * 1024));

  Attachment& missing = msg.MessageParts().AddAttachment("/nonexistent/x");
  core::MemoryStream sink;
  EXPECT_THROW(missing.EncodeToStream(sink), core::StreamError);
}

TEST(PartEncoderTest, RegistryFindsEncodersByExactName) {
  EXPECT_NE(
      dynamic_cast<const MessageEncoderInfoMIME*>(&EncoderInfoByName("MIME")),
      nullptr);
  EXPECT_NE(
      dynamic_cast<const MessageEncoderInfoXXE*>(&EncoderInfoByName("XXE")),
      nullptr);
  std::unique_ptr<MessageEncoder> uue =
      EncoderInfoByName("UUE").CreateEncoder();
  EXPECT_NE(dynamic_cast<MessageEncoderUUE*>(uue.get()), nullptr);
  try {
    EncoderInfoByName("Uue");
    FAIL() << "found an encoder for a wrong name";
  } catch (const core::Exception& e) {
    EXPECT_STREQ(e.what(), "Message encoder not found: Uue");
  }
}

// Encodes an attachment file with the message's encoder and reads the
// result back through the decoders.
TEST(PartEncoderTest, RoundTripsRandomDataThroughEncoderAndDecoder) {
  TempDir dir;
  const size_t sizes[] = {0, 1, 2, 3, 14, 44, 45, 46, 56, 57, 58, 1 << 20};
  for (const char* encoding : {"MIME", "UUE", "XXE"}) {
    for (size_t size : sizes) {
      const std::string row =
          std::string(encoding) + " " + std::to_string(size);
      const std::string data = RandomBytes(size, unsigned(size));
      Message sent;
      sent.SetAttachmentEncoding(encoding);
      Attachment& file = sent.MessageParts().AddAttachment(
          dir.Write("f" + std::to_string(size) + ".bin", data));
      core::MemoryStream wire;
      const bool mime = std::string(encoding) == "MIME";
      std::vector<std::string> headers;
      if (mime) {
        headers.push_back("Content-Type: multipart/mixed; boundary=\"b\"");
        wire.WriteString(
            "--b\r\nContent-Type: application/octet-stream;\r\n"
            "        name=\"" +
            file.AttachmentName() +
            "\"\r\nContent-Transfer-Encoding: base64\r\n\r\n");
      }
      file.EncodeToStream(wire);
      wire.WriteString(mime ? "\r\n--b--\r\n.\r\n" : "tail\r\n.\r\n");

      Message received;
      ReadResult result = ReadMessageBody(received, headers, wire.Data());
      ASSERT_EQ(result.parts.size(), 1u) << row;
      EXPECT_EQ(result.parts[0].file_name, file.AttachmentName()) << row;
      EXPECT_TRUE(result.parts[0].data == data) << row;
      EXPECT_EQ(result.body, mime ? std::vector<std::string>{}
                                  : std::vector<std::string>{"tail"})
          << row;
    }
  }
}

}  // namespace
}  // namespace replyvane::message
