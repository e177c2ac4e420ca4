// CFrameCapture: the Linux capture's reader thread. It waits on a frame source and calls the
// frame callback once per frame; a source that fails is reported through the failure report,
// never dropped silently.
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include "capture/frame_callback.h"
#include "capture/linux/frame_source.h"

namespace kestova {

// Receives a failure text from the reader thread. A transient failure (`fatal` false) leaves
// the capture running; after a fatal one it has stopped.
using CaptureFailureReport = void (*)(const char* text, bool fatal, void* context);

class CFrameCapture {
 public:
  CFrameCapture(std::unique_ptr<IFrameSource> source, FrameCallback callback, void* context,
                CaptureFailureReport report, void* reportContext);
  ~CFrameCapture();  // stops the reader
  CFrameCapture(const CFrameCapture&) = delete;
  CFrameCapture& operator=(const CFrameCapture&) = delete;

  // Starts the reader thread; false with *error when it cannot be started.
  bool Start(std::string* error);
  // Wakes the reader, waits for it to end. Safe to call more than once.
  void Stop();
  // True once the source has failed for good (the reader has ended then).
  bool Failed() const { return failed_.load(); }

 private:
  void ReadLoop();
  void Report(const std::string& text, bool fatal);

  std::unique_ptr<IFrameSource> source_;
  FrameCallback callback_;
  void* context_;
  CaptureFailureReport report_;
  void* reportContext_;
  int wakeFd_ = -1;
  std::thread reader_;
  std::atomic<bool> failed_{false};
};

}  // namespace kestova
