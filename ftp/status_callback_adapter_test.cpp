// The status callback as a view of the reception events: exact codes, order and texts.
#include "ftp/status_callback_adapter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ftp/test_support/dubbing_doubles.h"

namespace kestova {
namespace {

using testing::CStatusRecorder;
using testing::StatusEvent;

ReceptionEvent Event(ReceptionEventKind kind, ReceptionState state) {
  ReceptionEvent event;
  event.kind = kind;
  event.id = 42;
  event.state = state;
  event.fileName = "\x94\xd4\x91\x67.MPG";  // "番組.MPG" in Shift_JIS
  event.path = "D:\\rec\\\x94\xd4\x91\x67.MPG";
  return event;
}

// The figures of the documented example: 512 MiB of a 2 GiB title after 100 s.
ReceptionEvent WithFigures(ReceptionEvent event) {
  event.hasFigures = true;
  event.receivedBytes = 536870912;
  event.announcedBytes = 1048576ull * 2048;
  event.figures = ComputeProgress(event.receivedBytes, 1048576, 100000);
  return event;
}

std::string Transcript(const std::vector<StatusEvent>& events) {
  std::string text;
  for (const StatusEvent& event : events) {
    text += std::to_string(event.code) + "@" + std::to_string(event.row) + ":" + event.text + "|";
  }
  return text;
}

const std::string kProgress = "1@0:512/2048|2@0:1:41|3@0:25.00|4@0:5:03|5@0:5190|";

TEST(StatusCallbackAdapterTest, EveryEventGivesTheCodesAndTextsOfTheReceivePage) {
  const std::string path = "D:\\rec\\\x94\xd4\x91\x67.MPG";
  const struct {
    const char* name;
    ReceptionEvent event;
    std::string transcript;  // after the start (code 7, row 0)
  } cases[] = {
      {"file created", Event(ReceptionEventKind::kFileCreated, ReceptionState::kReceiving),
       "0@0:\x94\xd4\x91\x67.MPG|6@0:" + std::string(kTextReceiving) + "|"},
      {"progress", WithFigures(Event(ReceptionEventKind::kProgress, ReceptionState::kReceiving)),
       kProgress},
      {"received", WithFigures(Event(ReceptionEventKind::kEnded, ReceptionState::kReceived)),
       kProgress + "6@0:" + kTextReceived + "|"},
      {"interrupted", WithFigures(Event(ReceptionEventKind::kEnded, ReceptionState::kInterrupted)),
       kProgress + "6@0:" + kTextInterrupted + "|"},
      {"write failed", WithFigures(Event(ReceptionEventKind::kEnded, ReceptionState::kWriteFailed)),
       kProgress + "6@0:" + CCountedString::Format(kTextWriteFailedFormat, path.c_str()).CStr() +
           "|"},
      {"create failed", Event(ReceptionEventKind::kEnded, ReceptionState::kCreateFailed),
       "6@0:" + std::string(CCountedString::Format(kTextCreateFailedFormat, path.c_str()).CStr()) +
           "|"},
  };
  for (const auto& c : cases) {
    CStatusRecorder recorder;
    CStatusCallbackAdapter adapter(&CStatusRecorder::Callback, &recorder);
    adapter.OnReceptionEvent(Event(ReceptionEventKind::kStarted, ReceptionState::kStarting));
    EXPECT_EQ(0, adapter.Row()) << c.name;
    adapter.OnReceptionEvent(c.event);
    EXPECT_EQ("7@0:|" + c.transcript, Transcript(recorder.Events())) << c.name;
  }
}

TEST(StatusCallbackAdapterTest, StateTextsAreTheShiftJisTextsOfTheirStringIds) {
  // "受信中", "受信完了しました", "受信が中断されました" in code page 932.
  const struct {
    ReceptionState state;
    unsigned id;
    const char* text;
  } cases[] = {
      {ReceptionState::kReceiving, 1007, "\x8e\xf3\x90\x4d\x92\x86"},
      {ReceptionState::kReceived, 1006,
       "\x8e\xf3\x90\x4d\x8a\xae\x97\xb9\x82\xb5\x82\xdc\x82\xb5\x82\xbd"},
      {ReceptionState::kInterrupted, 1008,
       "\x8e\xf3\x90\x4d\x82\xaa\x92\x86\x92\x66\x82\xb3\x82\xea\x82\xdc\x82\xb5\x82\xbd"},
  };
  for (const auto& c : cases) {
    unsigned id = 0;
    EXPECT_EQ(std::string(c.text), StatusStateText(c.state, "unused", &id).CStr());
    EXPECT_EQ(c.id, id);
  }
  unsigned id = 0;
  const std::string created = StatusStateText(ReceptionState::kCreateFailed, "/x", &id).CStr();
  EXPECT_EQ(10008u, id);
  EXPECT_EQ("\x83\x74\x83\x40\x83\x43\x83\x8b", created.substr(0, 8));  // "ファイ"...
  EXPECT_EQ("\x81\x46/x", created.substr(created.size() - 4));          // "：/x"
  StatusStateText(ReceptionState::kWriteFailed, "/x", &id);
  EXPECT_EQ(10009u, id);
}

TEST(StatusCallbackAdapterTest, WithoutCallbackNothingHappens) {
  CStatusCallbackAdapter adapter(nullptr, nullptr);
  adapter.OnReceptionEvent(Event(ReceptionEventKind::kStarted, ReceptionState::kStarting));
  EXPECT_EQ(-1, adapter.Row());
}

}  // namespace
}  // namespace kestova
