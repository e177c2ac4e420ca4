#include "ftp/dubbing_documents.h"

#include <cstdlib>
#include <cstring>

namespace kestova {

CCountedString BuildStatusDocument() {
  CCountedString document;
  document.Append("<?xml version=\"1.0\" encoding=\"shift_jis\"?>\r\n");
  document.Append("<status>\r\n");
  document.Append("<dubbing>ready</dubbing>\r\n");
  document.Append("<accept_dubbing>ready</accept_dubbing>\r\n");
  for (int device = 0; device <= 9; ++device) {
    document.AppendFormat("<device%d_remain>167772160</device%d_remain>\r\n", device, device);
    document.AppendFormat("<device%d_recorded>0</device%d_recorded>\r\n", device, device);
    document.AppendFormat("<device%d_title_remain>350</device%d_title_remain>\r\n", device, device);
  }
  document.Append("</status>\r\n");
  return document;
}

uint64_t ParseTitleSize(const CCountedString& document) {
  // Searched as zero-terminated text: anything after a zero byte is ignored.
  CCountedString text(document.CStr());
  static const char kOpen[] = "<titlesize>";
  static const char kClose[] = "</titlesize>";
  size_t open = text.Find(kOpen, 0, CodePage::ShiftJis());
  if (open == CCountedString::npos) return 0;
  CCountedString rest = text.Mid(open + std::strlen(kOpen));
  size_t close = rest.Find(kClose, 0, CodePage::ShiftJis());
  if (close == CCountedString::npos) return 0;
  CCountedString number = rest.Left(close);
  long long value = std::strtoll(number.CStr(), nullptr, 10);
  if (value < 0 || static_cast<uint64_t>(value) > kLargestTitleSize) return 0;
  return static_cast<uint64_t>(value);
}

}  // namespace kestova
