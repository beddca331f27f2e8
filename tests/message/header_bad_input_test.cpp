// Hostile input for the parsers of received header text: random and
// adversarial bytes must not crash, read out of bounds (see the sanitizer
// build) or take more than linear time.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>
#include <string>

#include "core/exception.h"
#include "exercise_addresses.h"
#include "message/email_address_list.h"
#include "message/header_list.h"
#include "message/header_words.h"
#include "message/jis.h"
#include "message/wrap_text.h"
#include "scoped_codeset.h"
#include "tests/support/cpu_time.h"

namespace replyvane::message {
namespace {

constexpr std::string_view kNastyPieces[] = {
    "(",         ")",        "<",
    ">",         "@",        ",",
    ";",         ":",        "\"",
    "\\",        ".",        " ",
    "\t",        "\r\n",     "\r\n ",
    "=?",        "?=",       "?",
    "=",         "_",        "=?ISO",
    "=?WINDOWS", "=?UTF-8?", "?Q?",
    "?B?",       "=ZZ",      "=41",
    "a",         "Name",     "x@y.z",
    "\x1B$B",    "\x1B(B",   std::string_view("\0", 1),
    "\xFF",      "\x83",     "\xA1\xDE"};

std::string RandomNastyText(std::mt19937& rng, size_t pieces) {
  std::string text;
  for (size_t i = 0; i < pieces; ++i) {
    if (rng() % 4 == 0) {
      text += static_cast<char>(rng() % 256);
    } else {
      text += kNastyPieces[rng() % std::size(kNastyPieces)];
    }
  }
  return text;
}

// True when `inner` can be had from `outer` by deleting characters.
bool IsSubsequence(std::string_view inner, std::string_view outer) {
  size_t i = 0;
  for (char c : outer) {
    if (i < inner.size() && inner[i] == c) ++i;
  }
  return i == inner.size();
}

// Runs every parser of this layer on `text`; checks what must always hold.
void Exercise(const std::string& text) {
  ExerciseAddressParsers(text);

  const std::string wrapped = WrapTextAt(text, "\r\n ", " \t,", 20);
  EXPECT_TRUE(IsSubsequence(text, wrapped));

  HeaderList headers;
  headers.Add("Subject: x");
  headers.Add(text);
  headers.StoreValue("Subject", text);
  const std::vector<std::string> lines = headers.WrapLine("To: " + text);
  for (size_t i = 1; i < lines.size(); ++i) {
    ASSERT_FALSE(lines[i].empty());
    EXPECT_TRUE(lines[i][0] == ' ' || lines[i][0] == '\t');
  }
  (void)headers.ValueOf("subject");

  try {
    const std::string decoded = DecodeHeaderWords(text);
    EXPECT_EQ(decoded.find('\0'), std::string::npos);
  } catch (const core::ConvertError&) {
  }
  (void)EncodeHeaderWords(text, kAddressNameSpecials, 'Q', Transfer::bit8,
                          "UTF-8");
  (void)EncodeHeaderWords(text, "", 'B', Transfer::iso2022jp, "ISO-2022-JP");
  (void)JisToShiftJis(text);
  (void)ShiftJisToJis(text);
}

TEST(HeaderBadInputTest, RandomAndAdversarialBytesAreHandled) {
  std::mt19937 rng(2024);
  for (const char* codeset : {"UTF-8", "ISO-8859-1", "SHIFT_JIS"}) {
    ScopedCodeset scoped(codeset);
    for (int i = 0; i < 1500; ++i) {
      Exercise(RandomNastyText(rng, rng() % 60));
    }
  }
}

double SecondsFor(const std::function<void(const std::string&)>& work,
                  const std::string& input) {
  const double start = testing::ThreadCpuSeconds();
  work(input);
  return testing::ThreadCpuSeconds() - start;
}

std::string Fill(std::string_view head, std::string_view piece,
                 std::string_view tail, size_t size) {
  std::string text(head);
  while (text.size() + piece.size() + tail.size() <= size) text += piece;
  text += tail;
  return text;
}

struct Pattern {
  const char* head;
  const char* piece;
  const char* tail;
};

// Twice the input may take at most 3.5 times as long (allowing for cache
// and allocator effects): linear work passes, quadratic work (four times)
// does not.
void ExpectLinear(const char* what,
                  const std::function<void(const std::string&)>& work,
                  const std::vector<Pattern>& patterns) {
  constexpr size_t kMiB = 1 << 20;
  for (const Pattern& p : patterns) {
    const std::string one = Fill(p.head, p.piece, p.tail, kMiB);
    const std::string two = Fill(p.head, p.piece, p.tail, 2 * kMiB);
    double small = SecondsFor(work, one);
    double large = SecondsFor(work, two);
    if (large >= 3.5 * small + 0.25) {  // measure again before judging
      small = std::min(small, SecondsFor(work, one));
      large = std::min(large, SecondsFor(work, two));
    }
    EXPECT_LT(large, 3.5 * small + 0.25)
        << what << " piece \"" << p.piece << "\": " << small << " s for 1 MiB, "
        << large << " s for 2 MiB";
  }
}

TEST(HeaderBadInputTest, AddressParsingIsLinear) {
  ExpectLinear("address",
               [](const std::string& text) {
                 EMailAddressItem item;
                 try {
                   item.SetText(text);
                 } catch (const EmailParseError&) {
                 }
               },
               {{"", "<a>x ", ""},
                {"", "(", ""},
                {"", "\\", ""},
                {"\"", "\\\"", ""},
                {"", "a ", "<a@b>"},
                {"<", "a.", "@b>"},
                {"a@", "b. ", ""},
                {"", "@", ""}});
  ExpectLinear("address list",
               [](const std::string& text) {
                 EMailAddressList list;
                 try {
                   list.SetAddressesText(text);
                 } catch (const EmailParseError&) {
                 }
               },
               {{"", "a@b.c, ", ""},
                {"", " ", ";;;;"},
                {"", ";", ""},
                {"", "<>,", ""},
                {"", ":", ""},
                {"", "\"a, b\" ", "<c@d>"},
                {"", "(", ""}});
}

TEST(HeaderBadInputTest, FoldingAndHeaderLookupAreLinear) {
  ExpectLinear("WrapTextAt",
               [](const std::string& text) {
                 (void)WrapTextAt(text, "\r\n ", " \t,", 78);
               },
               {{"", "a ", ""},
                {"", ",", ""},
                {"\"", "a ", ""},
                {"", "\r\n ", ""},
                {"", "x", ""}});
  ExpectLinear("StoreValue",
               [](const std::string& text) {
                 HeaderList list;
                 list.Add("To: old");
                 list.StoreValue("To", text);
                 (void)list.ValueOf("To");
                 list.StoreValue("To", "");
               },
               {{"", "abcd ", ""}, {"", "a,", ""}});
}

TEST(HeaderBadInputTest, DecodingIsLinear) {
  ScopedCodeset utf8("UTF-8");
  ExpectLinear("DecodeHeaderWords",
               [](const std::string& text) {
                 try {
                   (void)DecodeHeaderWords(text);
                 } catch (const core::ConvertError&) {
                 }
               },
               {{"", "=?ISO", ""},
                {"", "=?ISO-8859-1?Q?", ""},
                {"", "=?ISO-8859-1?Q?a?= ", ""},
                {"", "=?WINDOWS-1252?B?QUJD?= ", ""},
                {"", "=?UTF-8?Q?", ""},
                {"", "?=", ""},
                {"=?ISO-8859-1?Q?", "=41_", "?="},
                {"=?ISO-8859-1?B?", "QUJD", "?="}});
}

}  // namespace
}  // namespace replyvane::message
