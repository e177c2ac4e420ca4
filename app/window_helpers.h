// The program's window helpers: strings and message boxes from the string table, the
// shell's folder browser, draining the message queue and moving a child's edges.
//
// Texts are in the ANSI code page (Shift_JIS on a Japanese Windows). Apart from
// LoadResString and ShowMessage, which the FTP listener thread also calls, these run on
// the user-interface thread.
#pragma once

#include "base/counted_string.h"
#include "platform/system_error.h"
#include "ui/win.h"

namespace kestova {

// The string-table entry `id` of the program's resources, converted from the table's
// UTF-16 to the ANSI code page; empty when the id has no entry.
CCountedString LoadResString(unsigned id);

// A message box owned by `owner` (may be null) whose caption and text are the string-table
// entries `captionId` and `textId`; returns the button pressed (MessageBoxA's result).
int ShowMessage(HWND owner, unsigned captionId, unsigned textId, unsigned flags);
// As above, saying why below the text: the entry `textId` unchanged, then, when `reason` is
// set, a blank line and the system's reason in the system's words (MessageText).
int ShowMessage(HWND owner, unsigned captionId, unsigned textId, unsigned flags,
                const SystemError& reason);
// The entry `textId`, followed by "\r\n\r\n" and the reason's text when `reason` is set.
CCountedString MessageText(unsigned textId, const SystemError& reason);

// Takes, translates and dispatches every waiting message of the calling thread (through the
// framework's RouteMessage) and never blocks. True when the queue has been emptied; false
// as soon as the quit message was taken (it is then no longer in the queue).
bool PumpMessages();

// The shell's folder browser, owned by `owner`, with `title` above the tree. It opens at
// the nearest existing ancestor of `startFolder` (NearestExistingFolder). True when the user
// confirmed a folder with a file-system path: `chosen` then receives it. False, `chosen`
// untouched, when the user cancelled, chose an item without a file-system path, or the
// browser could not start.
bool BrowseForFolder(HWND owner, const char* title, const CCountedString& startFolder,
                     CCountedString* chosen);

// `folder` cut back at its last backslash (double-byte characters stepped over) until it
// names something that exists or is empty.
CCountedString NearestExistingFolder(const CCountedString& folder);

// Moves the edges of `child` by the deltas (in `parent`'s client coordinates: left and top
// edges move by minus their delta, right and bottom edges by plus theirs) without
// repainting. 0 when `parent` or `child` is not a window; otherwise MoveWindow's result.
int MoveEdges(HWND parent, HWND child, int leftDelta, int topDelta, int rightDelta,
              int bottomDelta);

}  // namespace kestova
