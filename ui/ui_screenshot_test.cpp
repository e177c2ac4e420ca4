// The list as the user sees it: a dialog with a few rows of Japanese text, one selected,
// and the gradient header. Checks the painted pixels, and stays on screen until the test
// script has taken its screenshot (KESTOVA_SHOT_DONE).
#include <gtest/gtest.h>

#include <cstdlib>

#include "ui/test_support/window_fixtures.h"

namespace kestova {
namespace {

bool FileExists(const char* path) { return ::GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES; }

COLORREF PixelOf(HWND window, int x, int y) {
  HDC dc = ::GetDC(window);
  const COLORREF pixel = ::GetPixel(dc, x, y);
  ::ReleaseDC(window, dc);
  return pixel;
}

TEST(ListScreenshotTest, RowsWithJapaneseTextOneSelectedAndTheGradientHeader) {
  testing::CListHostDialog dialog;
  ASSERT_TRUE(dialog.Create(nullptr));
  EListCtrl& list = dialog.list;
  // "ファイル名", "サイズ(MByte)", "状態"
  list.InsertColumn(0,
                    "\x83t\x83@\x83"
                    "C\x83\x8B\x96\xBC",
                    LVCFMT_LEFT, 220);
  list.InsertColumn(1,
                    "\x83T\x83"
                    "C\x83Y(MByte)",
                    LVCFMT_RIGHT, 110);
  list.InsertColumn(2, "\x8F\xF3\x91\xD4", LVCFMT_LEFT, 100);
  const char* rows[][3] = {
      // "番組表_ニュース.MPG", "受信中"
      {"\x94\xD4\x91g\x95\x5C_\x83j\x83\x85\x81[\x83X.MPG", "512", "\x8E\xF3\x90M\x92\x86"},
      // "ドラマ第1話.MPG", "完了"
      {"\x83h\x83\x89\x83}\x91\xE6"
       "1\x98"
       "b.MPG",
       "2048", "\x8A\xAE\x97\xB9"},
      // "映画「東京」.MPG", "完了"
      {"\x89"
       "f\x89\xE6\x81u\x93\x8C\x8B\x9E\x81v.MPG",
       "4096", "\x8A\xAE\x97\xB9"},
      {"NEWS.MPG", "64", "\x8A\xAE\x97\xB9"},
  };
  for (const auto& cells : rows) {
    const int row = list.InsertItem(list.GetItemCount(), "");
    for (int column = 0; column < 3; ++column) list.SetItemText(row, column, cells[column]);
  }
  list.SetItemState(1, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
  ::SetWindowPos(dialog.GetSafeHwnd(), HWND_TOP, 40, 40, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
  ::SetForegroundWindow(dialog.GetSafeHwnd());
  list.Focus();
  dialog.Invalidate(true);
  testing::Pump(500);

  // The header: light at the top of an item, darker towards the bottom, line at the bottom.
  RECT item;
  ASSERT_TRUE(list.Header().GetItemRect(0, &item));
  HWND header = list.Header().GetSafeHwnd();
  EXPECT_EQ(PixelOf(header, item.left + 1, item.top), ::GetSysColor(COLOR_BTNHIGHLIGHT));
  EXPECT_EQ(PixelOf(header, item.left + 1, item.bottom - 1), kHeaderLineColour);
  EXPECT_EQ(PixelOf(header, item.right - 1, item.top + 2), kHeaderLineColour);
  // The selected row in the highlight colour, the others in the window colour.
  RECT selected, plain;
  ASSERT_TRUE(list.GetItemRect(1, &selected, LVIR_BOUNDS));
  ASSERT_TRUE(list.GetItemRect(3, &plain, LVIR_BOUNDS));
  EXPECT_EQ(PixelOf(list.GetSafeHwnd(), selected.right - 2, selected.top + 2),
            ::GetSysColor(COLOR_HIGHLIGHT));
  EXPECT_EQ(PixelOf(list.GetSafeHwnd(), plain.right - 2, plain.top + 2),
            ::GetSysColor(COLOR_WINDOW));

  const char* done = std::getenv("KESTOVA_SHOT_DONE");
  if (done != nullptr) {
    const DWORD start = ::GetTickCount();
    while (!FileExists(done) && ::GetTickCount() - start < 120000) testing::Pump(100);
    EXPECT_TRUE(FileExists(done)) << "no screenshot was taken";
  }
}

}  // namespace
}  // namespace kestova
