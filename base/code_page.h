// Code-page awareness for multibyte text.
//
// Text is bytes in a code page. In a double-byte code page such as Shift_JIS (932)
// a lead byte is followed by a trail byte, and a trail byte may equal '\\', '/', '.'
// or '|': every search for such a character must step over double-byte characters.
#pragma once

namespace kestova {

class CodePage {
 public:
  using LeadByteTest = bool (*)(unsigned char byte);

  explicit constexpr CodePage(LeadByteTest isLeadByte) : isLeadByte_(isLeadByte) {}

  bool IsLeadByte(unsigned char byte) const { return isLeadByte_(byte); }

  // Length in bytes of the character that starts at text[0] (1 or 2). A lead byte
  // at the very end of the text (no trail byte follows) counts as one byte.
  unsigned CharLength(const char* text, unsigned long remaining) const {
    return (remaining >= 2 && IsLeadByte(static_cast<unsigned char>(text[0]))) ? 2u : 1u;
  }

  // Shift_JIS (code page 932): lead bytes 0x81-0x9F and 0xE0-0xFC. Built in, so the
  // Shift_JIS rules hold and are tested on every system.
  static const CodePage& ShiftJis();
  // Single-byte text: no lead bytes at all (also right for UTF-8, whose bytes never
  // look like an ASCII separator).
  static const CodePage& SingleByte();
  // The system's multibyte code page: the ANSI code page on Windows (IsDBCSLeadByte),
  // UTF-8 (no lead bytes) on Linux. Provided by platform/.
  static const CodePage& System();

 private:
  LeadByteTest isLeadByte_;
};

}  // namespace kestova
