#include <errno.h>
#include <iconv.h>

#include "ftp/title_file_name.h"

namespace kestova {

namespace {

constexpr char kReplacement = '_';

// Converts CP932 to UTF-8; every byte iconv refuses (invalid, or a lead byte cut off
// at the end) is written as kReplacement and skipped. Falls back to replacing every
// non-ASCII byte when the conversion is not available at all.
CCountedString ConvertToUtf8(const CCountedString& text) {
  CCountedString converted;
  iconv_t descriptor = iconv_open("UTF-8", "CP932");
  if (descriptor == reinterpret_cast<iconv_t>(-1)) {
    for (size_t i = 0; i < text.Length(); ++i) {
      converted.AppendChar(text.ByteAt(i) < 0x80 ? text[i] : kReplacement);
    }
    return converted;
  }
  char* input = const_cast<char*>(text.CStr());
  size_t inputLeft = text.Length();
  char output[256];
  while (inputLeft > 0) {
    char* out = output;
    size_t outLeft = sizeof(output);
    size_t result = iconv(descriptor, &input, &inputLeft, &out, &outLeft);
    converted.Append(output, static_cast<size_t>(out - output));
    if (result != static_cast<size_t>(-1)) break;
    if (errno == E2BIG) continue;  // output buffer full: go on with an empty one
    // EILSEQ or EINVAL: one byte that cannot be converted.
    converted.AppendChar(kReplacement);
    ++input;
    --inputLeft;
    iconv(descriptor, nullptr, nullptr, nullptr, nullptr);  // back to the initial state
  }
  iconv_close(descriptor);
  return converted;
}

}  // namespace

CCountedString TitleFileName(const CCountedString& shiftJisTitle) {
  CCountedString utf8 = ConvertToUtf8(shiftJisTitle);
  CCountedString name;
  // A name beginning with a dot (an empty title gives ".MPG", "." gives "..MPG") would
  // be hidden from file managers and listings: such a name gets a visible "_" first.
  if (utf8.IsEmpty() || utf8[0] == '.') name.AppendChar(kReplacement);
  for (size_t i = 0; i < utf8.Length(); ++i) {
    unsigned char byte = utf8.ByteAt(i);
    if (byte == '/') {
      name.Append("\xef\xbc\x8f");  // U+FF0F FULLWIDTH SOLIDUS
    } else if (byte < 0x20 || byte == 0x7f) {
      name.AppendChar(kReplacement);
    } else {
      name.AppendChar(static_cast<char>(byte));
    }
  }
  return name;
}

}  // namespace kestova
