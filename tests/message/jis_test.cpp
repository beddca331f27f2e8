#include "message/jis.h"

#include <gtest/gtest.h>

#include <string>

#include "message/code_page.h"

namespace replyvane::message {
namespace {

const std::string kToJis = "\x1B$B";
const std::string kToAscii = "\x1B(B";

TEST(JisTest, AgreesWithIconvOnEveryJisX0208Character) {
  int checked = 0;
  for (int row = 0x21; row <= 0x7E; ++row) {
    for (int cell = 0x21; cell <= 0x7E; ++cell) {
      const std::string jis = kToJis + char(row) + char(cell) + kToAscii;
      const auto sjis = ConvertCharset(jis, "ISO-2022-JP", "SHIFT_JIS");
      if (!sjis) continue;  // an unassigned code
      ++checked;
      ASSERT_EQ(JisToShiftJis(jis), *sjis) << std::hex << row << " " << cell;
      ASSERT_EQ(ShiftJisToJis(*sjis), jis) << std::hex << row << " " << cell;
    }
  }
  EXPECT_GT(checked, 6000);
}

TEST(JisTest, ConvertsMixedAndMalformedText) {
  struct Row {
    std::string sjis;
    std::string jis;
  };
  const Row rows[] = {
      {"", ""},
      {"plain", "plain"},
      {"a\x83\x4A"
       "b",
       "a" + kToJis + "%+" + kToAscii + "b"},
      {"\x83\x4A\x83\x4A", kToJis + "%+%+" + kToAscii},
      // Half-width katakana become full-width, voiced marks merge.
      {"\xA1", kToJis + "!#" + kToAscii},
      {"\xB6\xDE", kToJis + "%," + kToAscii},
      {"\xCA\xDF", kToJis + "%Q" + kToAscii},
      {"\xB3\xDE", kToJis + "%t" + kToAscii},
      {"\xB1\xDE", kToJis + "%\"!+" + kToAscii},
      {"\xCA\xDE\xDF", kToJis + "%P!," + kToAscii},
      {"\xB0\xDF", kToJis + "!<!," + kToAscii},
      // Unmappable bytes and pairs are dropped.
      {"\x80\xA0\xFD\xFE\xFFz", "z"},
      {"\xF0\x40z", "z"},
      {"\x83\x7Fz", "z"},
      {"z\x83", "z"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(ShiftJisToJis(row.sjis), row.jis) << "sjis: " << row.sjis;
  }
  struct Back {
    std::string jis;
    std::string sjis;
  };
  const Back backs[] = {
      {"\x1B$@ab", "ab"},
      {kToJis + "%", ""},
      {kToJis + "%+" + kToAscii + "x", "\x83\x4Ax"},
      // Another escape changes nothing: the pairs go on.
      {kToJis + "%+\x1B(J%+" + kToAscii + "y", "\x83\x4A\x83\x4Ay"},
      {"\x1B", ""},
      {"a\x1B(", "a"},
  };
  for (const Back& back : backs) {
    EXPECT_EQ(JisToShiftJis(back.jis), back.sjis) << "jis: " << back.jis;
  }
}

}  // namespace
}  // namespace replyvane::message
