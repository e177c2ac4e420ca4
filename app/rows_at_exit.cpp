#include "app/rows_at_exit.h"

#include "platform/file_system.h"

namespace kestova {

void WriteRowsIfAsked(const CListCtrl& list, int columns) {
  char path[MAX_PATH] = {};
  const DWORD length = GetEnvironmentVariableA("KESTOVA_TEST_ROWS_FILE", path, sizeof(path));
  if (length == 0 || length >= sizeof(path)) return;
  CCountedString rows;
  const int count = list.GetItemCount();
  for (int row = 0; row < count; ++row) {
    for (int column = 0; column < columns; ++column) {
      if (column > 0) rows += '\t';
      rows += list.GetItemText(row, column);
    }
    rows += "\r\n";
  }
  CFile file;
  if (file.OpenForWrite(path)) file.Write(rows.CStr(), static_cast<uint32_t>(rows.Length()));
}

}  // namespace kestova
