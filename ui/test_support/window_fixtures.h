// Helpers of the window tests (run under wine64 with a display).
#pragma once

#include <functional>
#include <vector>

#include "ui/dialog.h"
#include "ui/elist_ctrl.h"

namespace kestova {
namespace testing {

// Dispatches the messages of this thread (through RouteMessage) for about `milliseconds`.
void Pump(int milliseconds);

// The list host dialog (template IDD_TEST_LIST_HOST), created modeless. It records
// what its list tells it.
class CListHostDialog : public CDialog {
 public:
  CListHostDialog();
  EListCtrl list;
  int sortMessages = 0;
  std::vector<CCountedString> endEditTexts;  // texts of LVN_ENDLABELEDITA
  LRESULT endEditReply = 0;
  // Extra message handling of a test: true when it handled the message.
  std::function<bool(UINT message, WPARAM wParam)> onMessage;

 protected:
  void DoDataExchange() override;
  bool OnNotify(NMHDR* header, LRESULT* result) override;
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
};

// Columns named "c0".."c<n-1>", 80 pixels each, and `rows` rows whose cells are given
// row by row through EListCtrl::SetItemText.
void FillList(EListCtrl& list, int columns, const std::vector<std::vector<const char*>>& rows);

// The list's column `column`, top to bottom, as the list view shows it.
std::vector<CCountedString> ColumnTexts(const EListCtrl& list, int column);

// The clipboard's CF_TEXT, or "<none>" when it holds no text.
CCountedString ClipboardText();
void SetClipboardText(const char* text);

// Runs `body` with the Ctrl key held down: injected input, and waited for until
// GetAsyncKeyState reports it (at most 2 s), so the list sees it as the user's key.
void InjectControlKey(bool down);
template <typename Body>
void WithControlKey(Body body) {
  InjectControlKey(true);
  body();
  InjectControlKey(false);
}

}  // namespace testing
}  // namespace kestova
