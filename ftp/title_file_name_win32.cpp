#include "ftp/title_file_name.h"

namespace kestova {

namespace {

// Names Windows gives to devices: "CON.MPG" would open the console, not a file.
bool IsDeviceName(const CCountedString& name) {
  static const char* const kDevices[] = {
      "CON",  "PRN",  "AUX",  "NUL",  "COM1", "COM2", "COM3", "COM4", "COM5", "COM6", "COM7",
      "COM8", "COM9", "LPT1", "LPT2", "LPT3", "LPT4", "LPT5", "LPT6", "LPT7", "LPT8", "LPT9"};
  for (const char* device : kDevices) {
    if (name.EqualsNoCase(device, CodePage::ShiftJis())) return true;
  }
  return false;
}

}  // namespace

// The ANSI file functions take the Shift_JIS title as it is; characters Windows does
// not allow in a name were already replaced by CleanTitle. Control characters, which
// no Windows name may hold, become "_" (they are never trail bytes, so a byte scan is
// safe), and a device name gets a "_" appended, so that such a title still gives a file.
CCountedString TitleFileName(const CCountedString& shiftJisTitle) {
  CCountedString name;
  for (size_t i = 0; i < shiftJisTitle.Length(); ++i) {
    name.AppendChar(shiftJisTitle.ByteAt(i) < 0x20 ? '_' : shiftJisTitle[i]);
  }
  if (IsDeviceName(name)) name.AppendChar('_');
  return name;
}

}  // namespace kestova
