#include "message/quoted_printable_coder.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "core/memory_stream.h"
#include "tests/message/coder_test_util.h"
#include "tests/message/quoted_printable_plain.h"

namespace replyvane::message {
namespace {

std::string Encode(std::string_view bytes) {
  return EncodeTextOnce<EncoderQuotedPrintable>(bytes);
}
std::string Decode(std::string_view text) {
  return DecoderQuotedPrintable().DecodeText(text);
}

// Text-like data: any byte but CR and LF, with CR LF line ends, never
// ending in a blank or tab (which no line end would protect).
std::string RandomText(size_t size, uint32_t seed) {
  std::mt19937 random(seed);
  std::string text;
  while (text.size() < size) {
    if (random() % 40 == 0) {
      text += "\r\n";
    } else if (random() % 5 == 0) {
      text += random() % 2 ? ' ' : '\t';
    } else {
      char c = char(random() & 0xFF);
      if (c != '\r' && c != '\n') text += c;
    }
  }
  text += '.';
  return text;
}

TEST(QuotedPrintableTest, EncodesBytes) {
  struct Row {
    std::string bytes;
    std::string text;
  } rows[] = {
      {"", ""},
      {"abc", "abc"},
      {"a=b", "a=3Db"},
      {"!\"#<>?@[\\]^_`{|}~", "!\"#<>?@[\\]^_`{|}~"},
      {"line \r\n", "line=20\r\n"},
      {"tab\t\r\n", "tab=09\r\n"},
      {"a \nb", "a=20\nb"},
      {"a b\r\n", "a b\r\n"},
      {"end ", "end "},  // nothing follows the blank
      {"caf\xE9", "caf=E9"},
      {std::string("\x7F\x00\x1B", 3), "=7F=00=1B"},
      {std::string(72, 'a'), std::string(72, 'a') + "="},
      {std::string(80, 'a'),
       std::string(72, 'a') + "=\r\n" + std::string(8, 'a')},
      {std::string(70, 'a') + "=", std::string(70, 'a') + "=3D="},
      // A line end of the data is never followed by a soft break ...
      {std::string(70, 'a') + "\r\n", std::string(70, 'a') + "\r\n"},
      // ... nor split from its LF; the next byte takes the break instead.
      {std::string(71, 'a') + "\r\nb", std::string(71, 'a') + "\r\nb="},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(Encode(row.bytes), row.text) << "bytes: " << row.bytes;
  }
}

TEST(QuotedPrintableTest, BlankBeforeLineEndIsEscapedAcrossBlocks) {
  // The blank ends the first 8192-byte block, its CR starts the next.
  std::string bytes = std::string(8191, 'a') + " \r\n";
  std::string text = Encode(bytes);
  EXPECT_NE(text.find("=20\r\n"), std::string::npos);
  EXPECT_EQ(Decode(text), bytes);
}

TEST(QuotedPrintableTest, EncodeReadsOnlyCountBytes) {
  core::MemoryStream source(std::string("abc=def"));
  EncoderQuotedPrintable encoder;
  EXPECT_EQ(encoder.Encode(source, 4), "abc=3D");
  EXPECT_EQ(source.Position(), 4);
  EXPECT_EQ(encoder.Encode(source), "def");
  EXPECT_EQ(encoder.Encode(source), "");

  // Appending keeps what the text held, including its last line break.
  core::MemoryStream line(std::string(72, 'a'));
  std::string text = "x\r\n";
  encoder.EncodeAppend(line, EncoderQuotedPrintable::kWholeStream, text);
  EXPECT_EQ(text, "x\r\n" + std::string(72, 'a') + "=");
  core::MemoryStream empty;
  encoder.EncodeAppend(empty, EncoderQuotedPrintable::kWholeStream, text);
  EXPECT_EQ(text, "x\r\n" + std::string(72, 'a') + "=");
}

TEST(QuotedPrintableTest, NoLineLongerThan75Characters) {
  for (uint32_t seed = 0; seed < 20; ++seed) {
    std::string text = Encode(RandomBytes(20'000, seed));
    size_t line_start = 0;
    for (size_t i = 0; i <= text.size(); ++i) {
      if (i == text.size() || text[i] == '\r' || text[i] == '\n') {
        ASSERT_LE(i - line_start, 75u) << "seed " << seed << " at " << i;
        line_start = i + 1;
      }
    }
  }
}

TEST(QuotedPrintableTest, DecodesEscapesAndSoftBreaks) {
  struct Row {
    std::string text;
    std::string bytes;
  } rows[] = {
      {"", ""},
      {"a=3Db", "a=b"},
      {"=41=42", "AB"},
      {"=3d=e9", "=\xE9"},
      {"a=\r\nb", "ab"},
      {"a=\nb", "ab"},
      {"a=\r\n\r\nb", "a\r\nb"},  // the soft break eats one line end
      {"a=\n\nb", "a\nb"},
      {"abc \t ", "abc"},
      {"abc \r\n", "abc\r\n"},  // trailing blanks go, line ends stay
      {"abc \r \n\t", "abc\r\n"},
      {"=20\r\n", " \r\n"},
      {"=20\nx", " \r\nx"},
      {"=20\n\nx", " \r\n\nx"},
      {"=20x", " x"},
      {"=4", "\x04"},
      {"=4g", "\x04g"},
      {"=", ""},
      {"a==41", "aA"},
      {"=G1", "G1"},
      {std::string("=\0a", 3), std::string("\0a", 2)},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(Decode(row.text), row.bytes) << "text: " << row.text;
  }
}

TEST(QuotedPrintableTest, DecodesAnyTextLikeThePlainReading) {
  // Pieces that meet at every offset of the decoder's blocks: escapes in
  // either case, short and broken ones, "=20" before line ends, soft breaks,
  // blanks, plain and binary characters.
  static const std::string_view kPieces[] = {"=",
                                             "=3D",
                                             "=e9",
                                             "=Fa",
                                             "=20",
                                             "=2",
                                             "=G",
                                             "=\r\n",
                                             "=\n",
                                             "\r\n",
                                             "\r",
                                             "\n",
                                             " ",
                                             "\t",
                                             "a",
                                             "Z",
                                             "3",
                                             "==",
                                             "=0",
                                             "x=",
                                             std::string_view("\0", 1),
                                             "\xFF",
                                             "abcdefghijklmnopqrstuvwxyz0123"};
  std::mt19937 random(11);
  for (int round = 0; round < 400; ++round) {
    size_t pieces = round < 300 ? random() % 60 : 2000 + random() % 8000;
    // Escapes only, plain only or anything: the mix sets the lengths of
    // the plain runs between two "=".
    size_t first = round % 3 == 0 ? 0 : round % 3 == 1 ? 1 : 8;
    size_t count = round % 3 == 0 ? 8 : std::size(kPieces) - first;
    std::string text;
    for (size_t k = 0; k < pieces; ++k) {
      text += kPieces[first + random() % count];
    }
    ASSERT_EQ(Decode(text), PlainQuotedPrintableDecode(text))
        << "round " << round;
  }
  for (uint32_t seed = 0; seed < 4; ++seed) {
    std::string text = Encode(RandomBytes(70'000, seed));
    ASSERT_EQ(Decode(text), PlainQuotedPrintableDecode(text))
        << "seed " << seed;
  }
}

TEST(QuotedPrintableTest, RoundTripsText) {
  for (size_t size = 0; size <= 200; ++size) {
    std::string bytes = RandomText(size, uint32_t(size));
    EXPECT_EQ(Decode(Encode(bytes)), bytes) << "size " << size;
  }
  for (size_t size : {8191u, 8192u, 8193u, 1u << 20}) {
    std::string bytes = RandomText(size, uint32_t(size));
    EXPECT_EQ(Decode(Encode(bytes)), bytes) << "size " << size;
  }
}

TEST(QuotedPrintableTest, RoundTripsTextLineByLine) {
  // How a message body is sent: each line with its CR LF on its own.
  std::string body = RandomText(50'000, 3);
  std::string wire;
  for (size_t start = 0; start < body.size();) {
    size_t end = body.find("\r\n", start);
    end = end == std::string::npos ? body.size() : end + 2;
    wire += Encode(body.substr(start, end - start));
    start = end;
  }
  EXPECT_EQ(Decode(wire), body);
}

}  // namespace
}  // namespace replyvane::message
