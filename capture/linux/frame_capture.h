// CFrameCapture: the Linux capture's reader thread. It waits on a frame source and calls the
// frame callback once per frame; a source that fails is reported through the failure report,
// never dropped silently. A source whose interface goes can be opened again when it returns.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "capture/frame_callback.h"
#include "capture/linux/frame_source.h"

namespace kestova {

// Receives a failure text from the reader thread. A transient failure (`fatal` false) leaves
// the capture running; after a fatal one it has stopped.
using CaptureFailureReport = void (*)(const char* text, bool fatal, void* context);

// Opens the source anew after its interface has gone; null with *error while it cannot.
using SourceReopener = std::function<std::unique_ptr<IFrameSource>(std::string* error)>;

class CFrameCapture {
 public:
  CFrameCapture(std::unique_ptr<IFrameSource> source, FrameCallback callback, void* context,
                CaptureFailureReport report, void* reportContext);
  ~CFrameCapture();  // stops the reader
  CFrameCapture(const CFrameCapture&) = delete;
  CFrameCapture& operator=(const CFrameCapture&) = delete;

  // Before Start: when the source's interface goes, the capture reports it (not fatal),
  // tries `reopener` once a second until an interface of that name is back, reports
  // `backText` and goes on with the new source. Without one, an interface that goes ends
  // the capture (a fatal report).
  void SetReopener(SourceReopener reopener, const std::string& backText);
  // Starts the reader thread; false with *error when it cannot be started.
  bool Start(std::string* error);
  // Wakes the reader, waits for it to end. Safe to call more than once.
  void Stop();
  // True once the source has failed for good (the reader has ended then).
  bool Failed() const { return failed_.load(); }

 private:
  void ReadLoop();
  // After the source reported `why` (its interface is gone): true once a reopened source
  // has replaced it, false when there is no reopener or Stop came first.
  bool Reattach(const std::string& why);
  void Report(const std::string& text, bool fatal);

  std::unique_ptr<IFrameSource> source_;
  FrameCallback callback_;
  void* context_;
  CaptureFailureReport report_;
  void* reportContext_;
  SourceReopener reopener_;
  std::string backText_;
  int wakeFd_ = -1;
  std::thread reader_;
  std::atomic<bool> failed_{false};
};

}  // namespace kestova
