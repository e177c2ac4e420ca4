#include "ui/list_sort_keys.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace kestova {
namespace {

// What a column click does with one column's texts: the key kind from the numeric test
// of every text, then a sort with that kind's comparator.
std::vector<std::string> SortColumn(std::vector<std::string> texts, bool ascending, int* kind) {
  const int noAddressColumns[kAddressColumnLimit] = {};
  *kind = ChooseSortKeyKind(0, noAddressColumns, [&] {
    return std::all_of(texts.begin(), texts.end(),
                       [](const std::string& t) { return IsIntegerText(t.c_str()); });
  });
  std::stable_sort(texts.begin(), texts.end(), [&](const std::string& a, const std::string& b) {
    return CompareCellTexts(*kind, a.c_str(), b.c_str(), ascending) < 0;
  });
  return texts;
}

using Texts = std::vector<std::string>;

TEST(ListSortKeysTest, AColumnSortsAsIntegersOnlyWhenEveryCellIsAnIntegerText) {
  struct Case {
    Texts cells;
    bool ascending;
    int kind;
    Texts sorted;
  } cases[] = {
      {{"10", "9", "100"}, true, kSortInteger, {"9", "10", "100"}},
      {{"10", "9", "100"}, false, kSortInteger, {"100", "10", "9"}},
      {{"10", "9", "100", "007"}, true, kSortText, {"007", "10", "100", "9"}},
      {{"10", "9", "100", ""}, true, kSortText, {"", "10", "100", "9"}},
      {{" 100 ", "20", "-3"}, true, kSortInteger, {"-3", "20", " 100 "}},
      {{"b", "A", "c"}, true, kSortText, {"A", "b", "c"}},
      {{"b", "A", "c"}, false, kSortText, {"c", "b", "A"}},
      {{}, true, kSortInteger, {}},  // an empty list counts as numeric
  };
  for (const Case& c : cases) {
    int kind = -1;
    EXPECT_EQ(SortColumn(c.cells, c.ascending, &kind), c.sorted);
    EXPECT_EQ(kind, c.kind);
  }
}

TEST(ListSortKeysTest, IntegerTextIsTheTrimmedTextEqualToItsOwnValue) {
  const struct {
    const char* text;
    bool integer;
  } cases[] = {
      {"10", true},
      {" 100 ", true},
      {"\t7\r\n", true},
      {"-5", true},
      {"0", true},
      {"007", false},
      {"", false},
      {"12abc", false},
      {"+1", false},
      {"1 2", false},
      {"-0", false},
      {"99999999999", false},
      {"2147483647", true},
      {"\x81\x40"
       "1",
       false},  // the full-width space is not white space
  };
  for (const auto& c : cases)
    EXPECT_EQ(IsIntegerText(c.text, CodePage::ShiftJis()), c.integer) << c.text;
}

TEST(ListSortKeysTest, IntegerComparatorReadsLeadingDigitsLikeAtol) {
  EXPECT_EQ(ParseLeadingLong("12abc"), 12);
  EXPECT_EQ(ParseLeadingLong("  -42x"), -42);
  EXPECT_EQ(ParseLeadingLong("abc"), 0);
  EXPECT_EQ(ParseLeadingLong("99999999999"), 2147483647L);
  EXPECT_EQ(ParseLeadingLong("-99999999999"), -2147483647L - 1);
  EXPECT_EQ(CompareIntegerKeys("12abc", "12", true), 0);
  EXPECT_EQ(CompareIntegerKeys(" 100 ", "99", true), 1);
  EXPECT_EQ(CompareIntegerKeys(" 100 ", "99", false), -1);
}

TEST(ListSortKeysTest, AddressKeysPadTheFourNumbers) {
  const struct {
    const char* text;
    const char* key;
  } cases[] = {
      {"192.168.1.20", "192.168.001.020"},
      {"10.0.0.5", "10.000.000.005"},
      {"9.1.1.1", "09.001.001.001"},
      {"100.0.0.1", "100.000.000.001"},
      {"1.2.3", "1.2.3"},
      {"1.2.3.4.5", "01.002.003.004"},
      {"", ""},
      {"...", "00.000.000.000"},
  };
  for (const auto& c : cases) EXPECT_EQ(AddressSortKey(c.text), c.key) << c.text;
}

TEST(ListSortKeysTest, AddressOrderFollowsTheKeysNotTheNumbers) {
  // The first number has two digits of padding only, so 100.x sorts before 99.x.
  EXPECT_LT(CompareAddressKeys("100.0.0.1", "99.0.0.1", true), 0);
  EXPECT_GT(CompareAddressKeys("100.0.0.1", "99.0.0.1", false), 0);
  EXPECT_LT(CompareAddressKeys("10.0.0.5", "192.168.1.20", true), 0);
  EXPECT_LT(CompareCellTexts(kSortAddress, "9.1.1.1", "10.0.0.5", true), 0);
  EXPECT_GT(CompareCellTexts(kSortText, "9.1.1.1", "10.0.0.5", true), 0);
}

TEST(ListSortKeysTest, OnlyMarkedColumnsBelow256UseTheAddressKey) {
  int flags[kAddressColumnLimit] = {};
  flags[3] = 1;
  flags[255] = 1;
  int numericTests = 0;
  auto numeric = [&] { return ++numericTests, true; };
  EXPECT_EQ(ChooseSortKeyKind(3, flags, numeric), kSortAddress);
  EXPECT_EQ(ChooseSortKeyKind(255, flags, numeric), kSortAddress);
  EXPECT_EQ(numericTests, 0);  // an address column is never read for the numeric test
  EXPECT_EQ(ChooseSortKeyKind(256, flags, numeric), kSortInteger);
  EXPECT_EQ(ChooseSortKeyKind(1000, flags, [] { return false; }), kSortText);
  EXPECT_EQ(ChooseSortKeyKind(2, flags, [] { return false; }), kSortText);
}

TEST(ListSortKeysTest, SameColumnFlipsTheDirectionAnotherStartsAscending) {
  EXPECT_TRUE(NextSortAscending(0, -1, false));
  EXPECT_FALSE(NextSortAscending(0, 0, true));
  EXPECT_TRUE(NextSortAscending(0, 0, false));
  EXPECT_TRUE(NextSortAscending(1, 0, true));
}

TEST(ListSortKeysTest, TextComparisonFoldsOnlyAsciiLetters) {
  EXPECT_EQ(CompareTextKeys("abc", "ABC", true, CodePage::ShiftJis()), 0);
  // A trail byte that looks like a letter is compared by code, not folded:
  // 0x82 0x61 and 0x82 0x41 are different characters.
  EXPECT_NE(CompareTextKeys("\x82\x61", "\x82\x41", true, CodePage::ShiftJis()), 0);
}

}  // namespace
}  // namespace kestova
