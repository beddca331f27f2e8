#include "message/header_list.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "message/wrap_text.h"
#include "scoped_codeset.h"

namespace replyvane::message {
namespace {

using Lines = std::vector<std::string>;

HeaderList ListOf(const Lines& lines) {
  HeaderList list;
  for (const std::string& line : lines) list.Add(line);
  return list;
}

TEST(HeaderListTest, StartsWithTheUsualSettings) {
  HeaderList list;
  EXPECT_EQ(list.SeparatorText(), ": ");
  EXPECT_EQ(list.WrapLength(), 78);
  EXPECT_FALSE(list.NamesCaseSensitive());
  EXPECT_TRUE(list.JoinContinuations());
  EXPECT_TRUE(list.WrapOnWrite());
  EXPECT_TRUE(list.IsEmpty());
}

TEST(HeaderListTest, ReadsNamesAndValues) {
  HeaderList list = ListOf({
      "Received: from a",  // 0
      "\tby b",            // 1
      "SUBJECT:a",         // 2
      "\tb",               // 3
      " c",                // 4
      "  ",                // 5 (blank continuation adds nothing)
      "From: x@y.z  ",     // 6
      "no colon here",     // 7
      "Empty:",            // 8
      " Folded-Only",      // 9
      "Key : spaced",      // 10
      std::string("To: <a@b\rRCPT TO:<c@d>>\n\0x", 26),  // 11
      " y\r\nz",                                         // 12
  });
  struct Row {
    int index;
    const char* name;
    const char* value;
  };
  const Row rows[] = {
      {0, "RECEIVED", "from a by b"},
      {1, "", "by b"},
      {2, "SUBJECT", "a b c"},
      {6, "FROM", "x@y.z"},
      {7, "", "o colon here"},
      {8, "EMPTY", "Folded-Only"},
      {10, "KEY ", "spaced"},
      // A received line's bare CR, LF or NUL never reaches a value.
      {11, "TO", "<a@b RCPT TO:<c@d>>  x y  z"},
      {-1, "", ""},
      {13, "", ""},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(list.NameAt(row.index), row.name) << "index " << row.index;
    EXPECT_EQ(list.ValueAt(row.index), row.value) << "index " << row.index;
  }
  EXPECT_EQ(list.ValueOf("subject"), "a b c");
  EXPECT_EQ(list.ValueOf("Received"), "from a by b");
  EXPECT_EQ(list.ValueOf("Key"), "");
  EXPECT_EQ(list.ValueOf("Missing"), "");
  EXPECT_EQ(list.FindName("from"), 6);
  EXPECT_EQ(list.FindName("by b"), -1);

  list.SetNamesCaseSensitive(true);
  EXPECT_EQ(list.NameAt(2), "SUBJECT");
  EXPECT_EQ(list.NameAt(6), "From");
  EXPECT_EQ(list.FindName("FROM"), 6);
  list.SetJoinContinuations(false);
  EXPECT_EQ(list.ValueAt(2), "a");
}

TEST(HeaderListTest, StoresReplacesAndRemovesValues) {
  HeaderList list = ListOf(
      {"Received: x", "Subject: old", " continued", "\tmore", "To: a@b.c"});
  list.StoreValue("subject", "new");
  EXPECT_EQ(list.Lines(), Lines({"Received: x", "subject: new", "To: a@b.c"}));
  list.StoreValue("X-Mailer", "Replyvane");
  EXPECT_EQ(list.Lines(), Lines({"Received: x", "subject: new", "To: a@b.c",
                                 "X-Mailer: Replyvane"}));
  list.StoreValue("Subject", "");
  EXPECT_EQ(list.Lines(),
            Lines({"Received: x", "To: a@b.c", "X-Mailer: Replyvane"}));
  list.StoreValue("Subject", "");
  EXPECT_EQ(list.Count(), 3);

  HeaderList plain = ListOf({"Subject: old", " continued"});
  plain.SetWrapOnWrite(false);
  plain.StoreValue("Subject", "new");
  EXPECT_EQ(plain.Lines(), Lines({"Subject: new", " continued"}));
  plain.StoreValue("Subject", "");
  EXPECT_EQ(plain.Lines(), Lines({" continued"}));
}

TEST(HeaderListTest, FoldsLongValuesAtBlanksAndCommas) {
  struct Row {
    std::string line;
    Lines folded;
  };
  const Row rows[] = {
      {"To: alice@example.com,bob@example.com,carol@example.com,"
       "dave@example.com,eve@example.com",
       {"To: alice@example.com,bob@example.com,carol@example.com,"
        "dave@example.com,",
        " eve@example.com"}},
      {"To: Alice Example <alice@example.com>, Bob Example <bob@example.com>, "
       "Carol Example <carol@example.com>",
       {"To: Alice Example <alice@example.com>, Bob Example "
        "<bob@example.com>, Carol",
        " Example <carol@example.com>"}},
      {"Subject: see \"quoted text that is long enough to pass the column "
       "limit of the line\" and more words here",
       {"Subject: see",
        " \"quoted text that is long enough to pass the column limit of the "
        "line\" and",
        " more words here"}},
      {"X-Long: " + std::string(200, 'y'),
       {"X-Long:", " " + std::string(200, 'y')}},
      {"Subject: short", {"Subject: short"}},
      {"Subject: short\r\n already folded",
       {"Subject: short", " already folded"}},
      // A CR LF of the value cannot start a header or end the block.
      {"Subject: hi\r\nBcc: x@y.z", {"Subject: hi", " Bcc: x@y.z"}},
      {"Subject: a\r\n\r\n\r\nbody", {"Subject: a", " body"}},
      {"Content-Type: text/plain;\r\n\tcharset=\"x\"",
       {"Content-Type: text/plain;", "\tcharset=\"x\""}},
  };
  HeaderList list;
  for (const Row& row : rows) {
    EXPECT_EQ(list.WrapLine(row.line), row.folded) << row.line;
    for (const std::string& line : list.WrapLine(row.line)) {
      EXPECT_LE(line.size(), &row == &rows[3] ? 201u : 78u);
      EXPECT_TRUE(line.empty() || line.back() != ' ') << row.line;
    }
  }
}

TEST(HeaderListTest, StoreValueFoldsInPlace) {
  HeaderList list = ListOf({"From: a@b.c", "To: old", " old2", "Date: x"});
  list.StoreValue("To",
                  "alice@example.com,bob@example.com,carol@example.com,"
                  "dave@example.com,eve@example.com");
  EXPECT_EQ(list.Lines(),
            Lines({"From: a@b.c",
                   "To: alice@example.com,bob@example.com,carol@example.com,"
                   "dave@example.com,",
                   " eve@example.com", "Date: x"}));
  EXPECT_EQ(list.ValueOf("To"),
            "alice@example.com,bob@example.com,carol@example.com,"
            "dave@example.com, eve@example.com");
  list.PutWrapped("Date: y", 0);
  EXPECT_EQ(list.Line(0), "Date: y");
  list.RemoveContinuations(1);
  EXPECT_EQ(list.Count(), 3);
  list.RemoveContinuations(7);  // out of range: nothing happens
  EXPECT_EQ(list.Text(),
            "Date: y\r\nTo: alice@example.com,bob@example.com,"
            "carol@example.com,dave@example.com,\r\nDate: x\r\n");
}

TEST(WrapTextAtTest, BreaksOnlyWhereTheRulesAllow) {
  struct Row {
    const char* line;
    int max_col;
    const char* wrapped;
  };
  const Row rows[] = {
      {"", 10, ""},
      {"aaaa bbbb cccc dddd", 10, "aaaa bbbb \r\n cccc dddd"},
      {"aaaa,bbbb,cccc,dddd", 6, "aaaa,\r\n bbbb,\r\n cccc,\r\n dddd"},
      // The last single character never gets a break of its own.
      {"X: aaaa bbbb cccc", 8, "X: aaaa \r\n bbbb cccc"},
      {"aaaaaaaaaaaaaaaaaaaa", 5, "aaaaaaaaaaaaaaaaaaaa"},
      {"ab \"c d e f g h\" i j", 4, "ab \r\n \"c d e f g h\" \r\n i j"},
      // The apostrophe does not protect.
      {"ab 'c d e f' g", 4, "ab \r\n 'c \r\n d e \r\n f' g"},
      // Blanks after a break start the next line.
      {"aaaa    bbbb", 5, "aaaa \r\n    bbbb"},
      {"aa\r\n bb cc", 3, "aa\r\n bb \r\n cc"},
      {"aa\r\n BB\r\n cc dd ee", 3, "aa\r\n BB\r\n cc \r\n dd \r\n ee"},
      {"\"unclosed quote a b c d e f", 3, "\"unclosed quote a b c d e f"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(WrapTextAt(row.line, "\r\n ", " \t,", row.max_col), row.wrapped)
        << "line: " << row.line;
  }
}

TEST(WrapTextAtTest, KeepsDoubleByteCharactersOfALegacyCodesetWhole) {
  // The trail byte 0x40 is the break character here.
  const std::string line = "\x83@\x83@\x83@";
  {
    ScopedCodeset sjis("SHIFT_JIS");
    EXPECT_EQ(WrapTextAt(line, "|", "@", 2), line);
  }
  ScopedCodeset utf8("UTF-8");
  EXPECT_EQ(WrapTextAt(line, "|", "@", 2), "\x83@|\x83@|\x83@");
}

}  // namespace
}  // namespace replyvane::message
