// CReceiveList: the Linux receive list, kestov-a's implementation of the status
// callback (ftp/status_callback.h).
//
// One row per programme reception, appended by status code 7 and filled by codes 0-6.
// On a terminal the list is shown live, like the Windows receive page: file name, MB
// received/expected, elapsed time, percentage with a bar, rate, remaining time and
// state, redrawn in place at most twice a second. When the output is not a terminal
// (a service, a log file) it prints one plain line per state change and, while a
// reception runs, a progress line at most every 10 s per reception.
//
// The callback may be called from several session threads at once; every call has
// taken effect when it returns. Tick/Flush/Start/Stop may be called from any thread.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "linux/receive_list_texts.h"

namespace kestova {

class CReceiveList {
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
  ~CReceiveList();
  CReceiveList(const CReceiveList&) = delete;
  CReceiveList& operator=(const CReceiveList&) = delete;

  // The status callback; `context` is the CReceiveList.
  static void StatusCallback(uint32_t code, void* data, void* context, int32_t row);
  void OnStatus(uint32_t code, void* data, int32_t row);

  // Terminal mode: draws the list if it changed and the last drawing is at least
  // kRedrawIntervalMs old. Plain mode: nothing.
  void Tick();
  // Terminal mode: draws the list now if it changed since the last drawing.
  void Flush();
  // Terminal mode: a thread calls Tick every 100 ms until Stop, which flushes.
  void Start();
  void Stop();

  size_t RowCount() const;

 private:
  struct Row {
    std::string fileName;
    std::string size, elapsed, percentage, rate, remaining;
    ParsedState state;
    uint64_t lastLineMs = 0;  // plain mode: time of the last line about this row
  };

  uint64_t Now() const;
  void PrintPlainLine(int32_t index, const std::string& text);
  void PrintStateLine(int32_t index);
  void PrintProgressLine(int32_t index);
  std::vector<size_t> ColumnWidths() const;
  std::string TableLine(const std::vector<std::string>& cells,
                        const std::vector<size_t>& widths) const;
  // "25.00%  [##......]"; empty while no percentage is known.
  std::string ProgressCell(const std::string& percentage) const;
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
