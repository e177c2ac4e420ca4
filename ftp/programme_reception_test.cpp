// Programme reception and the small dubbing transfers over a scripted data connection.
#include "ftp/programme_reception.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "ftp/dubbing_documents.h"
#include "ftp/dubbing_transfers.h"
#include "ftp/test_support/dubbing_doubles.h"
#include "platform/file_system.h"
#include "platform/test_support/injected_file_faults.h"
#include "platform/test_support/scratch_folder.h"

namespace kestova {
namespace {

using testing::CScratchFolder;
using testing::CScriptedLink;
using testing::CReceptionRecorder;

const char kOpening[] = "150 Opening BINARY mode data connection for file transfer.";
const char kComplete[] = "226 Transfer complete";
const char kAborted[] = "426 Connection closed; transfer aborted.";
const std::vector<std::string> kReceivedReplies = {kOpening, kComplete};

// A programme stream: `length` pattern bytes with `title` in the header's title field.
std::string Stream(const std::string& title, size_t length, unsigned seed = 1) {
  std::string stream = testing::PatternBytes(length, seed);
  for (size_t i = 0; i < 64 && 132 + i < length; ++i) {
    stream[132 + i] = i < title.size() ? title[i] : '\0';
  }
  return stream;
}

class ProgrammeReceptionTest : public ::testing::Test {
 protected:
  ProgrammeReceptionSetup ReceptionSetup(uint64_t titleSize = 0) {
    ProgrammeReceptionSetup setup;
    setup.rootFolder = folder_.Path();
    setup.titleSize = titleSize;
    setup.observer = &recorder_;
    return setup;
  }
  std::string FileContent(const char* name, bool* exists = nullptr) {
    return testing::ReadWholeFile(folder_.PathOf(name), exists);
  }
  // The states one reception's events carried, in order.
  std::vector<ReceptionState> StatesOf(ReceptionId id) {
    std::vector<ReceptionState> states;
    for (const ReceptionEvent& event : recorder_.Events()) {
      if (event.id == id) states.push_back(event.state);
    }
    return states;
  }

  CScratchFolder folder_;
  CReceptionRecorder recorder_;
};

TEST_F(ProgrammeReceptionTest, HundredBytePiecesGiveAThreeHundredByteFirstBlock) {
  CScriptedLink link;
  const std::string stream = Stream("TITLE", 100 * 1000);
  link.AddStream(stream, 100);
  ProgrammeReceptionResult result = ReceiveProgramme(link, ReceptionSetup());
  EXPECT_EQ(ReceptionOutcome::kReceived, result.outcome);
  EXPECT_EQ(300u, result.firstBlockLength);
  EXPECT_EQ(stream.size(), result.receivedBytes);
  EXPECT_EQ("TITLE.MPG", std::string(result.fileName.CStr()));
  EXPECT_TRUE(FileContent("TITLE.MPG") == stream);
  EXPECT_EQ(kReceivedReplies, link.replies);
  EXPECT_EQ(1000, link.dataTimeoutMs);
  EXPECT_EQ(0, link.loginResets);
  for (uint32_t capacity : link.capacities) EXPECT_EQ(65536u, capacity);
}

TEST_F(ProgrammeReceptionTest, SixtyFourKilobytePiecesGiveAFirstBlockOfOnePiece) {
  CScriptedLink link;
  const std::string stream = Stream("BIG", 65536 * 20 + 17, 2);
  link.AddStream(stream, 65536);
  ProgrammeReceptionResult result = ReceiveProgramme(link, ReceptionSetup());
  EXPECT_EQ(65536u, result.firstBlockLength);
  EXPECT_TRUE(FileContent("BIG.MPG") == stream);
  EXPECT_EQ(kReceivedReplies, link.replies);
}

TEST_F(ProgrammeReceptionTest, EventOrderOfOneReception) {
  CScriptedLink link;
  link.AddStream(Stream("ORDER", 4096), 1024);
  ProgrammeReceptionResult result = ReceiveProgramme(link, ReceptionSetup(2));  // 4 KiB announced
  const std::string kinds = recorder_.KindsOf(result.id);
  // Started, file created, any number of progress reports, ended with the final figures.
  ASSERT_GE(kinds.size(), 3u);
  EXPECT_EQ("SF", kinds.substr(0, 2));
  EXPECT_EQ('E', kinds.back());
  EXPECT_EQ(std::string::npos, kinds.substr(2, kinds.size() - 3).find_first_not_of('P'));
  const std::vector<ReceptionState> states = StatesOf(result.id);
  EXPECT_EQ(ReceptionState::kStarting, states.at(0));
  EXPECT_EQ(ReceptionState::kReceiving, states.at(1));
  const ReceptionEvent ended = recorder_.Events().back();
  EXPECT_EQ(ReceptionState::kReceived, ended.state);
  EXPECT_EQ("ORDER.MPG", ended.fileName);
  ASSERT_TRUE(ended.hasFigures);
  const ProgressTexts texts = FormatProgress(ended.figures);
  EXPECT_EQ("100.00", texts.percentage);
  EXPECT_EQ("0:00", texts.remaining);
  EXPECT_EQ("0/0", texts.size);
}

TEST_F(ProgrammeReceptionTest, ProgressIsReportedWhileDataComes) {
  CScriptedLink link;
  link.quietWaitMs = 5;
  const std::string stream = Stream("SLOW", 30 * 1024, 3);
  for (size_t at = 0; at < stream.size(); at += 1024) {
    link.AddPiece(stream.substr(at, 1024));
    link.AddQuietWait();
  }
  ProgrammeReceptionSetup setup = ReceptionSetup();
  setup.timeouts.reportIntervalMs = 0;  // report whenever a millisecond has passed
  ReceiveProgramme(link, setup);
  // At least one report during the reception besides the final one.
  const std::string kinds = recorder_.KindsOf(recorder_.Ids().back());
  EXPECT_NE(std::string::npos, kinds.find('P'));
  EXPECT_TRUE(FileContent("SLOW.MPG") == stream);
}

TEST_F(ProgrammeReceptionTest, WithoutObserverTheFileIsStillReceived) {
  CScriptedLink link;
  const std::string stream = Stream("QUIET", 1000);
  link.AddStream(stream, 333);
  ProgrammeReceptionSetup setup = ReceptionSetup();
  setup.observer = nullptr;
  ReceiveProgramme(link, setup);
  EXPECT_TRUE(FileContent("QUIET.MPG") == stream);
  EXPECT_TRUE(recorder_.Events().empty());
}

TEST_F(ProgrammeReceptionTest, EmptyStreamGivesAnEmptyFileWithoutTitle) {
  CScriptedLink link;  // the peer closes at once
  ProgrammeReceptionResult result = ReceiveProgramme(link, ReceptionSetup());
  EXPECT_EQ(ReceptionOutcome::kReceived, result.outcome);
  EXPECT_EQ(0u, result.firstBlockLength);
  bool exists = false;
#ifdef _WIN32
  EXPECT_EQ("", FileContent(".MPG", &exists));
#else
  EXPECT_EQ("", FileContent("_.MPG", &exists));  // never a hidden file
#endif
  EXPECT_TRUE(exists);
  EXPECT_EQ(kReceivedReplies, link.replies);
  EXPECT_EQ(ReceptionState::kReceived, recorder_.LastStateOf(result.id));
}

TEST_F(ProgrammeReceptionTest, ShortStreamsUseOnlyTheTitleBytesReceived) {
  struct Case {
    size_t length;
    const char* name;
  } cases[] = {
#ifdef _WIN32
      {100, ".MPG"},
      {132, "_1.MPG"},
#else
      {100, "_.MPG"},
      {132, "__1.MPG"},  // an empty title never gives a hidden file
#endif
      {140, "ABCDEFGH.MPG"},
      {195, "ABCDEFGHIJKLMNOP.MPG"}};
  for (const Case& c : cases) {
    CScriptedLink link;
    const std::string stream = Stream("ABCDEFGHIJKLMNOP", c.length);
    link.AddPiece(stream);
    ProgrammeReceptionResult result = ReceiveProgramme(link, ReceptionSetup());
    EXPECT_EQ(c.length, result.firstBlockLength);
    EXPECT_EQ(std::string(c.name), std::string(result.fileName.CStr()));
    EXPECT_TRUE(FileContent(c.name) == stream) << c.name;
  }
}

TEST_F(ProgrammeReceptionTest, TitlesAreCleanedForTheFileName) {
  struct Case {
    std::string title;
    const char* name;
  } cases[] = {
#ifdef _WIN32
      {"A:B/C",
       "A\x81\x46"
       "B\x81\x5e"
       "C.MPG"},
#else
      {"A:B/C",
       "A\xef\xbc\x9a"
       "B\xef\xbc\x8f"
       "C.MPG"},
      {"\x83\x5c\x83\x7c", "\xe3\x82\xbd\xe3\x83\x9d.MPG"},  // "ソポ": trail bytes 0x5C, 0x7C
#endif
      {"   SPACED  ", "SPACED.MPG"},
      {std::string(64, 'L'), nullptr},
  };
  for (const Case& c : cases) {
    CScriptedLink link;
    link.AddPiece(Stream(c.title, 512));
    ProgrammeReceptionResult result = ReceiveProgramme(link, ReceptionSetup());
    std::string expected = c.name != nullptr ? c.name : std::string(64, 'L') + ".MPG";
    EXPECT_EQ(expected, std::string(result.fileName.CStr()));
    EXPECT_TRUE(PathExists(folder_.PathOf(expected)));
  }
}

TEST_F(ProgrammeReceptionTest, EveryForbiddenCharacterIsReplacedInTheSavedName) {
  CScriptedLink link;
  link.AddPiece(Stream("1\\2/3:4*5?6\"7<8>9|", 256));
  ProgrammeReceptionResult result = ReceiveProgramme(link, ReceptionSetup());
  std::string name = result.fileName.CStr();
  EXPECT_EQ(std::string::npos, name.find_first_of("\\/:*?\"<>|")) << name;
  EXPECT_EQ(ReceptionOutcome::kReceived, result.outcome);
}

TEST_F(ProgrammeReceptionTest, RepeatedTitlesGetNumberedFiles) {
  for (int i = 0; i < 3; ++i) {
    CScriptedLink link;
    link.AddPiece(Stream("TITLE", 300, 10 + i));
    ReceiveProgramme(link, ReceptionSetup());
  }
  EXPECT_TRUE(FileContent("TITLE.MPG") == Stream("TITLE", 300, 10));
  EXPECT_TRUE(FileContent("TITLE_1.MPG") == Stream("TITLE", 300, 11));
  EXPECT_TRUE(FileContent("TITLE_2.MPG") == Stream("TITLE", 300, 12));
  ASSERT_EQ(3u, recorder_.Ids().size());
  for (ReceptionId id : recorder_.Ids()) EXPECT_EQ("SFE", recorder_.KindsOf(id));
}

TEST_F(ProgrammeReceptionTest, StopBeforeAnyDataStillCreatesTheFile) {
  CScriptedLink link;
  link.AddStop();
  link.AddPiece(Stream("LATE", 512));
  ProgrammeReceptionResult result = ReceiveProgramme(link, ReceptionSetup());
  EXPECT_EQ(0u, result.receivedBytes);
  bool exists = false;
#ifdef _WIN32
  EXPECT_EQ("", FileContent(".MPG", &exists));
#else
  EXPECT_EQ("", FileContent("_.MPG", &exists));              // never a hidden file
#endif
  EXPECT_TRUE(exists);
  EXPECT_EQ(0, link.receives);
}

TEST_F(ProgrammeReceptionTest, SilenceLongerThanTheLimitEndsTheReception) {
  CScriptedLink link;
  link.quietWaitMs = 20;
  const std::string stream = Stream("SILENT", 1000);
  link.AddPiece(stream);
  for (int i = 0; i < 10; ++i) link.AddQuietWait();
  link.AddPiece("never written");
  ProgrammeReceptionSetup setup = ReceptionSetup();
  setup.timeouts.silenceMs = 50;
  ProgrammeReceptionResult result = ReceiveProgramme(link, setup);
  EXPECT_EQ(ReceptionOutcome::kInterrupted, result.outcome);
  EXPECT_TRUE(FileContent("SILENT.MPG") == stream);
  EXPECT_EQ(kReceivedReplies, link.replies);
  EXPECT_GE(link.StepsLeft(), 1u);
}

TEST_F(ProgrammeReceptionTest, FolderIsCreatedWithItsParents) {
  CScriptedLink link;
  link.AddPiece(Stream("DEEP", 400));
  ProgrammeReceptionSetup setup = ReceptionSetup();
  setup.rootFolder = folder_.PathOf("a/b/c/");
  ProgrammeReceptionResult result = ReceiveProgramme(link, setup);
  EXPECT_EQ(ReceptionOutcome::kReceived, result.outcome);
  EXPECT_TRUE(FileContent("a/b/c/DEEP.MPG") == Stream("DEEP", 400));
}

TEST_F(ProgrammeReceptionTest, FileThatCannotBeCreatedIsReportedAndRefused) {
  ASSERT_TRUE(testing::WriteWholeFile(folder_.PathOf("blocker"), "a file, not a folder"));
  CScriptedLink link;
  link.AddPiece(Stream("TITLE", 400));
  ProgrammeReceptionSetup setup = ReceptionSetup();
  setup.rootFolder = folder_.PathOf("blocker/");
  ProgrammeReceptionResult result = ReceiveProgramme(link, setup);
  EXPECT_EQ(ReceptionOutcome::kCreateFailed, result.outcome);
  EXPECT_EQ((std::vector<std::string>{kOpening, kAborted}), link.replies);
  EXPECT_EQ(1, link.loginResets);
  EXPECT_EQ("SE", recorder_.KindsOf(result.id));
  EXPECT_EQ(ReceptionState::kCreateFailed, recorder_.LastStateOf(result.id));
  EXPECT_EQ(folder_.PathOf("blocker/TITLE.MPG"), recorder_.Events().back().path);
  EXPECT_EQ("a file, not a folder", FileContent("blocker"));
}

TEST_F(ProgrammeReceptionTest, DataConnectionFailureAddsNoRowAndNoFile) {
  CScriptedLink link;
  link.openSucceeds = false;
  link.AddPiece(Stream("NEVER", 400));
  ProgrammeReceptionResult result = ReceiveProgramme(link, ReceptionSetup());
  EXPECT_EQ(ReceptionOutcome::kNoDataConnection, result.outcome);
  EXPECT_EQ((std::vector<std::string>{"425 Can't open data connection.", kAborted}), link.replies);
  EXPECT_EQ(1, link.loginResets);
  EXPECT_TRUE(recorder_.Events().empty());
  EXPECT_FALSE(PathExists(folder_.PathOf("NEVER.MPG")));
  EXPECT_EQ(0, link.receives);
}

TEST_F(ProgrammeReceptionTest, TwoConcurrentReceptionsOfOneTitleGetTwoRowsAndTwoFiles) {
  const std::string first = Stream("TWIN", 50000, 21);
  const std::string second = Stream("TWIN", 60000, 22);
  CScriptedLink linkA, linkB;
  linkA.AddStream(first, 1000);
  linkB.AddStream(second, 1000);
  ProgrammeReceptionResult resultA, resultB;
  std::thread a([&] { resultA = ReceiveProgramme(linkA, ReceptionSetup()); });
  std::thread b([&] { resultB = ReceiveProgramme(linkB, ReceptionSetup()); });
  a.join();
  b.join();
  EXPECT_NE(resultA.id, resultB.id);
  EXPECT_FALSE(resultA.fileName == resultB.fileName);
  EXPECT_TRUE(FileContent(resultA.fileName.CStr()) == first);
  EXPECT_TRUE(FileContent(resultB.fileName.CStr()) == second);
  for (const ProgrammeReceptionResult* result : {&resultA, &resultB}) {
    const std::string kinds = recorder_.KindsOf(result->id);
    EXPECT_EQ("SF", kinds.substr(0, 2)) << result->id;
    EXPECT_EQ('E', kinds.back()) << result->id;
    for (const ReceptionEvent& event : recorder_.Events()) {
      if (event.id == result->id && event.kind == ReceptionEventKind::kFileCreated) {
        EXPECT_EQ(result->fileName, event.fileName);
      }
    }
  }
}

// Writing fails once the file holds 100000 bytes, as on a full disk.
TEST_F(ProgrammeReceptionTest, WriteFailureEndsTheReceptionAsAFailure) {
  constexpr uint64_t kLimit = 100000;
  CScriptedLink link;
  const std::string stream = Stream("FULL", 300000, 5);
  link.AddStream(stream, 10000);
  ProgrammeReceptionResult result;
  {
    testing::CInjectedFileFaults faults;
    faults.FailWritesAfter(kLimit, testing::DiskFullCode());
    result = ReceiveProgramme(link, ReceptionSetup(150));
  }
  EXPECT_EQ(ReceptionOutcome::kWriteFailed, result.outcome);
  std::string content = FileContent("FULL.MPG");
  EXPECT_EQ(kLimit, content.size());
  EXPECT_TRUE(content == stream.substr(0, kLimit));
  EXPECT_EQ((std::vector<std::string>{kOpening,
                                      "451 Requested action aborted: local error in processing."}),
            link.replies);
  EXPECT_EQ(ReceptionState::kWriteFailed, recorder_.LastStateOf(result.id));
  EXPECT_EQ(folder_.PathOf("FULL.MPG"), recorder_.Events().back().path);
  EXPECT_GT(link.StepsLeft(), 0u);  // the rest of the stream was not waited for
}

TEST_F(ProgrammeReceptionTest, FailedCloseIsReportedAsAWriteFailure) {
  CScriptedLink link;
  const std::string stream = Stream("SHUT", 3000);
  link.AddStream(stream, 1000);
  ProgrammeReceptionResult result;
  {
    testing::CInjectedFileFaults faults;
    faults.FailCloses(testing::DiskFullCode());
    result = ReceiveProgramme(link, ReceptionSetup());
  }
  EXPECT_EQ(ReceptionOutcome::kWriteFailed, result.outcome);
  EXPECT_TRUE(FileContent("SHUT.MPG") == stream);  // what was written stays
  EXPECT_EQ((std::vector<std::string>{kOpening,
                                      "451 Requested action aborted: local error in processing."}),
            link.replies);
  EXPECT_EQ(ReceptionState::kWriteFailed, recorder_.LastStateOf(result.id));
}

// The dubbing information document and the status document over the scripted link.

TEST(DubbingInfoTransfer, TitleSizeSplitAcrossPiecesIsParsed) {
  CScriptedLink link;
  link.AddPiece("<?xml version=\"1.0\"?><dubbinginfo><title");
  link.AddPiece("size>1048");
  link.AddQuietWait();
  link.AddPiece("576</titles");
  link.AddPiece("ize></dubbinginfo>");
  uint64_t titleSize = 77;
  ReceiveDubbingInfo(link, &titleSize);
  EXPECT_EQ(1048576u, titleSize);
  EXPECT_EQ(kReceivedReplies, link.replies);
  EXPECT_EQ(1, link.closes);
  for (uint32_t capacity : link.capacities) EXPECT_EQ(2048u, capacity);
}

TEST(DubbingInfoTransfer, DocumentWithoutSizeResetsItToZero) {
  CScriptedLink link;
  link.AddPiece("<dubbinginfo><title>x</title></dubbinginfo>");
  uint64_t titleSize = 1234;
  ReceiveDubbingInfo(link, &titleSize);
  EXPECT_EQ(0u, titleSize);
}

TEST(DubbingInfoTransfer, FailedDataConnectionKeepsTheSizeAndResetsTheLogin) {
  CScriptedLink link;
  link.openSucceeds = false;
  uint64_t titleSize = 1234;
  ReceiveDubbingInfo(link, &titleSize);
  EXPECT_EQ(1234u, titleSize);
  EXPECT_EQ((std::vector<std::string>{"425 Can't open data connection.", kAborted}), link.replies);
  EXPECT_EQ(1, link.loginResets);
}

TEST(DubbingInfoTransfer, StopFlagAndSilenceStillEndWith226) {
  CScriptedLink stopped;
  stopped.AddStop();
  uint64_t titleSize = 5;
  ReceiveDubbingInfo(stopped, &titleSize);
  EXPECT_EQ(0u, titleSize);
  EXPECT_EQ(kReceivedReplies, stopped.replies);

  CScriptedLink silent;
  silent.quietWaitMs = 20;
  silent.AddPiece("<titlesize>3</titlesize>");
  for (int i = 0; i < 10; ++i) silent.AddQuietWait();
  silent.AddPiece("<titlesize>9</titlesize>");
  DubbingTimeouts timeouts;
  timeouts.silenceMs = 50;
  ReceiveDubbingInfo(silent, &titleSize, timeouts);
  EXPECT_EQ(3u, titleSize);
  EXPECT_EQ(kReceivedReplies, silent.replies);
}

TEST(StatusDocumentTransfer, SendsTheWholeDocumentBetween150And226) {
  CScriptedLink link;
  CCountedString document = BuildStatusDocument();
  SendStatusDocument(link, document);
  EXPECT_EQ(std::string(document.CStr(), document.Length()), link.sent);
  EXPECT_EQ(kReceivedReplies, link.replies);
  EXPECT_EQ(1000, link.dataTimeoutMs);
}

TEST(StatusDocumentTransfer, FailedSendGives426Then226) {
  CScriptedLink link;
  link.sendSucceeds = false;
  SendStatusDocument(link, BuildStatusDocument());
  EXPECT_EQ((std::vector<std::string>{kOpening, kAborted, kComplete}), link.replies);
}

TEST(StatusDocumentTransfer, FailedDataConnectionGives150Then426) {
  CScriptedLink link;
  link.openSucceeds = false;
  SendStatusDocument(link, BuildStatusDocument());
  EXPECT_EQ((std::vector<std::string>{kOpening, "425 Can't open data connection.", kAborted}),
            link.replies);
  EXPECT_EQ(0, link.loginResets);
  EXPECT_TRUE(link.sent.empty());
}

}  // namespace
}  // namespace kestova

namespace kestova {
namespace {

// Keeps every event it is given (one reception thread at a time here).
class CEventLog : public IReceptionObserver {
 public:
  void OnReceptionEvent(const ReceptionEvent& event) override { events.push_back(event); }
  // "S" started, "F" file created, "P" progress, "E" ended, in order.
  std::string Kinds() const {
    std::string kinds;
    for (const ReceptionEvent& event : events) kinds += "SFPE"[static_cast<int>(event.kind)];
    return kinds;
  }
  std::vector<ReceptionEvent> events;
};

class ReceptionEventsTest : public ::testing::Test {
 protected:
  ReceptionEventsTest() {
    observers_.Add(&first_);
    observers_.Add(&second_);
  }
  ProgrammeReceptionSetup ObservedSetup() {
    ProgrammeReceptionSetup setup;
    setup.rootFolder = folder_.Path();
    setup.titleSize = 2;  // 4 KiB announced
    setup.observer = &observers_;
    return setup;
  }
  testing::CScratchFolder folder_;
  CEventLog first_, second_;
  CReceptionObservers observers_;
};

TEST_F(ReceptionEventsTest, EveryObserverSeesOneReceptionUnderOneId) {
  testing::CScriptedLink link;
  link.AddStream(Stream("EVENTS", 4096), 1024);
  const ProgrammeReceptionResult result = ReceiveProgramme(link, ObservedSetup());
  EXPECT_EQ(ReceptionOutcome::kReceived, result.outcome);
  const std::string kinds = first_.Kinds();
  EXPECT_EQ("SF", kinds.substr(0, 2));
  EXPECT_EQ('E', kinds.back());
  EXPECT_EQ(kinds, second_.Kinds());
  EXPECT_NE(0u, result.id);
  for (const ReceptionEvent& event : first_.events) EXPECT_EQ(result.id, event.id);
  const ReceptionEvent& created = first_.events[1];
  EXPECT_EQ(ReceptionState::kReceiving, created.state);
  EXPECT_EQ("EVENTS.MPG", created.fileName);
  EXPECT_FALSE(created.hasFigures);
  const ReceptionEvent& ended = first_.events.back();
  EXPECT_EQ(ReceptionState::kReceived, ended.state);
  ASSERT_TRUE(ended.hasFigures);
  EXPECT_EQ(4096u, ended.receivedBytes);
  EXPECT_EQ(4096u, ended.announcedBytes);
  EXPECT_TRUE(ended.figures.percentageKnown);
  EXPECT_DOUBLE_EQ(100.0, ended.figures.percentage);

  // The next reception has an id of its own.
  testing::CScriptedLink again;
  again.AddPiece(Stream("EVENTS", 300));
  EXPECT_NE(result.id, ReceiveProgramme(again, ObservedSetup()).id);
}

// The end names the system's reason of what failed: the file's, the data connection's,
// and the file's when both failed.
TEST_F(ReceptionEventsTest, AFailureEndsWithTheSystemsReason) {
  const int kFileCode = testing::DiskFullCode();
  const int kConnectionCode = kFileCode + 1;  // any code other than the file's
  const struct {
    const char* name;
    bool writeFails;
    bool receiveFails;
    bool closeFails;
    ReceptionState state;
    int reason;
  } cases[] = {
      {"write fails", true, false, false, ReceptionState::kWriteFailed, kFileCode},
      {"connection fails", false, true, false, ReceptionState::kInterrupted, kConnectionCode},
      {"connection, then close fail", false, true, true, ReceptionState::kWriteFailed, kFileCode},
      {"nothing fails", false, false, false, ReceptionState::kReceived, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    first_.events.clear();
    testing::CScriptedLink link;
    link.AddStream(Stream(c.name, c.receiveFails ? 2048 : 4096), 1024);
    if (c.receiveFails) link.AddReceiveError(kConnectionCode);
    {
      testing::CInjectedFileFaults faults;
      if (c.writeFails) faults.FailWritesAfter(2048, kFileCode);
      if (c.closeFails) faults.FailCloses(kFileCode);
      ReceiveProgramme(link, ObservedSetup());
    }
    const ReceptionEvent& ended = first_.events.back();
    EXPECT_EQ(c.state, ended.state);
    EXPECT_EQ(c.reason, ended.reason.code);
    EXPECT_EQ(SystemErrorOf(c.reason).text, ended.reason.text);
    for (size_t i = 0; i + 1 < first_.events.size(); ++i) {
      EXPECT_FALSE(first_.events[i].reason.IsSet());
    }
  }
}

TEST_F(ReceptionEventsTest, AReceiveErrorEndsAsInterruptedAndKeepsTheBytes) {
  testing::CScriptedLink link;
  const std::string stream = Stream("RESET", 3000);
  link.AddStream(stream, 1000);
  link.AddReceiveError(testing::DiskFullCode() + 1);  // any code
  link.AddPiece("never read");
  ProgrammeReceptionSetup setup = ObservedSetup();
  const ProgrammeReceptionResult result = ReceiveProgramme(link, setup);
  EXPECT_EQ(ReceptionOutcome::kInterrupted, result.outcome);
  EXPECT_EQ(ReceptionState::kInterrupted, first_.events.back().state);
  EXPECT_EQ(3000u, first_.events.back().receivedBytes);
  EXPECT_TRUE(testing::ReadWholeFile(folder_.PathOf("RESET.MPG")) == stream);
  EXPECT_EQ(kReceivedReplies, link.replies);  // the recorder still gets 226
}

// A stream closed in order is whole only when it is not shorter than its announced size
// (a recorder killed half-way closes in order too). The recorder's replies never change.
TEST_F(ReceptionEventsTest, AnOrderlyCloseShortOfTheAnnouncedSizeIsInterrupted) {
  struct Case {
    uint64_t titleSize;  // units of 2048 bytes
    size_t sent;
    ReceptionState state;
  } cases[] = {
      {4, 4096, ReceptionState::kInterrupted},  // half of 8 KiB
      {4, 6144, ReceptionState::kInterrupted},  // a whole unit missing
      {4, 6145, ReceptionState::kReceived},     // ends inside the last unit
      {4, 8192, ReceptionState::kReceived},
      {4, 9000, ReceptionState::kReceived},
      {0, 4096, ReceptionState::kReceived},  // nothing announced
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.titleSize) + " units, " + std::to_string(c.sent) + " bytes");
    testing::CScratchFolder folder;
    testing::CScriptedLink link;
    const std::string stream = Stream("HALF", c.sent);
    link.AddStream(stream, 1000);
    ProgrammeReceptionSetup setup = ObservedSetup();
    setup.rootFolder = folder.Path();
    setup.titleSize = c.titleSize;
    ReceiveProgramme(link, setup);
    const ReceptionEvent& ended = first_.events.back();
    EXPECT_EQ(c.state, ended.state);
    EXPECT_EQ(c.sent, ended.receivedBytes);
    EXPECT_EQ(c.titleSize * 2048, ended.announcedBytes);
    EXPECT_TRUE(testing::ReadWholeFile(folder.PathOf("HALF.MPG")) == stream);
    EXPECT_EQ(kReceivedReplies, link.replies);
  }
}

TEST_F(ReceptionEventsTest, AFileThatCannotBeCreatedEndsWithoutFigures) {
  ASSERT_TRUE(testing::WriteWholeFile(folder_.PathOf("blocker"), "x"));
  testing::CScriptedLink link;
  link.AddPiece(Stream("TITLE", 400));
  ProgrammeReceptionSetup setup = ObservedSetup();
  setup.rootFolder = folder_.PathOf("blocker/");
  ReceiveProgramme(link, setup);
  EXPECT_EQ("SE", first_.Kinds());
  EXPECT_EQ(ReceptionState::kCreateFailed, first_.events.back().state);
  EXPECT_FALSE(first_.events.back().hasFigures);
  EXPECT_EQ(folder_.PathOf("blocker/TITLE.MPG"), first_.events.back().path);
}

}  // namespace
}  // namespace kestova
