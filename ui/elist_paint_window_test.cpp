// EListCtrl painting read back from the screen (wine64, with a display): disabled
// colours, the focus rectangle, and the optional background bitmap with blended rows.
#include <gtest/gtest.h>

#include <cstdlib>

#include "ui/test_support/window_fixtures.h"

namespace kestova {
namespace {

COLORREF PixelOf(HWND window, int x, int y) {
  HDC dc = ::GetDC(window);
  const COLORREF pixel = ::GetPixel(dc, x, y);
  ::ReleaseDC(window, dc);
  return pixel;
}

bool Near(COLORREF a, COLORREF b) {
  return std::abs(GetRValue(a) - GetRValue(b)) <= 2 && std::abs(GetGValue(a) - GetGValue(b)) <= 2 &&
         std::abs(GetBValue(a) - GetBValue(b)) <= 2;
}

class EListPaintWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dialog_.Create(nullptr));
    ::SetForegroundWindow(dialog_.GetSafeHwnd());
  }
  EListCtrl& list() { return dialog_.list; }
  void Fill() {
    testing::FillList(list(), 2, {{"a", "1"}, {"b", "2"}, {"c", "3"}});
    list().SetItemState(1, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    list().Focus();
  }
  void Repaint() {
    list().Invalidate(true);
    list().Header().Invalidate(true);
    testing::Pump(100);
  }
  RECT Row(int row) {
    RECT bounds;
    EXPECT_TRUE(list().GetItemRect(row, &bounds, LVIR_BOUNDS));
    return bounds;
  }
  // Pixels of the row's top edge that differ from `background`.
  int MarkedTopPixels(int row, COLORREF background) {
    const RECT bounds = Row(row);
    int marked = 0;
    for (int x = bounds.left + 1; x < bounds.right - 1; x += 3) {
      marked += PixelOf(list().GetSafeHwnd(), x, bounds.top) != background ? 1 : 0;
    }
    return marked;
  }

  testing::CListHostDialog dialog_;
};

TEST_F(EListPaintWindowTest, AFocusedRowGetsTheFocusRectangleOnlyWhileEnabled) {
  Fill();
  Repaint();
  const COLORREF selected = ::GetSysColor(COLOR_HIGHLIGHT);
  const RECT bounds = Row(1);
  EXPECT_EQ(PixelOf(list().GetSafeHwnd(), bounds.right - 5, bounds.top + 3), selected);
  EXPECT_GT(MarkedTopPixels(1, selected), 0) << "focus rectangle";
  EXPECT_EQ(MarkedTopPixels(0, ::GetSysColor(COLOR_WINDOW)), 0);
}

TEST_F(EListPaintWindowTest, ADisabledListPaintsEveryRowAndItsHeaderDisabled) {
  Fill();
  list().Enable(false);
  Repaint();
  const COLORREF disabled = ::GetSysColor(COLOR_BTNFACE);
  for (int row = 0; row < 3; ++row) {
    const RECT bounds = Row(row);
    EXPECT_EQ(PixelOf(list().GetSafeHwnd(), bounds.right - 5, bounds.top + 3), disabled) << row;
    EXPECT_EQ(MarkedTopPixels(row, disabled), 0) << "no focus rectangle, row " << row;
  }
  RECT item;
  ASSERT_TRUE(list().Header().GetItemRect(0, &item));
  EXPECT_EQ(PixelOf(list().Header().GetSafeHwnd(), item.left + 1, item.top), disabled);
}

TEST_F(EListPaintWindowTest, RowsAreBlendedOverTheBackgroundBitmapUnlessTheirColourIsTheKey) {
  EColourSet colours = list().DefaultColours();
  colours.background = RGB(255, 255, 255);
  list().SetDefaultColours(colours);
  testing::FillList(list(), 2, {{"a", "1"}, {"b", "2"}, {"c", "3"}});
  list().GetItemRecord(2, false)->SetNoBlendKey(RGB(255, 255, 255));
  // A 16 x 16 pure blue bitmap.
  HDC screen = ::GetDC(nullptr);
  HBITMAP bitmap = ::CreateCompatibleBitmap(screen, 16, 16);
  HDC dc = ::CreateCompatibleDC(screen);
  HGDIOBJ old = ::SelectObject(dc, bitmap);
  const RECT all = {0, 0, 16, 16};
  HBRUSH blue = ::CreateSolidBrush(RGB(0, 0, 255));
  ::FillRect(dc, &all, blue);
  ::DeleteObject(blue);
  ::SelectObject(dc, old);
  ::DeleteDC(dc);
  ::ReleaseDC(nullptr, screen);
  list().SetBackgroundBitmap(bitmap);
  list().SetBlendAlpha(200);
  Repaint();

  const RECT blended = Row(0);
  const RECT keyed = Row(2);
  // White at 200/255 over blue: (200, 200, 255).
  EXPECT_TRUE(
      Near(PixelOf(list().GetSafeHwnd(), blended.right - 5, blended.top + 3), RGB(200, 200, 255)));
  EXPECT_EQ(PixelOf(list().GetSafeHwnd(), keyed.right - 5, keyed.top + 3), RGB(0, 0, 255));
  // Below the rows the erased background is the bitmap too.
  EXPECT_EQ(PixelOf(list().GetSafeHwnd(), 20, keyed.bottom + 20), RGB(0, 0, 255));
}

}  // namespace
}  // namespace kestova
