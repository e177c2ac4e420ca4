// CCaptureClient: the program's capture of NetBIOS name service frames on Windows.
//
// With the driver (the default) it installs KESTOVA.SYS (beside the executable) as a kernel
// service, enters the service name into every adapter's "UpperBind" binding list, starts the
// service, opens \\.\KESTOVA, waits for binding and runs a reader thread that pulls captured-frame
// records with overlapped 64 KiB reads and calls the frame callback once per frame. Stop undoes
// all of it, so nothing of the driver stays installed while the program is not running.
//
// Without the driver (Windows that refuse an unsigned NDIS 5 driver) it reads name service
// datagrams from a raw IPv4 socket (SIO_RCVALL) or from a UDP socket on port 137, wraps each in
// a frame of the driver's shape (a synthesized Ethernet header) and keeps exactly the frames the
// driver's filter keeps. The frame callback cannot tell the methods apart.
//
// Start and Stop run on one thread (the user-interface thread); the callback runs on the reader
// thread. The object must outlive its reader: Stop (or the destructor) waits for it.
#pragma once

#include <cstdint>
#include <string>

#include "capture/frame_callback.h"
#include "capture/win32/capture_reader.h"

namespace kestova {

class CCaptureClient {
 public:
  // How frames are captured: the settings file's [Capture] Method= (ReadCaptureMethodSetting).
  enum class Method {
    kDriver,  // "driver": KESTOVA.SYS; 64-bit Vista and later refuse it, unsigned
    kRaw,     // "raw": raw IPv4 socket with SIO_RCVALL; needs administrator rights
    kSocket,  // "socket": UDP socket bound to port 137; only where nothing else owns the port
    kAuto,    // "auto" (the program's default): driver, else raw, else socket
  };

  // Results of Start; Stop returns kRunning (0), kServiceManagerUnavailable or kReaderRunning.
  enum Result : int {
    kRunning = 0,                    // capture running
    kDriverFileMissing = 1,          // KESTOVA.SYS not found beside the executable
    kServiceManagerUnavailable = 2,  // the Service Control Manager could not be opened
                                     // (raw: no right to open a raw socket)
    kDeviceUnavailable = 3,          // \\.\KESTOVA not opened or binding not completed
                                     // (raw/socket: the socket could not be set up)
    kServiceNotStarted = 4,          // the driver service could not be started
    kReaderRunning = 5,              // a reader thread is already running
    kDriverFileAltered = 6,          // KESTOVA.SYS is not the file this program was built with
  };

  // Driver path: the short (8.3) path of KESTOVA.SYS in the executable's folder; empty when
  // the file does not exist. The stop event is created here.
  CCaptureClient();
  // As above with KESTOVA.SYS looked for in `driverFolder` (ending in a backslash); for tests.
  explicit CCaptureClient(const char* driverFolder);
  // Stops a running reader (without uninstalling) and closes the stop event.
  ~CCaptureClient();
  CCaptureClient(const CCaptureClient&) = delete;
  CCaptureClient& operator=(const CCaptureClient&) = delete;

  // Stores the callback and its context; call once before Start. The program passes
  // CNameResponder::OnFrame with the responder as context.
  void SetFrameCallback(FrameCallback callback, void* context);
  // The method Start uses (kDriver unless set). Call before Start.
  void SetMethod(Method method) { method_ = method; }
  // The identity ("<size> <sha1>", capture/win32/driver_identity.h) KESTOVA.SYS must have;
  // the driver is installed only when the file matches it. Empty (the default, for tests)
  // installs any file.
  void SetDriverIdentity(const std::string& identity) { driverIdentity_ = identity; }
  Method GetMethod() const { return method_; }

  // Starts capturing; returns a Result. Driver path, in this order: 5 reader running, 1 driver
  // file missing, 6 driver file altered (nothing installed; auto goes no further either),
  // 2 no service manager, (service created, binding lists updated), 4 service
  // not started, 3 device not opened or binding not completed, 0 running. A failed driver start
  // leaves the service and the binding lists for Stop to remove; the caller calls Stop after
  // any non-zero result. Auto removes a failed driver installation itself before it tries raw
  // and socket, and returns the driver's result when all three fail.
  int Start();
  // Signals the reader, waits until it has ended, then (method driver, or auto running the
  // driver) stops and deletes the service and takes the service name out of the binding lists,
  // also when no reader ran. Raw and socket have nothing to uninstall.
  // Returns 0, 2 (service manager not opened) or 5 (a reader still runs).
  int Stop();

  // The method that runs after Start returned 0 (auto tells which one it chose).
  Method RunningMethod() const { return running_; }
  // True while a reader thread runs.
  bool ReaderRunning() const;

  // The driver path worked out at construction (empty when KESTOVA.SYS is missing).
  const char* DriverPath() const { return driverPath_; }

 private:
  int StartDriver();
  int StartWithoutDriver(Method method);
  int Uninstall();

  char driverPath_[260];
  std::string driverIdentity_;
  CaptureReader reader_;  // stop event, running-reader count, callback, device or socket
  Method method_ = Method::kDriver;
  Method running_ = Method::kDriver;
  bool driverMayBeInstalled_ = false;  // auto: the driver runs, so Stop uninstalls it
};

// The capture method named by [Capture] Method= in the settings file beside the executable:
// "driver", "raw", "socket" or "auto" in any case, surrounding blanks ignored. Missing or
// unknown: kAuto (the driver first, as on Windows 2000/XP; where it cannot load, raw, then
// socket).
CCaptureClient::Method ReadCaptureMethodSetting();

// The same rule applied to a text; false (and *method untouched) for an unknown word.
bool ParseCaptureMethod(const char* text, CCaptureClient::Method* method);

// "driver", "raw", "socket" or "auto".
const char* CaptureMethodName(CCaptureClient::Method method);

}  // namespace kestova
