#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

#include "core/exception.h"
#include "core/memory_stream.h"
#include "message/mime_coder.h"
#include "message/read_memory_stream.h"
#include "message/uue_coder.h"
#include "tests/message/coder_test_util.h"

namespace replyvane::message {
namespace {

std::string UUE(std::string_view bytes) {
  return EncodeTextOnce<EncoderUUE>(bytes);
}
std::string XXE(std::string_view bytes) {
  return EncodeTextOnce<EncoderXXE>(bytes);
}

TEST(Base64Test, EncodesKnownTexts) {
  struct Row {
    std::string bytes;
    std::string text;
  } rows[] = {
      {"", ""},
      {"a", "YQ=="},
      {"ab", "YWI="},
      {"abc", "YWJj"},
      {"foobar", "Zm9vYmFy"},
      {"fooba", "Zm9vYmE="},
      {std::string("\0\0\0", 3), "AAAA"},
      {"\xFF\xFE\xFD", "//79"},
      {"\xFB\xFF", "+/8="},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(EncodeTextOnce<EncoderMIME>(row.bytes), row.text)
        << "bytes: " << row.bytes;
    EXPECT_EQ(DecoderMIME().DecodeText(row.text), row.bytes)
        << "text: " << row.text;
  }
}

TEST(Base64Test, LargeInputsEncodeLikeManySmallCalls) {
  // Large calls take the table-per-pair path, 57-byte calls the plain one.
  for (size_t size : {1536u, 1537u, 1538u, 5000u, 3 * 16384u + 7, 200'001u}) {
    std::string bytes = RandomBytes(size, uint32_t(size));
    core::MemoryStream source(bytes);
    EncoderMIME encoder;
    std::string pieces;
    for (std::string line; !(line = encoder.Encode(source, 57)).empty();) {
      pieces += line;
    }
    EXPECT_EQ(EncodeTextOnce<EncoderMIME>(bytes), pieces) << "size " << size;
  }
}

TEST(Base64Test, EncodesLikeThePlainRulesFromEverySource) {
  // Sizes about the edges of the word-wide kernel, of the pair table and of
  // the steps a stream is read in.
  const size_t sizes[] = {0,    1,         2,     3,     4,     5,     6,
                          7,    8,         9,     10,    1535,  1536,  1537,
                          1538, 3 * 16384, 49153, 49154, 49155, 98306, 100'000};
  std::string url_safe(kBase64Alphabet);
  url_safe[62] = '-';
  url_safe[63] = '_';
  for (size_t size : sizes) {
    const std::string bytes = RandomBytes(size, uint32_t(size));
    // In memory of exactly the text's size, so that a read past its end
    // is caught.
    auto exact = std::make_unique<char[]>(std::max<size_t>(size, 1));
    std::copy(bytes.begin(), bytes.end(), exact.get());
    const std::string_view text(exact.get(), size);
    for (size_t offset : {0, 1, 2}) {
      if (offset > size) continue;
      const std::string row =
          "size " + std::to_string(size) + " offset " + std::to_string(offset);
      const std::string_view rest = text.substr(offset);
      EncoderMIME encoder;
      ReadMemoryStream memory(text);
      memory.SetPosition(int64_t(offset));
      EXPECT_EQ(encoder.Encode(memory), PlainBase64(rest)) << row;
      EXPECT_EQ(memory.Position(), int64_t(size)) << row;

      // A count of whole groups stops short of the end; the rest follows.
      const size_t count = rest.size() / 2 / 3 * 3;
      memory.SetPosition(int64_t(offset));
      std::string halves = encoder.Encode(memory, int64_t(count));
      EXPECT_EQ(memory.Position(), int64_t(offset + count)) << row;
      halves += encoder.Encode(memory);
      EXPECT_EQ(halves, PlainBase64(rest)) << row;

      core::MemoryStream stream{std::string(rest)};
      EXPECT_EQ(encoder.Encode(stream), PlainBase64(rest)) << row;
      TrickleStream pipe{std::string(rest)};
      EXPECT_EQ(encoder.Encode(pipe), PlainBase64(rest)) << row;

      encoder.SetCodingTable(url_safe);
      memory.SetPosition(int64_t(offset));
      EXPECT_EQ(encoder.Encode(memory), PlainBase64(rest, url_safe)) << row;
    }
  }
}

TEST(Base64Test, CustomCodingTableIsUsedForLargeInputsToo) {
  std::string bytes = RandomBytes(4096, 7);
  std::string standard = EncodeTextOnce<EncoderMIME>(bytes);
  EncoderMIME url_safe;
  std::string table(kBase64Alphabet);
  table[62] = '-';
  table[63] = '_';
  url_safe.SetCodingTable(table);
  for (char& c : standard) c = c == '+' ? '-' : c == '/' ? '_' : c;
  EXPECT_EQ(url_safe.EncodeText(bytes), standard);
  EXPECT_THROW(url_safe.SetCodingTable("ABC"), core::Exception);
}

TEST(Base64Test, EncodeTakesCountFromThePositionOn) {
  core::MemoryStream source(RandomBytes(100, 1));
  EncoderMIME encoder;
  EXPECT_EQ(encoder.Encode(source, 57).size(), 76u);
  EXPECT_EQ(source.Position(), 57);
  std::string rest = encoder.Encode(source, 57);
  EXPECT_EQ(rest.size(), 60u);
  EXPECT_EQ(rest.substr(58), "==");
  EXPECT_EQ(source.Position(), 100);
  EXPECT_EQ(encoder.Encode(source, 57), "");
  EXPECT_EQ(encoder.Encode(source, 0), "");

  source.SetPosition(0);
  for (int64_t uneven : {1, 56, 58}) {
    try {
      encoder.Encode(source, uneven);
      ADD_FAILURE() << "count " << uneven << " was accepted";
    } catch (const core::Exception& e) {
      EXPECT_EQ(e.Message(), "Uneven size in Encode.");
    }
  }
  EXPECT_EQ(source.Position(), 0) << "a refused count reads nothing";
}

TEST(AlphabetCoderTest, EncodeAppendAddsWhatEncodeReturns) {
  std::string bytes = RandomBytes(90, 3);
  EncoderMIME mime;
  EncoderUUE uue;
  Encoder* encoders[] = {&mime, &uue};
  for (Encoder* encoder : encoders) {
    core::MemoryStream source(bytes);
    std::string expected = "head:" + encoder->Encode(source, 45);
    expected += encoder->Encode(source, 45);
    source.SetPosition(0);
    std::string text = "head:";
    encoder->EncodeAppend(source, 45, text);
    encoder->EncodeAppend(source, 45, text);
    EXPECT_EQ(text, expected);
  }
}

TEST(Base64Test, DecodesGroupByGroup) {
  struct Row {
    std::string text;
    std::string bytes;
  } rows[] = {
      {"YQ==YQ==", "aa"},  // padding may end any group
      {"YQ=x", "a"},       // a fill third character wins over the fourth
      {"YWI=", "ab"},
      {"!!!!", "\xFF\xFF\xFF"},  // outside the alphabet: the bits of 255
      {"A*AA", std::string("\x0F\xF0\x00", 3)},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(DecoderMIME().DecodeText(row.text), row.bytes)
        << "text: " << row.text;
  }
}

TEST(Base64Test, DecodeRefusesUnevenTextsAndAppendsAtThePosition) {
  for (std::string text : {"YWJ", "Y", "YWJjZ"}) {
    try {
      DecoderMIME().DecodeText(text);
      ADD_FAILURE() << text << " was accepted";
    } catch (const core::Exception& e) {
      EXPECT_EQ(e.Message(), "Uneven size in DecodeToStream.");
    }
  }
  core::MemoryStream out(std::string("xy"));
  out.Seek(0, core::SeekOrigin::kEnd);
  DecoderMIME().DecodeToStream("YWJj", out);
  DecoderMIME().DecodeToStream("", out);
  EXPECT_EQ(out.Data(), "xyabc");
}

TEST(UUETest, EncodesLinesWithTheirLengthCharacter) {
  struct Row {
    std::string bytes;
    std::string uue;
    std::string xxe;
  } rows[] = {
      {"", "`", "+"},
      {"abc", "#86)C", "1MK7X"},
      {"a", "!80``", "-ME++"},
      {std::string(3, '\0'), "#````", "1++++"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(UUE(row.bytes), row.uue) << "bytes: " << row.bytes;
    EXPECT_EQ(XXE(row.bytes), row.xxe) << "bytes: " << row.bytes;
  }
  std::string line = UUE(std::string(45, 'x'));
  EXPECT_EQ(line.size(), 61u);
  EXPECT_EQ(line[0], 'M');
  EXPECT_EQ(XXE(std::string(45, 'x'))[0], 'h');
  EXPECT_EQ(UUE(std::string(63, 'x'))[0], '_');
  EXPECT_EQ(XXE(std::string(63, 'x'))[0], 'z');
}

TEST(UUETest, RefusesLinesTheLengthCharacterCannotHold) {
  core::MemoryStream source(std::string(100, 'x'));
  EncoderUUE encoder;
  try {
    encoder.Encode(source);
    ADD_FAILURE() << "a 100-byte line was accepted";
  } catch (const core::Exception& e) {
    EXPECT_EQ(e.Message(), "Line too long in Encode.");
  }
  EXPECT_EQ(source.Position(), 0);
  EXPECT_THROW(encoder.Encode(source, 44), core::Exception);
  EXPECT_EQ(encoder.Encode(source, 45).size(), 61u);
  EXPECT_EQ(encoder.Encode(source, 66).size(), 1u + 76u);  // 55 bytes left
}

TEST(UUETest, DecodesExactlyTheAnnouncedLength) {
  struct Row {
    std::string line;
    std::string bytes;
  } rows[] = {
      {"", ""},
      {"`", ""},
      {"#86)C", "abc"},
      {"#86)Cjunk", "abc"},             // beyond the length: ignored
      {"#86", std::string("a`\0", 3)},  // short line: zero bits
      {"!80``", "a"},
      {"!80", "a"},
      {"\"86(`", "ab"},
      {"#    ", std::string(3, '\0')},  // blank is an old way to write zero
      {"M", std::string(45, '\0')},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(DecoderUUE().DecodeText(row.line), row.bytes)
        << "line: " << row.line;
  }
  EXPECT_EQ(DecoderXXE().DecodeText("1MK7X"), "abc");
  EXPECT_EQ(DecoderXXE().DecodeText("+"), "");
  // A length character outside the alphabet counts as 255.
  EXPECT_EQ(DecoderXXE().DecodeText("~").size(), 255u);
}

TEST(AlphabetCoderTest, RoundTripsEveryLength) {
  for (size_t size = 0; size <= 200; ++size) {
    std::string bytes = RandomBytes(size, uint32_t(size));
    EXPECT_EQ(DecoderMIME().DecodeText(EncodeTextOnce<EncoderMIME>(bytes)),
              bytes)
        << "base64, size " << size;

    // UUE and XXE go line by line, 45 bytes at most per line.
    core::MemoryStream source(bytes);
    EncoderUUE uue;
    EncoderXXE xxe;
    core::MemoryStream uue_out;
    core::MemoryStream xxe_out;
    while (source.Position() < source.Size()) {
      int64_t start = source.Position();
      DecoderUUE().DecodeToStream(uue.Encode(source, 45), uue_out);
      source.SetPosition(start);
      DecoderXXE().DecodeToStream(xxe.Encode(source, 45), xxe_out);
    }
    EXPECT_EQ(uue_out.Data(), bytes) << "UUE, size " << size;
    EXPECT_EQ(xxe_out.Data(), bytes) << "XXE, size " << size;
  }
  for (size_t size : {1u << 20, (3u << 20) + 1}) {
    std::string bytes = RandomBytes(size, 99);
    std::string text = EncodeTextOnce<EncoderMIME>(bytes);
    EXPECT_EQ(text.size(), (size + 2) / 3 * 4);
    EXPECT_EQ(DecoderMIME().DecodeText(text), bytes) << "size " << size;
  }
}

TEST(ReadMemoryStreamTest, ReadsAndSeeksButNeverWrites) {
  std::string text = "hello";
  ReadMemoryStream stream(text);
  char buffer[8] = {};
  EXPECT_EQ(stream.Size(), 5);
  EXPECT_EQ(stream.Read(buffer, 3), 3u);
  EXPECT_EQ(std::string(buffer, 3), "hel");
  EXPECT_EQ(stream.Read(buffer, 8), 2u);
  EXPECT_EQ(stream.Read(buffer, 8), 0u);

  EXPECT_EQ(stream.Seek(-2, core::SeekOrigin::kEnd), 3);
  EXPECT_EQ(stream.Seek(100, core::SeekOrigin::kCurrent), 5);
  EXPECT_EQ(stream.Seek(INT64_MAX, core::SeekOrigin::kEnd), 5);
  EXPECT_EQ(stream.Seek(INT64_MIN, core::SeekOrigin::kCurrent), 0);
  EXPECT_EQ(stream.Seek(-1, core::SeekOrigin::kBeginning), 0);

  EXPECT_EQ(stream.Write("x", 1), 0u);
  EXPECT_THROW(stream.WriteString("x"), core::StreamError);
  EXPECT_EQ(text, "hello");
}

}  // namespace
}  // namespace replyvane::message
