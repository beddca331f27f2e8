// Hostile input for the decoders and the date parser: random and adversarial
// bytes, NUL bytes and megabyte values must neither crash, nor read out of
// bounds (run under the sanitizers), nor take more than linear time.
#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>

#include "core/exception.h"
#include "message/internet_date.h"
#include "message/mime_coder.h"
#include "message/quoted_printable_coder.h"
#include "message/uue_coder.h"
#include "tests/message/coder_test_util.h"
#include "tests/support/cpu_time.h"
#include "tests/support/scoped_time_zone.h"

namespace replyvane::message {
namespace {

constexpr size_t kBig = 1 << 20;

std::string Repeat(std::string_view piece, size_t size) {
  std::string text;
  text.reserve(size + piece.size());
  while (text.size() < size) text += piece;
  return text;
}

// Random text over an alphabet that the parsers care about.
std::string RandomOver(std::string_view alphabet, size_t size,
                       std::mt19937& random) {
  std::string text(size, '\0');
  for (char& c : text) c = alphabet[random() % alphabet.size()];
  return text;
}

// Runs `work` and fails when it takes longer than any linear pass over a few
// megabytes may in a sanitizer build. CPU time, so a busy machine does not
// count.
void ExpectQuick(const std::string& what, const std::function<void()>& work) {
  const double start = testing::ThreadCpuSeconds();
  work();
  EXPECT_LT(testing::ThreadCpuSeconds() - start, 5.0) << what;
}

// Decodes with every decoder and checks the bounds each one promises.
void DecodeEverywhere(const std::string& text, const std::string& what) {
  if (text.size() % 4 == 0) {
    EXPECT_LE(DecoderMIME().DecodeText(text).size(), text.size() / 4 * 3)
        << what;
  } else {
    EXPECT_THROW(DecoderMIME().DecodeText(text), core::Exception) << what;
  }
  EXPECT_LE(DecoderQuotedPrintable().DecodeText(text).size(), text.size())
      << what;
  EXPECT_LE(DecoderUUE().DecodeText(text).size(), 255u) << what;
  EXPECT_LE(DecoderXXE().DecodeText(text).size(), 255u) << what;
}

void ParseEverywhere(const std::string& text, const std::string& what) {
  std::string rest = text;
  DateTime date = ParseInternetDate(rest);
  EXPECT_TRUE(date == 0 || (date > -700000 && date < 3000000)) << what;
  EXPECT_LE(rest.size(), text.size()) << what;
  DateTime offset = ParseUtcOffset(text);
  EXPECT_TRUE(offset > -1 && offset < 1) << what;
  InternetDateToLocal(text);
  FormatInternetDate(date, false);
}

TEST(BadInputTest, DecodersSurviveRandomBytes) {
  std::mt19937 random(20261206);
  for (int round = 0; round < 3000; ++round) {
    size_t size = random() % 300;
    std::string text = round % 2 ? RandomBytes(size, random())
                                 : RandomOver("=\r\n \t0aF~`M+/", size, random);
    DecodeEverywhere(text, "round " + std::to_string(round));
  }
}

TEST(BadInputTest, DecodersStayLinearOnAdversarialMegabytes) {
  const std::string texts[] = {
      Repeat("=", kBig),         Repeat("=\r", kBig),
      Repeat("=\n", kBig),       Repeat("=4", kBig),
      Repeat("=20\n", kBig),     Repeat("=20\r\r\n\n", kBig),
      Repeat(" ", kBig),         Repeat(" \r\t\n", kBig),
      "x" + Repeat(" \t", kBig), std::string(kBig, '\0'),
      Repeat("A=A=", kBig),      Repeat("M", kBig),
      RandomBytes(kBig, 5),
  };
  for (size_t i = 0; i < std::size(texts); ++i) {
    ExpectQuick("text " + std::to_string(i), [&] {
      DecodeEverywhere(texts[i], "text " + std::to_string(i));
    });
  }
  // Padding may end every group: one byte each.
  EXPECT_EQ(DecoderMIME().DecodeText(Repeat("QQ==", kBig)).size(), kBig / 4);
  EXPECT_EQ(DecoderQuotedPrintable().DecodeText(Repeat("=41", 3 * kBig)),
            std::string(kBig, 'A'));
}

TEST(BadInputTest, DateParserSurvivesRandomText) {
  testing::ScopedTimeZone zone("CET-1CEST,M3.5.0,M10.5.0/3");
  std::mt19937 random(7);
  for (int round = 0; round < 5000; ++round) {
    size_t size = random() % 60;
    std::string text =
        round % 3 == 0 ? RandomBytes(size, random())
        : round % 3 == 1
            ? RandomOver("0123456789 :-+,DecSunJanFebxX$", size, random)
            : "Sun, " + std::to_string(random() % 40) + " " +
                  kMonthNames[random() % 12] + " " +
                  std::to_string(random() % 10000) + " " +
                  RandomOver("0123456789:", random() % 12, random) + " " +
                  RandomOver("+-0123456789", random() % 7, random);
    ParseEverywhere(text, "text: " + text);
  }
}

TEST(BadInputTest, DateParserStaysLinearOnAdversarialMegabytes) {
  testing::ScopedTimeZone zone("UTC0");
  const std::string texts[] = {
      std::string(kBig, '9'),
      std::string(kBig, '-'),
      std::string(kBig, ':'),
      std::string(kBig, '\0'),
      "Sun, " + std::string(kBig, ' ') + "6 Dec 2026 10:00:00 +0100",
      "6 Dec 2026 " + Repeat("1:", kBig),
      "6 Dec 2026 10:00:00 " + Repeat("+0100 ", kBig),
      Repeat("6-", kBig) + " x",
      "Dec " + std::string(kBig, '6') + " 10:00 2026",
      RandomBytes(kBig, 11),
  };
  for (size_t i = 0; i < std::size(texts); ++i) {
    ExpectQuick("date " + std::to_string(i), [&] {
      ParseEverywhere(texts[i], "date " + std::to_string(i));
    });
  }
  std::string text = "Sun, 6 Dec 2026 10:00:00 +0100 " + std::string(kBig, 'x');
  EXPECT_EQ(ParseInternetDate(text), *TryEncodeDateTime({2026, 12, 6, 10}));
}

}  // namespace
}  // namespace replyvane::message
