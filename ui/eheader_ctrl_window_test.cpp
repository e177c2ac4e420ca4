// EHeaderCtrl in a real list window (wine64, with a display).
#include <gtest/gtest.h>

#include "ui/test_support/window_fixtures.h"

namespace kestova {
namespace {

class EHeaderCtrlWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dialog_.Create(nullptr));
    testing::FillList(list(), 4, {{"a", "b", "c", "d"}});
  }
  EListCtrl& list() { return dialog_.list; }
  EHeaderCtrl& header() { return list().Header(); }
  std::vector<int> Order() {
    std::vector<int> order(4);
    list().GetColumnOrderArray(order.data(), 4);
    return order;
  }

  testing::CListHostDialog dialog_;
};

TEST_F(EHeaderCtrlWindowTest, TheListSubclassesItsHeaderOnAttach) {
  EXPECT_EQ(header().GetSafeHwnd(), list().GetHeaderHwnd());
  EXPECT_EQ(CWnd::FromHandle(list().GetHeaderHwnd()), &header());
}

TEST_F(EHeaderCtrlWindowTest, APressNearAnItemEdgeShowsNoPressedLook) {
  RECT item;
  ASSERT_TRUE(header().GetItemRect(1, &item));
  const int y = (item.top + item.bottom) / 2;
  const struct {
    int x;
    int pressed;
  } cases[] = {
      {item.left + 2, -1},
      {item.left + kPressEdgeMargin - 1, -1},
      {item.right - kPressEdgeMargin, -1},
      {item.left + kPressEdgeMargin + 1, 1},
      {(item.left + item.right) / 2, 1},
  };
  for (const auto& c : cases) {
    header().Send(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(c.x, y));
    EXPECT_EQ(header().GetPressedItem(), c.pressed) << c.x - item.left;
    header().Send(WM_LBUTTONUP, 0, MAKELPARAM(c.x, y));
    ::ReleaseCapture();
    testing::Pump(10);
    EXPECT_EQ(header().GetPressedItem(), -1) << "the capture's release clears it";
  }
}

TEST_F(EHeaderCtrlWindowTest, HidingAColumnMovesItToTheFrontAndChoosingItAgainRestoresIt) {
  header().EnableColumnMenu(true);
  ASSERT_EQ(Order(), (std::vector<int>{0, 1, 2, 3}));
  header().ToggleColumn(2);
  EXPECT_EQ(list().GetColumnWidth(2), 0);
  EXPECT_EQ(Order(), (std::vector<int>{2, 0, 1, 3}));
  header().ToggleColumn(2);
  EXPECT_EQ(list().GetColumnWidth(2), 50);
  EXPECT_EQ(Order(), (std::vector<int>{2, 0, 1, 3}));
}

// The real popup: a right click on the header opens it, and the keys Down, Down, Down,
// Enter (posted while the menu runs) choose the third entry, column 2.
HWND g_menuOwner = nullptr;
void CALLBACK CloseAnyMenu(HWND, UINT, UINT_PTR timer, DWORD) {
  ::KillTimer(nullptr, timer);
  ::EndMenu();  // a menu that did not take the keys must not keep the test waiting
}
void CALLBACK ChooseThirdEntry(HWND, UINT, UINT_PTR timer, DWORD) {
  ::KillTimer(nullptr, timer);
  ::SetTimer(nullptr, 0, 3000, &CloseAnyMenu);
  for (WPARAM key : {VK_DOWN, VK_DOWN, VK_DOWN, VK_RETURN}) {
    ::PostMessageA(g_menuOwner, WM_KEYDOWN, key, 0);
    ::PostMessageA(g_menuOwner, WM_KEYUP, key, 0xC0000000);
  }
}

TEST_F(EHeaderCtrlWindowTest, ARightClickOpensTheColumnMenuWhenEnabled) {
  RECT item;
  ASSERT_TRUE(header().GetItemRect(0, &item));
  const LPARAM at = MAKELPARAM(item.left + 10, item.top + 3);
  // Disabled: no menu, so nothing changes (a menu would wait here for the keys).
  header().Send(WM_RBUTTONDOWN, MK_RBUTTON, at);
  header().Send(WM_RBUTTONUP, 0, at);
  EXPECT_EQ(list().GetColumnWidth(2), 80);

  header().EnableColumnMenu(true);
  g_menuOwner = header().GetSafeHwnd();
  ::SetTimer(nullptr, 0, 200, &ChooseThirdEntry);
  header().Send(WM_RBUTTONDOWN, MK_RBUTTON, at);
  header().Send(WM_RBUTTONUP, 0, at);
  testing::Pump(50);
  EXPECT_EQ(list().GetColumnWidth(2), 0);
  EXPECT_EQ(Order(), (std::vector<int>{2, 0, 1, 3}));
}

}  // namespace
}  // namespace kestova
