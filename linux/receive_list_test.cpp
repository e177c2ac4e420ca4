#include "linux/receive_list.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "ftp/status_callback.h"

namespace kestova {
namespace {

std::atomic<uint64_t> g_now{0};
uint64_t FakeClock() { return g_now.load(); }

// A list writing into memory, with the fake clock.
class ListUnderTest {
 public:
  ListUnderTest(bool terminal, ListLanguage language, int width = 100) {
    output_ = open_memstream(&buffer_, &length_);
    CReceiveList::Settings settings;
    settings.output = output_;
    settings.terminal = terminal;
    settings.language = language;
    settings.width = width;
    settings.height = 24;
    settings.clock = &FakeClock;
    list_ = new CReceiveList(settings);
  }
  ~ListUnderTest() {
    delete list_;
    std::fclose(output_);
    std::free(buffer_);
  }
  CReceiveList& List() { return *list_; }
  std::string Output() {
    std::fflush(output_);
    return std::string(buffer_, length_);
  }
  std::vector<std::string> Lines() {
    std::vector<std::string> lines;
    std::string all = Output();
    size_t start = 0;
    for (size_t end; (end = all.find('\n', start)) != std::string::npos; start = end + 1) {
      lines.push_back(all.substr(start, end - start));
    }
    return lines;
  }

  int32_t AddRow() {
    int32_t row = -2;
    list_->OnStatus(kStatusAddRow, &row, -1);
    return row;
  }
  void Send(uint32_t code, const std::string& text, int32_t row) {
    std::string copy = text;
    list_->OnStatus(code, &copy[0], row);
  }
  void Progress(int32_t row, const char* size, const char* elapsed, const char* percentage,
                const char* remaining, const char* rate) {
    Send(kStatusSize, size, row);
    Send(kStatusElapsed, elapsed, row);
    Send(kStatusPercentage, percentage, row);
    Send(kStatusRemaining, remaining, row);
    Send(kStatusRate, rate, row);
  }

 private:
  std::FILE* output_ = nullptr;
  char* buffer_ = nullptr;
  size_t length_ = 0;
  CReceiveList* list_ = nullptr;
};

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

class EnvironmentGuard {
 public:
  EnvironmentGuard() {
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
      const char* value = std::getenv(name);
      saved_.push_back(value != nullptr ? value : "\x01");
      unsetenv(name);
    }
  }
  ~EnvironmentGuard() {
    const char* names[] = {"LC_ALL", "LC_MESSAGES", "LANG"};
    for (size_t i = 0; i < 3; ++i) {
      if (saved_[i] == "\x01") {
        unsetenv(names[i]);
      } else {
        setenv(names[i], saved_[i].c_str(), 1);
      }
    }
  }

 private:
  std::vector<std::string> saved_;
};

TEST(ReceiveListTexts, LanguageFollowsTheMessageLocale) {
  EnvironmentGuard guard;
  EXPECT_EQ(ListLanguage::kEnglish, LanguageFromEnvironment());
  setenv("LANG", "ja_JP.UTF-8", 1);
  EXPECT_EQ(ListLanguage::kJapanese, LanguageFromEnvironment());
  setenv("LC_MESSAGES", "en_US.UTF-8", 1);
  EXPECT_EQ(ListLanguage::kEnglish, LanguageFromEnvironment());
  setenv("LC_ALL", "ja_JP.eucJP", 1);
  EXPECT_EQ(ListLanguage::kJapanese, LanguageFromEnvironment());
  setenv("LC_ALL", "C", 1);
  EXPECT_EQ(ListLanguage::kEnglish, LanguageFromEnvironment());
}

TEST(ReceiveListTexts, StateTextsOfTheReceptionAreRecognised) {
  EXPECT_EQ(ReceptionState::kReceiving, ParseStateText(kTextReceiving).state);
  EXPECT_EQ(ReceptionState::kReceived, ParseStateText(kTextReceived).state);
  std::string created = std::string(kTextCreateFailedFormat, sizeof(kTextCreateFailedFormat) - 3);
  ParsedState failed = ParseStateText((created + "/srv/rec/番組.MPG").c_str());
  EXPECT_EQ(ReceptionState::kCreateFailed, failed.state);
  EXPECT_EQ("/srv/rec/番組.MPG", failed.detail);
  std::string written = std::string(kTextWriteFailedFormat, sizeof(kTextWriteFailedFormat) - 3);
  ParsedState full = ParseStateText((written + "/srv/x.MPG").c_str());
  EXPECT_EQ(ReceptionState::kWriteFailed, full.state);
  EXPECT_EQ("/srv/x.MPG", full.detail);
  ParsedState other = ParseStateText("\x94\xd4\x91\x67");  // unknown Shift_JIS text "番組"
  EXPECT_EQ(ReceptionState::kOther, other.state);
  EXPECT_EQ("番組", other.detail);
  EXPECT_EQ(
      "Could not create the file; reception abandoned. File name: /a/b.MPG",
      StateText(TextsFor(ListLanguage::kEnglish), {ReceptionState::kCreateFailed, "/a/b.MPG"}));
  EXPECT_EQ(
      "ファイルの作成に失敗しました。処理を中断します。ファイル名：/a/b.MPG",
      StateText(TextsFor(ListLanguage::kJapanese), {ReceptionState::kCreateFailed, "/a/b.MPG"}));
}

TEST(ReceiveListTexts, WidthsCountWideCharactersTwice) {
  EXPECT_EQ(4u, DisplayWidth("番組"));
  EXPECT_EQ(1u, DisplayWidth("ｱ"));         // half-width katakana
  EXPECT_EQ(4u, DisplayWidth("A：B"));      // the full-width colon takes two columns
  EXPECT_EQ(2u, DisplayWidth("\xff\xfe"));  // invalid bytes: one column each
  EXPECT_EQ("番 ", FitToWidth("番組ABC", 3));
  EXPECT_EQ("AB   ", FitToWidth("AB", 5));
  EXPECT_EQ("", FitToWidth("番組", 0));
  EXPECT_EQ("番組", FitToWidth("番組", 4));
}

TEST(ReceiveListPlain, OneLinePerStateChangeAndProgressEveryTenSeconds) {
  g_now = 1000;
  ListUnderTest list(false, ListLanguage::kEnglish);
  int32_t row = list.AddRow();
  EXPECT_EQ(0, row);
  list.Send(kStatusFileName, "TITLE.MPG", row);
  list.Send(kStatusState, kTextReceiving, row);
  for (int step = 1; step <= 60; ++step) {  // 30 s of reports, every 500 ms
    g_now = 1000 + step * 500;
    list.Progress(row, "1/2048", "0:01", "0.05", "9:59", "1024");
  }
  list.Progress(row, "30/2048", "0:31", "1.46", "33:25", "990");
  list.Send(kStatusState, kTextReceived, row);
  std::vector<std::string> lines = list.Lines();
  ASSERT_EQ(5u, lines.size()) << list.Output();
  EXPECT_TRUE(Contains(lines[0], " #1 TITLE.MPG: Receiving"));
  for (int i = 1; i <= 3; ++i) {
    EXPECT_TRUE(Contains(lines[i],
                         "#1 TITLE.MPG: 1/2048 MB, 0.05%, 1024 KB/s, elapsed 0:01, "
                         "remaining 9:59"))
        << lines[i];
  }
  EXPECT_TRUE(Contains(lines[4], "#1 TITLE.MPG: Reception complete (30/2048 MB, elapsed 0:31)"))
      << lines[4];
}

TEST(ReceiveListPlain, JapaneseLocaleUsesTheWindowsTexts) {
  g_now = 0;
  ListUnderTest list(false, ListLanguage::kJapanese);
  int32_t row = list.AddRow();
  list.Send(kStatusFileName, "番組.MPG", row);
  list.Send(kStatusState, kTextReceiving, row);
  g_now = 10000;
  list.Progress(row, "512/2048", "1:41", "25.00", "5:03", "5190");
  list.Send(kStatusState, kTextReceived, row);
  std::vector<std::string> lines = list.Lines();
  ASSERT_EQ(3u, lines.size()) << list.Output();
  EXPECT_TRUE(Contains(lines[0], "#1 番組.MPG: 受信中"));
  EXPECT_TRUE(Contains(lines[1], "512/2048 MB、25.00%、5190 KB/s、経過 1:41、残り 5:03"));
  EXPECT_TRUE(Contains(lines[2], "受信完了しました (512/2048 MB、経過 1:41)"));
}

TEST(ReceiveListPlain, FailuresAndConcurrentRowsNameTheirOwnReception) {
  g_now = 0;
  ListUnderTest list(false, ListLanguage::kEnglish);
  int32_t first = list.AddRow();
  int32_t second = list.AddRow();
  EXPECT_EQ(1, second);
  list.Send(kStatusFileName, "A.MPG", first);
  list.Send(kStatusState, kTextReceiving, first);
  std::string created = std::string(kTextCreateFailedFormat, sizeof(kTextCreateFailedFormat) - 3);
  list.Send(kStatusState, created + "/full/B.MPG", second);
  std::string written = std::string(kTextWriteFailedFormat, sizeof(kTextWriteFailedFormat) - 3);
  list.Progress(first, "7/10", "0:09", "70.00", "0:04", "800");
  list.Send(kStatusState, written + "/srv/A.MPG", first);
  std::vector<std::string> lines = list.Lines();
  ASSERT_EQ(3u, lines.size()) << list.Output();
  EXPECT_TRUE(Contains(lines[0], "#1 A.MPG: Receiving"));
  EXPECT_TRUE(Contains(lines[1],
                       "#2 Could not create the file; reception abandoned. File name: "
                       "/full/B.MPG"));
  EXPECT_TRUE(Contains(lines[2],
                       "#1 A.MPG: Writing to the file failed; reception abandoned. "
                       "File name: /srv/A.MPG (7/10 MB, elapsed 0:09)"));
}

TEST(ReceiveListPlain, MalformedCallsAreIgnored) {
  ListUnderTest list(false, ListLanguage::kEnglish);
  list.Send(kStatusState, kTextReceiving, 0);  // no row yet
  int32_t row = list.AddRow();
  list.Send(8, "x", row);
  list.Send(kStatusState, kTextReceiving, 5);
  list.Send(kStatusState, kTextReceiving, -1);
  list.List().OnStatus(kStatusState, nullptr, row);
  list.List().OnStatus(kStatusAddRow, nullptr, -1);  // a row without an index out
  CReceiveList::StatusCallback(kStatusState, nullptr, nullptr, 0);
  EXPECT_EQ(2u, list.List().RowCount());
  EXPECT_EQ("", list.Output());
}

TEST(ReceiveListPlain, RowsFromManyThreadsGetDistinctIndices) {
  ListUnderTest list(false, ListLanguage::kEnglish);
  std::vector<std::thread> threads;
  std::vector<std::vector<int32_t>> indices(4);
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&list, &indices, t] {
      for (int i = 0; i < 50; ++i) {
        int32_t row = -1;
        CReceiveList::StatusCallback(kStatusAddRow, &row, &list.List(), -1);
        indices[t].push_back(row);
        std::string name = "T" + std::to_string(row) + ".MPG";
        CReceiveList::StatusCallback(kStatusFileName, &name[0], &list.List(), row);
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  std::set<int32_t> all;
  for (const auto& list_of : indices) all.insert(list_of.begin(), list_of.end());
  EXPECT_EQ(200u, all.size());
  EXPECT_EQ(0, *all.begin());
  EXPECT_EQ(199, *all.rbegin());
}

TEST(ReceiveListTerminal, RedrawsInPlaceAtMostTwiceASecond) {
  g_now = 100000;
  ListUnderTest list(true, ListLanguage::kEnglish, 120);
  int32_t row = list.AddRow();
  list.Send(kStatusFileName, "TITLE.MPG", row);
  list.Send(kStatusState, kTextReceiving, row);
  EXPECT_EQ("", list.Output());  // nothing is drawn by the callback itself
  list.List().Tick();
  std::string first = list.Output();
  EXPECT_TRUE(Contains(first, "File name"));
  EXPECT_TRUE(Contains(first, "TITLE.MPG"));
  EXPECT_TRUE(Contains(first, "Receiving"));
  EXPECT_FALSE(Contains(first, "\x1b[2A"));

  g_now = 100200;
  list.Progress(row, "512/2048", "1:41", "25.00", "5:03", "5190");
  list.List().Tick();
  EXPECT_EQ(first, list.Output()) << "drawn again within 500 ms";

  g_now = 100600;
  list.List().Tick();
  std::string second = list.Output().substr(first.size());
  EXPECT_TRUE(Contains(second, "\x1b[2A"));  // back over the header and the row
  EXPECT_TRUE(Contains(second, "512/2048"));
  EXPECT_TRUE(Contains(second, "25.00%"));
  EXPECT_TRUE(Contains(second, "25.00%  [##......]"));
  EXPECT_TRUE(Contains(second, "5190"));
  EXPECT_TRUE(Contains(second, "5:03"));

  g_now = 101200;
  size_t before = list.Output().size();
  list.List().Tick();  // nothing changed: nothing drawn
  EXPECT_EQ(before, list.Output().size());

  g_now = 101300;
  list.Send(kStatusState, kTextReceived, row);
  list.List().Flush();  // drawn at once, whatever the time
  EXPECT_TRUE(Contains(list.Output().substr(before), "Reception complete"));
}

TEST(ReceiveListTerminal, LinesNeverExceedTheTerminalWidth) {
  g_now = 0;
  ListUnderTest list(true, ListLanguage::kJapanese, 80);
  int32_t row = list.AddRow();
  std::string longName;
  for (int i = 0; i < 40; ++i) longName += "番";
  list.Send(kStatusFileName, longName + ".MPG", row);
  std::string created = std::string(kTextCreateFailedFormat, sizeof(kTextCreateFailedFormat) - 3);
  list.Send(kStatusState, created + "/a/very/long/path/" + longName + ".MPG", row);
  list.List().Flush();
  std::vector<std::string> lines = list.Lines();
  ASSERT_EQ(2u, lines.size());
  for (const std::string& line : lines) {
    std::string visible = line.substr(line.find("\x1b[2K") + 4);
    EXPECT_LE(DisplayWidth(visible), 79u) << visible;
  }
  EXPECT_TRUE(Contains(lines[0], "ファイル名"));
}

TEST(ReceiveListTerminal, StopDrawsTheLastState) {
  g_now = 0;
  ListUnderTest list(true, ListLanguage::kEnglish);
  list.List().Start();
  int32_t row = list.AddRow();
  list.Send(kStatusFileName, "LAST.MPG", row);
  list.Send(kStatusState, kTextReceived, row);
  list.List().Stop();
  EXPECT_TRUE(Contains(list.Output(), "Reception complete")) << list.Output();
}

}  // namespace
}  // namespace kestova
