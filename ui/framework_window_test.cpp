// The window framework itself: modal loop, pre-translation, exceptions in handlers, the
// application object (wine64, with a display).
#include <gtest/gtest.h>

#include <stdexcept>

#include "ui/application.h"
#include "ui/test_support/test_resource.h"
#include "ui/test_support/window_fixtures.h"

namespace kestova {
namespace {

const UINT kThrowMessage = ::RegisterWindowMessageA("KESTOVA_TEST_THROW");

// A modal dialog that ends itself from a timer, after checking that its key handling
// runs inside the modal loop.
class CTimedDialog : public CDialog {
 public:
  CTimedDialog() : CDialog(IDD_TEST_LIST_HOST) {}
  int preTranslatedKeys = 0;
  int destroyed = 0;
  int finalMessages = 0;
  bool PreTranslateMessage(MSG* message) override {
    if (message->message == WM_KEYDOWN && message->wParam == 'Q') {
      ++preTranslatedKeys;
      return true;
    }
    return false;
  }

 protected:
  BOOL OnInitDialog() override {
    CDialog::OnInitDialog();
    Post(WM_KEYDOWN, 'Q', 0);
    ::SetTimer(GetSafeHwnd(), 1, 50, nullptr);
    return TRUE;
  }
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override {
    if (message == kThrowMessage) throw std::runtime_error("handler failure");
    if (message == WM_TIMER) {
      ::KillTimer(GetSafeHwnd(), 1);
      // A handler that throws leaves the window working.
      Send(kThrowMessage);
      Post(WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
      return true;
    }
    if (message == WM_DESTROY) ++destroyed;
    return CDialog::OnMessage(message, wParam, lParam, result);
  }
  void OnFinalMessage() override { ++finalMessages; }
};

TEST(FrameworkWindowTest, AModalDialogRunsItsLoopUntilEndDialog) {
  CTimedDialog dialog;
  EXPECT_EQ(dialog.DoModal(nullptr), IDOK);
  EXPECT_EQ(dialog.preTranslatedKeys, 1);
  EXPECT_EQ(dialog.destroyed, 1);
  EXPECT_EQ(dialog.finalMessages, 1);
  EXPECT_EQ(dialog.GetSafeHwnd(), nullptr);
  EXPECT_FALSE(dialog.IsModal());
}

TEST(FrameworkWindowTest, AMissingTemplateIsReportedNotShown) {
  CDialog dialog(4321);
  EXPECT_EQ(dialog.DoModal(nullptr), -1);
  EXPECT_FALSE(dialog.Create(nullptr));
}

TEST(FrameworkWindowTest, OneObjectPerWindow) {
  testing::CListHostDialog dialog;
  ASSERT_TRUE(dialog.Create(nullptr));
  EXPECT_EQ(CWnd::FromHandle(dialog.GetSafeHwnd()), &dialog);
  EXPECT_EQ(CWnd::FromHandle(dialog.list.GetSafeHwnd()), &dialog.list);
  EListCtrl second;
  EXPECT_FALSE(second.SubclassWindow(dialog.list.GetSafeHwnd())) << "already has an object";
  EXPECT_EQ(CWnd::FromHandle(::GetDesktopWindow()), nullptr);
  HWND list = dialog.list.GetSafeHwnd();
  EXPECT_EQ(dialog.list.UnsubclassWindow(), list);
  EXPECT_EQ(CWnd::FromHandle(list), nullptr);
  EXPECT_TRUE(second.SubclassWindow(list));
  EXPECT_EQ(CWnd::FromHandle(list), &second);
}

class CQuittingApp : public CApplication {
 protected:
  bool InitInstance() override {
    ::PostQuitMessage(7);
    return true;
  }
};

TEST(FrameworkWindowTest, TheApplicationRunsItsLoopUntilQuit) {
  CQuittingApp app;
  EXPECT_EQ(CApplication::Current(), &app);
  EXPECT_EQ(app.Run(::GetModuleHandleA(nullptr)), 7);
}

}  // namespace
}  // namespace kestova
