// ETabCtrl, CDefaultPage and CThemeApi in real windows (wine64, with a display).
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "ui/default_page.h"
#include "ui/etab_ctrl.h"
#include "ui/test_support/test_resource.h"
#include "ui/test_support/window_fixtures.h"

namespace kestova {
namespace {

constexpr const char* kMissingLibrary = "kestova-no-such-visual-styles.dll";

class CRecordingPage : public CDefaultPage {
 public:
  explicit CRecordingPage(const char* themeLibrary = CThemeApi::kLibraryName,
                          bool sizeBeforeInit = false)
      : CDefaultPage(IDD_TEST_PAGE, nullptr, themeLibrary), sizeBeforeInit_(sizeBeforeInit) {}
  void ResizeBy(int widthChange, int heightChange) override {
    calls.emplace_back(widthChange, heightChange);
  }
  std::vector<std::pair<int, int>> calls;

 protected:
  BOOL OnInitDialog() override {
    if (sizeBeforeInit_) Send(WM_SIZE, SIZE_RESTORED, MAKELPARAM(123, 45));
    return CDefaultPage::OnInitDialog();
  }

 private:
  bool sizeBeforeInit_;
};

class CTabHostDialog : public CDialog {
 public:
  CTabHostDialog() : CDialog(IDD_TEST_TAB_HOST) {}
  ETabCtrl tab;

 protected:
  void DoDataExchange() override { BindControl(IDC_TEST_TAB, tab); }
};

using Calls = std::vector<std::pair<int, int>>;

void SetClientSize(CWnd& page, int width, int height) {
  ::SetWindowPos(page.GetSafeHwnd(), nullptr, 0, 0, width, height,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

class TabPagesWindowTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(host_.Create(nullptr)); }
  // Adds `page` as a tab the way the main dialog does.
  void AddPage(CDefaultPage& page, const char* title) {
    const int index = host_.tab.InsertItem(host_.tab.GetItemCount(), title);
    ASSERT_NE(index, -1);
    ASSERT_NE(host_.tab.SetItemPage(index, &page), 0);
    ASSERT_TRUE(page.Create(host_.tab.GetSafeHwnd()));
    ::SetWindowPos(page.GetSafeHwnd(), nullptr, 5, 30, 400, 300, SWP_NOZORDER | SWP_NOACTIVATE);
  }

  CTabHostDialog host_;
};

TEST_F(TabPagesWindowTest, ResizesAreReportedRelativeToThePreviousOne) {
  CRecordingPage page;
  AddPage(page, "one");
  page.calls.clear();
  SetClientSize(page, 400, 300);
  EXPECT_EQ(page.calls, Calls{}) << "same size as the reference after AddPage's move";
  SetClientSize(page, 450, 280);
  SetClientSize(page, 400, 300);
  EXPECT_EQ(page.calls, (Calls{{50, -20}, {-50, 20}}));

  page.calls.clear();
  const RECT before = page.ReferenceClientRect();
  page.Send(WM_SIZE, SIZE_MINIMIZED, MAKELPARAM(0, 0));
  EXPECT_EQ(page.calls, Calls{});
  EXPECT_TRUE(::EqualRect(&before, &page.ReferenceClientRect()));
}

TEST_F(TabPagesWindowTest, ASizeBeforeInitialisationIsNotReported) {
  CRecordingPage page(CThemeApi::kLibraryName, true);
  ASSERT_TRUE(page.Create(host_.tab.GetSafeHwnd()));
  EXPECT_EQ(page.calls, Calls{});
  EXPECT_GT(page.ReferenceClientRect().right, 0);
}

TEST_F(TabPagesWindowTest, TabsCarryTheirPages) {
  CRecordingPage first;
  AddPage(first, "one");
  host_.tab.InsertItem(1, "no page");
  EXPECT_EQ(host_.tab.GetItemPage(0), &first);
  EXPECT_EQ(host_.tab.GetItemPage(1), nullptr);
  EXPECT_EQ(host_.tab.GetItemPage(7), nullptr);
}

TEST_F(TabPagesWindowTest, ShowPageShowsOnlyForOne) {
  CRecordingPage page;
  AddPage(page, "one");
  const struct {
    int flag;
    bool visible;
  } cases[] = {{1, true}, {0, false}, {1, true}, {2, false}, {-1, false}};
  host_.Show(SW_SHOWNOACTIVATE);
  for (const auto& c : cases) {
    page.ShowPage(c.flag);
    EXPECT_EQ(page.IsVisible(), c.visible) << c.flag;
  }
}

TEST_F(TabPagesWindowTest, PagesInitialiseWithoutTheVisualStylesLibrary) {
  CRecordingPage page(kMissingLibrary);
  AddPage(page, "one");
  EXPECT_FALSE(page.Theme().IsLoaded());
  EXPECT_EQ(page.Theme().EntryPoint(CThemeApi::kEnableThemeDialogTexture), nullptr);
  EXPECT_EQ(page.Theme().EnableThemeDialogTexture(page.GetSafeHwnd(), 6), 1);
  EXPECT_GT(page.ReferenceClientRect().right, 0);
  page.calls.clear();
  SetClientSize(page, 410, 300);
  EXPECT_EQ(page.calls, (Calls{{10, 0}}));
}

TEST(ThemeApiTest, TheLibraryIsBoundByNameWhenPresent) {
  CThemeApi theme;
  if (!theme.IsLoaded()) GTEST_SKIP() << "this system has no visual-styles library";
  EXPECT_NE(theme.EntryPoint(CThemeApi::kEnableThemeDialogTexture), nullptr);
  EXPECT_NE(theme.EntryPoint(CThemeApi::kOpenThemeData), nullptr);
  EXPECT_STREQ(CThemeApi::kEntryNames[CThemeApi::kEnableTheming], "EnableTheming");
}

// Erase into a memory device context that starts in a marker colour: the visible page's
// area keeps the marker, the rest of the tab control is erased.
TEST_F(TabPagesWindowTest, EraseLeavesTheVisiblePageAlone) {
  CRecordingPage page;
  AddPage(page, "one");
  host_.Show(SW_SHOWNOACTIVATE);
  const COLORREF marker = RGB(1, 2, 3);
  auto erase = [&](POINT inside, POINT outside) {
    const RECT client = host_.tab.GetClientRect();
    HDC screen = ::GetDC(host_.tab.GetSafeHwnd());
    HDC dc = ::CreateCompatibleDC(screen);
    HBITMAP bitmap = ::CreateCompatibleBitmap(screen, client.right, client.bottom);
    HGDIOBJ old = ::SelectObject(dc, bitmap);
    HBRUSH brush = ::CreateSolidBrush(marker);
    ::FillRect(dc, &client, brush);
    ::DeleteObject(brush);
    host_.tab.Send(WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    std::pair<COLORREF, COLORREF> pixels(::GetPixel(dc, inside.x, inside.y),
                                         ::GetPixel(dc, outside.x, outside.y));
    ::SelectObject(dc, old);
    ::DeleteObject(bitmap);
    ::DeleteDC(dc);
    ::ReleaseDC(host_.tab.GetSafeHwnd(), screen);
    return pixels;
  };
  const POINT inside = {100, 100};  // within the page at (5, 30)-(405, 330)
  const POINT outside = {2, 100};
  page.ShowPage(1);
  auto shown = erase(inside, outside);
  EXPECT_EQ(shown.first, marker);
  EXPECT_NE(shown.second, marker);
  page.ShowPage(0);
  auto hidden = erase(inside, outside);
  EXPECT_NE(hidden.first, marker);
  EXPECT_NE(hidden.second, marker);
}

}  // namespace
}  // namespace kestova
