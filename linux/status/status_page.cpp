#include "linux/status/status_page.h"

#include <nlohmann/json.hpp>

#include "ftp/reception_state_texts.h"

namespace kestova {
namespace {

// The texts the script shows, by key. Column headings are those of the receive list;
// the state texts are ftp/reception_state_texts.h's.
struct PageTexts {
  const char* lang;
  const char* title;
  const char* heading;
  const char* folder;
  const char* folderNotWritable;
  const char* freeSpace;  // "{free}" and "{total}" are replaced by the script
  const char* spaceUnknown;
  const char* nameAnswering;
  const char* methodPacket;
  const char* methodSocket;
  const char* methodNone;
  const char* everyInterface;
  const char* answeringFailed;
  const char* lastAnswered;  // "{name}", "{querier}", "{time}"
  const char* noneAnswered;
  const char* counts;  // "{answered}", "{ignored}"
  const char* columns[8];
  const ReceptionStateTexts& states;  // ftp/reception_state_texts.h
  const char* noReceptions;
  const char* updated;  // "{time}"
  const char* offline;
};

const PageTexts kEnglish = {
    "en",
    "KESTOV-A — receptions",
    "KESTOV-A receptions",
    "Folder",
    "the service cannot write into this folder: receptions will fail",
    "{free} free of {total}",
    "free space unknown",
    "Name answering",
    "packet capture",
    "UDP port 137",
    "off",
    "every interface",
    "has stopped after a failure",
    "last answered: {name} from {querier} at {time}",
    "no query answered yet",
    "{answered} answered, {ignored} ignored",
    {"#", "File name", "Size (MB)", "Elapsed", "Progress (%)", "Rate (KB/s)", "Remaining", "State"},
    kEnglishStateTexts,
    "No programme has been received since the service started.",
    "Updated {time}",
    "The service does not answer; trying again…",
};

const PageTexts kJapanese = {
    "ja",
    "KESTOV-A — 受信状況",
    "KESTOV-A 受信状況",
    "受信フォルダ",
    "サービスはこのフォルダに書き込めません。受信は失敗します",
    "空き {free}（全体 {total}）",
    "空き容量不明",
    "名前応答",
    "パケットキャプチャ",
    "UDPポート137",
    "停止",
    "すべてのインターフェース",
    "障害のため停止しました",
    "最後の応答: {name}（{querier}）{time}",
    "まだ応答していません",
    "応答 {answered} 件、無視 {ignored} 件",
    {"#", "ファイル名", "ファイルサイズ(MByte)", "経過時間(分)", "経過割合(%)",
     "転送レート(KByte/s)", "残り時間(分)", "状態"},
    kJapaneseStateTexts,
    "サービス開始後に受信した番組はありません。",
    "更新 {time}",
    "サービスが応答しません。再試行しています…",
};

std::string TextsJson(const PageTexts& t) {
  nlohmann::json json = {
      {"folder", t.folder},
      {"folderNotWritable", t.folderNotWritable},
      {"freeSpace", t.freeSpace},
      {"spaceUnknown", t.spaceUnknown},
      {"methodPacket", t.methodPacket},
      {"methodSocket", t.methodSocket},
      {"methodNone", t.methodNone},
      {"everyInterface", t.everyInterface},
      {"answeringFailed", t.answeringFailed},
      {"lastAnswered", t.lastAnswered},
      {"noneAnswered", t.noneAnswered},
      {"counts", t.counts},
      {"columns", t.columns},
      {"states",
       {{"starting", t.states.Of(ReceptionState::kStarting)},
        {"receiving", t.states.Of(ReceptionState::kReceiving)},
        {"received", t.states.Of(ReceptionState::kReceived)},
        {"interrupted", t.states.Of(ReceptionState::kInterrupted)},
        {"create-failed", t.states.Of(ReceptionState::kCreateFailed)},
        {"write-failed", t.states.Of(ReceptionState::kWriteFailed)}}},
      {"noReceptions", t.noReceptions},
      {"updated", t.updated},
      {"offline", t.offline},
  };
  // Inside a <script> data block: "</" must not appear.
  std::string text = json.dump();
  for (size_t at = text.find("</"); at != std::string::npos; at = text.find("</", at)) {
    text.replace(at, 2, "<\\/");
  }
  return text;
}

}  // namespace

std::string StatusPageHtml(PageLanguage language) {
  const PageTexts& t = language == PageLanguage::kJapanese ? kJapanese : kEnglish;
  std::string head;
  for (const char* column : t.columns) head += std::string("<th>") + column + "</th>";
  return std::string("<!DOCTYPE html>\n<html lang=\"") + t.lang +
         "\">\n<head>\n<meta charset=\"utf-8\">\n"
         "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
         "<title>" +
         t.title +
         "</title>\n"
         "<link rel=\"stylesheet\" href=\"/status.css\">\n"
         "<script type=\"application/json\" id=\"texts\">" +
         TextsJson(t) +
         "</script>\n"
         "<script src=\"/status.js\" defer></script>\n"
         "</head>\n<body>\n<header><h1>" +
         t.heading +
         "</h1>"
         "<p id=\"updated\" class=\"updated\"></p></header>\n"
         "<section class=\"service\">\n"
         "<div class=\"fact\"><h2>" +
         t.folder +
         "</h2><p id=\"folder\"></p>"
         "<p id=\"space\" class=\"sub\"></p></div>\n"
         "<div class=\"fact\"><h2>" +
         t.nameAnswering +
         "</h2><p id=\"answering\"></p>"
         "<p id=\"last-answered\" class=\"sub\"></p></div>\n"
         "</section>\n"
         "<p id=\"offline\" class=\"offline\" hidden></p>\n"
         "<table id=\"receptions\">\n<thead><tr>" +
         head +
         "</tr></thead>\n"
         "<tbody id=\"rows\"></tbody>\n</table>\n"
         "<p id=\"empty\" class=\"empty\" hidden>" +
         t.noReceptions +
         "</p>\n"
         "</body>\n</html>\n";
}

const char* StatusPageScript() {
  return R"JS('use strict';
(function () {
  var texts = JSON.parse(document.getElementById('texts').textContent);
  var refreshes = 0;

  function fill(template, values) {
    return template.replace(/\{(\w+)\}/g, function (whole, key) {
      return key in values ? String(values[key]) : whole;
    });
  }
  function minutes(seconds) {
    var s = Math.floor(seconds);
    return Math.floor(s / 60) + ':' + String(s % 60).padStart(2, '0');
  }
  function mebibytes(bytes) { return Math.floor(bytes / 1048576); }
  function size(bytes) {
    var units = ['B', 'KB', 'MB', 'GB', 'TB'];
    var value = bytes, unit = 0;
    while (value >= 1024 && unit < units.length - 1) { value /= 1024; unit++; }
    return (unit === 0 ? value : value.toFixed(1)) + ' ' + units[unit];
  }
  function clock(unixSeconds) {
    return new Date(unixSeconds * 1000).toLocaleTimeString(document.documentElement.lang);
  }
  function setText(id, text) { document.getElementById(id).textContent = text; }

  function cell(row, column, text, className) {
    var td = document.createElement('td');
    td.textContent = text;
    td.setAttribute('data-label', texts.columns[column]);
    if (className) td.className = className;
    row.appendChild(td);
    return td;
  }

  function receptionRow(r, number) {
    var tr = document.createElement('tr');
    tr.setAttribute('data-id', r.id);
    tr.setAttribute('data-state', r.state);
    cell(tr, 0, String(number), 'number');
    cell(tr, 1, r.fileName, 'name');
    var announced = r.announcedBytes === null ? '--' : mebibytes(r.announcedBytes);
    cell(tr, 2, mebibytes(r.receivedBytes) + '/' + announced, 'figure');
    cell(tr, 3, minutes(r.elapsedSeconds), 'figure');
    var progress = cell(tr, 4, '', 'progress');
    var percent = document.createElement('span');
    percent.textContent = r.percentage === null ? '--.--' : r.percentage.toFixed(2);
    progress.appendChild(percent);
    if (r.percentage !== null) {
      var bar = document.createElement('progress');
      bar.max = 100;
      bar.value = Math.min(100, Math.max(0, r.percentage));
      progress.appendChild(bar);
    }
    cell(tr, 5, String(r.rateKiBPerSecond), 'figure');
    // The time left means something only while the programme arrives.
    var receiving = r.state === 'starting' || r.state === 'receiving';
    cell(tr, 6, !receiving ? '' : r.remainingSeconds === null ? '--:--'
        : minutes(r.remainingSeconds), 'figure');
    // The failure texts end with the path in place of %s.
    var state = (texts.states[r.state] || r.state).replace('%s', r.path || '');
    cell(tr, 7, state, 'state');
    return tr;
  }

  function render(status) {
    var service = status.service;
    setText('folder', service.folder +
        (service.folderWritable ? '' : ' — ' + texts.folderNotWritable));
    setText('space', service.freeBytes === null ? texts.spaceUnknown
        : fill(texts.freeSpace, {free: size(service.freeBytes), total: size(service.totalBytes)}));
    var answering = service.nameAnswering;
    var method = {packet: texts.methodPacket, socket: texts.methodSocket}[answering.method]
        || texts.methodNone;
    if (answering.method === 'packet' || answering.method === 'socket') {
      method += ' — ' + (answering.interface || texts.everyInterface);
    }
    if (answering.failed) method += ' — ' + texts.answeringFailed;
    setText('answering', method);
    var last = answering.lastAnswered;
    setText('last-answered', (last ? fill(texts.lastAnswered,
        {name: last.name, querier: last.querier, time: clock(last.at)}) : texts.noneAnswered) +
        ' · ' + fill(texts.counts, {answered: answering.answered, ignored: answering.ignored}));

    var rows = document.getElementById('rows');
    var fresh = document.createDocumentFragment();
    for (var i = status.receptions.length - 1; i >= 0; i--) {
      fresh.appendChild(receptionRow(status.receptions[i], i + 1));
    }
    rows.replaceChildren(fresh);
    document.getElementById('empty').hidden = status.receptions.length > 0;
    refreshes++;
    document.body.setAttribute('data-refreshes', refreshes);
    setText('updated', fill(texts.updated, {time: new Date().toLocaleTimeString(
        document.documentElement.lang)}));
  }

  function poll() {
    fetch('/api/status', {cache: 'no-store'})
      .then(function (response) {
        if (!response.ok) throw new Error(response.status);
        return response.json();
      })
      .then(function (status) {
        document.getElementById('offline').hidden = true;
        render(status);
      })
      .catch(function () {
        var offline = document.getElementById('offline');
        offline.textContent = texts.offline;
        offline.hidden = false;
      })
      .then(function () { setTimeout(poll, 1000); });
  }
  poll();
})();
)JS";
}

const char* StatusPageStyle() {
  return R"CSS(:root { color-scheme: light dark; --line: #8884; --accent: #2a7ae2; }
* { box-sizing: border-box; }
body { font-family: system-ui, "Noto Sans CJK JP", sans-serif; margin: 0 auto; padding: 1rem;
  max-width: 72rem; line-height: 1.4; }
header { display: flex; flex-wrap: wrap; align-items: baseline; justify-content: space-between;
  gap: 0.5rem; }
h1 { font-size: 1.4rem; margin: 0 0 0.5rem; }
h2 { font-size: 0.8rem; font-weight: normal; opacity: 0.7; margin: 0; }
.updated, .sub { font-size: 0.85rem; opacity: 0.75; margin: 0.1rem 0; }
.service { display: grid; grid-template-columns: repeat(auto-fit, minmax(16rem, 1fr)); gap: 0.75rem;
  margin-bottom: 1rem; }
.fact { border: 1px solid var(--line); border-radius: 0.5rem; padding: 0.5rem 0.75rem; }
.fact p { margin: 0.2rem 0; overflow-wrap: anywhere; }
.offline { background: #d33; color: white; padding: 0.5rem; border-radius: 0.5rem; }
table { width: 100%; border-collapse: collapse; font-size: 0.9rem; }
th, td { text-align: left; padding: 0.35rem 0.5rem; border-bottom: 1px solid var(--line);
  vertical-align: top; }
th { font-weight: 600; font-size: 0.8rem; }
td.figure { text-align: right; font-variant-numeric: tabular-nums; white-space: nowrap; }
td.name { overflow-wrap: anywhere; }
td.progress { white-space: nowrap; }
td.progress span { display: inline-block; min-width: 3.5rem; text-align: right;
  font-variant-numeric: tabular-nums; }
progress { width: 6rem; margin-left: 0.5rem; vertical-align: middle; accent-color: var(--accent); }
tr[data-state="starting"] td.state, tr[data-state="receiving"] td.state { color: var(--accent); font-weight: 600; }
td.state { white-space: nowrap; }
tr[data-state="interrupted"] td.state { color: #c80; font-weight: 600; }
tr[data-state="create-failed"] td.state, tr[data-state="write-failed"] td.state {
  color: #d33; font-weight: 600; overflow-wrap: anywhere; white-space: normal; }
.empty { opacity: 0.7; }
@media (max-width: 40rem) {
  thead { display: none; }
  table, tbody, tr, td { display: block; width: 100%; }
  tr { border: 1px solid var(--line); border-radius: 0.5rem; margin-bottom: 0.75rem;
    padding: 0.25rem 0.5rem; }
  td { border: none; display: flex; justify-content: space-between; gap: 1rem; padding: 0.2rem 0;
    text-align: right; }
  td::before { content: attr(data-label); opacity: 0.7; text-align: left; white-space: nowrap; }
  td.number { display: none; }
  td.name { font-weight: 600; font-size: 1rem; text-align: left; }
  td.name::before { content: none; }
  td.figure:empty { display: none; }
  td.progress { flex-wrap: wrap; }
  progress { width: 100%; margin: 0.2rem 0 0; }
}
)CSS";
}

}  // namespace kestova
