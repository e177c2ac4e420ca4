// The receive page under wine64 with a display: the status codes fill their columns when
// session threads report, and the folder goes to the host and into the settings file.
#include "app/default_folder.h"
#include "app/page_receive.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "app/resource.h"
#include "app/window_helpers.h"
#include "ftp/status_callback.h"
#include "platform/module.h"
#include "platform/settings.h"

namespace kestova {
namespace {

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
    page.host = &host_;
    ASSERT_TRUE(page.Create(host_.GetSafeHwnd()));
  }

  CFolderHost host_;
  std::string settings_;
};

TEST_F(PageReceiveTest, StatusCodesFillTheirColumnsFromSessionThreads) {
  CPageReceive page;
  CreatePage(page);
  std::atomic<bool> done{false};
  int32_t rows[2] = {-2, -2};
  std::thread session([&] {
    for (int reception = 0; reception < 2; ++reception) {
      CPageReceive::ReceptionStatusCallback(kStatusAddRow, &rows[reception], &page, -1);
      for (uint32_t code = 0; code <= 6; ++code) {
        const std::string text = "r" + std::to_string(reception) + "c" + std::to_string(code);
        CPageReceive::ReceptionStatusCallback(code, const_cast<char*>(text.c_str()), &page,
                                              rows[reception]);
      }
      CPageReceive::ReceptionStatusCallback(8, const_cast<char*>("ignored"), &page,
                                            rows[reception]);
    }
    done = true;
  });
  // The calls wait until this thread has carried them out.
  for (int i = 0; i < 1000 && !done; ++i) {
    PumpMessages();
    Sleep(10);
  }
  session.join();
  ASSERT_EQ(rows[0], 0);
  ASSERT_EQ(rows[1], 1);
  ASSERT_EQ(page.List().GetItemCount(), 2);
  // Code 4 (remaining time) is shown in column 5, code 5 (rate) in column 4.
  const uint32_t codeOfColumn[CPageReceive::kColumnCount] = {0, 1, 2, 3, 5, 4, 6};
  for (int row = 0; row < 2; ++row) {
    for (int column = 0; column < CPageReceive::kColumnCount; ++column) {
      const std::string expected =
          "r" + std::to_string(row) + "c" + std::to_string(codeOfColumn[column]);
      EXPECT_EQ(std::string(page.List().GetItemText(row, column).CStr()), expected)
          << "row " << row << ", column " << column;
    }
  }
}

TEST_F(PageReceiveTest, FolderGoesToTheHostAndIsSavedAsTyped) {
  {
    CPageReceive page;
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

  CPageReceive again;
  CreatePage(again);
  EXPECT_STREQ(again.FolderEdit().GetText().CStr(), "C:\\recordings");
  EXPECT_EQ(host_.folders.back(), "C:\\recordings");
  EXPECT_EQ(again.List().GetColumnWidth(2), 123);  // the width the user left
}

}  // namespace
}  // namespace kestova
