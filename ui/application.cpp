// CApplication and the framework's message loop.
#include "ui/application.h"

namespace kestova {
namespace {

CApplication* g_current = nullptr;
HINSTANCE g_resourceInstance = nullptr;

}  // namespace

CApplication::CApplication() { g_current = this; }

CApplication::~CApplication() {
  if (g_current == this) g_current = nullptr;
}

CApplication* CApplication::Current() { return g_current; }

int CApplication::Run(HINSTANCE instance) {
  SetResourceInstance(instance);
  if (InitInstance()) {
    MSG message;
    BOOL got;
    while ((got = ::GetMessageA(&message, nullptr, 0, 0)) != 0 && got != -1) {
      RouteMessage(&message);
    }
    if (got == 0) exitCode_ = static_cast<int>(message.wParam);
  }
  return ExitInstance();
}

HINSTANCE ResourceInstance() {
  return g_resourceInstance != nullptr ? g_resourceInstance : ::GetModuleHandleA(nullptr);
}

void SetResourceInstance(HINSTANCE instance) { g_resourceInstance = instance; }

bool PreTranslateThroughAncestors(MSG* message) {
  for (HWND window = message->hwnd; window != nullptr;) {
    CWnd* object = CWnd::FromHandle(window);
    if (object != nullptr && object->PreTranslateMessage(message)) return true;
    if ((::GetWindowLongPtrA(window, GWL_STYLE) & WS_CHILD) == 0) break;
    window = ::GetParent(window);
  }
  return false;
}

void RouteMessage(MSG* message) {
  if (PreTranslateThroughAncestors(message)) return;
  if (message->hwnd != nullptr) {
    HWND top = ::GetAncestor(message->hwnd, GA_ROOT);
    if (top != nullptr && CWnd::FromHandle(top) != nullptr && ::IsDialogMessageA(top, message)) {
      return;
    }
  }
  ::TranslateMessage(message);
  ::DispatchMessageA(message);
}

}  // namespace kestova
