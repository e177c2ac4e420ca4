#include "ui/test_support/window_fixtures.h"

#include <cstring>

#include "ui/application.h"
#include "ui/test_support/test_resource.h"

namespace kestova {
namespace testing {

void Pump(int milliseconds) {
  const DWORD start = ::GetTickCount();
  do {
    MSG message;
    while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) RouteMessage(&message);
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  } while (::GetTickCount() - start < static_cast<DWORD>(milliseconds));
}

void InjectControlKey(bool down) {
  INPUT input = {};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = VK_CONTROL;
  input.ki.dwFlags = down ? 0 : KEYEVENTF_KEYUP;
  ::SendInput(1, &input, sizeof(input));
  const DWORD start = ::GetTickCount();
  do {
    Pump(20);
  } while (((::GetAsyncKeyState(VK_CONTROL) & 0x8000) != 0) != down &&
           ::GetTickCount() - start < 2000);
}

CListHostDialog::CListHostDialog() : CDialog(IDD_TEST_LIST_HOST) {}

void CListHostDialog::DoDataExchange() { BindControl(IDC_TEST_LIST, list); }

bool CListHostDialog::OnNotify(NMHDR* header, LRESULT* result) {
  if (header->code != LVN_ENDLABELEDITA) return false;
  const NMLVDISPINFOA* info = reinterpret_cast<const NMLVDISPINFOA*>(header);
  endEditTexts.push_back(info->item.pszText != nullptr ? info->item.pszText : "<null>");
  *result = endEditReply;
  return true;
}

bool CListHostDialog::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  if (message == WM_ELISTCTRL_SORT && wParam == reinterpret_cast<WPARAM>(&list)) {
    ++sortMessages;
    *result = 0;
    return true;
  }
  if (onMessage && onMessage(message, wParam)) {
    *result = 0;
    return true;
  }
  return CDialog::OnMessage(message, wParam, lParam, result);
}

void FillList(EListCtrl& list, int columns, const std::vector<std::vector<const char*>>& rows) {
  for (int column = 0; column < columns; ++column) {
    list.InsertColumn(column, CCountedString::Format("c%d", column).CStr(), LVCFMT_LEFT, 80);
  }
  for (const auto& cells : rows) {
    const int row = list.InsertItem(list.GetItemCount(), "");
    for (size_t column = 0; column < cells.size(); ++column) {
      list.SetItemText(row, static_cast<int>(column), cells[column]);
    }
  }
}

std::vector<CCountedString> ColumnTexts(const EListCtrl& list, int column) {
  std::vector<CCountedString> texts;
  for (int row = 0; row < list.GetItemCount(); ++row)
    texts.push_back(list.GetItemText(row, column));
  return texts;
}

CCountedString ClipboardText() {
  CCountedString text("<none>");
  if (!::OpenClipboard(nullptr)) return "<clipboard busy>";
  HANDLE data = ::GetClipboardData(CF_TEXT);
  if (data != nullptr) {
    const char* bytes = static_cast<const char*>(::GlobalLock(data));
    if (bytes != nullptr) text = bytes;
    ::GlobalUnlock(data);
  }
  ::CloseClipboard();
  return text;
}

void SetClipboardText(const char* text) {
  const size_t size = std::strlen(text) + 1;
  HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE, size);
  std::memcpy(::GlobalLock(memory), text, size);
  ::GlobalUnlock(memory);
  if (!::OpenClipboard(nullptr)) {
    ::GlobalFree(memory);
    return;
  }
  ::EmptyClipboard();
  ::SetClipboardData(CF_TEXT, memory);
  ::CloseClipboard();
}

}  // namespace testing
}  // namespace kestova
