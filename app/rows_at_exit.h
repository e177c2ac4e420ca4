// A test hook: the receive list's last rows, written to a file when the page goes.
//
// The end-to-end tests close the program during a reception and must read the state the
// row was given while the program waited for the session; the window is gone by the time
// the program has ended. When the environment variable KESTOVA_TEST_ROWS_FILE names a file,
// the page writes every row there as it is destroyed (cells read back from the list view,
// separated by TAB, rows ending in CR LF, code page 932). Without the variable nothing
// happens.
#pragma once

#include "ui/list_ctrl.h"

namespace kestova {

void WriteRowsIfAsked(const CListCtrl& list, int columns);

}  // namespace kestova
