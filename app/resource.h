/* Resource ids of KESTOV-A.exe: dialog templates, controls, the icon and the string table.
   Plain #defines only, so that both C++ and the resource script (windres) include it. */
#ifndef KESTOVA_APP_RESOURCE_H
#define KESTOVA_APP_RESOURCE_H

/* Icon */
#define IDI_KESTOVA 128

/* The identity of the driver file built with the program ("<size> <sha1>") */
#define IDR_DRIVER_IDENTITY 129

/* Dialog templates */
#define IDD_MAIN_DIALOG 102
#define IDD_PAGE_RECEIVE 135
#define IDD_PAGE_SEND 136

/* Controls */
#define IDC_MAIN_TAB 1039
#define IDC_RECEIVE_LIST 1040
#define IDC_FOLDER_LABEL 1041
#define IDC_FOLDER_EDIT 1042
#define IDC_BROWSE_BUTTON 1043

/* Strings: start-up and services */
#define IDS_VERSION_ERROR_CAPTION 1001 /* Windowsバージョンエラー */
#define IDS_VERSION_ERROR_TEXT 1002    /* Windows95/98/Meでは使用できません。 */
#define IDS_SERVER_ERROR_CAPTION 1003  /* サーバ起動エラー */
#define IDS_SERVER_ERROR_TEXT 1004     /* FTPサーバーが起動できませんでした。... */
#define IDS_ERROR_CAPTION 1005         /* エラー */
#define IDS_STATE_RECEIVED 1006        /* 受信完了しました */
#define IDS_STATE_RECEIVING 1007       /* 受信中 */
#define IDS_STATE_INTERRUPTED 1008     /* 受信が中断されました */

/* Strings: packet capture start failures */
#define IDS_CAPTURE_DRIVER_MISSING 5006 /* KESTOVA.SYSファイルが見つからないため... */
#define IDS_CAPTURE_INSTALL_FAILED \
  5007 /* パケットキャプチャドライバのインストールに失敗しました。 */
#define IDS_CAPTURE_UNKNOWN_ERROR 5009 /* パケットキャプチャドライバが不明なエラーのため... */
#define IDS_CAPTURE_DRIVER_ALTERED 5010 /* KESTOVA.SYSファイルがこのプログラムと共に... */
#define IDS_METHOD_DRIVER 5011 /* 名前応答：ドライバ */
#define IDS_METHOD_RAW 5012    /* 名前応答：rawソケット */
#define IDS_METHOD_SOCKET 5013 /* 名前応答：UDPソケット */
#define IDS_CLOSE_WHILE_RECEIVING 5014 /* 受信中の番組があります。終了しますか？ */

/* Strings: the receive page */
#define IDS_PAGE_RECEIVE 10000     /* 受信 */
#define IDS_FOLDER_LABEL 10001     /* 保存フォルダ */
#define IDS_BROWSE_BUTTON 10002    /* 参照 */
#define IDS_COLUMN_FILE_NAME 10003 /* ファイル名 */
#define IDS_COLUMN_STATE 10004     /* 状態 */
#define IDS_BROWSE_TITLE 10005     /* 保存フォルダを選択してください */
#define IDS_COLUMN_FILE_SIZE 10007 /* ファイルサイズ(MByte) */
#define IDS_STATE_CREATE_FAILED 10008 /* ファイルの作成に失敗しました。...ファイル名：%s */
#define IDS_STATE_WRITE_FAILED 10009 /* ファイルへの書き込みに失敗しました。...ファイル名：%s */
#define IDS_COLUMN_ELAPSED 10010    /* 経過時間(分) */
#define IDS_COLUMN_PERCENTAGE 10011 /* 経過割合(%) */
#define IDS_COLUMN_RATE 10012       /* 転送レート(KByte/s) */
#define IDS_COLUMN_REMAINING 10013  /* 残り時間(分) */

#endif /* KESTOVA_APP_RESOURCE_H */
