// kestov-a: the Linux front end of the dubbing destination.
//
// Serves the receiving folder over FTP until SIGINT or SIGTERM, then shuts down as the
// Windows program does at close: the stop flag is set and every listener and session
// is waited for (receptions cut short keep what they received); exit status 0.
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "base/counted_string.h"
#include "capture/linux/name_answering.h"
#include "ftp/dubbing_session.h"
#include "ftp/ftp_service.h"
#include "kestova_version.h"
#include "linux/options.h"
#include "linux/receive_list.h"
#include "linux/settings_location.h"
#include "net/host.h"
#include "platform/file_system.h"
#include "platform/module.h"
#include "platform/settings.h"
#include "platform/time.h"

namespace kestova {
namespace {

volatile sig_atomic_t g_signalCount = 0;

void OnTerminationSignal(int) { g_signalCount = g_signalCount + 1; }

void InstallSignalHandlers() {
  struct sigaction action = {};
  action.sa_handler = OnTerminationSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  signal(SIGPIPE, SIG_IGN);
}

// The folder to serve: --folder (saved for the next run), else the saved setting,
// else the default folder. Created when missing. Empty on failure (reported).
std::string ChooseServedFolder(const LinuxOptions& options) {
  std::string folder;
  if (!options.folder.empty()) {
    folder = AbsolutePath(options.folder);
    const std::string settingsFolder = FolderOf(GetSettingsFilePath().CStr());
    if ((!settingsFolder.empty() && !CreateFolderTree(settingsFolder.c_str())) ||
        !WriteSetting("PageReceive", "Folder", folder.c_str())) {
      std::fprintf(stderr, "kestov-a: warning: could not save the folder in %s\n",
                   GetSettingsFilePath().CStr());
    }
  } else {
    CCountedString saved;
    ReadSetting("PageReceive", "Folder", "", &saved);
    folder = saved.IsEmpty() ? DefaultServedFolder() : std::string(saved.CStr());
  }
  if (!CreateFolderTree(folder.c_str())) {
    std::fprintf(stderr, "kestov-a: cannot create the receiving folder %s\n", folder.c_str());
    return std::string();
  }
  return folder;
}

// Name answering (the recorder finds this host by a NetBIOS name query). What runs is told
// on standard error (standard output's first line stays the listener's). False when the
// requested capture method cannot start; auto without any capture goes on.
bool StartNameAnswering(const LinuxOptions& options, CNameAnswering* answering) {
  CaptureMethod method = CaptureMethod::kAuto;
  ParseCaptureMethod(options.capture.c_str(), &method);  // validated by the option parser
  std::string message;
  const bool started = answering->Start(method, options.interfaceName.c_str(), &message);
  std::fprintf(stderr, "kestov-a: %s\n", message.c_str());
  return started;
}

void OnListening(void* context, uint16_t port) {
  const std::string* folder = static_cast<const std::string*>(context);
  std::printf("kestov-a: serving %s on port %u\n", folder->c_str(), static_cast<unsigned>(port));
  std::fflush(stdout);
}

void OnListenerStartFailed(void*, uint16_t port) {
  std::fprintf(stderr,
               "kestov-a: the FTP server could not start on port %u. Stop the other FTP "
               "server, or choose another port with --port%s.\n",
               static_cast<unsigned>(port),
               (port < 1024 && geteuid() != 0)
                   ? " (ports below 1024 need root or the capability CAP_NET_BIND_SERVICE)"
                   : "");
}

// Runs the FTP service until a termination signal; the exit status.
int Serve(const LinuxOptions& options, const std::string& folder) {
  CFtpService service;
  service.SetListenPort(options.port);
  service.SetActiveSourcePort(options.activePortGiven ? options.activePort
                                                      : (geteuid() == 0 ? 20 : 0));
  service.SetServedFolder(folder.c_str());
  FtpSessionLimits limits;
  limits.total = static_cast<int32_t>(options.maxSessions);
  limits.perAddress = static_cast<int32_t>(options.maxPerAddress);
  limits.idleTimeoutMs = options.idleTimeoutSeconds * 1000u;
  service.SetSessionLimits(limits);
  FtpListenerObserver observer;
  observer.listening = OnListening;
  observer.startFailed = OnListenerStartFailed;
  observer.context = const_cast<std::string*>(&folder);
  service.SetListenerObserver(observer);
  // Every connection is a dubbing session; its receptions' events go to every observer
  // added here (the receive list shows them).
  CReceiveList receiveList(StandardOutputListSettings());
  CReceptionObservers observers;
  observers.Add(&receiveList);
  DubbingStatusSink statusSink;
  statusSink.observer = &observers;
  service.SetSessionFactory(&CreateDubbingSession, &statusSink);
  receiveList.Start();

  if (!service.StartListener()) {
    std::fprintf(stderr, "kestov-a: cannot start the listener thread\n");
    return 1;
  }
  CNameAnswering answering;
  int status = StartNameAnswering(options, &answering) ? 0 : 1;
  while (status == 0 && g_signalCount == 0) {
    if (service.GetListenerState() == CFtpService::kFailed) {
      status = 1;  // reported by OnListenerStartFailed
      break;
    }
    SleepMs(100);
  }

  answering.Stop();
  service.RequestStop();
  // Sessions see the flag within one receive wait; a second signal stops waiting.
  const int signalsAtStop = g_signalCount;
  while (!service.IsIdle()) {
    if (g_signalCount > signalsAtStop && signalsAtStop > 0) {
      std::fprintf(stderr, "kestov-a: second signal, leaving without waiting\n");
      _exit(1);
    }
    SleepMs(10);
  }
  receiveList.Stop();  // the last state of every row
  return status;
}

}  // namespace
}  // namespace kestova

int main(int argc, char** argv) {
  using namespace kestova;
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  LinuxOptions options;
  std::string error;
  if (!ParseLinuxOptions(arguments, &options, &error)) {
    std::fprintf(stderr, "kestov-a: %s\n", error.c_str());
    return 2;
  }
  if (options.help) {
    std::fputs(LinuxUsageText().c_str(), stdout);
    return 0;
  }
  if (options.version) {
    std::printf("kestov-a %s\n", KESTOVA_VERSION_STRING);
    return 0;
  }
  InstallSignalHandlers();
  StartSocketLibrary();
  SetSettingsFilePath(options.settingsFile.empty() ? DefaultSettingsFile().c_str()
                                                   : options.settingsFile.c_str());
  const std::string folder = ChooseServedFolder(options);
  if (folder.empty()) return 1;
  return Serve(options, folder);
}
