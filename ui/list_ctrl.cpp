// CListCtrl: one list-view message per operation.
#include "ui/list_ctrl.h"

namespace kestova {

int CListCtrl::GetColumnCount() const {
  HWND header = GetHeaderHwnd();
  return header != nullptr ? static_cast<int>(::SendMessageA(header, HDM_GETITEMCOUNT, 0, 0)) : 0;
}

int CListCtrl::InsertColumn(int index, const char* text, int format, int width) const {
  LVCOLUMNA column = {};
  column.mask = LVCF_TEXT | LVCF_FMT | LVCF_WIDTH | LVCF_SUBITEM;
  column.fmt = format;
  column.cx = width;
  column.pszText = const_cast<char*>(text);
  column.iSubItem = index;
  return static_cast<int>(Send(LVM_INSERTCOLUMNA, index, LParam(&column)));
}

int CListCtrl::GetColumnWidth(int column) const {
  return static_cast<int>(Send(LVM_GETCOLUMNWIDTH, column));
}

bool CListCtrl::SetColumnWidth(int column, int width) const {
  return Send(LVM_SETCOLUMNWIDTH, column, MAKELPARAM(width, 0)) != 0;
}

bool CListCtrl::GetColumn(int column, LVCOLUMNA* info) const {
  return Send(LVM_GETCOLUMNA, column, LParam(info)) != 0;
}

bool CListCtrl::GetColumnOrderArray(int* order, int count) const {
  return Send(LVM_GETCOLUMNORDERARRAY, count, LParam(order)) != 0;
}

bool CListCtrl::SetColumnOrderArray(const int* order, int count) const {
  return Send(LVM_SETCOLUMNORDERARRAY, count, LParam(order)) != 0;
}

int CListCtrl::InsertItem(int index, const char* text) const {
  LVITEMA item = {};
  item.mask = LVIF_TEXT;
  item.iItem = index;
  item.pszText = const_cast<char*>(text);
  return static_cast<int>(Send(LVM_INSERTITEMA, 0, LParam(&item)));
}

CCountedString CListCtrl::GetItemText(int row, int column, int capacity) const {
  CCountedString text;
  if (capacity < 1) return text;
  char* buffer = text.GetBuffer(static_cast<size_t>(capacity));
  buffer[0] = '\0';
  LVITEMA item = {};
  item.iSubItem = column;
  item.pszText = buffer;
  item.cchTextMax = capacity;
  const LRESULT length = Send(LVM_GETITEMTEXTA, row, LParam(&item));
  buffer[capacity - 1] = '\0';
  text.ReleaseBuffer(length > 0 ? CCountedString::npos : 0);
  return text;
}

bool CListCtrl::SetCellText(int row, int column, const char* text) const {
  LVITEMA item = {};
  item.iSubItem = column;
  item.pszText = const_cast<char*>(text);
  return Send(LVM_SETITEMTEXTA, row, LParam(&item)) != 0;
}

LPARAM CListCtrl::GetItemData(int row) const {
  LVITEMA item = {};
  item.mask = LVIF_PARAM;
  item.iItem = row;
  return GetItem(&item) ? item.lParam : 0;
}

int CListCtrl::FindItemByData(LPARAM data) const {
  LVFINDINFOA find = {};
  find.flags = LVFI_PARAM;
  find.lParam = data;
  return static_cast<int>(Send(LVM_FINDITEMA, static_cast<WPARAM>(-1), LParam(&find)));
}

bool CListCtrl::SetItemData(int row, LPARAM data) const {
  LVITEMA item = {};
  item.mask = LVIF_PARAM;
  item.iItem = row;
  item.lParam = data;
  return Send(LVM_SETITEMA, 0, LParam(&item)) != 0;
}

UINT CListCtrl::GetItemState(int row, UINT mask) const {
  return static_cast<UINT>(Send(LVM_GETITEMSTATE, row, mask));
}

bool CListCtrl::SetItemState(int row, UINT state, UINT mask) const {
  LVITEMA item = {};
  item.state = state;
  item.stateMask = mask;
  return Send(LVM_SETITEMSTATE, row, LParam(&item)) != 0;
}

int CListCtrl::GetNextItem(int start, UINT flags) const {
  return static_cast<int>(Send(LVM_GETNEXTITEM, start, MAKELPARAM(flags, 0)));
}

bool CListCtrl::GetItemRect(int row, RECT* rect, int code) const {
  rect->left = code;
  return Send(LVM_GETITEMRECT, row, LParam(rect)) != 0;
}

bool CListCtrl::GetSubItemRect(int row, int column, int code, RECT* rect) const {
  rect->top = column;
  rect->left = code;
  return Send(LVM_GETSUBITEMRECT, row, LParam(rect)) != 0;
}

int CListCtrl::SubItemHitTest(LVHITTESTINFO* info) const {
  return static_cast<int>(Send(LVM_SUBITEMHITTEST, 0, LParam(info)));
}

bool CListCtrl::SortItems(PFNLVCOMPARE compare, LPARAM data) const {
  return Send(LVM_SORTITEMS, static_cast<WPARAM>(data), reinterpret_cast<LPARAM>(compare)) != 0;
}

HIMAGELIST CListCtrl::GetImageList(int which) const {
  return reinterpret_cast<HIMAGELIST>(Send(LVM_GETIMAGELIST, which));
}

DWORD CListCtrl::SetExtendedStyle(DWORD style) const {
  return static_cast<DWORD>(Send(LVM_SETEXTENDEDLISTVIEWSTYLE, 0, style));
}

}  // namespace kestova
