#include "linux/status/status_json.h"

#include <nlohmann/json.hpp>

namespace kestova {
namespace {

using Json = nlohmann::json;

Json RecordJson(const BoardRecord& record) {
  Json json = {
      {"id", record.id},
      {"state", BoardStateName(record.state)},
      {"fileName", record.fileName},
      {"path", record.path},
      {"reason", nullptr},
      {"receivedBytes", record.receivedBytes},
      {"announcedBytes", nullptr},
      {"elapsedSeconds", record.elapsedSeconds},
      {"rateKiBPerSecond", record.rateKiBPerSecond},
      {"remainingSeconds", nullptr},
      {"percentage", nullptr},
      {"startedAt", static_cast<int64_t>(record.startedAt)},
      {"endedAt", nullptr},
  };
  if (!record.reason.empty()) json["reason"] = record.reason;
  if (record.announcedBytes != 0) json["announcedBytes"] = record.announcedBytes;
  if (record.remainingKnown) json["remainingSeconds"] = record.remainingSeconds;
  if (record.percentageKnown) json["percentage"] = record.percentage;
  if (record.endedAt != 0) json["endedAt"] = static_cast<int64_t>(record.endedAt);
  return json;
}

Json RecordsJson(const std::vector<BoardRecord>& records) {
  Json list = Json::array();
  for (const BoardRecord& record : records) list.push_back(RecordJson(record));
  return list;
}

Json TimeOrNull(std::time_t at) { return at == 0 ? Json(nullptr) : Json(static_cast<int64_t>(at)); }

std::string Dump(const Json& json) {
  return json.dump(-1, ' ', false, Json::error_handler_t::replace);
}

}  // namespace

std::string ReceptionsJson(const std::vector<BoardRecord>& records, uint64_t version) {
  return Dump(Json{{"version", version}, {"receptions", RecordsJson(records)}});
}

std::string StatusJson(const std::vector<BoardRecord>& records, uint64_t version,
                       const ServiceView& service, const FolderSpace& space,
                       const std::string& programVersion) {
  const NameAnsweringView& answering = service.nameAnswering;
  Json lastAnswered = nullptr;
  if (answering.lastAt != 0) {
    lastAnswered = {{"name", answering.lastName},
                    {"querier", answering.lastQuerier},
                    {"announced", answering.lastAnnounced},
                    {"at", TimeOrNull(answering.lastAt)}};
  }
  Json serviceJson = {
      {"program", programVersion},
      {"folder", service.folder},
      {"folderWritable", service.folderWritable},
      {"freeBytes", space.known ? Json(space.freeBytes) : Json(nullptr)},
      {"totalBytes", space.known ? Json(space.totalBytes) : Json(nullptr)},
      {"nameAnswering",
       {{"method", answering.method},
        {"interface", answering.interface},
        {"message", answering.message},
        {"failed", answering.failed},
        {"answered", answering.answered},
        {"ignored", answering.ignored},
        {"lastAnswered", lastAnswered}}},
  };
  return Dump(
      Json{{"version", version}, {"service", serviceJson}, {"receptions", RecordsJson(records)}});
}

}  // namespace kestova
