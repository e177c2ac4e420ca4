// EListCtrl in a real list window (wine64, with a display).
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "base/counted_string_printer.h"
#include "ui/application.h"
#include "ui/elist_edit.h"
#include "ui/test_support/window_fixtures.h"

namespace kestova {
namespace {

using testing::CListHostDialog;
using Texts = std::vector<CCountedString>;

class EListCtrlWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dialog_.Create(nullptr));
    ASSERT_NE(list().GetSafeHwnd(), nullptr);
    // Keys reach the active window's thread: make the dialog active, the list focused.
    ::SetForegroundWindow(dialog_.GetSafeHwnd());
    list().Focus();
    testing::Pump(20);
  }
  EListCtrl& list() { return dialog_.list; }

  // A left click on header item `column`, as the mouse gives it.
  void ClickHeader(int column) {
    RECT item;
    ASSERT_TRUE(list().Header().GetItemRect(column, &item));
    const LPARAM at = MAKELPARAM((item.left + item.right) / 2, (item.top + item.bottom) / 2);
    list().Header().Send(WM_LBUTTONDOWN, MK_LBUTTON, at);
    list().Header().Send(WM_LBUTTONUP, 0, at);
    testing::Pump(20);
  }
  void Select(std::initializer_list<int> rows) {
    list().SelectAll(false);
    for (int row : rows) list().SetItemState(row, LVIS_SELECTED, LVIS_SELECTED);
  }
  void PressCtrl(char key) {
    testing::WithControlKey([&] { list().Send(WM_KEYDOWN, static_cast<WPARAM>(key), 0); });
  }

  CListHostDialog dialog_;
};

TEST_F(EListCtrlWindowTest, ColumnClicksSortAscendingThenDescendingAndAnotherColumnAscending) {
  testing::FillList(list(), 2, {{"10", "b"}, {"9", "a"}, {"100", "c"}});
  ClickHeader(0);
  EXPECT_EQ(testing::ColumnTexts(list(), 0), (Texts{"9", "10", "100"}));
  ClickHeader(0);
  EXPECT_EQ(testing::ColumnTexts(list(), 0), (Texts{"100", "10", "9"}));
  ClickHeader(1);
  EXPECT_EQ(testing::ColumnTexts(list(), 1), (Texts{"a", "b", "c"}));
  EXPECT_EQ(testing::ColumnTexts(list(), 0), (Texts{"9", "10", "100"}));
  EXPECT_EQ(dialog_.sortMessages, 3);
  EXPECT_EQ(list().GetSortColumn(), 1);
  EXPECT_TRUE(list().IsSortAscending());

  list().SetSortLock(true);
  ClickHeader(1);
  EXPECT_EQ(testing::ColumnTexts(list(), 1), (Texts{"a", "b", "c"}));
  EXPECT_EQ(dialog_.sortMessages, 3);
}

TEST_F(EListCtrlWindowTest, ACellSetByTheListViewItselfSortsByItsCachedText) {
  testing::FillList(list(), 1, {{"b"}, {"c"}, {"d"}});
  list().SetCellText(2, 0, "a");  // shown, but not cached: sorts as "d"
  list().SortByColumn(0, true, kSortText);
  EXPECT_EQ(testing::ColumnTexts(list(), 0), (Texts{"b", "c", "a"}));
}

TEST_F(EListCtrlWindowTest, CtrlCCopiesSelectedRowsInRowOrderWithEveryTab) {
  testing::FillList(list(), 2, {{"x", "y"}, {"p", "q"}, {"m", "n"}, {"r", ""}});
  Select({3, 1});
  testing::SetClipboardText("before");
  PressCtrl('C');
  EXPECT_EQ(testing::ClipboardText(), "p\tq\t\r\nr\t\t\r\n");
}

TEST_F(EListCtrlWindowTest, CtrlCWithoutSelectionLeavesTheClipboardAlone) {
  testing::FillList(list(), 2, {{"x", "y"}, {"p", "q"}});
  Select({});
  testing::SetClipboardText("before");
  PressCtrl('C');
  EXPECT_EQ(testing::ClipboardText(), "before");
  // Without Ctrl, C copies nothing either.
  Select({0});
  list().Send(WM_KEYDOWN, 'C', 0);
  EXPECT_EQ(testing::ClipboardText(), "before");
}

TEST_F(EListCtrlWindowTest, CtrlAThenCtrlCCopiesEveryRow) {
  testing::FillList(list(), 2, {{"\x8E\xF3\x90M", "1"}, {"b", "2"}, {"c", "3"}});
  Select({});
  PressCtrl('A');
  PressCtrl('C');
  EXPECT_EQ(testing::ClipboardText(), "\x8E\xF3\x90M\t1\t\r\nb\t2\t\r\nc\t3\t\r\n");
}

TEST_F(EListCtrlWindowTest, InsertedRowsGetARecordWithTheLabelAndDefaultColours) {
  EColourSet colours = list().DefaultColours();
  colours.text = RGB(1, 2, 3);
  list().SetDefaultColours(colours);
  list().InsertColumn(0, "c0");
  const int row = list().InsertItem(0, "label");
  const EListItemData* record = list().GetItemRecord(row, false);
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(record->Cell(0), "label");
  EXPECT_EQ(record->Colours().text, RGB(1, 2, 3));
  // The default set's own focused text wins over the text colour it also sets.
  EXPECT_EQ(record->Colours().focusedText, colours.focusedText);
  EXPECT_EQ(record->Colours().selectedBackground, colours.selectedBackground);
}

// Session threads update cells while the user-interface thread sorts: a record's cache
// and the list view's text must always agree (the whole SetItemText runs on the list's
// thread, never half before and half after a sort). The sorts are asked for by a fifth
// thread, so that they interleave with the updates in the list thread's message queue.
TEST_F(EListCtrlWindowTest, SetItemTextFromFourThreadsWhileSortingKeepsEveryRecordWhole) {
  constexpr int kRows = 8;
  constexpr int kColumns = 3;
  constexpr int kWritesPerThread = 300;
  std::vector<std::vector<const char*>> rows(kRows, std::vector<const char*>(kColumns, "0"));
  testing::FillList(list(), kColumns, rows);
  const UINT sortRequest = ::RegisterWindowMessageA("KESTOVA_TEST_SORT_REQUEST");
  dialog_.onMessage = [&](UINT message, WPARAM count) {
    if (message != sortRequest) return false;
    const int n = static_cast<int>(count);
    list().SortByColumn(n % kColumns, n % 2 == 0, n % 2 == 0 ? kSortInteger : kSortText);
    return true;
  };

  std::atomic<int> running{4};
  std::atomic<int> sorts{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([this, t, &running] {
      for (int n = 0; n < kWritesPerThread; ++n) {
        const CCountedString text = CCountedString::Format("%d", t * 100000 + n);
        list().SetItemText(n % kRows, (n + t) % kColumns, text.CStr());
      }
      --running;
    });
  }
  HWND dialogWindow = dialog_.GetSafeHwnd();
  threads.emplace_back([&] {
    while (running > 0) ::SendMessageA(dialogWindow, sortRequest, sorts++, 0);
  });
  const DWORD start = ::GetTickCount();
  while ((running > 0 || sorts == 0) && ::GetTickCount() - start < 60000) testing::Pump(5);
  running = 0;
  testing::Pump(50);
  for (std::thread& thread : threads) thread.join();
  EXPECT_GT(sorts, 10);
  for (int row = 0; row < kRows; ++row) {
    const EListItemData* record = list().GetItemRecord(row, false);
    ASSERT_NE(record, nullptr);
    for (int column = 0; column < kColumns; ++column) {
      EXPECT_EQ(record->Cell(column), list().GetItemText(row, column)) << row << "," << column;
    }
  }
}

TEST_F(EListCtrlWindowTest, EscInTheEditorEndsTheEditWithThePreviousText) {
  testing::FillList(list(), 2, {{"a", "old"}, {"b", "x"}});
  list().SetEditableColumn(1, true);
  // A click on the label of cell (0, 1) makes column 1 the clicked column.
  RECT cell;
  ASSERT_TRUE(list().GetSubItemRect(0, 1, LVIR_LABEL, &cell));
  POINT at = {(cell.left + cell.right) / 2, (cell.top + cell.bottom) / 2};
  POINT screen = at;
  ::ClientToScreen(list().GetSafeHwnd(), &screen);
  ::SetCursorPos(screen.x, screen.y);
  list().Post(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(at.x, at.y));
  list().Post(WM_LBUTTONUP, 0, MAKELPARAM(at.x, at.y));
  testing::Pump(100);
  ASSERT_EQ(list().GetClickedColumn(), 1);

  list().Send(LVM_EDITLABELA, 0, 0);
  EListEdit* editor = list().GetActiveEditor();
  ASSERT_NE(editor, nullptr);
  EXPECT_EQ(editor->GetText(), "old");
  editor->SetText("typed");
  MSG escape = {editor->GetSafeHwnd(), WM_KEYDOWN, VK_ESCAPE, 0, 0, {0, 0}};
  RouteMessage(&escape);
  testing::Pump(20);
  EXPECT_EQ(list().GetActiveEditor(), nullptr);
  EXPECT_EQ(dialog_.endEditTexts, (Texts{"old"}));
  EXPECT_EQ(list().GetItemText(0, 1), "old");
  EXPECT_EQ(list().GetItemRecord(0, false)->Cell(1), "old");

  // Enter keeps the typed text unless the parent refuses it.
  dialog_.endEditReply = 1;
  list().Send(LVM_EDITLABELA, 0, 0);
  editor = list().GetActiveEditor();
  ASSERT_NE(editor, nullptr);
  editor->SetText("refused");
  MSG enter = {editor->GetSafeHwnd(), WM_KEYDOWN, VK_RETURN, 0, 0, {0, 0}};
  RouteMessage(&enter);
  EXPECT_EQ(list().GetActiveEditor(), nullptr);
  EXPECT_EQ(dialog_.endEditTexts, (Texts{"old", "refused"}));
  EXPECT_EQ(list().GetItemText(0, 1), "old");
}

}  // namespace
}  // namespace kestova
