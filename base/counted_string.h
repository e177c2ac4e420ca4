// CCountedString: a reference-counted, growable multibyte string.
//
// Copies share one buffer until one of them changes (copy on write); the reference
// count is atomic, so copies may be handed to other threads. The text is always
// followed by a NUL byte, but may itself contain NUL bytes (Length() counts them).
// Out of memory raises std::bad_alloc, the string's out-of-memory failure.
//
// Searches take the code page whose lead bytes they must step over; by default the
// system's (CodePage::System()). Positions are byte offsets; npos means "not found".
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>

#include "base/code_page.h"

// GCC checks Format's arguments against the C99 conversions with "gnu_printf" (on
// mingw-w64 plain "printf" would mean the Microsoft runtime's); clang knows only "printf".
#if defined(__clang__)
#define KESTOVA_PRINTF_FORMAT(formatIndex, firstArgument) \
  __attribute__((format(printf, formatIndex, firstArgument)))
#else
#define KESTOVA_PRINTF_FORMAT(formatIndex, firstArgument) \
  __attribute__((format(gnu_printf, formatIndex, firstArgument)))
#endif

namespace kestova {

class CCountedString {
 public:
  static constexpr size_t npos = static_cast<size_t>(-1);

  CCountedString();
  CCountedString(const char* text);  // NOLINT: implicit from literals on purpose
  CCountedString(const char* bytes, size_t length);
  CCountedString(const CCountedString& other);
  CCountedString(CCountedString&& other) noexcept;
  CCountedString& operator=(const CCountedString& other);
  CCountedString& operator=(CCountedString&& other) noexcept;
  CCountedString& operator=(const char* text);
  ~CCountedString();

  // printf-style formatting (the C99 conversions on every system; 64-bit integers as
  // "%lld"/"%llu" with long long arguments). "%I64d" is accepted too and means "%lld".
  static CCountedString Format(const char* format, ...) KESTOVA_PRINTF_FORMAT(1, 2);
  static CCountedString FormatV(const char* format, va_list args);
  CCountedString& AppendFormat(const char* format, ...) KESTOVA_PRINTF_FORMAT(2, 3);

  size_t Length() const;
  bool IsEmpty() const { return Length() == 0; }
  const char* CStr() const;  // never null, always NUL-terminated
  char operator[](size_t index) const { return CStr()[index]; }
  unsigned char ByteAt(size_t index) const { return static_cast<unsigned char>(CStr()[index]); }

  CCountedString& Append(const char* bytes, size_t length);
  CCountedString& Append(const char* text);
  CCountedString& Append(const CCountedString& other);
  CCountedString& AppendChar(char c);
  CCountedString& operator+=(const CCountedString& other) { return Append(other); }
  CCountedString& operator+=(const char* text) { return Append(text); }
  CCountedString& operator+=(char c) { return AppendChar(c); }

  // Substrings; positions and counts are clamped to the text.
  CCountedString Substring(size_t position, size_t count = npos) const;
  CCountedString Left(size_t count) const { return Substring(0, count); }
  CCountedString Mid(size_t position) const { return Substring(position); }

  // Code-page-aware searches: a match never starts on a trail byte.
  size_t Find(const char* needle, size_t start = 0,
              const CodePage& codePage = CodePage::System()) const;
  size_t Find(char c, size_t start = 0, const CodePage& codePage = CodePage::System()) const;
  // Last match that starts at or before `before` (npos = anywhere).
  size_t FindLast(const char* needle, size_t before = npos,
                  const CodePage& codePage = CodePage::System()) const;
  size_t FindLast(char c, size_t before = npos,
                  const CodePage& codePage = CodePage::System()) const;
  // Replaces every non-overlapping occurrence, left to right; returns the count.
  size_t Replace(const char* from, const char* to, const CodePage& codePage = CodePage::System());

  // Trimming of single-byte white space (space, TAB, CR, LF, VT, FF).
  CCountedString& TrimLeft();
  CCountedString& TrimRight();
  CCountedString& Trim() { return TrimRight().TrimLeft(); }

  // ASCII letters changed case; double-byte characters are left alone.
  CCountedString& MakeUpper(const CodePage& codePage = CodePage::System());
  CCountedString& MakeLower(const CodePage& codePage = CodePage::System());

  // Byte-wise comparison; ...NoCase folds ASCII letters only, never a trail byte.
  int Compare(const char* other) const;
  int CompareNoCase(const char* other, const CodePage& codePage = CodePage::System()) const;
  bool EqualsNoCase(const char* other, const CodePage& codePage = CodePage::System()) const {
    return CompareNoCase(other, codePage) == 0;
  }
  bool StartsWith(const char* prefix) const;
  bool EndsWith(const char* suffix) const;

  // Direct writing: GetBuffer returns room for at least `capacity` bytes plus NUL
  // (keeping the current text); ReleaseBuffer sets the length (npos: up to the first NUL)
  // of this object only: copies that share the buffer keep theirs.
  char* GetBuffer(size_t capacity);
  void ReleaseBuffer(size_t length = npos);
  void Truncate(size_t length);
  void Clear();

  // The shared buffer; defined and used only by the implementation.
  struct Block;

 private:
  void MakeUnique(size_t capacity);
  void Release();
  Block* block_;
};

bool operator==(const CCountedString& a, const CCountedString& b);
bool operator==(const CCountedString& a, const char* b);
inline bool operator!=(const CCountedString& a, const CCountedString& b) { return !(a == b); }
inline bool operator!=(const CCountedString& a, const char* b) { return !(a == b); }
CCountedString operator+(const CCountedString& a, const CCountedString& b);
CCountedString operator+(const CCountedString& a, const char* b);
CCountedString operator+(const char* a, const CCountedString& b);

}  // namespace kestova
