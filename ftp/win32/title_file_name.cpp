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

// Where Windows ends the part of a name it compares with the device names: at the
// first dot, with the spaces before it dropped ("CON.x.MPG" and "CON .MPG" are CON).
size_t DeviceStemLength(const CCountedString& name) {
  size_t end = name.Find('.', 0, CodePage::ShiftJis());
  if (end == CCountedString::npos) end = name.Length();
  while (end > 0 && name[end - 1] == ' ') --end;  // a space is never a trail byte
  return end;
}

}  // namespace

// The ANSI file functions take the Shift_JIS title as it is; characters Windows does
// not allow in a name were already replaced by CleanTitle. Control characters, which
// no Windows name may hold, become "_" (they are never trail bytes, so a byte scan is
// safe), and a device name gets a "_" right after it ("CON.x" becomes "CON_.x"), so
// that such a title still gives a file.
CCountedString TitleFileName(const CCountedString& shiftJisTitle) {
  CCountedString name;
  for (size_t i = 0; i < shiftJisTitle.Length(); ++i) {
    name.AppendChar(shiftJisTitle.ByteAt(i) < 0x20 ? '_' : shiftJisTitle[i]);
  }
  const size_t stem = DeviceStemLength(name);
  if (IsDeviceName(name.Left(stem))) name = name.Left(stem) + "_" + name.Mid(stem);
  return name;
}

}  // namespace kestova
