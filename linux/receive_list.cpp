#include "linux/receive_list.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <ctime>

#include "ftp/programme_progress.h"
#include "linux/service_log.h"

namespace kestova {

namespace {

uint64_t MonotonicMs() {
  return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                   std::chrono::steady_clock::now().time_since_epoch())
                                   .count());
}

bool TerminalSize(int descriptor, int* width, int* height) {
  struct winsize size = {};
  if (ioctl(descriptor, TIOCGWINSZ, &size) != 0 || size.ws_col == 0) return false;
  *width = size.ws_col;
  *height = size.ws_row > 0 ? size.ws_row : 24;
  return true;
}

// The live list's columns: 0 "#", 1 name, 2 size, 3 elapsed, 4 progress, 5 rate,
// 6 remaining; the state (7) comes last and takes the rest of the line.
constexpr size_t kColumnCount = 7;
constexpr size_t kNameColumn = 1;
constexpr size_t kProgressColumn = 4;
// The least width of each column: room for the usual figures, so that the layout does
// not move while they grow ("4482/4482", "12:34", "25.00%", "12345"). A wider cell or
// header widens its column.
constexpr size_t kLeastWidths[kColumnCount] = {2, 14, 9, 5, 6, 5, 5};
constexpr size_t kPreferredNameWidth = 24;
// Which columns go first when even the short headers leave no room: rate, elapsed, size.
constexpr size_t kDropOrder[] = {5, 3, 2};
constexpr int kBarTerminalWidth = 100;  // narrower terminals get no bar
constexpr size_t kBarWidth = 10;
constexpr size_t kBarCellWidth = 18;  // "25.00%  [########]"

// Columns the widest normal state takes ("Reception interrupted", "受信が中断されました");
// the failure texts, which carry a path, are cut at the end of the line.
size_t StateRoom(const ListTexts& texts) {
  size_t room = DisplayWidth(texts.columns[7 - 1]);
  for (ReceptionState state : {ReceptionState::kStarting, ReceptionState::kReceiving,
                               ReceptionState::kReceived, ReceptionState::kInterrupted}) {
    room = std::max(room, DisplayWidth(texts.states.Of(state)));
  }
  return room;
}

}  // namespace

CReceiveList::CReceiveList(const Settings& settings)
    : settings_(settings), texts_(TextsFor(settings.language)) {}

CReceiveList::~CReceiveList() { Stop(); }

uint64_t CReceiveList::Now() const {
  return settings_.clock != nullptr ? settings_.clock() : MonotonicMs();
}

CReceiveList::Row* CReceiveList::FindRow(ReceptionId id) {
  // Newest first: events mostly concern the receptions still running.
  for (auto row = rows_.rbegin(); row != rows_.rend(); ++row) {
    if (row->id == id) return &*row;
  }
  return nullptr;
}

CReceiveList::FigureTexts CReceiveList::TextsOfFigures(const Row& row) {
  FigureTexts texts;
  if (!row.hasFigures) return texts;
  const ProgressTexts formatted = FormatProgress(row.figures);
  texts.size = formatted.size.CStr();
  texts.elapsed = formatted.elapsed.CStr();
  texts.percentage = formatted.percentage.CStr();
  texts.rate = formatted.rate.CStr();
  texts.remaining = formatted.remaining.CStr();
  return texts;
}

void CReceiveList::OnReceptionEvent(const ReceptionEvent& event) {
  std::lock_guard<std::mutex> hold(mutex_);
  if (event.kind == ReceptionEventKind::kStarted) {
    rows_.push_back(Row());
    rows_.back().id = event.id;
    rows_.back().lastLineMs = Now();
    dirty_ = true;
    return;
  }
  Row* row = FindRow(event.id);
  if (row == nullptr) return;
  const ReceptionState before = row->state;
  row->state = event.state;
  if (!event.fileName.IsEmpty()) row->fileName = event.fileName.CStr();
  if (!event.path.IsEmpty()) row->path = event.path.CStr();
  if (event.reason.IsSet()) row->reason = event.reason.text.CStr();
  if (event.hasFigures) {
    row->hasFigures = true;
    row->figures = event.figures;
  }
  dirty_ = true;
  if (settings_.terminal) return;
  const size_t index = static_cast<size_t>(row - rows_.data());
  if (event.state != before || event.kind == ReceptionEventKind::kEnded) {
    PrintStateLine(index);
  } else if (event.kind == ReceptionEventKind::kProgress &&
             Now() - row->lastLineMs >= kPlainProgressIntervalMs) {
    PrintProgressLine(index);
  }
}

void CReceiveList::PrintPlainLine(size_t index, const std::string& text) {
  Row& row = rows_[index];
  row.lastLineMs = Now();
  std::time_t now = std::time(nullptr);
  struct tm local = {};
  localtime_r(&now, &local);
  char stamp[32];
  std::strftime(stamp, sizeof(stamp), "%Y-%m-%d %H:%M:%S", &local);
  std::string name = row.fileName.empty() ? std::string() : row.fileName + ": ";
  std::fprintf(settings_.output, "%s #%zu %s%s\n", stamp, index + 1, name.c_str(), text.c_str());
  std::fflush(settings_.output);
}

void CReceiveList::PrintStateLine(size_t index) {
  const Row& row = rows_[index];
  std::string text = StateText(texts_, row.state, row.path);
  if (!row.reason.empty()) text += ": " + row.reason;
  const bool ended = row.state == ReceptionState::kReceived ||
                     row.state == ReceptionState::kInterrupted ||
                     row.state == ReceptionState::kWriteFailed;
  if (ended && row.hasFigures) {
    const FigureTexts figures = TextsOfFigures(row);
    text += " (" + figures.size + " MB" + texts_.separator + texts_.elapsedLabel + figures.elapsed +
            ")";
  }
  PrintPlainLine(index, text);
}

void CReceiveList::PrintProgressLine(size_t index) {
  const FigureTexts figures = TextsOfFigures(rows_[index]);
  const std::string separator = texts_.separator;
  PrintPlainLine(index, figures.size + " MB" + separator + figures.percentage + "%" + separator +
                            figures.rate + " KB/s" + separator + texts_.elapsedLabel +
                            figures.elapsed + separator + texts_.remainingLabel +
                            figures.remaining);
}

std::string CReceiveList::ProgressCell(const Row& row) const {
  if (!row.hasFigures) return std::string();
  const std::string percentage = TextsOfFigures(row).percentage;
  if (settings_.width < kBarTerminalWidth) return percentage + "%";
  std::string bar(kBarWidth - 2, ' ');
  if (row.figures.percentageKnown) {
    double value = row.figures.percentage;
    value = value < 0 ? 0 : value > 100 ? 100 : value;
    size_t filled = static_cast<size_t>(value / 100.0 * static_cast<double>(bar.size()) + 0.5);
    bar = std::string(filled, '#') + std::string(bar.size() - filled, '.');
  }
  return FitToWidth(percentage + "%", 7) + " [" + bar + "]";  // kBarCellWidth
}

CReceiveList::Layout CReceiveList::LayOut(const std::vector<std::vector<std::string>>& rows) const {
  const size_t width = settings_.width > 1 ? static_cast<size_t>(settings_.width) - 1 : 79;
  const size_t stateRoom = StateRoom(texts_);
  Layout layout;
  // Every column at least as wide as its widest cell (the name aside) and its header.
  auto widthsFor = [&](const char* const* headers) {
    std::vector<size_t> widths(kColumnCount);
    for (size_t c = 0; c < kColumnCount; ++c) {
      size_t least = kLeastWidths[c];
      if (c == kProgressColumn && settings_.width >= kBarTerminalWidth) least = kBarCellWidth;
      widths[c] = std::max(least, DisplayWidth(c == 0 ? "#" : headers[c - 1]));
      if (c == kNameColumn) continue;
      for (const auto& row : rows) widths[c] = std::max(widths[c], DisplayWidth(row[c]));
    }
    return widths;
  };
  auto lineWidth = [&](const Layout& candidate, size_t nameWidth) {
    size_t used = stateRoom;
    for (size_t c : candidate.shown) {
      used += (c == kNameColumn ? nameWidth : candidate.widths[c]) + 1;
    }
    return used;
  };
  for (size_t c = 0; c < kColumnCount; ++c) layout.shown.push_back(c);
  // The long headers when they leave the name its preferred room, else the short ones.
  layout.widths = widthsFor(texts_.columns);
  layout.headers = texts_.columns;
  if (lineWidth(layout, kPreferredNameWidth) > width) {
    layout.widths = widthsFor(texts_.shortColumns);
    layout.headers = texts_.shortColumns;
  }
  // Columns go, least needed first, until the least name fits.
  for (size_t drop : kDropOrder) {
    if (lineWidth(layout, kLeastWidths[kNameColumn]) <= width) break;
    layout.shown.erase(std::find(layout.shown.begin(), layout.shown.end(), drop));
  }
  // The name takes what is left beside the state.
  const size_t rest = lineWidth(layout, 0);
  layout.widths[kNameColumn] =
      std::max(kLeastWidths[kNameColumn], width > rest ? width - rest : size_t{0});
  return layout;
}

std::string CReceiveList::TableLine(const std::vector<std::string>& cells,
                                    const Layout& layout) const {
  std::string line;
  for (size_t c : layout.shown) {
    line += (c == kNameColumn ? FitWithEllipsis(cells[c], layout.widths[c])
                              : FitToWidth(cells[c], layout.widths[c])) +
            " ";
  }
  line += cells[kColumnCount];
  // Never wider than the terminal, so that a line never wraps.
  const size_t width = settings_.width > 1 ? static_cast<size_t>(settings_.width) - 1 : 79;
  if (DisplayWidth(line) > width) line = FitToWidth(line, width);
  while (!line.empty() && line.back() == ' ') line.pop_back();
  return line;
}

void CReceiveList::DrawLocked() {
  if (settings_.followTerminalSize) {
    TerminalSize(fileno(settings_.output), &settings_.width, &settings_.height);  // if it tells
  }
  // Only the newest rows fit when there are more rows than terminal lines.
  size_t room = settings_.height > 3 ? static_cast<size_t>(settings_.height) - 2 : 1;
  size_t first = rows_.size() > room ? rows_.size() - room : 0;
  std::vector<std::vector<std::string>> cells;
  for (size_t i = first; i < rows_.size(); ++i) {
    const Row& row = rows_[i];
    const FigureTexts figures = TextsOfFigures(row);
    cells.push_back({std::to_string(i + 1), row.fileName, figures.size, figures.elapsed,
                     ProgressCell(row), figures.rate, figures.remaining,
                     StateText(texts_, row.state, row.path)});
  }
  const Layout layout = LayOut(cells);
  const char* const* headers = layout.headers;
  std::vector<std::string> lines;
  lines.push_back(TableLine(
      {"#", headers[0], headers[1], headers[2], headers[3], headers[4], headers[5], headers[6]},
      layout));
  for (const auto& row : cells) lines.push_back(TableLine(row, layout));
  std::string out;
  if (linesDrawn_ > 0) out += "\x1b[" + std::to_string(linesDrawn_) + "A";
  for (const std::string& line : lines) out += "\r\x1b[2K" + line + "\n";
  std::fputs(out.c_str(), settings_.output);
  std::fflush(settings_.output);
  linesDrawn_ = static_cast<int>(lines.size());
  lastDrawMs_ = Now();
  drawnOnce_ = true;
  dirty_ = false;
}

void CReceiveList::Tick() {
  std::lock_guard<std::mutex> hold(mutex_);
  if (!settings_.terminal || !dirty_) return;
  if (drawnOnce_ && Now() - lastDrawMs_ < kRedrawIntervalMs) return;
  DrawLocked();
}

void CReceiveList::Flush() {
  std::lock_guard<std::mutex> hold(mutex_);
  if (settings_.terminal && dirty_) DrawLocked();
}

void CReceiveList::Start() {
  if (!settings_.terminal || ticker_.joinable()) return;
  {
    std::lock_guard<std::mutex> hold(mutex_);
    stopping_ = false;
  }
  ticker_ = std::thread([this] {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!stopping_) {
      wake_.wait_for(lock, std::chrono::milliseconds(100));
      if (stopping_) break;
      lock.unlock();
      Tick();
      lock.lock();
    }
  });
}

void CReceiveList::Stop() {
  if (ticker_.joinable()) {
    {
      std::lock_guard<std::mutex> hold(mutex_);
      stopping_ = true;
    }
    wake_.notify_all();
    ticker_.join();
  }
  Flush();
}

size_t CReceiveList::RowCount() const {
  std::lock_guard<std::mutex> hold(mutex_);
  return rows_.size();
}

void CReceiveList::PrintLogLine(const std::string& text) {
  std::lock_guard<std::mutex> hold(mutex_);
  std::string out;
  const bool redraw = settings_.terminal && linesDrawn_ > 0;
  if (redraw) out += "\x1b[" + std::to_string(linesDrawn_) + "A\r\x1b[J";
  out += LogTimeStamp() + text + "\n";
  std::fputs(out.c_str(), settings_.output);
  std::fflush(settings_.output);
  if (redraw) {
    linesDrawn_ = 0;
    DrawLocked();
  }
}

void CReceiveList::LogSink(const std::string& text, void* context) {
  static_cast<CReceiveList*>(context)->PrintLogLine(text);
}

CReceiveList::Settings StandardOutputListSettings() {
  CReceiveList::Settings settings;
  settings.output = stdout;
  settings.language = LanguageFromEnvironment();
  const char* term = std::getenv("TERM");
  bool dumb = term == nullptr || std::string(term) == "dumb";
  settings.terminal = isatty(STDOUT_FILENO) == 1 && !dumb;
  // A terminal that does not tell its size (a fresh pseudo-terminal) is taken as 80 x 24.
  if (settings.terminal && !TerminalSize(STDOUT_FILENO, &settings.width, &settings.height)) {
    settings.width = 80;
    settings.height = 24;
  }
  settings.followTerminalSize = settings.terminal;
  return settings;
}

}  // namespace kestova
