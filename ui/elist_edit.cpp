// In-place cell editing: EListEdit, and the list's side of it (opening an editor on
// LVN_BEGINLABELEDITA, the end-of-edit notification, releasing the editor).
#include "ui/elist_edit.h"

#include "ui/application.h"
#include "ui/elist_ctrl.h"

namespace kestova {

EListEdit::EListEdit(EListCtrl& list, int row, int column)
    : list_(list), row_(row), column_(column) {}

bool EListEdit::Open() {
  previousText_ = list_.GetItemText(row_, column_);
  RECT cell = {0, 0, 0, 0};
  if (!list_.GetSubItemRect(row_, column_, LVIR_LABEL, &cell)) return false;
  HWND window = ::CreateWindowExA(0, "EDIT", "", WS_CHILD | WS_VISIBLE | WS_BORDER, cell.left,
                                  cell.top, cell.right - cell.left, cell.bottom - cell.top,
                                  list_.GetSafeHwnd(), nullptr, ResourceInstance(), nullptr);
  if (window == nullptr) return false;
  if (!SubclassWindow(window)) {
    ::DestroyWindow(window);
    return false;
  }
  SetFont(list_.GetFont());
  Focus();
  SetText(previousText_.CStr());
  SetSel(0, -1);
  ScrollCaret();
  return true;
}

bool EListEdit::PreTranslateMessage(MSG* message) {
  if (message->message != WM_KEYDOWN) return false;
  switch (message->wParam) {
    case VK_ESCAPE:
      SetText(previousText_.CStr());
      Destroy();  // the object is gone after this
      return true;
    case VK_TAB:
    case VK_RETURN:
      Destroy();
      return true;
    default:
      return false;
  }
}

bool EListEdit::OnReflectedCommand(WORD code, LRESULT* result) {
  if (code != EN_KILLFOCUS) return false;
  *result = 0;
  Destroy();
  return true;
}

bool EListEdit::OnMessage(UINT message, WPARAM, LPARAM, LRESULT*) {
  if (message == WM_DESTROY) list_.EndEdit(this, GetText().CStr());
  return false;
}

void EListEdit::OnFinalMessage() { list_.ReleaseEditor(this); }

void EListCtrl::OnBeginLabelEdit(const NMLVDISPINFOA* info) {
  const int column = clickedColumn_;
  if (column < 0 || static_cast<size_t>(column) >= editableColumns_.size() ||
      editableColumns_[static_cast<size_t>(column)] == 0) {
    return;
  }
  if (editor_ != nullptr) editor_->Destroy();  // one editor at a time
  EListEdit* editor = new EListEdit(*this, info->item.iItem, column);
  editor_ = editor;
  if (!editor->Open()) {
    editor_ = nullptr;
    delete editor;
  }
}

void EListCtrl::EndEdit(EListEdit* editor, const char* text) {
  NMLVDISPINFOA record = {};
  record.hdr.hwndFrom = GetSafeHwnd();
  record.hdr.idFrom = static_cast<UINT_PTR>(GetControlId());
  record.hdr.code = LVN_ENDLABELEDITA;
  record.item.mask = LVIF_TEXT;
  record.item.iItem = editor->Row();
  record.item.iSubItem = editor->Column();
  record.item.pszText = const_cast<char*>(text);
  HWND parent = GetParentHwnd();
  const LRESULT reply = parent != nullptr ? ::SendMessageA(parent, WM_NOTIFY, record.hdr.idFrom,
                                                           reinterpret_cast<LPARAM>(&record))
                                          : 0;
  if (reply == 0) SetItemTextHere(editor->Row(), editor->Column(), text);
}

void EListCtrl::ReleaseEditor(EListEdit* editor) {
  if (editor_ == editor) editor_ = nullptr;
  delete editor;
}

}  // namespace kestova
