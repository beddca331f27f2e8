// The sender lists: what each kind of entry names, and which list wins.
#include "responder/sender_lists.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace replyvane::responder {
namespace {

TEST(SenderListsTest, EachKindOfEntryNamesWhomItSays) {
  const struct {
    const char* entry;
    const char* address;
    bool matches;
  } rows[] = {
      {"ann@example.com", "ann@example.com", true},
      {"  Ann@Example.COM\t", "ann@example.com", true},
      {"ann@example.com", "bob@example.com", false},
      {"ann@example.com", "ann@example.com.evil", false},
      {"@example.com", "bob@example.com", true},
      {"@example.com", "bob@mail.example.com", false},
      {"@example.com", "bob@badexample.com", false},
      {"*.example.com", "bob@mail.example.com", true},
      {"*.example.com", "bob@a.b.EXAMPLE.com", true},
      {"*.example.com", "bob@example.com", false},
      {"*.example.com", "bob@badexample.com", false},
      {"# ann@example.com", "ann@example.com", false},
      {"", "ann@example.com", false},
      {"@", "ann@example.com", false},
      {"*.", "ann@example.com", false},
      {"example.com", "ann@example.com", false},
      {"ann@", "ann@", false},
      {"@example.com", "", false},
      {"@example.com", "@example.com", false},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(SenderMatches(row.entry, row.address), row.matches)
        << row.entry << " / " << row.address;
  }
}

TEST(SenderListsTest, NeverWinsAndAnOnlyListOfCommentsLetsEveryoneThrough) {
  const std::vector<std::string> never = {"@spam.example", "boss@corp.example"};
  const std::vector<std::string> only = {"*.corp.example", "@corp.example"};
  EXPECT_EQ(SenderListReason(never, only, "boss@corp.example"),
            "on the Never answer list");
  EXPECT_EQ(SenderListReason(never, only, "x@spam.example"),
            "on the Never answer list");
  EXPECT_EQ(SenderListReason(never, only, "ann@corp.example"), "");
  EXPECT_EQ(SenderListReason(never, only, "ann@eu.corp.example"), "");
  EXPECT_EQ(SenderListReason(never, only, "ann@else.example"),
            "not on the Only answer list");
  EXPECT_EQ(SenderListReason({}, {}, "ann@else.example"), "");
  EXPECT_EQ(SenderListReason({}, {"# nobody yet", ""}, "ann@else.example"), "");
  // A list that names nobody answers nobody, not everyone.
  EXPECT_EQ(SenderListReason({}, {"corp.example"}, "ann@corp.example"),
            "not on the Only answer list");
  EXPECT_EQ(SenderListEntries("  a@b \r\n\n@c\r# d\n"),
            (std::vector<std::string>{"a@b", "@c", "# d"}));
}

}  // namespace
}  // namespace replyvane::responder
