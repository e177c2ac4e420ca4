// EHeaderCtrl: gradient painting, pressed look and the column menu.
#include "ui/eheader_ctrl.h"

#include <vector>

#include "ui/column_menu_rules.h"
#include "ui/list_ctrl.h"

namespace kestova {
namespace {

void FillRow(HDC dc, int left, int top, int right, int bottom, COLORREF colour) {
  const RECT rect = {left, top, right, bottom};
  HBRUSH brush = ::CreateSolidBrush(colour);
  ::FillRect(dc, &rect, brush);
  ::DeleteObject(brush);
}

int Channel(int top, int bottom, int row, int height) {
  return static_cast<int>(top + static_cast<double>(row) * (bottom - top) / height);
}

}  // namespace

void FillGradient(HDC dc, const RECT& rect, COLORREF top, COLORREF bottom, COLORREF line,
                  bool rightLine) {
  const int height = rect.bottom - rect.top;
  if (height <= 0 || rect.right <= rect.left) return;
  for (int i = 0; i < height; ++i) {
    const COLORREF colour = RGB(Channel(GetRValue(top), GetRValue(bottom), i, height),
                                Channel(GetGValue(top), GetGValue(bottom), i, height),
                                Channel(GetBValue(top), GetBValue(bottom), i, height));
    FillRow(dc, rect.left, rect.top + i, rect.right, rect.top + i + 1, colour);
  }
  FillRow(dc, rect.left, rect.bottom - 1, rect.right, rect.bottom, line);
  if (rightLine) FillRow(dc, rect.right - 1, rect.top, rect.right, rect.bottom, line);
}

void EHeaderCtrl::Paint() {
  PAINTSTRUCT paint;
  HDC dc = ::BeginPaint(GetSafeHwnd(), &paint);
  if (dc == nullptr) return;
  COLORREF light = ::GetSysColor(COLOR_BTNHIGHLIGHT);
  COLORREF dark = ::GetSysColor(COLOR_BTNSHADOW);
  COLORREF textColour = ::GetSysColor(COLOR_WINDOWTEXT);
  HWND parent = GetParentHwnd();
  if (!IsEnabled() || (parent != nullptr && !::IsWindowEnabled(parent))) {
    textColour = ::GetSysColor(COLOR_GRAYTEXT);
    light = ::GetSysColor(COLOR_BTNFACE);
    dark = ::GetSysColor(COLOR_BTNSHADOW);
  }
  const COLORREF oldText = ::SetTextColor(dc, textColour);
  const int oldMode = ::SetBkMode(dc, TRANSPARENT);
  HGDIOBJ oldFont = ::SelectObject(dc, GetFont());

  for (int index = 0, count = GetItemCount(); index < count; ++index) {
    char text[1024] = "";
    HDITEMA item = {};
    item.mask = HDI_WIDTH | HDI_TEXT | HDI_FORMAT;
    item.pszText = text;
    item.cchTextMax = sizeof(text);
    RECT rect;
    if (!GetItem(index, &item) || !GetItemRect(index, &rect) || rect.right <= rect.left) continue;
    const bool pressed = index == pressedItem_;
    FillGradient(dc, rect, pressed ? dark : light, pressed ? light : dark, kHeaderLineColour, true);
    if ((item.fmt & HDF_STRING) == 0) continue;
    RECT textRect = {rect.left + 3, rect.top + 1, rect.right - 3, rect.bottom - 1};
    UINT alignment = DT_LEFT;
    if ((item.fmt & HDF_JUSTIFYMASK) == HDF_RIGHT) alignment = DT_RIGHT;
    if ((item.fmt & HDF_JUSTIFYMASK) == HDF_CENTER) alignment = DT_CENTER;
    ::DrawTextA(dc, text, -1, &textRect, alignment | DT_VCENTER | DT_SINGLELINE);
  }

  ::SelectObject(dc, oldFont);
  ::SetBkMode(dc, oldMode);
  ::SetTextColor(dc, oldText);
  ::EndPaint(GetSafeHwnd(), &paint);
}

void EHeaderCtrl::OnLeftButtonDown(POINT point) {
  pressedItem_ = -1;
  if ((::GetWindowLongPtrA(GetSafeHwnd(), GWL_STYLE) & HDS_BUTTONS) == 0) return;
  for (int index = 0, count = GetItemCount(); index < count; ++index) {
    RECT rect;
    if (!GetItemRect(index, &rect)) continue;
    rect.left += kPressEdgeMargin;
    rect.right -= kPressEdgeMargin;
    if (::PtInRect(&rect, point)) {
      pressedItem_ = index;
      return;
    }
  }
}

void EHeaderCtrl::ToggleColumn(int column) {
  HWND listWindow = GetParentHwnd();
  if (listWindow == nullptr || column < 0 || column >= GetItemCount()) return;
  const int newWidth = ToggledColumnWidth(
      static_cast<int>(::SendMessageA(listWindow, LVM_GETCOLUMNWIDTH, column, 0)));
  ::SendMessageA(listWindow, LVM_SETCOLUMNWIDTH, column, MAKELPARAM(newWidth, 0));
  if (newWidth == 0) {
    const int count = GetItemCount();
    std::vector<int> order(static_cast<size_t>(count));
    if (::SendMessageA(listWindow, LVM_GETCOLUMNORDERARRAY, count,
                       reinterpret_cast<LPARAM>(order.data())) != 0 &&
        MoveColumnToFront(order.data(), count, column)) {
      ::SendMessageA(listWindow, LVM_SETCOLUMNORDERARRAY, count,
                     reinterpret_cast<LPARAM>(order.data()));
    }
  }
  ::InvalidateRect(listWindow, nullptr, TRUE);
}

void EHeaderCtrl::ShowColumnMenu() {
  HMENU menu = ::CreatePopupMenu();
  if (menu == nullptr) return;
  for (int index = 0, count = GetItemCount(); index < count; ++index) {
    char text[256] = "";
    HDITEMA item = {};
    item.mask = HDI_TEXT | HDI_WIDTH;
    item.pszText = text;
    item.cchTextMax = sizeof(text);
    if (!GetItem(index, &item)) text[0] = '\0';
    ::AppendMenuA(menu, MF_STRING | (item.cxy != 0 ? MF_CHECKED : MF_UNCHECKED),
                  static_cast<UINT_PTR>(index + 1), text);
  }
  POINT cursor;
  ::GetCursorPos(&cursor);
  const int chosen = static_cast<int>(::TrackPopupMenu(
      menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, cursor.x, cursor.y, 0, GetSafeHwnd(), nullptr));
  ::DestroyMenu(menu);
  if (chosen > 0) ToggleColumn(chosen - 1);
}

bool EHeaderCtrl::OnReflectedNotify(NMHDR* header, LRESULT* result) {
  *result = 0;
  switch (header->code) {
    case NM_RCLICK:
      if (columnMenu_ != 0) ShowColumnMenu();
      return true;
    case NM_RELEASEDCAPTURE:
      pressedItem_ = -1;
      Invalidate(true);
      return true;
    default:
      return false;
  }
}

bool EHeaderCtrl::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  switch (message) {
    case WM_ERASEBKGND:
      FillGradient(reinterpret_cast<HDC>(wParam), GetClientRect(), ::GetSysColor(COLOR_BTNFACE),
                   ::GetSysColor(COLOR_BTNSHADOW), ::GetSysColor(COLOR_BTNSHADOW), false);
      *result = 1;
      return true;
    case WM_PAINT:
      Paint();
      *result = 0;
      return true;
    case WM_ENABLE:
      *result = DefaultProc(message, wParam, lParam);
      Invalidate(true);
      return true;
    case WM_LBUTTONDOWN: {
      const POINT point = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
      OnLeftButtonDown(point);
      return false;  // then the header's own handling
    }
    default:
      return false;
  }
}

}  // namespace kestova
