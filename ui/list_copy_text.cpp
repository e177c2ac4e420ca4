// The clipboard text of the sortable list's selected rows.
#include "ui/list_copy_text.h"

namespace kestova {

void AppendCopyRow(CCountedString& text, const CCountedString* cells, int count) {
  for (int column = 0; column < count; ++column) {
    text.Append(cells[column]);
    text.AppendChar('\t');
  }
  text.Append("\r\n");
}

}  // namespace kestova
