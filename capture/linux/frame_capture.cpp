#include "capture/linux/frame_capture.h"
#include "platform/texts.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <system_error>

namespace kestova {
namespace {

// After a transient failure the reader pauses this long, so a failure that repeats at once
// (an interface that stays down) neither spins nor floods the report.
constexpr int kTransientPauseMs = 1000;
// While nothing arrives the source is asked this often whether it can still deliver.
constexpr int kCheckIntervalMs = 1000;
// While the interface is gone, reopening is tried this often.
constexpr int kReopenIntervalMs = 1000;

}  // namespace

CFrameCapture::CFrameCapture(std::unique_ptr<IFrameSource> source, FrameCallback callback,
                             void* context, CaptureFailureReport report, void* reportContext)
    : source_(std::move(source)),
      callback_(callback),
      context_(context),
      report_(report),
      reportContext_(reportContext) {}

CFrameCapture::~CFrameCapture() {
  Stop();
  if (wakeFd_ >= 0) close(wakeFd_);
}

bool CFrameCapture::Start(std::string* error) {
  if (reader_.joinable()) {
    *error = "capture already running";
    return false;
  }
  if (wakeFd_ < 0) wakeFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (wakeFd_ < 0) {
    *error = std::string("eventfd: ") + std::strerror(errno);
    return false;
  }
  try {
    reader_ = std::thread(&CFrameCapture::ReadLoop, this);
  } catch (const std::system_error& e) {
    *error = std::string("capture thread: ") + e.what();
    return false;
  }
  return true;
}

void CFrameCapture::Stop() {
  if (!reader_.joinable()) return;
  const uint64_t one = 1;
  if (write(wakeFd_, &one, sizeof(one)) < 0) {
    // The counter cannot overflow with one write per stop; nothing else can fail here.
  }
  reader_.join();
  uint64_t drained;
  if (read(wakeFd_, &drained, sizeof(drained)) < 0) {
    // Already zero: nothing to drain.
  }
}

void CFrameCapture::SetReopener(SourceReopener reopener, const std::string& backText) {
  reopener_ = std::move(reopener);
  backText_ = backText;
}

bool CFrameCapture::Reattach(const std::string& why) {
  if (!reopener_) return false;
  Report(why + T_(" - waiting for it to return"), false);
  pollfd wake = {wakeFd_, POLLIN, 0};
  for (;;) {
    const int woken = poll(&wake, 1, kReopenIntervalMs);
    if (woken > 0) return false;  // Stop
    if (woken < 0 && errno != EINTR) return false;
    std::string error;
    std::unique_ptr<IFrameSource> source = reopener_(&error);
    if (source == nullptr) continue;
    source_ = std::move(source);
    Report(backText_, false);
    return true;
  }
}

void CFrameCapture::Report(const std::string& text, bool fatal) {
  if (report_ != nullptr) report_(text.c_str(), fatal, reportContext_);
}

void CFrameCapture::ReadLoop() {
  pollfd waits[2];
  waits[0].fd = wakeFd_;
  waits[0].events = POLLIN;
  waits[1].fd = source_->Descriptor();
  waits[1].events = POLLIN;
  for (;;) {
    waits[0].revents = 0;
    waits[1].revents = 0;
    const int ready = poll(waits, 2, kCheckIntervalMs);
    if (ready < 0) {
      if (errno == EINTR) continue;
      failed_.store(true);
      Report(std::string("capture wait: ") + std::strerror(errno), true);
      return;
    }
    std::string error;
    if (ready == 0) {
      if (source_->StillUsable(&error)) continue;
      if (Reattach(error)) {
        waits[1].fd = source_->Descriptor();
        continue;
      }
      if (reopener_) return;  // Stop came while waiting for the interface
      failed_.store(true);
      Report(error, true);
      return;
    }
    if (waits[0].revents != 0) return;  // Stop
    if (waits[1].revents == 0) continue;
    CapturedFrame frame;
    switch (source_->Read(&frame, &error)) {
      case ReadOutcome::kFrame:
        if (callback_ != nullptr) {
          callback_(frame.keyLow, frame.keyHigh, frame.bytes, static_cast<uint32_t>(frame.length),
                    context_);
        }
        break;
      case ReadOutcome::kNothing:
        break;
      case ReadOutcome::kTransient:
        Report(error, false);
        if (poll(waits, 1, kTransientPauseMs) > 0) return;  // Stop during the pause
        break;
      case ReadOutcome::kFailed: {
        std::string gone;
        if (!source_->StillUsable(&gone)) {
          if (Reattach(gone)) {
            waits[1].fd = source_->Descriptor();
            break;
          }
          if (reopener_) return;  // Stop came while waiting for the interface
        }
        failed_.store(true);
        Report(error, true);
        return;
      }
    }
  }
}

}  // namespace kestova
