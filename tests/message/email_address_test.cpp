#include "message/email_address.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "message/email_address_list.h"

namespace replyvane::message {
namespace {

struct ParseRow {
  const char* text;
  const char* name;
  const char* address;
  const char* printed;
};

TEST(EMailAddressItemTest, ParsesAndPrintsOneAddress) {
  const ParseRow rows[] = {
      {"John Doe <john@example.com>", "John Doe", "john@example.com",
       "John Doe <john@example.com>"},
      {"  John Doe   <john@example.com>  ", "John Doe", "john@example.com",
       "John Doe <john@example.com>"},
      {"John\t<j@x.y>", "John", "j@x.y", "John <j@x.y>"},
      {"\"Doe, John\" <john@example.com>", "Doe, John", "john@example.com",
       "\"Doe, John\" <john@example.com>"},
      {"\"a \\\"quoted\\\" name\" <x@y.z>", "a \"quoted\" name", "x@y.z",
       "\"a \\\"quoted\\\" name\" <x@y.z>"},
      {"\" padded \" <x@y.z>", "padded", "x@y.z", "padded <x@y.z>"},
      {"john@example.com", "", "john@example.com", "john@example.com"},
      {"<john@example.com>", "", "john@example.com", "john@example.com"},
      {"postmaster", "", "postmaster", ""},
      {"john@example.com (John Doe)", "", "john@example.com",
       "john@example.com"},
      {"Name (comment) <a@b.c>", "Name", "a@b.c", "Name <a@b.c>"},
      {"<a@ b . c>", "", "a@b.c", "a@b.c"},
      {"Name <>", "Name", "", "Name <>"},
      {"<\"john doe\"@example.com>", "", "john doe@example.com",
       "<\"john doe\"@example.com>"},
      {"Mc\"Donald\" <m@x.y>", "McDonald", "m@x.y", "McDonald <m@x.y>"},
      {"", "", "", ""},
      {"   ", "", "", ""},
      // Unbalanced input ends the scan; the rest is dropped.
      {"John (comment <john@x.y>", "John ", "", "John  <>"},
      {"a@b.c (open comment", "", "a@b.c", "a@b.c"},
      {"\"unclosed <a@b.c>", "", "", ""},
      {"Ann <ann@x.y", "Ann", "ann@x.", "Ann <ann@x.>"},
  };
  for (const ParseRow& row : rows) {
    EMailAddressItem item;
    item.SetName("old");
    item.SetAddress("old@old");
    item.SetText(row.text);
    EXPECT_EQ(item.Name(), row.name) << "text: " << row.text;
    EXPECT_EQ(item.Address(), row.address) << "text: " << row.text;
    EXPECT_EQ(item.Text(), row.printed) << "text: " << row.text;
  }
}

TEST(EMailAddressItemTest, AtAfterTheBracketsFailsKeepingWhatWasParsed) {
  EMailAddressItem item;
  try {
    item.SetText("John <john@example.com> extra@x.y");
    FAIL() << "no exception";
  } catch (const EmailParseError& e) {
    EXPECT_EQ(e.Message(), "@ Outside address");
  }
  EXPECT_EQ(item.Name(), "John");
  EXPECT_EQ(item.Address(), "john@example.com");
}

struct PrintRow {
  const char* name;
  const char* address;
  const char* text;
  const char* bracketed;
};

TEST(EMailAddressItemTest, PrintsNameAndAddress) {
  const PrintRow rows[] = {
      {"", "", "", ""},
      {"", "a@b.c", "a@b.c", "a@b.c"},
      {"John Doe", "a@b.c", "John Doe <a@b.c>", "<a@b.c>"},
      {"Doe, John", "a@b.c", "\"Doe, John\" <a@b.c>", "<a@b.c>"},
      {"say \"hi\" \\o/", "a@b.c", "\"say \\\"hi\\\" \\\\o/\" <a@b.c>",
       "<a@b.c>"},
      {"Name", "", "Name <>", "<>"},
      {"Name", "nobody", "Name <>", "<>"},
      {"", "nobody", "", ""},
      {"", "john.doe@x.y", "john.doe@x.y", "john.doe@x.y"},
      {"", "john doe@x.y", "<\"john doe\"@x.y>", "<\"john doe\"@x.y>"},
      {"", "a\"b\\c@x.y", "<\"a\\\"b\\\\c\"@x.y>", "<\"a\\\"b\\\\c\"@x.y>"},
      // A dot first does not hide a later blank in the local part.
      {"", "a.b c@x.y", "<\"a.b c\"@x.y>", "<\"a.b c\"@x.y>"},
      {"John", "a@b@c.d", "John <\"a@b\"@c.d>", "<\"a@b\"@c.d>"},
      {"A@B.C", "a@b.c", "<a@b.c>", "<a@b.c>"},
  };
  for (const PrintRow& row : rows) {
    EMailAddressItem item;
    item.SetName(row.name);
    item.SetAddress(row.address);
    EXPECT_EQ(item.Text(), row.text) << "name: " << row.name;
    EXPECT_EQ(item.BracketedAddress(), row.bracketed) << "name: " << row.name;
  }
}

// Random well-formed items: names without outer or doubled blanks, local
// parts with or without characters that need quoting.
EMailAddressItem RandomItem(std::mt19937& rng) {
  auto pick = [&](std::string_view from) {
    return from[std::uniform_int_distribution<size_t>(0, from.size() - 1)(rng)];
  };
  auto length = [&](int max) {
    return std::uniform_int_distribution<int>(1, max)(rng);
  };
  const std::string_view name_chars =
      "abcXYZ019 ,.;:<>@()[]\"\\'!#\xE9\xFC\x80\xFF";
  const std::string_view local_chars = "abcXYZ019.!#$%&'*+-/=?^_`{|}~ \"\\(),";
  std::string name;
  if (rng() % 3 != 0) {
    for (int n = length(20); n > 0; --n) {
      char c = pick(name_chars);
      if (c == ' ' && (name.empty() || name.back() == ' ')) continue;
      name += c;
    }
    while (!name.empty() && name.back() == ' ') name.pop_back();
  }
  std::string local;
  for (int n = length(12); n > 0; --n) {
    char c = pick(local_chars);
    if (c == ' ' && (local.empty() || local.back() == ' ')) continue;
    local += c;
  }
  while (!local.empty() && local.back() == ' ') local.pop_back();
  std::string domain;
  for (int n = length(3); n > 0; --n) {
    if (!domain.empty()) domain += '.';
    for (int k = length(8); k > 0; --k) domain += pick("abcxyz09-");
  }
  EMailAddressItem item;
  item.SetName(name);
  item.SetAddress(local + "@" + domain);
  return item;
}

TEST(EMailAddressItemTest, PrintParsePrintIsStable) {
  std::mt19937 rng(4242);
  for (int i = 0; i < 3000; ++i) {
    const EMailAddressItem item = RandomItem(rng);
    const std::string printed = item.Text();
    EMailAddressItem parsed(printed);
    EXPECT_EQ(parsed, item) << "printed: " << printed;
    EXPECT_EQ(parsed.Text(), printed);
  }
}

TEST(EMailAddressListTest, PrintParseOfRandomListsIsStable) {
  std::mt19937 rng(77);
  for (int i = 0; i < 500; ++i) {
    EMailAddressList list;
    for (int n = 1 + static_cast<int>(rng() % 5); n > 0; --n) {
      list.AddItem() = RandomItem(rng);
    }
    const std::string printed = list.AddressesText();
    EMailAddressList parsed;
    parsed.SetAddressesText(printed);
    ASSERT_EQ(parsed.Count(), list.Count()) << printed;
    for (int k = 0; k < list.Count(); ++k) {
      EXPECT_EQ(parsed[k], list[k]) << printed;
    }
  }
}

struct ListRow {
  const char* text;
  std::vector<std::pair<const char*, const char*>> items;  // name, address
};

TEST(EMailAddressListTest, SplitsHeaderValues) {
  const ListRow rows[] = {
      {"a@b.c, d@e.f, g@h.i", {{"", "a@b.c"}, {"", "d@e.f"}, {"", "g@h.i"}}},
      {"Friends: a@b.c, d@e.f;", {{"", "a@b.c"}, {"", "d@e.f"}}},
      {"Friends: Ann <a@b.c>; Bob <d@e.f>",
       {{"Ann", "a@b.c"}, {"Bob", "d@e.f"}}},
      {"undisclosed-recipients:;", {}},
      {"", {}},
      {"  \t ", {}},
      {"a@b.c, , <>, d@e.f,", {{"", "a@b.c"}, {"", "d@e.f"}}},
      {"\"Doe, John\" <j@x.y>, Jane <jane@x.y>",
       {{"Doe, John", "j@x.y"}, {"Jane", "jane@x.y"}}},
      {"a@b.c (comment, with comma), d@e.f", {{"", "a@b.c"}, {"", "d@e.f"}}},
      {"\"a\\\"b, c\" <x@y.z>, c@d.e", {{"a\"b, c", "x@y.z"}, {"", "c@d.e"}}},
      {"postmaster", {{"", "postmaster"}}},
      {"  John <j@x.y>", {{"John", "j@x.y"}}},
      // Unbalanced quotes and comments swallow the rest of the value.
      {"a@b.c, \"open, d@e.f", {{"", "a@b.c"}}},
      {"a@b.c, (open, d@e.f", {{"", "a@b.c"}}},
  };
  for (const ListRow& row : rows) {
    EMailAddressList list;
    list.AddItem().SetText("old@old");
    list.SetAddressesText(row.text);
    ASSERT_EQ(list.Count(), static_cast<int>(row.items.size()))
        << "text: " << row.text << " -> " << list.AddressesText();
    for (int i = 0; i < list.Count(); ++i) {
      EXPECT_EQ(list[i].Name(), row.items[i].first) << "text: " << row.text;
      EXPECT_EQ(list[i].Address(), row.items[i].second) << "text: " << row.text;
    }
  }
}

TEST(EMailAddressListTest, JoinsItemsAndKeepsItemsBeforeAFailure) {
  EMailAddressList list;
  EXPECT_EQ(list.AddressesText(), "");
  list.SetAddressesText("a@b.c,d@e.f,  Ann <g@h.i>");
  EXPECT_EQ(list.AddressesText(), "a@b.c, d@e.f, Ann <g@h.i>");

  EXPECT_THROW(list.SetAddressesText("a@b.c, John <j@x.y> z@w.v, d@e.f"),
               EmailParseError);
  ASSERT_EQ(list.Count(), 2);
  EXPECT_EQ(list[0].Address(), "a@b.c");
  EXPECT_EQ(list[1].Address(), "j@x.y");

  EMailAddressList copy = list;
  list.Clear();
  EXPECT_EQ(copy.Count(), 2);
  EXPECT_EQ(copy[1].Name(), "John");
  copy.Delete(0);
  EXPECT_EQ(copy.AddressesText(), "John <j@x.y>");
  EXPECT_THROW(copy.Delete(1), std::out_of_range);
}

}  // namespace
}  // namespace replyvane::message
