#include <gtest/gtest.h>

#include <vector>

#include "core/memory_stream.h"

namespace replyvane::core {
namespace {

std::vector<std::string> AllLines(Stream& stream, int64_t max_length = -1) {
  std::vector<std::string> lines;
  std::string line;
  while (stream.ReadLine(line, max_length)) lines.push_back(line);
  EXPECT_EQ(line, "");
  return lines;
}

// A memory stream that refuses to seek, like a stream over a connection.
class UnseekableStream : public MemoryStream {
 public:
  using MemoryStream::MemoryStream;
  int64_t Seek(int64_t offset, SeekOrigin origin) override {
    if (offset == 0 && origin == SeekOrigin::kCurrent) return -1;
    return MemoryStream::Seek(offset, origin);
  }
};

TEST(StreamReadLineTest, SplitsAtEveryKindOfLineEnd) {
  struct Row {
    const char* name;
    std::string data;
    std::vector<std::string> lines;
  } rows[] = {
      {"empty", "", {}},
      {"crlf", "a\r\nb\r\n", {"a", "b"}},
      {"lf", "a\nb", {"a", "b"}},
      {"lone cr", "a\rb\r", {"a", "b"}},
      {"empty lines", "\r\n\n\r\nx", {"", "", "", "x"}},
      {"cr cr lf", "a\r\r\nb", {"a", "", "b"}},
      {"lf cr", "a\n\rb", {"a", "", "b"}},
      {"nul bytes", std::string("a\0b\r\n", 5), {std::string("a\0b", 3)}},
  };
  for (const Row& row : rows) {
    MemoryStream stream(row.data);
    EXPECT_EQ(AllLines(stream), row.lines) << row.name;
  }
}

TEST(StreamReadLineTest, HandlesLinesAcrossChunksAndTheLimit) {
  // A CR LF split over the 2048-byte chunk edge is still one line end.
  std::string first(2047, 'x');
  MemoryStream split(first + "\r\nnext\r\n");
  EXPECT_EQ(AllLines(split), (std::vector<std::string>{first, "next"}));

  std::string ending_cr(2047, 'y');
  MemoryStream lone(ending_cr + "\rz");
  EXPECT_EQ(AllLines(lone), (std::vector<std::string>{ending_cr, "z"}));

  std::string long_line(20000, 'q');
  MemoryStream big(long_line + "\nend");
  EXPECT_EQ(AllLines(big), (std::vector<std::string>{long_line, "end"}));

  MemoryStream cut("abcdefg\r\nhi");
  EXPECT_EQ(AllLines(cut, 3),
            (std::vector<std::string>{"abc", "def", "g", "hi"}));
  std::string position_check;
  MemoryStream exact("abc\r\nd");
  ASSERT_TRUE(exact.ReadLine(position_check, 3));
  EXPECT_EQ(position_check, "abc");
  EXPECT_EQ(exact.Position(), 5);
}

TEST(StreamReadLineTest, ReadsByteWiseWhenTheStreamCannotSeek) {
  UnseekableStream stream("a\r\nb\rc\n\nlast");
  EXPECT_EQ(AllLines(stream),
            (std::vector<std::string>{"a", "b\rc", "", "last"}));
  UnseekableStream limited("abcdef\n");
  EXPECT_EQ(AllLines(limited, 4), (std::vector<std::string>{"abcd", "ef"}));
}

}  // namespace
}  // namespace replyvane::core
