// The window helpers and start-up rules under wine64 (code page 932): the string table,
// a message's reason, the folder browser's start folder, the message pump, MoveEdges and
// the application name.
#include "app/window_helpers.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "app/main_app.h"
#include "app/resource.h"
#include "ftp/ftp_service.h"
#include "net/event_socket.h"
#include "net/host.h"

namespace kestova {
namespace {

// Shift_JIS bytes of a UTF-8 literal, as the program holds its texts.
std::string ShiftJis(const char* utf8) {
  wchar_t wide[512] = {};
  MultiByteToWideChar(CP_UTF8, 0, utf8, -1, wide, 512);
  char bytes[1024] = {};
  WideCharToMultiByte(932, 0, wide, -1, bytes, sizeof(bytes), nullptr, nullptr);
  return bytes;
}

TEST(WindowHelpersTest, StringTableEntriesAndMissingIds) {
  struct Case {
    unsigned id;
    const char* utf8;
  };
  const Case cases[] = {
      {IDS_VERSION_ERROR_CAPTION, "Windowsバージョンエラー"},
      {IDS_SERVER_ERROR_TEXT,
       "FTPサーバーが起動できませんでした。他のFTPサーバーを終了してください。"},
      {IDS_CAPTURE_DRIVER_MISSING, "KESTOVA.SYSファイルが見つからないため検索できません。"},
      {IDS_PAGE_RECEIVE, "受信"},
      {IDS_COLUMN_RATE, "転送レート(KByte/s)"},
      {IDS_COLUMN_REMAINING, "残り時間(分)"},
      {IDS_BROWSE_TITLE, "保存フォルダを選択してください"},
      {999, ""},    // no entry in a block that has others
      {1009, ""},   // no entry, between entries of one block
      {60000, ""},  // no block at all
  };
  for (const Case& c : cases) {
    EXPECT_EQ(std::string(LoadResString(c.id).CStr()), ShiftJis(c.utf8)) << "string " << c.id;
  }
}

// The listener's failure box: the described text exactly, then a blank line and the
// system's reason of the failure the listener kept (a port another socket holds).
TEST(WindowHelpersTest, TheListenerFailureSaysWhyBelowTheDescribedText) {
  ASSERT_TRUE(StartSocketLibrary());
  CEventSocket holder;
  uint16_t port = 0;
  ASSERT_TRUE(holder.Create(CEventSocket::kStream, 0, 1000, CEventSocket::kExclusiveAddress));
  ASSERT_TRUE(holder.Listen(1));
  ASSERT_TRUE(holder.GetLocalAddress(nullptr, &port));
  CFtpService service;
  service.SetListenPort(port);
  ASSERT_TRUE(service.StartListener());
  ASSERT_TRUE(service.WaitUntilIdle(10000));
  holder.Close();
  ASSERT_EQ(service.GetListenerState(), CFtpService::kFailed);
  const SystemError failure = service.ListenerFailure();
  EXPECT_TRUE(failure.code == WSAEADDRINUSE || failure.code == WSAEACCES) << failure.code;
  ASSERT_FALSE(failure.text.IsEmpty());

  const std::string described =
      ShiftJis("FTPサーバーが起動できませんでした。他のFTPサーバーを終了してください。");
  EXPECT_EQ(std::string(MessageText(IDS_SERVER_ERROR_TEXT, failure).CStr()),
            described + "\r\n\r\n" + failure.text.CStr());
  EXPECT_EQ(std::string(MessageText(IDS_SERVER_ERROR_TEXT, SystemError()).CStr()), described);
}

TEST(WindowHelpersTest, ApplicationNameIsTheFileNameWithoutExtension) {
  const std::pair<std::string, std::string> cases[] = {
      {"C:\\Program Files\\KESTOV-A\\KESTOV-A.exe", "KESTOV-A"},
      {"C:\\a.b\\KESTOV-A", "KESTOV-A"},
      {"KESTOV-A.exe", "KESTOV-A"},
      {"C:\\x\\archive.tar.exe", "archive.tar"},
      // 表 is 0x95 0x5C: its trail byte is no separator.
      {ShiftJis("C:\\表\\表.exe"), ShiftJis("表")},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(std::string(ApplicationName(c.first.c_str()).CStr()), c.second) << c.first;
  }
}

// A scratch folder under the temporary folder, removed again.
class ScratchFolder {
 public:
  ScratchFolder() {
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    path_ = std::string(temp) + "kestova-app-test-" + std::to_string(GetCurrentProcessId());
    CreateDirectoryA(path_.c_str(), nullptr);
  }
  ~ScratchFolder() {
    for (auto it = made_.rbegin(); it != made_.rend(); ++it) RemoveDirectoryA(it->c_str());
    RemoveDirectoryA(path_.c_str());
  }
  std::string Make(const std::string& name) {
    made_.push_back(path_ + "\\" + name);
    CreateDirectoryA(made_.back().c_str(), nullptr);
    return made_.back();
  }
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
  std::vector<std::string> made_;
};

TEST(WindowHelpersTest, BrowserStartsAtTheNearestExistingFolder) {
  ScratchFolder scratch;
  const std::string kanji = scratch.Make(ShiftJis("表"));  // ends in the trail byte 0x5C
  const std::pair<std::string, std::string> cases[] = {
      {scratch.Path(), scratch.Path()},
      {scratch.Path() + "\\gone\\deeper", scratch.Path()},
      {kanji, kanji},
      {kanji + "\\gone", kanji},
      {kanji + ShiftJis("表\\gone"), scratch.Path()},  // 表表 does not exist
      {"kestova-nothing-here\\deeper", ""},
      {"", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(std::string(NearestExistingFolder(c.first.c_str()).CStr()), c.second) << c.first;
  }
}

TEST(WindowHelpersTest, PumpMessagesDispatchesEverythingAndStopsAtQuit) {
  HWND window =
      CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(window, nullptr);
  for (int i = 0; i < 3; ++i) PostMessageA(window, WM_NULL, 0, 0);
  EXPECT_TRUE(PumpMessages());
  MSG message;
  EXPECT_FALSE(PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE));

  PostQuitMessage(7);
  EXPECT_FALSE(PumpMessages());
  EXPECT_FALSE(PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE));
  DestroyWindow(window);
}

TEST(WindowHelpersTest, MoveEdgesMovesEachEdgeByItsDelta) {
  HWND parent = CreateWindowExA(0, "STATIC", "", WS_POPUP, 100, 100, 400, 300, nullptr, nullptr,
                                nullptr, nullptr);
  HWND child =
      CreateWindowExA(0, "STATIC", "", WS_CHILD, 10, 20, 50, 40, parent, nullptr, nullptr, nullptr);
  ASSERT_NE(child, nullptr);
  EXPECT_NE(MoveEdges(parent, child, 5, -3, 100, 50), 0);
  RECT rect;
  GetWindowRect(child, &rect);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
  EXPECT_EQ(rect.left, 5);
  EXPECT_EQ(rect.top, 23);
  EXPECT_EQ(rect.right, 160);
  EXPECT_EQ(rect.bottom, 110);
  EXPECT_EQ(MoveEdges(nullptr, child, 1, 1, 1, 1), 0);
  DestroyWindow(parent);
  EXPECT_EQ(MoveEdges(parent, child, 1, 1, 1, 1), 0);
}

}  // namespace
}  // namespace kestova
