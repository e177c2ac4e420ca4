#include <gtest/gtest.h>

#include <vector>

#include "ui/column_menu_rules.h"
#include "ui/elist_item_data.h"
#include "ui/list_copy_text.h"

namespace kestova {
namespace {

TEST(ListRulesTest, CopiedRowsKeepEveryTabAndEndWithCrLf) {
  CCountedString text;
  const CCountedString first[] = {"p", "q"};
  const CCountedString second[] = {"r", ""};
  AppendCopyRow(text, first, 2);
  AppendCopyRow(text, second, 2);
  EXPECT_EQ(text, "p\tq\t\r\nr\t\t\r\n");
}

TEST(ListRulesTest, HidingAColumnMovesItToTheFront) {
  const struct {
    std::vector<int> order;
    int column;
    std::vector<int> moved;
    bool found;
  } cases[] = {
      {{0, 1, 2, 3}, 2, {2, 0, 1, 3}, true},
      {{0, 1, 2, 3}, 0, {0, 1, 2, 3}, true},
      {{3, 1, 0, 2}, 2, {2, 3, 1, 0}, true},
      {{0, 1}, 5, {0, 1}, false},
  };
  for (auto c : cases) {
    EXPECT_EQ(MoveColumnToFront(c.order.data(), static_cast<int>(c.order.size()), c.column),
              c.found);
    EXPECT_EQ(c.order, c.moved);
  }
  EXPECT_EQ(ToggledColumnWidth(0), 50);
  EXPECT_EQ(ToggledColumnWidth(120), 0);
}

TEST(ListRulesTest, RecordCacheReadsEmptyForUnwrittenSlotsAndGrows) {
  EListItemData record{EColourSet{}};
  EXPECT_EQ(record.Cell(3), "");
  EXPECT_EQ(record.Cell(-1), "");
  record.SetCell(4, "x");
  EXPECT_EQ(record.CellCount(), 5);
  EXPECT_EQ(record.Cell(4), "x");
  EXPECT_EQ(record.Cell(2), "");
}

TEST(ListRulesTest, TextAndBackgroundColoursAlsoSetTheFocusedPairUnlessGiven) {
  EListItemData record{EColourSet{}};
  record.SetItemColours(0x11, 0x22, kNoColour, kNoColour, kNoColour, kNoColour, kNoColour,
                        kNoColour);
  EXPECT_EQ(record.Colours().focusedText, 0x11u);
  EXPECT_EQ(record.Colours().focusedBackground, 0x22u);
  EXPECT_EQ(record.Colours().selectedText, 0u);  // -1 leaves a colour unchanged
  record.SetItemColours(0x33, 0x44, 1, 2, 3, 4, 0x55, 0x66);
  EXPECT_EQ(record.Colours().text, 0x33u);
  EXPECT_EQ(record.Colours().focusedText, 0x55u);
  EXPECT_EQ(record.Colours().focusedBackground, 0x66u);
  EXPECT_EQ(record.Colours().disabledBackground, 4u);
  EXPECT_EQ(record.Colours().noBlendKey, kNoColour);
}

}  // namespace
}  // namespace kestova
