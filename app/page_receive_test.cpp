// The receive page under wine64 with a display: reception events from session threads
// fill their rows, found by id in a sorted list, and the folder goes to the host and into
// the settings file.
#include "app/default_folder.h"
#include "app/page_receive.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "app/resource.h"
#include "app/window_helpers.h"
#include "ftp/reception_state_texts.h"
#include "platform/module.h"
#include "platform/settings.h"

namespace kestova {
namespace {

// Shift_JIS bytes of a UTF-8 text, as the program holds its texts.
std::string ShiftJis(const char* utf8) {
  wchar_t wide[512] = {};
  MultiByteToWideChar(CP_UTF8, 0, utf8, -1, wide, 512);
  char bytes[1024] = {};
  WideCharToMultiByte(932, 0, wide, -1, bytes, sizeof(bytes), nullptr, nullptr);
  return bytes;
}

// A failure text (UTF-8) with its %s replaced by `path`.
std::string WithPath(std::string text, const char* path) {
  return text.replace(text.find("%s"), 2, path);
}

// Hosts the page as the main dialog does, and records the folders handed to it.
class CFolderHost : public CDialog, public IServedFolderHost {
 public:
  CFolderHost() : CDialog(IDD_MAIN_DIALOG) {}
  void SetServedFolder(const CCountedString& folder) override { folders.push_back(folder.CStr()); }
  std::vector<std::string> folders;
};

class PageReceiveTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    settings_ =
        std::string(temp) + "kestova-page-test-" + std::to_string(GetCurrentProcessId()) + ".ini";
    DeleteFileA(settings_.c_str());
    SetSettingsFilePath(settings_.c_str());
    ASSERT_TRUE(host_.Create());
  }
  void TearDown() override {
    host_.Destroy();
    DeleteFileA(settings_.c_str());
  }
  // Creates the page inside the host, as AddPage does.
  void CreatePage(CPageReceive& page) {
    ASSERT_TRUE(page.Create(host_.GetSafeHwnd()));
  }

  CFolderHost host_;
  std::string settings_;
};

// One event of reception `id`; figures from `receivedBytes` of a 1 MiB title after 10 s.
ReceptionEvent Event(ReceptionId id, ReceptionEventKind kind, ReceptionState state,
                     const char* fileName = "", uint64_t receivedBytes = 0) {
  ReceptionEvent event;
  event.id = id;
  event.kind = kind;
  event.state = state;
  event.fileName = fileName;
  event.path = CCountedString("C:\\rec\\") + fileName;
  if (kind == ReceptionEventKind::kProgress || kind == ReceptionEventKind::kEnded) {
    event.hasFigures = true;
    event.receivedBytes = receivedBytes;
    event.figures = ComputeProgress(receivedBytes, 512, 10000);
  }
  return event;
}

// Dispatches this thread's messages until `done` holds (false after 10 s).
template <typename Condition>
bool PumpUntil(Condition done) {
  const DWORD start = GetTickCount();
  while (!done()) {
    if (GetTickCount() - start > 10000) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
    PumpMessages();
  }
  return true;
}

std::string Cell(CPageReceive& page, int row, int column) {
  return page.List().GetItemText(row, column).CStr();
}

TEST_F(PageReceiveTest, ReportsLandInTheirOwnRowsWhileTheListIsSorted) {
  CPageReceive page(host_);
  CreatePage(page);
  IReceptionObserver& view = page.View();
  // Two sessions start their receptions; A's row comes first.
  std::thread([&] {
    view.OnReceptionEvent(Event(1, ReceptionEventKind::kStarted, ReceptionState::kStarting));
    view.OnReceptionEvent(Event(2, ReceptionEventKind::kStarted, ReceptionState::kStarting));
    view.OnReceptionEvent(
        Event(1, ReceptionEventKind::kFileCreated, ReceptionState::kReceiving, "A.MPG"));
    view.OnReceptionEvent(
        Event(2, ReceptionEventKind::kFileCreated, ReceptionState::kReceiving, "B.MPG"));
  }).join();
  ASSERT_TRUE(PumpUntil([&] { return Cell(page, 1, 0) == "B.MPG"; }));
  // Sorted by name, descending: B moves above A.
  page.List().SortByColumn(0, false, kSortText);
  ASSERT_EQ("B.MPG", Cell(page, 0, 0));

  // Both report at once, A to its end, B to a write failure.
  const uint64_t bytesA = 3 << 20, bytesB = 5 << 20;
  std::thread a([&] {
    view.OnReceptionEvent(Event(1, ReceptionEventKind::kProgress, ReceptionState::kReceiving,
                                "A.MPG", bytesA / 2));
    view.OnReceptionEvent(
        Event(1, ReceptionEventKind::kEnded, ReceptionState::kReceived, "A.MPG", bytesA));
  });
  std::thread b([&] {
    view.OnReceptionEvent(Event(2, ReceptionEventKind::kProgress, ReceptionState::kReceiving,
                                "B.MPG", bytesB / 2));
    view.OnReceptionEvent(
        Event(2, ReceptionEventKind::kEnded, ReceptionState::kWriteFailed, "B.MPG", bytesB));
  });
  a.join();
  b.join();
  ASSERT_TRUE(PumpUntil([&] { return !Cell(page, 0, 6).empty() && !Cell(page, 1, 6).empty() &&
                                     Cell(page, 0, 6) != ShiftJis(KESTOVA_JA_RECEIVING) &&
                                     Cell(page, 1, 6) != ShiftJis(KESTOVA_JA_RECEIVING); }));
  struct Expected {
    int row;
    const char* name;
    uint64_t bytes;
    std::string state;
  } rows[] = {
      {0, "B.MPG", bytesB, ShiftJis(WithPath(KESTOVA_JA_WRITE_FAILED, "C:\\rec\\B.MPG").c_str())},
      {1, "A.MPG", bytesA, ShiftJis(KESTOVA_JA_RECEIVED)},
  };
  for (const Expected& e : rows) {
    const ProgressTexts texts = FormatProgress(ComputeProgress(e.bytes, 512, 10000));
    EXPECT_EQ(e.name, Cell(page, e.row, 0));
    EXPECT_EQ(texts.size.CStr(), Cell(page, e.row, 1)) << e.name;
    EXPECT_EQ(texts.elapsed.CStr(), Cell(page, e.row, 2)) << e.name;
    EXPECT_EQ(texts.percentage.CStr(), Cell(page, e.row, 3)) << e.name;
    EXPECT_EQ(texts.rate.CStr(), Cell(page, e.row, 4)) << e.name;
    EXPECT_EQ(texts.remaining.CStr(), Cell(page, e.row, 5)) << e.name;
    EXPECT_EQ(e.state, Cell(page, e.row, 6)) << e.name;
  }
}

// A session thread never waits for the window's thread: its reports return while this
// thread dispatches nothing, and show once it does.
TEST_F(PageReceiveTest, ReportsReturnWhileTheWindowThreadIsBusy) {
  CPageReceive page(host_);
  CreatePage(page);
  std::promise<void> reported;
  std::thread session([&] {
    for (ReceptionId id = 1; id <= 50; ++id) {
      page.View().OnReceptionEvent(
          Event(id, ReceptionEventKind::kStarted, ReceptionState::kStarting));
    }
    reported.set_value();
  });
  const bool returned =
      reported.get_future().wait_for(std::chrono::seconds(10)) == std::future_status::ready;
  session.join();
  ASSERT_TRUE(returned);
  EXPECT_EQ(0, page.List().GetItemCount());
  EXPECT_TRUE(PumpUntil([&] { return page.List().GetItemCount() == 50; }));
}

TEST_F(PageReceiveTest, FolderGoesToTheHostAndIsSavedAsTyped) {
  {
    CPageReceive page(host_);
    CreatePage(page);
    // No settings file: the default folder, never the executable's own.
    const std::string moduleFolder = DefaultReceiveFolder().CStr();
    EXPECT_NE(moduleFolder, GetModuleFolder().CStr());
    EXPECT_EQ(std::string(page.FolderEdit().GetText().CStr()), moduleFolder);
    ASSERT_FALSE(host_.folders.empty());
    EXPECT_EQ(host_.folders.back(), moduleFolder);

    // Typing changes nothing yet; leaving the edit applies the folder.
    page.FolderEdit().SetText("C:\\recordings");
    EXPECT_EQ(host_.folders.back(), moduleFolder);
    SendMessageA(page.GetSafeHwnd(), WM_COMMAND, MAKEWPARAM(IDC_FOLDER_EDIT, EN_KILLFOCUS),
                 reinterpret_cast<LPARAM>(page.FolderEdit().GetSafeHwnd()));
    EXPECT_EQ(host_.folders.back(), "C:\\recordings");
    ListView_SetColumnWidth(page.List().GetSafeHwnd(), 2, 123);
    page.Destroy();
  }
  CCountedString saved;
  ReadSetting("PageReceive", "Folder", "<missing>", &saved);
  EXPECT_STREQ(saved.CStr(), "C:\\recordings");  // as typed, no backslash added

  CPageReceive again(host_);
  CreatePage(again);
  EXPECT_STREQ(again.FolderEdit().GetText().CStr(), "C:\\recordings");
  EXPECT_EQ(host_.folders.back(), "C:\\recordings");
  EXPECT_EQ(again.List().GetColumnWidth(2), 123);  // the width the user left
}

}  // namespace
}  // namespace kestova
