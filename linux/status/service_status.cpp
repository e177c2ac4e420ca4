#include "linux/status/service_status.h"

namespace kestova {

void CServiceStatus::SetFolder(const std::string& folder, bool writable) {
  std::lock_guard<std::mutex> hold(mutex_);
  view_.folder = folder;
  view_.folderWritable = writable;
}

void CServiceStatus::SetNameAnswering(const std::string& method, const std::string& interfaceName,
                                      const std::string& message) {
  std::lock_guard<std::mutex> hold(mutex_);
  view_.nameAnswering.method = method;
  view_.nameAnswering.interface = interfaceName;
  view_.nameAnswering.message = message;
  view_.nameAnswering.failed = false;
}

void CServiceStatus::SetNameAnsweringFailed() {
  std::lock_guard<std::mutex> hold(mutex_);
  view_.nameAnswering.failed = true;
}

void CServiceStatus::CountAnswered(const std::string& name, const std::string& querier,
                                   const std::string& announced) {
  std::lock_guard<std::mutex> hold(mutex_);
  NameAnsweringView& answering = view_.nameAnswering;
  ++answering.answered;
  answering.lastName = name;
  answering.lastQuerier = querier;
  answering.lastAnnounced = announced;
  answering.lastAt = std::time(nullptr);
}

void CServiceStatus::CountIgnored() {
  std::lock_guard<std::mutex> hold(mutex_);
  ++view_.nameAnswering.ignored;
}

ServiceView CServiceStatus::Snapshot() const {
  std::lock_guard<std::mutex> hold(mutex_);
  return view_;
}

}  // namespace kestova
