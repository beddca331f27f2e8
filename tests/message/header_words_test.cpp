#include "message/header_words.h"

#include <gtest/gtest.h>

#include <clocale>
#include <random>
#include <string>

#include "core/exception.h"
#include "message/header_charset.h"
#include "scoped_codeset.h"

namespace replyvane::message {
namespace {

std::string Repeat(std::string_view piece, int times) {
  std::string text;
  for (int i = 0; i < times; ++i) text += piece;
  return text;
}

struct EncodeRow {
  std::string text;
  std::string_view specials;
  char encoding;
  Transfer transfer;
  std::string expected;
};

TEST(EncodeHeaderWordsTest, EncodesOnlyTheWordsThatNeedIt) {
  const std::string kQ = "=?ISO-8859-1?Q?";
  const std::string kB = "=?ISO-8859-1?B?";
  const EncodeRow rows[] = {
      {"Hello world", "", 'Q', Transfer::bit8, "Hello world"},
      {"a=b? c_d", "", 'Q', Transfer::bit8, "a=b? c_d"},
      {"Gr\xFC\xDF"
       "e aus K\xF6ln",
       "", 'Q', Transfer::bit8, kQ + "Gr=FC=DFe?= aus " + kQ + "K=F6ln?="},
      {"\xE9t\xE9 \xE0 Paris", "", 'Q', Transfer::bit8,
       kQ + "=E9t=E9_=E0?= Paris"},
      {"x \xE9=?_ y", "", 'Q', Transfer::bit8, "x " + kQ + "=E9=3D=3F=5F?= y"},
      {"  lead \xE9  trail  ", "", 'Q', Transfer::bit8,
       "  lead " + kQ + "=E9?=  trail  "},
      {"\xE9\t\xE9", "", 'Q', Transfer::bit8, kQ + "=E9=09=E9?="},
      {"\xE9t\xE9", "", 'B', Transfer::bit8, kB + "6XTp?="},
      {"\xE9", "", 'B', Transfer::bit8, kB + "6Q==?="},
      {"\xE9\xE9", "", 'B', Transfer::bit8, kB + "6ek=?="},
      // Any other letter codes and labels as B.
      {"\xE9", "", 'x', Transfer::bit8, kB + "6Q==?="},
      {"\xE9\x01\r\n", "", '8', Transfer::bit8, "\xE9\x01\r\n"},
      {"Doe, John", kAddressNameSpecials, 'Q', Transfer::bit8,
       kQ + "Doe=2C?= John"},
      {Repeat("\xE9", 30), "", 'Q', Transfer::bit8,
       kQ + Repeat("=E9", 19) + "?=\r\n\t" + kQ + Repeat("=E9", 11) + "?="},
      {Repeat("\xE9", 60), "", 'B', Transfer::bit8,
       kB + Repeat("6enp", 14) + "?=\r\n\t" + kB + Repeat("6enp", 6) + "?="},
      {"a \x83\x4A", "", 'B', Transfer::iso2022jp,
       "a " + kB + "GyRCJSsbKEI=?="},
  };
  for (const EncodeRow& row : rows) {
    EXPECT_EQ(EncodeHeaderWords(row.text, row.specials, row.encoding,
                                row.transfer, "ISO-8859-1"),
              row.expected)
        << "text: " << row.text << " encoding: " << row.encoding;
  }
}

TEST(EncodeHeaderWordsTest, NoLineOfARunPassesSeventyFiveColumns) {
  std::mt19937 rng(5);
  for (char encoding : {'Q', 'B'}) {
    for (int length = 0; length < 300; length += 7) {
      std::string text;
      for (int i = 0; i < length; ++i) text += char(0x80 + rng() % 128);
      const std::string encoded =
          EncodeHeaderWords(text, "", encoding, Transfer::bit8, "WINDOWS-1252");
      size_t start = 0;
      for (;;) {
        size_t end = encoded.find("\r\n\t", start);
        std::string_view line = std::string_view(encoded).substr(
            start, end == std::string::npos ? std::string::npos : end - start);
        EXPECT_LE(line.size(), 75u) << encoding << " length " << length;
        if (length > 0) {
          EXPECT_EQ(line.substr(0, 17),
                    std::string("=?WINDOWS-1252?") + encoding + "?");
        }
        if (end == std::string::npos) break;
        start = end + 3;
      }
    }
  }
}

struct DecodeRow {
  const char* codeset;
  std::string text;
  std::string expected;
};

TEST(DecodeHeaderWordsTest, DecodesIntoTheSystemCodeset) {
  const char* kLatin1 = "ISO-8859-1";
  const char* kUtf8 = "UTF-8";
  const char* kSjis = "SHIFT_JIS";
  const std::string kJisKa = "=?ISO-2022-JP?B?GyRCJSsbKEI=?=";
  const DecodeRow rows[] = {
      {kLatin1, "=?iso-8859-1?q?caf=E9?=", "caf\xE9"},
      {kLatin1, "=?UTF-8?Q?caf=C3=A9?=", "=?UTF-8?Q?caf=C3=A9?="},
      {kLatin1, "x =?WINDOWS-1252?Q?abc", "x =?WINDOWS-1252?Q?abc"},
      {kLatin1, "x =?ISO-8859-1?B?QQ==?= y", "x A y"},
      {kLatin1, "=?ISO-8859-1?Q?a?= =?ISO-8859-1?Q?b?=", "a b"},
      {kLatin1, "=?ISO-8859-1?Q?a=?=", "a="},
      {kLatin1,
       "=?ISO-8859-1?Q?"
       "?=",
       ""},
      {kLatin1, "=?ISO-8859-1?Q?a_b=5f?=", "a b_"},
      {kLatin1, "=?ISO-8859-1?X?QUJD?=", "ABC"},
      {kLatin1, "=?ISO-8859-1?B?QUJDRA?=", "ABCD"},
      // Padding and short groups yield only the bytes they hold.
      {kLatin1, "=?ISO-8859-1?B?QUI?= =?ISO-8859-1?B?QQ==QUJD?=", "AB AABC"},
      {kLatin1, "=?ISO-FOO?Q?a?=", "=?ISO-FOO?Q?a?="},
      {kLatin1, "=?ISO-8859-1//IGNORE?Q?a?=", "=?ISO-8859-1//IGNORE?Q?a?="},
      {kLatin1, "=?WINDOWS-1252?Q?=80?=", "=?WINDOWS-1252?Q?=80?="},
      {kLatin1, "=?ISO-8859-1 x =?ISO-8859-1?Q?y?=", "=?ISO-8859-1 x y"},
      // Decoded text is not decoded a second time.
      {kLatin1,
       "=?ISO-8859-1?Q?=3D=3FISO-8859-1=3FQ=3Fx=3F=3D?=", "=?ISO-8859-1?Q?x?="},
      // Line ends and NUL, decoded or raw, become blanks.
      {kLatin1, std::string("a\0b", 3), "a b"},
      {kLatin1,
       "=?ISO-8859-1?Q?a=0D=0A.=0D=0AMAIL_FROM:?=", "a  .  MAIL FROM:"},
      {kLatin1, "=?ISO-8859-1?Q?x=0AX-Evil:_1=0A.?=", "x X-Evil: 1 ."},
      {kUtf8, "=?UTF-8?B?YQ0KYgBj?=", "a  b c"},
      {kLatin1, "a\rb\nc\r\nd", "a b c  d"},
      {kLatin1, "?= =? =?ISO =?WINDOWS", "?= =? =?ISO =?WINDOWS"},
      {kUtf8, "=?iso-8859-1?q?caf=E9?=", "caf\xC3\xA9"},
      {kUtf8, "=?UTF-8?Q?caf=C3=A9?= =?utf-8?B?w6k=?=", "caf\xC3\xA9 \xC3\xA9"},
      {kUtf8, "=?WINDOWS-1252?Q?=80?=", "\xE2\x82\xAC"},
      {kUtf8, kJisKa, "\xE3\x82\xAB"},
      {kSjis, kJisKa, "\x83\x4A"},
      {kSjis, "=?ISO-8859-1?Q?abc?=", "abc"},
      {kSjis, "=?ISO-8859-1?Q?caf=E9?=", "=?ISO-8859-1?Q?caf=E9?="},
      {kSjis, "=?UTF-8?Q?a?=", "=?UTF-8?Q?a?="},
  };
  for (const DecodeRow& row : rows) {
    ScopedCodeset codeset(row.codeset);
    EXPECT_EQ(DecodeHeaderWords(row.text), row.expected)
        << row.codeset << " text: " << row.text;
  }
}

TEST(DecodeHeaderWordsTest, BadHexDigitsInAQWordRaise) {
  ScopedCodeset codeset("ISO-8859-1");
  try {
    DecodeHeaderWords("Subject =?ISO-8859-1?Q?bad=ZZ?=");
    FAIL() << "no exception";
  } catch (const core::ConvertError& e) {
    EXPECT_EQ(e.Message(), "'$ZZ' is not a valid integer value");
  }
}

TEST(HeaderWordsTest, EncodeThenDecodeGivesTheBytesBack) {
  std::mt19937 rng(99);
  // No tab, CR or LF: the only "  \t" after decoding are the folds, whose
  // line end decodes to blanks like every other.
  std::string alphabet;
  for (int b = 1; b < 256; ++b) {
    if (b != '\t' && b != '\r' && b != '\n') alphabet += char(b);
  }
  alphabet += "     ";
  for (const char* codeset : {"ISO-8859-1", "UTF-8"}) {
    ScopedCodeset scoped(codeset);
    for (int i = 0; i < 400; ++i) {
      std::string text;
      for (int n = rng() % 200; n > 0; --n) {
        text += alphabet[rng() % alphabet.size()];
      }
      const char encoding = i % 2 ? 'Q' : 'B';
      std::string decoded = DecodeHeaderWords(
          EncodeHeaderWords(text, "", encoding, Transfer::bit8, codeset));
      for (size_t fold; (fold = decoded.find("  \t")) != std::string::npos;) {
        decoded.erase(fold, 3);
      }
      EXPECT_EQ(decoded, text) << codeset << " " << encoding;
    }
  }
}

// The length of the UTF-8 character at `text[i]`, 0 when none starts there.
size_t Utf8Length(std::string_view text, size_t i) {
  const unsigned char lead = static_cast<unsigned char>(text[i]);
  const size_t n = lead < 0x80   ? 1
                   : lead < 0xC0 ? 0
                   : lead < 0xE0 ? 2
                   : lead < 0xF0 ? 3
                                 : 4;
  if (n == 0 || i + n > text.size()) return 0;
  for (size_t k = 1; k < n; ++k) {
    if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return 0;
  }
  return n;
}

// Mail programs decode each encoded word on its own: a word must hold whole
// characters of its charset, and single-byte text is cut as before.
TEST(EncodeHeaderWordsTest, EveryWordHoldsWholeCharacters) {
  const std::string kQ = "=?UTF-8?Q?";
  const std::string kB = "=?UTF-8?B?";
  const std::string a_umlauts = Repeat("\xC3\x84", 30);
  EXPECT_EQ(EncodeHeaderWords(a_umlauts, "", 'Q', Transfer::bit8, "UTF-8"),
            kQ + Repeat("=C3=84", 10) + "?=\r\n\t" + kQ + Repeat("=C3=84", 10) +
                "?=\r\n\t" + kQ + Repeat("=C3=84", 10) + "?=");
  EXPECT_EQ(EncodeHeaderWords(a_umlauts, "", 'B', Transfer::bit8, "UTF-8"),
            kB + Repeat("w4TDhMOE", 7) + "w4Q=?=\r\n\t" + kB +
                "w4TDhMOEw4TDhMOEw4TDhA==?=");
  // A double-byte charset of a legacy codeset: lead and trail stay together.
  EXPECT_EQ(EncodeHeaderWords(Repeat("\xB0\xA1", 12) + "\xB0", "", 'Q',
                              Transfer::bit8, "GB2312"),
            "=?GB2312?Q?" + Repeat("=B0=A1", 10) + "?=\r\n\t=?GB2312?Q?" +
                Repeat("=B0=A1", 2) + "=B0?=");

  ScopedCodeset scoped("UTF-8");
  std::mt19937 rng(7);
  const std::vector<std::string> characters = {"a",
                                               " ",
                                               "=",
                                               "\xC3\x84",
                                               "\xD0\xAF",
                                               "\xE2\x82\xAC",
                                               "\xF0\x9F\x98\x80"};
  for (int i = 0; i < 300; ++i) {
    std::string text;
    for (int n = rng() % 90; n > 0; --n) {
      text += characters[rng() % characters.size()];
    }
    const char encoding = i % 2 ? 'Q' : 'B';
    const std::string encoded =
        EncodeHeaderWords(text, "", encoding, Transfer::bit8, "UTF-8");
    for (size_t start = 0; start < encoded.size();) {
      const size_t begin = encoded.find("=?UTF-8?", start);
      if (begin == std::string::npos) break;
      const size_t end = encoded.find("?=", begin + 10) + 2;
      ASSERT_LE(end - begin, 75u) << encoded;
      const std::string word =
          DecodeHeaderWords(encoded.substr(begin, end - begin));
      for (size_t k = 0; k < word.size(); k += Utf8Length(word, k)) {
        ASSERT_NE(Utf8Length(word, k), 0u)
            << "word cut inside a character: " << encoded;
      }
      start = end;
    }
  }
}

TEST(HeaderWordsTest, EncodesAddressesForHeaders) {
  struct Row {
    const char* name;
    const char* address;
    char encoding;
    const char* expected;
  };
  const Row rows[] = {
      {"", "a@b.c", 'Q', "a@b.c"},
      {"John", "j@x.y", 'Q', "\"John\" <j@x.y>"},
      {"Doe, John", "j@x.y", 'Q', "\"Doe, John\" <j@x.y>"},
      {"say \"hi\" \\o/", "j@x.y", 'Q', "\"say \\\"hi\\\" \\\\o/\" <j@x.y>"},
      {"M\xFCller, Hans", "h@x.y", 'Q',
       "=?ISO-8859-1?Q?M=FCller=2C?= Hans <h@x.y>"},
      {"M\xFCller, Hans", "h@x.y", 'B',
       "=?ISO-8859-1?B?TfxsbGVyLA==?= Hans <h@x.y>"},
      {"M\xFCller, Hans", "h@x.y", '8', "\"M\xFCller, Hans\" <h@x.y>"},
      {"J", "john doe@x.y", 'Q', "\"J\" <john doe@x.y>"},
      // Line ends set by a caller never reach the header as line ends.
      {"Ann\r\nBcc: x@y.z", "a@b.c", 'Q', "\"Ann  Bcc: x@y.z\" <a@b.c>"},
      {"\xE9\n.", "a@b.c\r\nX: 1", 'Q',
       "=?ISO-8859-1?Q?=E9_=2E?= <a@b.c  X: 1>"},
  };
  EMailAddressList list;
  std::string joined;
  for (const Row& row : rows) {
    EMailAddressItem& item = list.AddItem();
    item.SetName(row.name);
    item.SetAddress(row.address);
    EXPECT_EQ(EncodeAddressForHeader(item, row.encoding, Transfer::bit8,
                                     "ISO-8859-1"),
              row.expected)
        << "name: " << row.name;
    if (!joined.empty()) joined += ", ";
    joined += EncodeAddressForHeader(item, 'Q', Transfer::bit8, "ISO-8859-1");
  }
  EXPECT_EQ(EncodeAddressListForHeader(list, 'Q', Transfer::bit8, "ISO-8859-1"),
            joined);
  EXPECT_EQ(EncodeAddressListForHeader(EMailAddressList(), 'Q', Transfer::bit8,
                                       "ISO-8859-1"),
            "");
}

TEST(HeaderCharsetTest, FollowsLanguageAndCodeset) {
  struct Row {
    const char* locale;
    const char* codeset;
    HeaderCharset expected;
  };
  const Row rows[] = {
      {"en_US.UTF-8", "UTF-8", {Transfer::bit8, 'Q', "UTF-8"}},
      {"ja_JP.UTF-8", "UTF-8", {Transfer::bit8, 'B', "UTF-8"}},
      {"ja_JP.SJIS", "SHIFT_JIS", {Transfer::iso2022jp, 'B', "ISO-2022-JP"}},
      {"ja_JP.eucJP", "EUC-JP", {Transfer::iso2022jp, 'B', "ISO-2022-JP"}},
      {"zh_CN.GB2312", "GB2312", {Transfer::bit8, 'B', "GB2312"}},
      {"zh_TW.BIG5", "BIG5", {Transfer::bit8, 'B', "Big5"}},
      {"zh_HK", "BIG5-HKSCS", {Transfer::bit8, 'B', "Big5"}},
      {"ko_KR.EUC-KR", "EUC-KR", {Transfer::bit8, 'B', "EUC-KR"}},
      {"de_DE@euro", "ISO-8859-15", {Transfer::bit8, 'Q', "ISO-8859-1"}},
      {"C", "ANSI_X3.4-1968", {Transfer::bit8, 'Q', "ISO-8859-1"}},
      {"", "", {Transfer::bit8, 'Q', "ISO-8859-1"}},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(DefaultHeaderCharsetFor(row.locale, row.codeset), row.expected)
        << row.locale;
  }
  ScopedCodeset utf8("utf8");
  EXPECT_EQ(DefaultHeaderCharset().charset, "UTF-8");
}

// The C locale names ASCII: the texts are then the windows' UTF-8, so an
// unattended run under systemd labels them as the window does.
TEST(HeaderCharsetTest, TheCLocaleMeansUtf8) {
  const std::string before = std::setlocale(LC_ALL, nullptr);
  std::setlocale(LC_ALL, "C");
  EXPECT_EQ(SystemCodeset(), "UTF-8");
  EXPECT_EQ(DefaultHeaderCharset().charset, "UTF-8");
  std::setlocale(LC_ALL, "C.UTF-8");
  EXPECT_EQ(DefaultHeaderCharset().charset, "UTF-8");
  std::setlocale(LC_ALL, before.c_str());
}

}  // namespace
}  // namespace replyvane::message
