// CListCtrl: thin wrapper of a list view (SysListView32) through its ANSI messages.
// Every operation forwards to one message; the window must exist.
#pragma once

#include "ui/window.h"

namespace kestova {

class CListCtrl : public CWnd {
 public:
  int GetItemCount() const { return static_cast<int>(Send(LVM_GETITEMCOUNT)); }
  HWND GetHeaderHwnd() const { return reinterpret_cast<HWND>(Send(LVM_GETHEADER)); }
  int GetColumnCount() const;  // the header's item count (0 without a header)

  // Column `index` with heading `text`, format LVCFMT_*, width in pixels; the new
  // column's index or -1.
  int InsertColumn(int index, const char* text, int format = LVCFMT_LEFT, int width = 100) const;
  int GetColumnWidth(int column) const;
  bool SetColumnWidth(int column, int width) const;
  bool GetColumn(int column, LVCOLUMNA* info) const;
  // Display order of the columns (`count` entries); false when the list refuses.
  bool GetColumnOrderArray(int* order, int count) const;
  bool SetColumnOrderArray(const int* order, int count) const;

  // A row with label `text` at `index` (text only); the new row's index or -1.
  int InsertItem(int index, const char* text) const;
  bool DeleteItem(int row) const { return Send(LVM_DELETEITEM, row) != 0; }
  bool DeleteAllItems() const { return Send(LVM_DELETEALLITEMS) != 0; }
  // The list view's own cell text (up to `capacity` - 1 bytes).
  CCountedString GetItemText(int row, int column, int capacity = 1024) const;
  // The list view's own set-text message (LVM_SETITEMTEXTA), nothing else.
  bool SetCellText(int row, int column, const char* text) const;
  LPARAM GetItemData(int row) const;
  bool SetItemData(int row, LPARAM data) const;
  // The row whose item data is `data` (LVM_FINDITEM with LVFI_PARAM), or -1.
  int FindItemByData(LPARAM data) const;
  UINT GetItemState(int row, UINT mask) const;
  bool SetItemState(int row, UINT state, UINT mask) const;
  int GetNextItem(int start, UINT flags) const;
  bool GetItem(LVITEMA* item) const { return Send(LVM_GETITEMA, 0, LParam(item)) != 0; }
  bool GetItemRect(int row, RECT* rect, int code) const;
  bool GetSubItemRect(int row, int column, int code, RECT* rect) const;
  int SubItemHitTest(LVHITTESTINFO* info) const;
  bool SortItems(PFNLVCOMPARE compare, LPARAM data) const;
  HIMAGELIST GetImageList(int which) const;
  DWORD SetExtendedStyle(DWORD style) const;
  bool EnsureVisible(int row) const { return Send(LVM_ENSUREVISIBLE, row, FALSE) != 0; }

 protected:
  template <typename T>
  static LPARAM LParam(T* pointer) {
    return reinterpret_cast<LPARAM>(pointer);
  }
};

}  // namespace kestova
