/* The texts of the reception states (ftp/reception_events.h), once per language, UTF-8.
   Every view shows these: the Windows string table (app/kestov_a.rc, ids 1006-1008,
   10008, 10009), the Linux receive list and the status page. The two failure texts are
   formats whose %s is the full path. The Windows list shows nothing for "starting".
   Plain #defines outside the C++ part, so that the resource script includes it too. */
#ifndef KESTOVA_FTP_RECEPTION_STATE_TEXTS_H
#define KESTOVA_FTP_RECEPTION_STATE_TEXTS_H

#define KESTOVA_JA_STARTING "開始中"
#define KESTOVA_JA_RECEIVING "受信中"
#define KESTOVA_JA_RECEIVED "受信完了しました"
#define KESTOVA_JA_INTERRUPTED "受信が中断されました"
#define KESTOVA_JA_CREATE_FAILED "ファイルの作成に失敗しました。処理を中断します。ファイル名：%s"
#define KESTOVA_JA_WRITE_FAILED \
  "ファイルへの書き込みに失敗しました。受信を中断しました。ファイル名：%s"

#define KESTOVA_EN_STARTING "Starting"
#define KESTOVA_EN_RECEIVING "Receiving"
#define KESTOVA_EN_RECEIVED "Reception complete"
#define KESTOVA_EN_INTERRUPTED "Reception interrupted"
#define KESTOVA_EN_CREATE_FAILED "Could not create the file; reception abandoned. File name: %s"
#define KESTOVA_EN_WRITE_FAILED "Writing to the file failed; reception abandoned. File name: %s"

#ifdef __cplusplus
#include "ftp/reception_events.h"

namespace kestova {

// One language's state texts, indexed by ReceptionState.
struct ReceptionStateTexts {
  const char* byState[6];
  const char* Of(ReceptionState state) const { return byState[static_cast<int>(state)]; }
};

constexpr ReceptionStateTexts kJapaneseStateTexts = {
    {KESTOVA_JA_STARTING, KESTOVA_JA_RECEIVING, KESTOVA_JA_RECEIVED, KESTOVA_JA_INTERRUPTED,
     KESTOVA_JA_CREATE_FAILED, KESTOVA_JA_WRITE_FAILED}};
constexpr ReceptionStateTexts kEnglishStateTexts = {
    {KESTOVA_EN_STARTING, KESTOVA_EN_RECEIVING, KESTOVA_EN_RECEIVED, KESTOVA_EN_INTERRUPTED,
     KESTOVA_EN_CREATE_FAILED, KESTOVA_EN_WRITE_FAILED}};

// The failure states' texts are formats with %s for the path.
constexpr bool StateTextTakesPath(ReceptionState state) {
  return state == ReceptionState::kCreateFailed || state == ReceptionState::kWriteFailed;
}

}  // namespace kestova
#endif

#endif /* KESTOVA_FTP_RECEPTION_STATE_TEXTS_H */
