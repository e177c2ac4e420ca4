// EListEdit: the in-place cell editor of EListCtrl (used only for columns marked
// editable). A child edit window over the cell's label; Tab or Enter ends the edit, Esc
// puts the previous text back and ends it, losing the focus ends it. When its window is
// destroyed the list sends WM_NOTIFY/LVN_ENDLABELEDITA with the final text to its parent
// (a reply of 0 stores the text in the cell) and releases the editor object.
#pragma once

#include "ui/simple_controls.h"

namespace kestova {

class EListCtrl;

class EListEdit : public CEdit {
 public:
  EListEdit(EListCtrl& list, int row, int column);

  // Creates the editor window over the cell and gives it the focus; false on failure
  // (the object is then not the list's editor and belongs to the caller).
  bool Open();

  int Row() const { return row_; }
  int Column() const { return column_; }
  const CCountedString& PreviousText() const { return previousText_; }

  bool PreTranslateMessage(MSG* message) override;

 protected:
  bool OnReflectedCommand(WORD code, LRESULT* result) override;
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
  void OnFinalMessage() override;

 private:
  EListCtrl& list_;
  int row_;
  int column_;
  CCountedString previousText_;
};

}  // namespace kestova
