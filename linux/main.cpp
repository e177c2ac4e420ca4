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
#include "linux/ftp_access.h"
#include "linux/language.h"
#include "linux/options.h"
#include "linux/port_refusal.h"
#include "linux/receive_list.h"
#include "linux/reception_watch.h"
#include "linux/served_folder.h"
#include "linux/service_log.h"
#include "linux/settings_location.h"
#include "linux/status_settings.h"
#include "net/host.h"
#include "platform/file_system.h"
#include "platform/module.h"
#include "platform/settings.h"
#include "platform/texts.h"
#include "platform/time.h"

namespace kestova {
namespace {

volatile sig_atomic_t g_signalCount = 0;
volatile sig_atomic_t g_hangupCount = 0;
volatile sig_atomic_t g_firstStopSignal = 0;

void OnTerminationSignal(int number) {
  if (g_signalCount == 0) g_firstStopSignal = number;
  g_signalCount = g_signalCount + 1;
}
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

// The settings file's folder (Folder= of [PageReceive]), else the default folder; as an
// absolute path.
std::string SavedServedFolder() {
  CCountedString saved;
  ReadSetting("PageReceive", "Folder", "", &saved);
  return ExpandFolderSetting(saved.IsEmpty() ? DefaultServedFolder() : std::string(saved.CStr()));
}

// The folder to serve: --folder, else the saved setting, else the default folder; created
// when missing. --folder is saved for the next run only once it is known to be usable.
// Empty on failure (reported); *writable tells whether the service may write into it.
std::string ChooseServedFolder(const LinuxOptions& options, bool* writable) {
  const std::string folder =
      options.folder.empty() ? SavedServedFolder() : ExpandFolderSetting(options.folder);
  const FolderReadiness readiness = PrepareServedFolder(folder);
  if (readiness.check != FolderCheck::kUsable) {
    std::fprintf(stderr, "kestov-a: %s\n", FolderProblem(folder, readiness.check).c_str());
    return std::string();
  }
  if (!options.folder.empty()) {
    const std::string settingsFolder = FolderOf(GetSettingsFilePath().CStr());
    if ((!settingsFolder.empty() && !CreateFolderTree(settingsFolder.c_str())) ||
        !WriteSetting("PageReceive", "Folder", folder.c_str())) {
      std::fprintf(stderr, T_("kestov-a: warning: could not save the folder in %s\n"),
                   GetSettingsFilePath().CStr());
    }
  }
  if (!readiness.writable) {
    std::fprintf(stderr, T_("kestov-a: warning: %s\n"), FolderNotWritableWarning(folder).c_str());
  }
  *writable = readiness.writable;
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
  std::printf(T_("kestov-a: serving %s on port %u\n"), folder->c_str(),
              static_cast<unsigned>(port));
  std::fflush(stdout);
  LogLine(Format(T_("kestov-a %s started (process %ld)"), KESTOVA_VERSION_STRING,
                 static_cast<long>(getpid())));
}

// The log's last line: why the service ends.
void LogStop(const std::string& reason) { LogLine(Format(T_("stopped: %s"), reason.c_str())); }

std::string SignalStopReason() {
  return g_firstStopSignal == SIGINT ? T_("SIGINT received (Ctrl+C)") : T_("SIGTERM received");
}

// Says why the port was refused: the missing right first, else who holds the port, else
// the system's reason the listener kept.
void OnListenerStartFailed(void*, uint16_t port, const SystemError& reason) {
  std::fprintf(stderr, "kestov-a: %s\n",
               PortRefusalText(port, DiagnosePortRefusal(port, reason.code)).c_str());
}

void OnAcceptFailed(void*, bool answered, uint32_t failures) {
  const unsigned count = static_cast<unsigned>(failures);
  if (answered) {
    LogLine(Format(T_("FTP: out of file descriptors: %u connection(s) could not be served (told "
                      "421 and closed); raise LimitNOFILE (ulimit -n) or find what holds them"),
                   count));
  } else {
    LogLine(Format(T_("FTP: %u connection(s) could not be accepted, and not even told why: the "
                      "system is out of file descriptors or memory"),
                   count));
  }
}

// SIGHUP: the settings file's folder for connections accepted from now on.
void ReloadServedFolder(const LinuxOptions& options, CFtpService* service, CServiceStatus* status) {
  if (!options.folder.empty()) {
    LogLine(Format(T_("SIGHUP: the folder was given with --folder and stays %s"),
                   service->ServedFolder().CStr()));
    return;
  }
  const std::string folder = SavedServedFolder();
  const FolderReadiness readiness = PrepareServedFolder(folder);
  if (readiness.check != FolderCheck::kUsable) {
    LogLine(Format(T_("SIGHUP: %s; the folder stays %s"),
                   FolderProblem(folder, readiness.check).c_str(), service->ServedFolder().CStr()));
    return;
  }
  service->SetServedFolder(folder.c_str());
  status->SetFolder(folder, readiness.writable);
  LogLine(Format(T_("SIGHUP: new connections are served from %s"), folder.c_str()));
  if (!readiness.writable) {
    LogLine(Format(T_("SIGHUP: warning: %s"), FolderNotWritableWarning(folder).c_str()));
  }
}

// The status page and the hook, as the options and the settings file ask. False when the
// page was asked for and cannot listen.
bool StartReceptionWatch(const StatusSettings& settings, CReceptionWatch* watch) {
  if (watch->HookEnabled()) {
    std::fprintf(stderr, T_("kestov-a: after each reception: %s (at most %u at once)\n"),
                 settings.onComplete.c_str(), static_cast<unsigned>(settings.hookLimit));
  }
  if (!settings.pageEnabled) return true;
  std::string unavailable;
  if (!CStatusServer::Available(&unavailable)) {  // a packaged default must not stop the service
    std::fprintf(stderr,
                 T_("kestov-a: warning: the status page is not available: %s; the status port "
                    "is ignored\n"),
                 unavailable.c_str());
    return true;
  }
  std::string error;
  if (!watch->StartPage(settings.address, settings.port, KESTOVA_VERSION_STRING, &error)) {
    std::fprintf(stderr,
                 T_("kestov-a: the status page could not start: %s. Choose another port "
                    "with --status-port or [Status] Port.\n"),
                 error.c_str());
    return false;
  }
  const bool wildcard = settings.address == "0.0.0.0" || settings.address == "::";
  std::fprintf(stderr, T_("kestov-a: status page on http://%s:%u/%s\n"),
               settings.address.find(':') != std::string::npos
                   ? ("[" + settings.address + "]").c_str()
                   : settings.address.c_str(),
               static_cast<unsigned>(watch->PagePort()),
               wildcard ? T_(" (every address of this computer)") : "");
  return true;
}

// Runs the FTP service until a termination signal; the exit status.
int Serve(const LinuxOptions& options, const std::string& folder, bool folderWritable) {
  std::string warning;
  const StatusSettings statusSettings = ResolveStatusSettings(options, &warning);
  if (!warning.empty()) std::fprintf(stderr, T_("kestov-a: warning: %s\n"), warning.c_str());
  CReceptionWatch watch(statusSettings.onComplete, statusSettings.hookLimit);
  watch.Service().SetFolder(folder, folderWritable);

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
  ApplyFtpAccessOptions(options, &service);
  FtpListenerObserver observer;
  observer.listening = OnListening;
  observer.startFailed = OnListenerStartFailed;
  observer.acceptFailed = OnAcceptFailed;
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
    LogStop(T_("the status page could not start"));
    CServiceLog::Instance().SetSink(nullptr, nullptr);
    return 1;
  }
  if (!service.StartListener()) {
    std::fprintf(stderr, T_("kestov-a: cannot start the listener thread\n"));
    LogStop(T_("cannot start the listener thread"));
    CServiceLog::Instance().SetSink(nullptr, nullptr);
    return 1;
  }
  CNameAnswering answering;
  int status = StartNameAnswering(options, &answering, &watch.Service()) ? 0 : 1;
  std::string stopReason = status == 0 ? std::string() : T_("the name answering could not start");
  // A SIGHUP that came while the listener and the name answering were starting still counts.
  int hangupsSeen = 0;
  bool answeringFailed = false;
  while (status == 0 && g_signalCount == 0) {
    if (service.GetListenerState() == CFtpService::kFailed) {
      status = 1;  // explained by OnListenerStartFailed; the log keeps the system's reason
      stopReason =
          Format(T_("the FTP server could not start on port %u: %s"),
                 static_cast<unsigned>(options.port), service.ListenerFailure().text.CStr());
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
      std::fprintf(stderr, T_("kestov-a: second signal, leaving without waiting\n"));
      _exit(1);
    }
    SleepMs(10);
  }
  watch.StopPage();
  receiveList.Stop();  // the last state of every row
  LogStop(stopReason.empty() ? SignalStopReason() : stopReason);
  CServiceLog::Instance().SetSink(nullptr, nullptr);
  return status;
}

}  // namespace
}  // namespace kestova

int main(int argc, char** argv) {
  using namespace kestova;
  InitTexts();
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
  bool folderWritable = false;
  const std::string folder = ChooseServedFolder(options, &folderWritable);
  if (folder.empty()) return 1;
  return Serve(options, folder, folderWritable);
}
