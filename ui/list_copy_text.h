// The clipboard text of the sortable list's selected rows: each cell followed by one TAB
// (empty cells too), each row ended by CR LF. Portable.
#pragma once

#include "base/counted_string.h"

namespace kestova {

void AppendCopyRow(CCountedString& text, const CCountedString* cells, int count);

}  // namespace kestova
