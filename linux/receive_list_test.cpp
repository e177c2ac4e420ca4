#include "linux/receive_list.h"

#include <gtest/gtest.h>

#include <errno.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "ftp/programme_progress.h"
#include "ftp/reception_events.h"

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

  // The events of one reception, as the reception sends them.
  ReceptionId Start() {
    const ReceptionId id = nextId_++;
    list_->OnReceptionEvent(Event(ReceptionEventKind::kStarted, id, ReceptionState::kStarting));
    return id;
  }
  void Created(ReceptionId id, const std::string& name) {
    ReceptionEvent event = Event(ReceptionEventKind::kFileCreated, id, ReceptionState::kReceiving);
    event.fileName = name.c_str();
    event.path = ("/srv/" + name).c_str();
    list_->OnReceptionEvent(event);
  }
  // Figures of `received` bytes of a title of `titleSize` 2048-byte units after `ms`.
  void Progress(ReceptionId id, uint64_t received, uint64_t titleSize, uint32_t ms) {
    list_->OnReceptionEvent(
        WithFigures(Event(ReceptionEventKind::kProgress, id, ReceptionState::kReceiving), received,
                    titleSize, ms));
  }
  void End(ReceptionId id, ReceptionState state, uint64_t received, uint64_t titleSize,
           uint32_t ms) {
    list_->OnReceptionEvent(
        WithFigures(Event(ReceptionEventKind::kEnded, id, state), received, titleSize, ms));
  }
  void CreateFailed(ReceptionId id, const std::string& path, int reason = 0) {
    ReceptionEvent event = Event(ReceptionEventKind::kEnded, id, ReceptionState::kCreateFailed);
    event.path = path.c_str();
    event.reason = SystemErrorOf(reason);
    list_->OnReceptionEvent(event);
  }

 private:
  static ReceptionEvent Event(ReceptionEventKind kind, ReceptionId id, ReceptionState state) {
    ReceptionEvent event;
    event.kind = kind;
    event.id = id;
    event.state = state;
    return event;
  }
  static ReceptionEvent WithFigures(ReceptionEvent event, uint64_t received, uint64_t titleSize,
                                    uint32_t ms) {
    event.hasFigures = true;
    event.receivedBytes = received;
    event.announcedBytes = titleSize * 2048;
    event.figures = ComputeProgress(received, titleSize, ms);
    return event;
  }

  ReceptionId nextId_ = 1000;  // ids are not row numbers
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

TEST(ReceiveListTexts, FailureTextsTakeThePathInPlaceOfTheirMarker) {
  const ListTexts& japanese = TextsFor(ListLanguage::kJapanese);
  EXPECT_EQ("ファイルの作成に失敗しました。処理を中断します。ファイル名：/a/b.MPG",
            StateText(japanese, ReceptionState::kCreateFailed, "/a/b.MPG"));
  EXPECT_EQ("Reception interrupted",
            StateText(TextsFor(ListLanguage::kEnglish), ReceptionState::kInterrupted, "/a"));
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

// 2 GiB announced (1048576 units of 2048 bytes).
constexpr uint64_t kTwoGiB = 1048576;
constexpr uint64_t kMiB = 1048576;

TEST(ReceiveListPlain, OneLinePerStateChangeAndProgressEveryTenSeconds) {
  g_now = 1000;
  ListUnderTest list(false, ListLanguage::kEnglish);
  const ReceptionId id = list.Start();
  list.Created(id, "TITLE.MPG");
  for (int step = 1; step <= 60; ++step) {  // 30 s of reports, every 500 ms
    g_now = 1000 + step * 500;
    list.Progress(id, kMiB, kTwoGiB, 500);
  }
  list.End(id, ReceptionState::kReceived, 30 * kMiB, kTwoGiB, 30500);
  std::vector<std::string> lines = list.Lines();
  ASSERT_EQ(5u, lines.size()) << list.Output();
  EXPECT_TRUE(Contains(lines[0], " #1 TITLE.MPG: Receiving"));
  for (int i = 1; i <= 3; ++i) {
    EXPECT_TRUE(Contains(lines[i],
                         "#1 TITLE.MPG: 1/2048 MB, 0.05%, 1024 KB/s, elapsed 0:01, "
                         "remaining 34:07"))
        << lines[i];
  }
  EXPECT_TRUE(Contains(lines[4], "#1 TITLE.MPG: Reception complete (30/2048 MB, elapsed 0:31)"))
      << lines[4];
}

TEST(ReceiveListPlain, JapaneseLocaleUsesTheWindowsTexts) {
  g_now = 0;
  ListUnderTest list(false, ListLanguage::kJapanese);
  const ReceptionId id = list.Start();
  list.Created(id, "番組.MPG");
  g_now = 10000;
  list.Progress(id, 512 * kMiB, kTwoGiB, 100000);
  list.End(id, ReceptionState::kReceived, 512 * kMiB, kTwoGiB, 100000);
  std::vector<std::string> lines = list.Lines();
  ASSERT_EQ(3u, lines.size()) << list.Output();
  EXPECT_TRUE(Contains(lines[0], "#1 番組.MPG: 受信中"));
  EXPECT_TRUE(Contains(lines[1], "512/2048 MB、25.00%、5190 KB/s、経過 1:41、残り 5:03"));
  EXPECT_TRUE(Contains(lines[2], "受信完了しました (512/2048 MB、経過 1:41)"));
}

TEST(ReceiveListPlain, EveryEndAndConcurrentRowsNameTheirOwnReception) {
  g_now = 0;
  ListUnderTest list(false, ListLanguage::kEnglish);
  const ReceptionId first = list.Start();
  const ReceptionId second = list.Start();
  const ReceptionId third = list.Start();
  list.Created(first, "A.MPG");
  list.CreateFailed(second, "/full/B.MPG", EROFS);  // the system's reason is named
  list.Created(third, "C.MPG");
  list.End(first, ReceptionState::kWriteFailed, 7 * kMiB, 5120, 8000);
  list.End(third, ReceptionState::kInterrupted, 3 * kMiB, 0, 2000);
  std::vector<std::string> lines = list.Lines();
  ASSERT_EQ(5u, lines.size()) << list.Output();
  EXPECT_TRUE(Contains(lines[0], "#1 A.MPG: Receiving"));
  EXPECT_TRUE(Contains(lines[1],
                       "#2 Could not create the file; reception abandoned. File name: "
                       "/full/B.MPG: Read-only file system"))
      << lines[1];
  EXPECT_TRUE(Contains(lines[2], "#3 C.MPG: Receiving"));
  EXPECT_TRUE(Contains(lines[3],
                       "#1 A.MPG: Writing to the file failed; reception abandoned. "
                       "File name: /srv/A.MPG (7/10 MB, elapsed 0:09)"));
  EXPECT_TRUE(Contains(lines[4], "#3 C.MPG: Reception interrupted (3/0 MB, elapsed 0:03)"))
      << lines[4];
}

TEST(ReceiveListPlain, EventsOfAnUnknownReceptionAreIgnored) {
  ListUnderTest list(false, ListLanguage::kEnglish);
  list.Created(7, "NOWHERE.MPG");  // never started
  list.Start();
  list.End(8, ReceptionState::kReceived, 1, 1, 1);
  EXPECT_EQ(1u, list.List().RowCount());
  EXPECT_EQ("", list.Output());
}

TEST(ReceiveListPlain, RowsFromManyThreadsKeepTheirOwnReception) {
  ListUnderTest list(false, ListLanguage::kEnglish);
  std::vector<std::thread> threads;
  std::atomic<ReceptionId> nextId{1};
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&list, &nextId] {
      for (int i = 0; i < 50; ++i) {
        ReceptionEvent event;
        event.id = nextId.fetch_add(1);
        list.List().OnReceptionEvent(event);  // started
        event.kind = ReceptionEventKind::kFileCreated;
        event.state = ReceptionState::kReceiving;
        event.fileName = ("T" + std::to_string(event.id) + ".MPG").c_str();
        list.List().OnReceptionEvent(event);
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(200u, list.List().RowCount());
  // Every reception's name is on the row made for it, once.
  std::map<std::string, int> names;
  for (const std::string& line : list.Lines()) {
    const size_t at = line.find(" T");
    ASSERT_NE(std::string::npos, at) << line;
    names[line.substr(at + 1, line.find(':', at) - at - 1)] += 1;
  }
  EXPECT_EQ(200u, names.size());
  for (const auto& name : names) EXPECT_EQ(1, name.second) << name.first;
}

TEST(ReceiveListTerminal, RedrawsInPlaceAtMostTwiceASecond) {
  g_now = 100000;
  ListUnderTest list(true, ListLanguage::kEnglish, 120);
  const ReceptionId id = list.Start();
  list.Created(id, "TITLE.MPG");
  EXPECT_EQ("", list.Output());  // nothing is drawn by the events themselves
  list.List().Tick();
  std::string first = list.Output();
  EXPECT_TRUE(Contains(first, "File name"));
  EXPECT_TRUE(Contains(first, "TITLE.MPG"));
  EXPECT_TRUE(Contains(first, "Receiving"));
  EXPECT_FALSE(Contains(first, "\x1b[2A"));

  g_now = 100200;
  list.Progress(id, 512 * kMiB, kTwoGiB, 100000);
  list.List().Tick();
  EXPECT_EQ(first, list.Output()) << "drawn again within 500 ms";

  g_now = 100600;
  list.List().Tick();
  std::string second = list.Output().substr(first.size());
  EXPECT_TRUE(Contains(second, "\x1b[2A"));  // back over the header and the row
  EXPECT_TRUE(Contains(second, "512/2048"));
  EXPECT_TRUE(Contains(second, "25.00%  [##......]"));
  EXPECT_TRUE(Contains(second, "5190"));
  EXPECT_TRUE(Contains(second, "5:03"));

  g_now = 101200;
  size_t before = list.Output().size();
  list.List().Tick();  // nothing changed: nothing drawn
  EXPECT_EQ(before, list.Output().size());

  g_now = 101300;
  list.End(id, ReceptionState::kReceived, 512 * kMiB, 0, 100000);
  list.List().Flush();  // drawn at once, whatever the time
  const std::string last = list.Output().substr(before);
  EXPECT_TRUE(Contains(last, "Reception complete"));
  EXPECT_TRUE(Contains(last, "--.--%  [        ]"));  // no size announced: no percentage
}

TEST(ReceiveListTerminal, LinesNeverExceedTheTerminalWidth) {
  g_now = 0;
  ListUnderTest list(true, ListLanguage::kJapanese, 80);
  const ReceptionId id = list.Start();
  std::string longName;
  for (int i = 0; i < 40; ++i) longName += "番";
  list.Created(id, longName + ".MPG");
  list.CreateFailed(id, "/a/very/long/path/" + longName + ".MPG");
  list.List().Flush();
  std::vector<std::string> lines = list.Lines();
  ASSERT_EQ(2u, lines.size());
  for (const std::string& line : lines) {
    std::string visible = line.substr(line.find("\x1b[2K") + 4);
    EXPECT_LE(DisplayWidth(visible), 79u) << visible;
  }
  EXPECT_TRUE(Contains(lines[0], "ファイル名"));
}

// Words of a header line: each must be a whole word of one of the list's headers.
std::vector<std::string> Words(const std::string& text) {
  std::vector<std::string> words;
  std::string word;
  for (char c : text + " ") {
    if (c != ' ') {
      word += c;
    } else if (!word.empty()) {
      words.push_back(word);
      word.clear();
    }
  }
  return words;
}

TEST(ReceiveListTerminal, HeadersAreNeverCutAndLongNamesStayDistinct) {
  const struct {
    ListLanguage language;
    const char* first;
    const char* second;
  } languages[] = {
      {ListLanguage::kEnglish, "THE_GREAT_RIVERS_OF_THE_WORLD_PART_1.MPG",
       "THE_GREAT_RIVERS_OF_THE_WORLD_PART_2.MPG"},
      {ListLanguage::kJapanese, "ドキュメント７２時間　冬の駅で　前編.MPG",
       "ドキュメント７２時間　冬の駅で　後編.MPG"},
  };
  for (const auto& l : languages) {
    const ListTexts& texts = TextsFor(l.language);
    std::vector<std::string> known = {"#"};
    for (int c = 0; c < 7; ++c) {
      for (const std::string& word : Words(texts.columns[c])) known.push_back(word);
      for (const std::string& word : Words(texts.shortColumns[c])) known.push_back(word);
    }
    for (int width : {60, 80, 100, 160}) {
      g_now = 0;
      ListUnderTest list(true, l.language, width);
      for (const char* name : {l.first, l.second}) {
        const ReceptionId id = list.Start();
        list.Created(id, name);
        list.Progress(id, 512 * kMiB, kTwoGiB, 100000);
      }
      list.List().Flush();
      std::vector<std::string> lines;
      for (const std::string& line : list.Lines()) lines.push_back(line.substr(line.find("\x1b[2K") + 4));
      ASSERT_EQ(3u, lines.size());
      const std::string where = std::to_string(width) + " columns: ";
      for (const std::string& line : lines) {
        EXPECT_LE(DisplayWidth(line), static_cast<size_t>(width - 1)) << where << line;
      }
      for (const std::string& word : Words(lines[0])) {
        EXPECT_NE(known.end(), std::find(known.begin(), known.end(), word))
            << where << "header word cut: " << word << " in " << lines[0];
      }
      EXPECT_TRUE(Contains(lines[0], texts.columns[6])) << where << lines[0];  // the state
      // Apart from their numbers the two rows show the same figures: only the names differ.
      EXPECT_NE(lines[1].substr(1), lines[2].substr(1)) << where << "names cannot be told apart";
      EXPECT_TRUE(Contains(lines[1], width >= 160 ? l.first : "...")) << where << lines[1];
    }
  }
}

TEST(ReceiveListTexts, EllipsisKeepsBothEndsOfALongName) {
  const struct {
    const char* name;
    size_t width;
    const char* fitted;
  } cases[] = {
      {"SHORT.MPG", 12, "SHORT.MPG   "},
      {"ABCDEFGHIJKLMNOP.MPG", 12, "ABC...OP.MPG"},
      {"日本語テスト２.MPG", 12, "日...２.MPG "},
      {"日本語テスト.MPG", 12, "日...ト.MPG "},
      {"日本語テスト.MPG", 4, "日本"},
  };
  for (const auto& c : cases) {
    const std::string fitted = FitWithEllipsis(c.name, c.width);
    EXPECT_EQ(c.fitted, fitted) << c.name;
    EXPECT_EQ(c.width, DisplayWidth(fitted)) << c.name;
  }
}

TEST(ReceiveListTerminal, StopDrawsTheLastState) {
  g_now = 0;
  ListUnderTest list(true, ListLanguage::kEnglish, 120);
  list.List().Start();
  const ReceptionId id = list.Start();
  list.Created(id, "LAST.MPG");
  list.End(id, ReceptionState::kInterrupted, 100, 0, 10);
  list.List().Stop();
  EXPECT_TRUE(Contains(list.Output(), "Reception interrupted")) << list.Output();
}

}  // namespace
}  // namespace kestova
