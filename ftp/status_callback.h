// The status callback: how the Windows receive page learns of programme receptions.
// It is a view of the reception events (ftp/reception_events.h), made by
// CStatusCallbackAdapter (ftp/status_callback_adapter.h); views that want the figures
// themselves observe the events instead (the Linux receive list does).
//
// A reception calls it synchronously on its session thread, several sessions possibly
// at the same time. Each call has taken effect when it returns; the callback may block
// until its user-interface thread has processed it.
//
// Arguments, in this order:
//   code     one of StatusCode below; codes above 7 are to be ignored.
//   data     codes 0-6: a zero-terminated text, valid only during the call.
//            code 7:    an int32_t* into which the callback writes the index of the row
//                       it has appended (-1 when it could not append one).
//   context  the context given to SetStatusCallback, passed back unchanged.
//   row      the row index obtained with code 7 (not used by code 7 itself). The
//            reception only hands the value back: a list that reorders its rows hands
//            out a value that stays with the row (an item id) and finds the row by it.
//
// Texts: codes 1-5 are ASCII. Code 0 is the file name as it was created (no folder),
// in the system's file-name encoding: the ANSI code page (Shift_JIS on a Japanese
// Windows) on Windows, UTF-8 on Linux. Code 6 is one of the Shift_JIS state texts
// below; the two failure texts end with the full path in the file-name encoding.
#pragma once

#include <cstdint>

namespace kestova {

using StatusCallback = void (*)(uint32_t code, void* data, void* context, int32_t row);

// The receive list's columns: 0 file name, 1 size, 2 elapsed, 3 percentage, 4 rate,
// 5 remaining, 6 state. Codes 4 and 5 fill columns 5 and 4, the opposite of their numbers.
enum StatusCode : uint32_t {
  kStatusFileName = 0,    // column 0: title + extension
  kStatusSize = 1,        // column 1: "received MiB/expected MiB"
  kStatusElapsed = 2,     // column 2: "m:ss"
  kStatusPercentage = 3,  // column 3: "25.00"
  kStatusRemaining = 4,   // column 5 (remaining time): "m:ss"
  kStatusRate = 5,        // column 4 (transfer rate): KiB per second
  kStatusState = 6,       // column 6: one of the state texts
  kStatusAddRow = 7,      // appends an empty row; data is an int32_t* for its index
};

// State texts (Shift_JIS), with their string-table ids on Windows.
// 1007 "受信中" (receiving): after the file has been created.
constexpr unsigned kStringReceiving = 1007;
constexpr const char kTextReceiving[] = "\x8e\xf3\x90\x4d\x92\x86";
// 1006 "受信完了しました" (reception complete): at the end of a reception whose sender
// closed the data connection in order.
constexpr unsigned kStringReceived = 1006;
constexpr const char kTextReceived[] =
    "\x8e\xf3\x90\x4d\x8a\xae\x97\xb9\x82\xb5\x82\xdc\x82\xb5\x82\xbd";
// 1008 "受信が中断されました" (reception interrupted): at the end of a reception that the
// stop flag, more than the silence limit without data, or a receive error ended; the
// file keeps every byte received. (The recorder is still answered "226 Transfer complete".)
constexpr unsigned kStringInterrupted = 1008;
constexpr const char kTextInterrupted[] =
    "\x8e\xf3\x90\x4d\x82\xaa\x92\x86\x92\x66\x82\xb3\x82\xea\x82\xdc\x82\xb5\x82\xbd";
// 10008 "ファイルの作成に失敗しました。処理を中断します。ファイル名：%s": the file
// could not be created; %s is the full path.
constexpr unsigned kStringCreateFailed = 10008;
constexpr const char kTextCreateFailedFormat[] =
    "\x83\x74\x83\x40\x83\x43\x83\x8b\x82\xcc\x8d\xec\x90\xac\x82\xc9\x8e\xb8\x94\x73"
    "\x82\xb5\x82\xdc\x82\xb5\x82\xbd\x81\x42\x8f\x88\x97\x9d\x82\xf0\x92\x86\x92\x66"
    "\x82\xb5\x82\xdc\x82\xb7\x81\x42\x83\x74\x83\x40\x83\x43\x83\x8b\x96\xbc\x81\x46%s";
// 10009 "ファイルへの書き込みに失敗しました。受信を中断しました。ファイル名：%s":
// writing to the file failed (a full disk); the file keeps what was written before.
constexpr unsigned kStringWriteFailed = 10009;
constexpr const char kTextWriteFailedFormat[] =
    "\x83\x74\x83\x40\x83\x43\x83\x8b\x82\xd6\x82\xcc\x8f\x91\x82\xab\x8d\x9e\x82\xdd"
    "\x82\xc9\x8e\xb8\x94\x73\x82\xb5\x82\xdc\x82\xb5\x82\xbd\x81\x42\x8e\xf3\x90\x4d"
    "\x82\xf0\x92\x86\x92\x66\x82\xb5\x82\xdc\x82\xb5\x82\xbd\x81\x42\x83\x74\x83\x40"
    "\x83\x43\x83\x8b\x96\xbc\x81\x46%s";

}  // namespace kestova
