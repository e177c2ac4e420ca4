#include <cstring>
#include <vector>

#include "app/window_helpers.h"
#include "ui/application.h"

namespace kestova {

// String tables are stored in blocks of 16 entries (block id/16 + 1), each entry a UTF-16
// length followed by that many characters. Read directly, so that no buffer size cuts a
// long entry and no behaviour of LoadStringW that older systems lack is needed.
CCountedString LoadResString(unsigned id) {
  const HINSTANCE module = ResourceInstance();
  HRSRC block = FindResourceA(module, MAKEINTRESOURCEA(id / 16 + 1), MAKEINTRESOURCEA(6));
  if (block == nullptr) return CCountedString();
  HGLOBAL loaded = LoadResource(module, block);
  const WCHAR* entry = loaded ? static_cast<const WCHAR*>(LockResource(loaded)) : nullptr;
  if (entry == nullptr) return CCountedString();
  const WCHAR* end = entry + SizeofResource(module, block) / sizeof(WCHAR);
  for (unsigned skip = id % 16; skip > 0 && entry < end; --skip) entry += 1 + *entry;
  if (entry >= end || *entry == 0 || entry + 1 + *entry > end) return CCountedString();
  const int length = *entry;
  const int bytes = WideCharToMultiByte(CP_ACP, 0, entry + 1, length, nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) return CCountedString();
  std::vector<char> text(static_cast<size_t>(bytes) + 1, '\0');
  WideCharToMultiByte(CP_ACP, 0, entry + 1, length, text.data(), bytes, nullptr, nullptr);
  return CCountedString(text.data());
}

CCountedString MessageText(unsigned textId, const SystemError& reason) {
  CCountedString text = LoadResString(textId);
  if (!reason.IsSet() || reason.text.IsEmpty()) return text;
  text.Append("\r\n\r\n");
  text.Append(reason.text.CStr());
  return text;
}

int ShowMessage(HWND owner, unsigned captionId, unsigned textId, unsigned flags,
                const SystemError& reason) {
  const CCountedString caption = LoadResString(captionId);
  const CCountedString text = MessageText(textId, reason);
  return MessageBoxA(owner, text.CStr(), caption.CStr(), flags);
}

int ShowMessage(HWND owner, unsigned captionId, unsigned textId, unsigned flags) {
  const CCountedString caption = LoadResString(captionId);
  const CCountedString text = LoadResString(textId);
  return MessageBoxA(owner, text.CStr(), caption.CStr(), flags);
}

}  // namespace kestova
