#include "core/text.h"

#include <gtest/gtest.h>

#include "core/exception.h"

namespace replyvane::core {
namespace {

TEST(TakeUntilTest, CutsAtFirstDelimiterAndLeavesTheRest) {
  std::string text = "a,b,c";
  EXPECT_EQ(TakeUntil(text, ","), "a");
  EXPECT_EQ(text, "b,c");

  std::string kept = "a,b";
  EXPECT_EQ(TakeUntil(kept, ",", false), "a");
  EXPECT_EQ(kept, "a,b");

  std::string none = "abc";
  EXPECT_EQ(TakeUntil(none, ";"), "abc");
  EXPECT_EQ(none, "");

  std::string mixed = "xxBoundaryyy";
  EXPECT_EQ(TakeUntil(mixed, "BOUNDARY", true, false), "xx");
  EXPECT_EQ(mixed, "yy");
  std::string exact = "xxBoundaryyy";
  EXPECT_EQ(TakeUntil(exact, "BOUNDARY", true, true), "xxBoundaryyy");
}

TEST(TrimTest, RemovesControlBytesAndBlanksAtBothEnds) {
  EXPECT_EQ(Trim(" \t\r\n a b \x01"), "a b");
  EXPECT_EQ(TrimLeft("  a "), "a ");
  EXPECT_EQ(TrimRight("  a \n"), "  a");
  EXPECT_EQ(Trim(std::string("\0x\0", 3)), "x");
  EXPECT_EQ(Trim("   "), "");
}

TEST(IntegerConversionTest, AcceptsWholeDecimalAndHexTexts) {
  struct Row {
    const char* text;
    std::optional<int32_t> value;
  } rows[] = {
      {"0", 0},
      {"  42", 42},
      {"+7", 7},
      {"-1", -1},
      {"$ff", 255},
      {"x10", 16},
      {"X10", 16},
      {"0x1F", 31},
      {"-$10", -16},
      {"$FFFFFFFF", -1},
      {"2147483647", 2147483647},
      {"-2147483648", INT32_MIN},
      {"2147483648", std::nullopt},
      {"$100000000", std::nullopt},
      {"", std::nullopt},
      {"-", std::nullopt},
      {"$", std::nullopt},
      {"0x", std::nullopt},
      {"12 ", std::nullopt},
      {"1a", std::nullopt},
      {"abc", std::nullopt},
      {"yes", std::nullopt},
      {"\t1", std::nullopt},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(ParseInt32(row.text), row.value) << "text: " << row.text;
  }
  EXPECT_EQ(ParseInt64("9223372036854775807"), INT64_MAX);
  EXPECT_EQ(ParseInt64("9223372036854775808"), std::nullopt);
  EXPECT_EQ(StrToIntDef("abc", 9), 9);
  EXPECT_EQ(StrToIntDef("12", 9), 12);
}

TEST(IntegerConversionTest, RaisingFormNamesTheText) {
  try {
    StrToInt("12x");
    FAIL() << "no exception";
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "'12x' is not a valid integer value");
  }
  EXPECT_EQ(StrToInt("-5"), -5);
}

TEST(SplitLinesTest, SplitsAtEveryLineEndForm) {
  using Lines = std::vector<std::string>;
  EXPECT_EQ(SplitLines(""), Lines{});
  EXPECT_EQ(SplitLines("a"), Lines{"a"});
  EXPECT_EQ(SplitLines("a\r\n"), Lines{"a"});
  EXPECT_EQ(SplitLines("a\r\n\r\n"), (Lines{"a", ""}));
  EXPECT_EQ(SplitLines("a\rb\nc\r\nd"), (Lines{"a", "b", "c", "d"}));
  EXPECT_EQ(SplitLines("a\n\rb"), (Lines{"a", "", "b"}));
  EXPECT_EQ(SplitLines("\n"), Lines{""});
}

TEST(BlankLineBreaksTest, OnlyCrLfAndNulBecomeBlanks) {
  EXPECT_EQ(BlankLineBreaks(std::string("a\r\nb\0c\rd\ne", 10)), "a  b c d e");
  EXPECT_EQ(BlankLineBreaks("\t\x7f\xc3\x84."), "\t\x7f\xc3\x84.");
}

TEST(FormatTest, FormatsLikePrintf) {
  EXPECT_EQ(Format("Socket Error # %d\r\n%s", 10061, "Connection refused."),
            "Socket Error # 10061\r\nConnection refused.");
  EXPECT_EQ(Format("%s", ""), "");
}

}  // namespace
}  // namespace replyvane::core
