// win_probe: looks into the windows of a running KESTOV-A.exe from outside, for the
// end-to-end tests under Wine. Texts are printed in UTF-8, one result per line.
//
//   win_probe rows CAPTION            every row of the receive list (control 1040), cells
//                                     separated by TAB, read with LVM_GETITEMTEXTA through
//                                     memory allocated in the program's process
//   win_probe text CAPTION            the texts of a message box with that caption: the
//                                     caption, then the text (static control 0xFFFF)
//   win_probe press CAPTION ID        sends the button command ID (1 = OK) to that window
//   win_probe rects CAPTION           window rectangles in screen pixels, one per line:
//                                     "name left top right bottom" for window, client
//                                     (client size only: 0 0 width height), tab, page,
//                                     edit, button, list
//   win_probe resize CAPTION DX DY    changes the window's size by DX, DY (SetWindowPos)
//   win_probe show CAPTION COMMAND    ShowWindow with the command (6 minimise, 9 restore)
//   win_probe click CAPTION ID        clicks the control ID inside that window (BM_CLICK)
//   win_probe owned CAPTION [ID]      the visible window that window owns (a folder
//                                     browser, say): its caption, "contexthelp 0" or
//                                     "contexthelp 1" (WS_EX_CONTEXTHELP), then the text of
//                                     each of its static controls; with ID, sends it the
//                                     button command ID instead (2 = Cancel)
//   win_probe send CAPTION MSG WPARAM sends message MSG (decimal) with WPARAM, lParam 0, and
//                                     waits for it to be handled (WM_ENDSESSION = 22)
//
// A CAPTION ending in '*' names the first top-level window whose caption starts with the
// rest (the main window's caption ends with the method that answers names).
// Exit status 0 on success, 1 when the window or control is missing, 2 on bad usage.
#include <windows.h>
// After <windows.h>, whose types they use.
#include <commctrl.h>
#include <shellapi.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int kListId = 1040;
constexpr int kTabId = 1039;
constexpr int kEditId = 1042;
constexpr int kButtonId = 1043;
constexpr int kMessageTextId = 0xFFFF;
constexpr int kCellCapacity = 1024;

std::string Utf8(const std::wstring& text) {
  const int length =
      WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string result(length > 0 ? length : 1, '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, &result[0], length, nullptr, nullptr);
  result.resize(strlen(result.c_str()));
  return result;
}

// Bytes in code page 932, as the program keeps them, to UTF-8.
std::string Utf8FromShiftJis(const char* bytes) {
  const int length = MultiByteToWideChar(932, 0, bytes, -1, nullptr, 0);
  std::wstring wide(length > 0 ? length : 1, L'\0');
  MultiByteToWideChar(932, 0, bytes, -1, &wide[0], length);
  wide.resize(wcslen(wide.c_str()));
  return Utf8(wide);
}

// Writes bytes unchanged (no text-mode translation of the C runtime).
void Print(const std::string& line) {
  const std::string bytes = line + "\n";
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), bytes.data(), static_cast<DWORD>(bytes.size()),
            &written, nullptr);
}

// Named CALLBACK procedures, not lambdas: on i686 a lambda does not convert to the
// __stdcall procedure EnumWindows and EnumChildWindows take.
struct CaptionSearch {
  std::wstring prefix;
  HWND found;
};

BOOL CALLBACK TakeCaptionPrefix(HWND window, LPARAM data) {
  CaptionSearch* s = reinterpret_cast<CaptionSearch*>(data);
  wchar_t text[256] = {};
  GetWindowTextW(window, text, 256);
  if (std::wstring(text).compare(0, s->prefix.size(), s->prefix) != 0) return TRUE;
  s->found = window;
  return FALSE;
}

// The top-level window captioned `caption`; a caption ending in '*' is a prefix.
HWND FindTopLevel(const wchar_t* caption) {
  const std::wstring text = caption;
  if (text.empty() || text.back() != L'*') return FindWindowW(nullptr, caption);
  CaptionSearch search = {text.substr(0, text.size() - 1), nullptr};
  EnumWindows(TakeCaptionPrefix, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

struct IdSearch {
  int id;
  HWND found;
};

BOOL CALLBACK TakeControlId(HWND window, LPARAM data) {
  IdSearch* s = reinterpret_cast<IdSearch*>(data);
  if (GetDlgCtrlID(window) != s->id) return TRUE;
  s->found = window;
  return FALSE;
}

// The first descendant of `parent` with control id `id`.
HWND FindDescendant(HWND parent, int id) {
  IdSearch search = {id, nullptr};
  EnumChildWindows(parent, TakeControlId, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// Memory in another process, freed on destruction.
class CRemoteMemory {
 public:
  CRemoteMemory(HWND window, size_t size) : size_(size) {
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    process_ =
        OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId);
    if (process_ != nullptr) {
      address_ = VirtualAllocEx(process_, nullptr, size, MEM_COMMIT, PAGE_READWRITE);
    }
  }
  ~CRemoteMemory() {
    if (address_ != nullptr) VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
    if (process_ != nullptr) CloseHandle(process_);
  }
  CRemoteMemory(const CRemoteMemory&) = delete;
  CRemoteMemory& operator=(const CRemoteMemory&) = delete;

  bool IsValid() const { return address_ != nullptr; }
  char* Address() const { return static_cast<char*>(address_); }
  bool Write(size_t offset, const void* bytes, size_t length) const {
    SIZE_T done = 0;
    return WriteProcessMemory(process_, Address() + offset, bytes, length, &done) && done == length;
  }
  bool Read(size_t offset, void* bytes, size_t length) const {
    SIZE_T done = 0;
    return ReadProcessMemory(process_, Address() + offset, bytes, length, &done) && done == length;
  }

 private:
  HANDLE process_ = nullptr;
  void* address_ = nullptr;
  size_t size_;
};

int PrintRows(HWND dialog) {
  HWND list = FindDescendant(dialog, kListId);
  if (list == nullptr) return 1;
  HWND header = reinterpret_cast<HWND>(SendMessageA(list, LVM_GETHEADER, 0, 0));
  const int columns = static_cast<int>(SendMessageA(header, HDM_GETITEMCOUNT, 0, 0));
  const int rows = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
  CRemoteMemory memory(list, sizeof(LVITEMA) + kCellCapacity);
  if (!memory.IsValid()) return 1;
  for (int row = 0; row < rows; ++row) {
    std::string line;
    for (int column = 0; column < columns; ++column) {
      LVITEMA item = {};
      item.iSubItem = column;
      item.pszText = memory.Address() + sizeof(LVITEMA);
      item.cchTextMax = kCellCapacity;
      const char empty = '\0';
      if (!memory.Write(0, &item, sizeof(item)) || !memory.Write(sizeof(item), &empty, 1)) return 1;
      SendMessageA(list, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(memory.Address()));
      std::vector<char> cell(kCellCapacity + 1, '\0');
      if (!memory.Read(sizeof(item), cell.data(), kCellCapacity)) return 1;
      if (column > 0) line += '\t';
      line += Utf8FromShiftJis(cell.data());
    }
    Print(line);
  }
  return 0;
}

std::wstring WindowText(HWND window) {
  wchar_t text[2048] = {};
  SendMessageW(window, WM_GETTEXT, 2048, reinterpret_cast<LPARAM>(text));
  return text;
}

void PrintRect(const char* name, HWND window) {
  RECT rect = {};
  GetWindowRect(window, &rect);
  char line[160];
  std::snprintf(line, sizeof(line), "%s %ld %ld %ld %ld", name, rect.left, rect.top, rect.right,
                rect.bottom);
  Print(line);
}

// The texts of the static controls anywhere inside `window`.
BOOL CALLBACK PrintStaticText(HWND child, LPARAM) {
  wchar_t className[64] = {};
  GetClassNameW(child, className, 64);
  if (lstrcmpiW(className, L"Static") == 0) {
    const std::wstring text = WindowText(child);
    if (!text.empty()) Print(Utf8(text));
  }
  return TRUE;
}

struct OwnedSearch {
  HWND owner;
  HWND found;
};

BOOL CALLBACK TakeOwned(HWND window, LPARAM data) {
  OwnedSearch* s = reinterpret_cast<OwnedSearch*>(data);
  if (GetWindow(window, GW_OWNER) != s->owner || !IsWindowVisible(window)) return TRUE;
  s->found = window;
  return FALSE;
}

int PrintOwned(HWND owner, int command) {
  OwnedSearch search = {owner, nullptr};
  EnumWindows(TakeOwned, reinterpret_cast<LPARAM>(&search));
  if (search.found == nullptr) return 1;
  if (command != 0) {
    PostMessageA(search.found, WM_COMMAND, MAKEWPARAM(command, BN_CLICKED), 0);
    return 0;
  }
  Print(Utf8(WindowText(search.found)));
  const LONG_PTR exStyle = GetWindowLongPtrW(search.found, GWL_EXSTYLE);
  Print((exStyle & WS_EX_CONTEXTHELP) != 0 ? "contexthelp 1" : "contexthelp 0");
  EnumChildWindows(search.found, PrintStaticText, 0);
  return 0;
}

int PrintRects(HWND dialog) {
  HWND tab = FindDescendant(dialog, kTabId);
  HWND list = FindDescendant(dialog, kListId);
  HWND page = list != nullptr ? GetParent(list) : nullptr;
  HWND edit = FindDescendant(dialog, kEditId);
  HWND button = FindDescendant(dialog, kButtonId);
  if (tab == nullptr || page == nullptr || edit == nullptr || button == nullptr) return 1;
  PrintRect("window", dialog);
  RECT client = {};
  GetClientRect(dialog, &client);
  char line[160];
  std::snprintf(line, sizeof(line), "client 0 0 %ld %ld", client.right, client.bottom);
  Print(line);
  PrintRect("tab", tab);
  PrintRect("page", page);
  PrintRect("edit", edit);
  PrintRect("button", button);
  PrintRect("list", list);
  return 0;
}

}  // namespace

int main() {
  // The arguments in UTF-16: the captions are Japanese, whatever the ANSI code page.
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (argv == nullptr || argc < 3) return 2;
  const std::wstring command = argv[1];
  HWND window = FindTopLevel(argv[2]);
  if (window == nullptr) return 1;
  if (command == L"rows") return PrintRows(window);
  if (command == L"rects") return PrintRects(window);
  if (command == L"text") {
    HWND text = GetDlgItem(window, kMessageTextId);
    if (text == nullptr) return 1;
    Print(Utf8(WindowText(window)));
    Print(Utf8(WindowText(text)));
    return 0;
  }
  if (command == L"press" && argc == 4) {
    PostMessageA(window, WM_COMMAND, MAKEWPARAM(_wtoi(argv[3]), BN_CLICKED), 0);
    return 0;
  }
  if (command == L"resize" && argc == 5) {
    RECT rect = {};
    GetWindowRect(window, &rect);
    const int width = rect.right - rect.left + _wtoi(argv[3]);
    const int height = rect.bottom - rect.top + _wtoi(argv[4]);
    return SetWindowPos(window, nullptr, 0, 0, width, height,
                        SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE)
               ? 0
               : 1;
  }
  if (command == L"owned") return PrintOwned(window, argc == 4 ? _wtoi(argv[3]) : 0);
  if (command == L"click" && argc == 4) {
    HWND control = FindDescendant(window, _wtoi(argv[3]));
    if (control == nullptr) return 1;
    PostMessageA(control, BM_CLICK, 0, 0);
    return 0;
  }
  if (command == L"send" && argc == 5) {  // a message and its wParam, as the system sends it
    DWORD_PTR answer = 0;
    SendMessageTimeoutW(window, static_cast<UINT>(_wtoi(argv[3])), _wtoi(argv[4]), 0,
                        SMTO_NORMAL, 30000, &answer);
    return 0;
  }
  if (command == L"show" && argc == 4) {
    ShowWindow(window, _wtoi(argv[3]));
    return 0;
  }
  return 2;
}
