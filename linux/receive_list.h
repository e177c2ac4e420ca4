// CReceiveList: the Linux receive list, a view of the programme reception events
// (ftp/reception_events.h) that formats its own UTF-8 texts.
//
// One row per programme reception, appended when it starts and found again by the
// reception's id (not by its position) for every later event.
// On a terminal the list is shown live, like the Windows receive page: file name, MB
// received/expected, elapsed time, percentage with a bar, rate, remaining time and
// state, redrawn in place at most twice a second. The columns fit the terminal: long
// headers where there is room, else short ones, else the rate, elapsed time and size
// go in that order; a header is never cut, a long file name is cut in its middle. When the output is not a terminal
// (a service, a log file) it prints one plain line per state change and, while a
// reception runs, a progress line at most every 10 s per reception.
//
// Events may come from several session threads at once; each has taken effect when
// OnReceptionEvent returns. Tick/Flush/Start/Stop may be called from any thread.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "ftp/reception_events.h"
#include "linux/receive_list_texts.h"

namespace kestova {

class CReceiveList : public IReceptionObserver {
 public:
  using Clock = uint64_t (*)();  // milliseconds, never going back

  struct Settings {
    std::FILE* output = stdout;
    bool terminal = false;
    ListLanguage language = ListLanguage::kEnglish;
    int width = 100;                  // terminal columns
    int height = 24;                  // terminal lines
    bool followTerminalSize = false;  // ask the terminal for its size at each drawing
    Clock clock = nullptr;            // nullptr: a monotonic clock
  };

  // Plain lines at most this often per reception; live drawings at most this often.
  static constexpr uint64_t kPlainProgressIntervalMs = 10000;
  static constexpr uint64_t kRedrawIntervalMs = 500;

  explicit CReceiveList(const Settings& settings);
  ~CReceiveList() override;
  CReceiveList(const CReceiveList&) = delete;
  CReceiveList& operator=(const CReceiveList&) = delete;

  // Appends a row for kStarted; updates the reception's row for the others (events of
  // a reception the list never saw start are ignored).
  void OnReceptionEvent(const ReceptionEvent& event) override;

  // Terminal mode: draws the list if it changed and the last drawing is at least
  // kRedrawIntervalMs old. Plain mode: nothing.
  void Tick();
  // Terminal mode: draws the list now if it changed since the last drawing.
  void Flush();
  // Terminal mode: a thread calls Tick every 100 ms until Stop, which flushes.
  void Start();
  void Stop();

  size_t RowCount() const;

  // One line of the service log ("time text"), printed above the live list on a
  // terminal (which is then drawn again below it), as a plain line otherwise.
  void PrintLogLine(const std::string& text);
  // A LogSink (linux/service_log.h); `context` is the CReceiveList.
  static void LogSink(const std::string& text, void* context);

 private:
  struct Row {
    ReceptionId id = 0;
    std::string fileName;
    std::string path;  // of the failure texts
    std::string reason;  // the system's reason of a failure; empty otherwise
    ReceptionState state = ReceptionState::kStarting;
    bool hasFigures = false;
    ProgressFigures figures;
    uint64_t lastLineMs = 0;  // plain mode: time of the last line about this row
  };
  // The texts of a row's figures (empty before the first figures).
  struct FigureTexts {
    std::string size, elapsed, percentage, rate, remaining;
  };
  static FigureTexts TextsOfFigures(const Row& row);

  uint64_t Now() const;
  void PrintPlainLine(size_t index, const std::string& text);
  void PrintStateLine(size_t index);
  void PrintProgressLine(size_t index);
  // The columns shown (indexes into a row's cells, the state not counted), the width of
  // each column by index, and the headers (long or short) that fit the terminal.
  struct Layout {
    std::vector<size_t> shown;
    std::vector<size_t> widths;
    const char* const* headers = nullptr;
  };
  // The layout for these rows' cells (#, name, size, elapsed, progress, rate, remaining,
  // state): no header is ever cut, the name is cut in its middle.
  Layout LayOut(const std::vector<std::vector<std::string>>& rows) const;
  std::string TableLine(const std::vector<std::string>& cells, const Layout& layout) const;
  // "25.00%  [##......]"; empty before the first figures.
  std::string ProgressCell(const Row& row) const;
  // The row of a reception, or null.
  Row* FindRow(ReceptionId id);
  void DrawLocked();

  Settings settings_;
  const ListTexts& texts_;
  mutable std::mutex mutex_;
  std::vector<Row> rows_;
  bool dirty_ = false;
  bool drawnOnce_ = false;
  uint64_t lastDrawMs_ = 0;
  int linesDrawn_ = 0;

  std::thread ticker_;
  std::condition_variable wake_;
  bool stopping_ = false;
};

// Settings for the process's standard output: terminal mode when it is a terminal
// (and TERM is not "dumb"), with its size; the language of the environment.
CReceiveList::Settings StandardOutputListSettings();

}  // namespace kestova
