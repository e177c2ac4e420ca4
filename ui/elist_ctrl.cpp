// EListCtrl: records, the cell text cache, sorting, Ctrl+A / Ctrl+C and the list's own
// notifications. Painting is in elist_paint.cpp, in-place editing in elist_edit.cpp.
#include "ui/elist_ctrl.h"

#include <cstring>

#include "ui/elist_edit.h"
#include "ui/list_copy_text.h"

namespace kestova {

const UINT WM_ELISTCTRL_NOTIFY = ::RegisterWindowMessageA("WM_ELISTCTRL_NOTIFY");
const UINT WM_ELISTCTRL_SORT = ::RegisterWindowMessageA("WM_ELISTCTRL_SORT");
const UINT WM_ELISTCTRL_ON_COPY = ::RegisterWindowMessageA("WM_ELISTCTRL_ON_COPY");

namespace {

// SetItemText from another thread: the list's thread carries out the whole call.
const UINT kSetItemTextMessage = ::RegisterWindowMessageA("KESTOVA_ELISTCTRL_SET_ITEM_TEXT");

struct SetItemTextCall {
  int row;
  int column;
  const char* text;
};

// Ancestors asked by NotifyAncestors at most (a cycle in a broken owner chain ends here).
constexpr int kMaxAncestors = 64;

EListItemData* RecordOf(LPARAM data) { return reinterpret_cast<EListItemData*>(data); }

}  // namespace

EColourSet SystemColourSet() {
  EColourSet colours;
  colours.text = ::GetSysColor(COLOR_BTNTEXT);
  colours.background = ::GetSysColor(COLOR_WINDOW);
  colours.selectedText = ::GetSysColor(COLOR_HIGHLIGHTTEXT);
  colours.selectedBackground = ::GetSysColor(COLOR_HIGHLIGHT);
  colours.disabledText = ::GetSysColor(COLOR_GRAYTEXT);
  colours.disabledBackground = ::GetSysColor(COLOR_BTNFACE);
  colours.focusedText = colours.text;
  colours.focusedBackground = colours.background;
  colours.noBlendKey = kNoColour;
  return colours;
}

EListCtrl::EListCtrl() : defaultColours_(SystemColourSet()) {}

EListCtrl::~EListCtrl() {
  if (editor_ != nullptr) editor_->Destroy();  // ends the edit while this object is whole
  if (IsWindow()) {
    // The object goes before its window: the records go with the object.
    for (int row = 0, count = GetItemCount(); row < count; ++row) {
      delete RecordOf(GetItemData(row));
      SetItemData(row, 0);
    }
  }
  if (background_ != nullptr) ::DeleteObject(background_);
}

void EListCtrl::PreSubclassWindow() {
  if (header_.GetSafeHwnd() == nullptr) header_.SubclassWindow(GetHeaderHwnd());
}

bool EListCtrl::PreTranslateMessage(MSG* message) {
  return CListCtrl::PreTranslateMessage(message);
}

void EListCtrl::SetItemText(int row, int column, const char* text) {
  HWND window = GetSafeHwnd();
  if (window == nullptr) return;
  if (::GetWindowThreadProcessId(window, nullptr) != ::GetCurrentThreadId()) {
    SetItemTextCall call = {row, column, text};
    ::SendMessageA(window, kSetItemTextMessage, 0, reinterpret_cast<LPARAM>(&call));
    return;
  }
  SetItemTextHere(row, column, text);
}

void EListCtrl::SetItemTextHere(int row, int column, const char* text) {
  if (text == nullptr) text = "";
  EListItemData* record = GetItemRecord(row, true);
  if (record != nullptr) record->SetCell(column, text);
  SetCellText(row, column, text);
}

EListItemData* EListCtrl::GetItemRecord(int row, bool create) {
  EListItemData* record = RecordOf(GetItemData(row));
  if (record != nullptr || !create) return record;
  if (row < 0 || row >= GetItemCount()) return nullptr;
  record = new EListItemData(SystemColourSet());
  if (!SetItemData(row, reinterpret_cast<LPARAM>(record))) {
    delete record;
    return nullptr;
  }
  return record;
}

void EListCtrl::SetAddressColumn(int column, bool address) {
  if (column >= 0 && column < kAddressColumnLimit) addressColumns_[column] = address ? 1 : 0;
}

void EListCtrl::SetEditableColumn(int column, bool editable) {
  if (column < 0) return;
  if (static_cast<size_t>(column) >= editableColumns_.size()) {
    editableColumns_.resize(static_cast<size_t>(column) + 1, 0);
  }
  editableColumns_[static_cast<size_t>(column)] = editable ? 1 : 0;
}

void EListCtrl::SetBackgroundBitmap(HBITMAP bitmap) {
  if (background_ != nullptr && background_ != bitmap) ::DeleteObject(background_);
  background_ = bitmap;
  backgroundWidth_ = backgroundHeight_ = 0;
  BITMAP info;
  if (bitmap != nullptr && ::GetObjectA(bitmap, sizeof(info), &info) != 0) {
    backgroundWidth_ = info.bmWidth;
    backgroundHeight_ = info.bmHeight;
  }
  if (IsWindow()) Invalidate(true);
}

// ---- sorting

int CALLBACK EListCtrl::CompareRows(LPARAM first, LPARAM second, LPARAM list) {
  static const CCountedString kEmpty;
  const EListCtrl* self = reinterpret_cast<const EListCtrl*>(list);
  const EListItemData* a = RecordOf(first);
  const EListItemData* b = RecordOf(second);
  const int column = self->sortColumn_;
  return CompareCellTexts(self->sortKind_, a != nullptr ? a->Cell(column) : kEmpty,
                          b != nullptr ? b->Cell(column) : kEmpty, self->ascending_ != 0);
}

void EListCtrl::SortByColumn(int column, bool ascending, int kind) {
  sortColumn_ = column;
  ascending_ = ascending ? 1 : 0;
  sortKind_ = kind;
  sorting_ = 1;
  SortItems(&EListCtrl::CompareRows, reinterpret_cast<LPARAM>(this));
  sorting_ = 0;
}

bool EListCtrl::IsNumericColumn(int column) const {
  for (int row = 0, count = GetItemCount(); row < count; ++row) {
    if (!IsIntegerText(GetItemText(row, column))) return false;
  }
  return true;
}

void EListCtrl::OnColumnClick(const NMLISTVIEW* info) {
  if (sorting_ != 0 || sortLock_ != 0) return;
  const int column = info->iSubItem;
  const int kind =
      ChooseSortKeyKind(column, addressColumns_, [&] { return IsNumericColumn(column); });
  SortByColumn(column, NextSortAscending(column, sortColumn_, ascending_ != 0), kind);
  HWND parent = GetParentHwnd();
  if (parent != nullptr) {
    ::SendMessageA(parent, WM_ELISTCTRL_SORT, reinterpret_cast<WPARAM>(this), 0);
  }
}

// ---- selection and copying

void EListCtrl::SelectAll(bool select) {
  for (int row = 0; row < GetItemCount(); ++row) {
    SetItemState(row, select ? LVIS_SELECTED : 0, LVIS_SELECTED);
  }
}

void EListCtrl::OnKeyDown(const NMLVKEYDOWN* info) {
  if ((::GetAsyncKeyState(VK_CONTROL) & 0x8000) == 0) return;
  if (info->wVKey == 'A') {
    SelectAll(true);
  } else if (info->wVKey == 'C') {
    OnCopy();
  }
}

void EListCtrl::OnCopy() {
  if (NotifyAncestors(kEListCopyRequest) != 0) return;
  CopyToClipboard();
}

LRESULT EListCtrl::NotifyAncestors(UINT code) {
  NMHDR record = {};
  record.hwndFrom = GetSafeHwnd();
  record.idFrom = static_cast<UINT_PTR>(GetControlId());
  record.code = code;
  HWND ancestor = GetParentHwnd();
  for (int depth = 0; ancestor != nullptr && depth < kMaxAncestors; ++depth) {
    const LRESULT reply = ::SendMessageA(ancestor, WM_ELISTCTRL_NOTIFY, record.idFrom,
                                         reinterpret_cast<LPARAM>(&record));
    if (reply != 0) return reply;
    ancestor = ::GetParent(ancestor);
  }
  return 0;
}

namespace {

// Movable global memory holding a copy of `size` bytes (the clipboard takes it); null on
// failure.
HGLOBAL GlobalCopy(const void* bytes, size_t size) {
  HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, size);
  if (memory == nullptr) return nullptr;
  void* target = ::GlobalLock(memory);
  if (target == nullptr) {
    ::GlobalFree(memory);
    return nullptr;
  }
  std::memcpy(target, bytes, size);
  ::GlobalUnlock(memory);
  return memory;
}

}  // namespace

void EListCtrl::CopyToClipboard() {
  const int columns = GetColumnCount();
  if (columns <= 0) return;
  CCountedString text;
  std::vector<CCountedString> cells(static_cast<size_t>(columns));
  for (int row = GetNextItem(-1, LVNI_SELECTED); row != -1; row = GetNextItem(row, LVNI_SELECTED)) {
    for (int column = 0; column < columns; ++column) {
      cells[static_cast<size_t>(column)] = GetItemText(row, column);
    }
    AppendCopyRow(text, cells.data(), columns);
  }
  if (text.IsEmpty()) return;
  // The text in the ANSI code page and in UTF-16: a program whose input locale is not
  // Japanese reads the UTF-16 one and shows the Japanese ungarbled.
  const int wideLength = ::MultiByteToWideChar(CP_ACP, 0, text.CStr(),
                                               static_cast<int>(text.Length()) + 1, nullptr, 0);
  std::vector<wchar_t> wide(static_cast<size_t>(wideLength > 0 ? wideLength : 0));
  if (wideLength > 0) {
    ::MultiByteToWideChar(CP_ACP, 0, text.CStr(), static_cast<int>(text.Length()) + 1,
                          wide.data(), wideLength);
  }
  HGLOBAL ansi = GlobalCopy(text.CStr(), text.Length() + 1);
  HGLOBAL unicode = wide.empty() ? nullptr : GlobalCopy(wide.data(), wide.size() * sizeof(wchar_t));
  if (ansi == nullptr || !::OpenClipboard(GetSafeHwnd())) {
    if (ansi != nullptr) ::GlobalFree(ansi);
    if (unicode != nullptr) ::GlobalFree(unicode);
    return;
  }
  ::EmptyClipboard();
  if (::SetClipboardData(CF_TEXT, ansi) == nullptr) ::GlobalFree(ansi);
  if (unicode != nullptr && ::SetClipboardData(CF_UNICODETEXT, unicode) == nullptr) {
    ::GlobalFree(unicode);
  }
  ::CloseClipboard();
}

// ---- rows and their records

void EListCtrl::OnInsertItem(const NMLISTVIEW* info) {
  EListItemData* record = GetItemRecord(info->iItem, true);
  if (record == nullptr) return;
  record->SetCell(info->iSubItem, GetItemText(info->iItem, info->iSubItem));
  const EColourSet& d = defaultColours_;
  record->SetItemColours(d.text, d.background, d.selectedText, d.selectedBackground, d.disabledText,
                         d.disabledBackground, d.focusedText, d.focusedBackground);
}

void EListCtrl::OnDeleteItem(const NMLISTVIEW* info) {
  EListItemData* record = RecordOf(info->lParam);
  if (record == nullptr) record = RecordOf(GetItemData(info->iItem));
  if (record == nullptr) return;
  SetItemData(info->iItem, 0);
  delete record;
}

void EListCtrl::OnClick() {
  LVHITTESTINFO hit = {};
  const DWORD position = ::GetMessagePos();
  hit.pt.x = static_cast<short>(LOWORD(position));
  hit.pt.y = static_cast<short>(HIWORD(position));
  ::ScreenToClient(GetSafeHwnd(), &hit.pt);
  SubItemHitTest(&hit);
  clickedColumn_ = (hit.iItem != -1 && (hit.flags & LVHT_ONITEMLABEL) != 0) ? hit.iSubItem : -1;
}

bool EListCtrl::OnReflectedNotify(NMHDR* header, LRESULT* result) {
  *result = 0;
  switch (header->code) {
    case LVN_COLUMNCLICK:
      OnColumnClick(reinterpret_cast<NMLISTVIEW*>(header));
      return true;
    case LVN_KEYDOWN:
      OnKeyDown(reinterpret_cast<NMLVKEYDOWN*>(header));
      return true;
    case LVN_INSERTITEM:
      OnInsertItem(reinterpret_cast<NMLISTVIEW*>(header));
      return true;
    case LVN_DELETEITEM:
      OnDeleteItem(reinterpret_cast<NMLISTVIEW*>(header));
      return true;
    case NM_CLICK:
      OnClick();
      return true;
    case LVN_BEGINLABELEDITA:
      OnBeginLabelEdit(reinterpret_cast<NMLVDISPINFOA*>(header));
      *result = 1;  // the list view's own editor never opens
      return true;
    default:
      return false;
  }
}

bool EListCtrl::OnNotify(NMHDR* header, LRESULT*) {
  if ((header->code == HDN_ITEMCHANGINGA || header->code == HDN_ITEMCHANGINGW) &&
      background_ != nullptr) {
    // The tiles right of the cursor move with the column edge: redraw them.
    POINT cursor;
    ::GetCursorPos(&cursor);
    ::ScreenToClient(GetSafeHwnd(), &cursor);
    RECT strip = GetClientRect();
    strip.left = cursor.x - 3;
    ::InvalidateRect(GetSafeHwnd(), &strip, TRUE);
  }
  return false;  // the list view's own handling follows
}

bool EListCtrl::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  if (message == kSetItemTextMessage) {
    const SetItemTextCall* call = reinterpret_cast<const SetItemTextCall*>(lParam);
    if (call != nullptr) SetItemTextHere(call->row, call->column, call->text);
    *result = 0;
    return true;
  }
  switch (message) {
    case WM_DESTROY:
      DeleteAllItems();
      return false;
    case WM_ERASEBKGND:
      if (!OnEraseBackground(reinterpret_cast<HDC>(wParam))) return false;
      *result = 1;
      return true;
    default:
      return false;
  }
}

}  // namespace kestova
