// kestov-a: the Linux front end of the dubbing destination.
//
// Serves the receiving folder over FTP until SIGINT or SIGTERM, then shuts down as the
// Windows program does at close: the stop flag is set and every listener and session
// is waited for (receptions cut short keep what they received); exit status 0.
//
// SIGHUP does not end the service: it re-reads the folder from the settings file for
// connections accepted from then on (running receptions keep theirs), unless --folder
// was given, which stays in force. Nothing else is re-read and no file is reopened (the
// log is standard output). Optional: the status page (--status-port), the completion
// hook (--on-complete) and a plain-line log of name queries and FTP activity.
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
#include "linux/activity_log.h"
#include "linux/options.h"
#include "linux/receive_list.h"
#include "linux/reception_watch.h"
#include "linux/service_log.h"
#include "linux/settings_location.h"
#include "linux/status_settings.h"
#include "net/host.h"
#include "platform/file_system.h"
#include "platform/module.h"
#include "platform/settings.h"
#include "platform/time.h"

namespace kestova {
namespace {

volatile sig_atomic_t g_signalCount = 0;
volatile sig_atomic_t g_hangupCount = 0;

void OnTerminationSignal(int) { g_signalCount = g_signalCount + 1; }
void OnHangup(int) { g_hangupCount = g_hangupCount + 1; }

void InstallSignalHandlers() {
  struct sigaction action = {};
  action.sa_handler = OnTerminationSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  action.sa_handler = OnHangup;
  sigaction(SIGHUP, &action, nullptr);
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
bool StartNameAnswering(const LinuxOptions& options, CNameAnswering* answering,
                        CServiceStatus* status) {
  CaptureMethod method = CaptureMethod::kAuto;
  ParseCaptureMethod(options.capture.c_str(), &method);  // validated by the option parser
  answering->SetQueryObserver(&LogNameQuery, status);
  std::string message;
  const bool started = answering->Start(method, options.interfaceName.c_str(), &message);
  std::fprintf(stderr, "kestov-a: %s\n", message.c_str());
  status->SetNameAnswering(CaptureMethodName(answering->Running()), options.interfaceName, message);
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

// SIGHUP: the settings file's folder for connections accepted from now on.
void ReloadServedFolder(const LinuxOptions& options, CFtpService* service, CServiceStatus* status) {
  if (!options.folder.empty()) {
    LogLine("SIGHUP: the folder was given with --folder and stays " +
            std::string(service->ServedFolder().CStr()));
    return;
  }
  CCountedString saved;
  ReadSetting("PageReceive", "Folder", "", &saved);
  const std::string folder = saved.IsEmpty() ? DefaultServedFolder() : std::string(saved.CStr());
  if (!CreateFolderTree(folder.c_str())) {
    LogLine("SIGHUP: cannot create the receiving folder " + folder + "; the folder stays " +
            std::string(service->ServedFolder().CStr()));
    return;
  }
  service->SetServedFolder(folder.c_str());
  status->SetFolder(folder);
  LogLine("SIGHUP: new connections are served from " + folder);
}

// The status page and the hook, as the options and the settings file ask. False when the
// page was asked for and cannot listen.
bool StartReceptionWatch(const StatusSettings& settings, CReceptionWatch* watch) {
  if (watch->HookEnabled()) {
    std::fprintf(stderr, "kestov-a: after each reception: %s\n", settings.onComplete.c_str());
  }
  if (!settings.pageEnabled) return true;
  std::string unavailable;
  if (!CStatusServer::Available(&unavailable)) {  // a packaged default must not stop the service
    std::fprintf(stderr,
                 "kestov-a: warning: the status page is not available: %s; the status port is "
                 "ignored\n",
                 unavailable.c_str());
    return true;
  }
  std::string error;
  if (!watch->StartPage(settings.address, settings.port, KESTOVA_VERSION_STRING, &error)) {
    std::fprintf(stderr,
                 "kestov-a: the status page could not start: %s. Choose another port "
                 "with --status-port or [Status] Port.\n",
                 error.c_str());
    return false;
  }
  const bool wildcard = settings.address == "0.0.0.0" || settings.address == "::";
  std::fprintf(stderr, "kestov-a: status page on http://%s:%u/%s\n",
               settings.address.find(':') != std::string::npos
                   ? ("[" + settings.address + "]").c_str()
                   : settings.address.c_str(),
               static_cast<unsigned>(watch->PagePort()),
               wildcard ? " (every address of this computer)" : "");
  return true;
}

// Runs the FTP service until a termination signal; the exit status.
int Serve(const LinuxOptions& options, const std::string& folder) {
  std::string warning;
  const StatusSettings statusSettings = ResolveStatusSettings(options, &warning);
  if (!warning.empty()) std::fprintf(stderr, "kestov-a: warning: %s\n", warning.c_str());
  CReceptionWatch watch(statusSettings.onComplete);
  watch.Service().SetFolder(folder);

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
  FtpActivityObserver activity;
  activity.report = &LogFtpActivity;
  service.SetActivityObserver(activity);
  // Every connection is a dubbing session; its receptions' events go to every observer
  // added here (the receive list shows them).
  CReceiveList receiveList(StandardOutputListSettings());
  CServiceLog::Instance().SetSink(&CReceiveList::LogSink, &receiveList);
  CReceptionObservers observers;
  observers.Add(&receiveList);
  observers.Add(&watch);  // the status page and the completion hook
  CDubbingSessionFactory sessionFactory(&observers);
  service.SetSessionFactory(&sessionFactory);
  receiveList.Start();

  if (!StartReceptionWatch(statusSettings, &watch)) {
    CServiceLog::Instance().SetSink(nullptr, nullptr);
    return 1;
  }
  if (!service.StartListener()) {
    std::fprintf(stderr, "kestov-a: cannot start the listener thread\n");
    CServiceLog::Instance().SetSink(nullptr, nullptr);
    return 1;
  }
  CNameAnswering answering;
  int status = StartNameAnswering(options, &answering, &watch.Service()) ? 0 : 1;
  int hangupsSeen = g_hangupCount;
  bool answeringFailed = false;
  while (status == 0 && g_signalCount == 0) {
    if (service.GetListenerState() == CFtpService::kFailed) {
      status = 1;  // reported by OnListenerStartFailed
      break;
    }
    if (g_hangupCount != hangupsSeen) {
      hangupsSeen = g_hangupCount;
      ReloadServedFolder(options, &service, &watch.Service());
    }
    if (!answeringFailed && answering.Failed()) {
      answeringFailed = true;  // the capture reported why
      watch.Service().SetNameAnsweringFailed();
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
  watch.StopPage();
  receiveList.Stop();  // the last state of every row
  CServiceLog::Instance().SetSink(nullptr, nullptr);
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
  CServiceLog::Instance().SetVerbose(options.verbose);
  StartSocketLibrary();
  SetSettingsFilePath(options.settingsFile.empty() ? DefaultSettingsFile().c_str()
                                                   : options.settingsFile.c_str());
  const std::string folder = ChooseServedFolder(options);
  if (folder.empty()) return 1;
  return Serve(options, folder);
}
