#include "base/counted_string.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

namespace kestova {

// The shared buffer: a header followed by capacity + 1 bytes of text. The empty string
// of a default-constructed object is a static block that is never freed or written.
struct CCountedString::Block {
  std::atomic<long> references;
  size_t length;
  size_t capacity;
  char* Text() { return reinterpret_cast<char*>(this + 1); }
};

namespace {

CCountedString::Block* NewBlock(size_t capacity) {
  void* memory = std::malloc(sizeof(CCountedString::Block) + capacity + 1);
  if (memory == nullptr) throw std::bad_alloc();
  auto* block = new (memory) CCountedString::Block;
  block->references.store(1, std::memory_order_relaxed);
  block->length = 0;
  block->capacity = capacity;
  block->Text()[0] = '\0';
  return block;
}

// The text of every empty string: one block that is never written or freed (objects
// that hold it never change its reference count).
CCountedString::Block* EmptyBlock() {
  alignas(CCountedString::Block) static unsigned char storage[sizeof(CCountedString::Block) + 1];
  static CCountedString::Block* const block = [] {
    auto* b = new (storage) CCountedString::Block;
    b->references.store(1, std::memory_order_relaxed);
    b->length = 0;
    b->capacity = 0;
    b->Text()[0] = '\0';
    return b;
  }();
  return block;
}

bool IsSingleByteSpace(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

char AsciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }
char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Windows' runtime spells 64-bit integers "%I64d"; inside a conversion the standard
// spelling "ll" replaces it, so format strings written either way give the same text.
std::string StandardFormat(const char* format) {
  std::string out;
  bool inConversion = false;
  for (const char* p = format; *p != '\0'; ++p) {
    if (!inConversion) {
      inConversion = *p == '%';
      out += *p;
      continue;
    }
    if (p[0] == 'I' && p[1] == '6' && p[2] == '4') {
      out += "ll";
      p += 2;
      continue;
    }
    out += *p;
    // A conversion ends at its conversion letter (or at "%%").
    if (std::strchr("diouxXeEfFgGaAcspn%", *p) != nullptr) inConversion = false;
  }
  return out;
}

}  // namespace

CCountedString::CCountedString() : block_(EmptyBlock()) {}

CCountedString::CCountedString(const char* text) : block_(EmptyBlock()) {
  if (text != nullptr) Append(text, std::strlen(text));
}

CCountedString::CCountedString(const char* bytes, size_t length) : block_(EmptyBlock()) {
  Append(bytes, length);
}

CCountedString::CCountedString(const CCountedString& other) : block_(other.block_) {
  if (block_ != EmptyBlock()) block_->references.fetch_add(1, std::memory_order_relaxed);
}

CCountedString::CCountedString(CCountedString&& other) noexcept : block_(other.block_) {
  other.block_ = EmptyBlock();
}

CCountedString& CCountedString::operator=(const CCountedString& other) {
  if (block_ != other.block_) {
    CCountedString copy(other);
    std::swap(block_, copy.block_);
  }
  return *this;
}

CCountedString& CCountedString::operator=(CCountedString&& other) noexcept {
  std::swap(block_, other.block_);
  return *this;
}

CCountedString& CCountedString::operator=(const char* text) {
  CCountedString copy(text);
  std::swap(block_, copy.block_);
  return *this;
}

CCountedString::~CCountedString() { Release(); }

void CCountedString::Release() {
  if (block_ == EmptyBlock()) return;
  if (block_->references.fetch_sub(1, std::memory_order_acq_rel) == 1) {
    block_->~Block();
    std::free(block_);
  }
  block_ = EmptyBlock();
}

// Ensures this object alone owns a block with room for `capacity` bytes, keeping the text.
void CCountedString::MakeUnique(size_t capacity) {
  const size_t length = block_->length;
  if (capacity < length) capacity = length;
  if (block_ != EmptyBlock() && block_->references.load(std::memory_order_acquire) == 1 &&
      block_->capacity >= capacity) {
    return;
  }
  if (block_ != EmptyBlock() && block_->references.load(std::memory_order_acquire) == 1) {
    // Sole owner: grow geometrically so that appending stays linear.
    size_t grown = block_->capacity + block_->capacity / 2;
    if (grown > capacity) capacity = grown;
  }
  Block* fresh = NewBlock(capacity);
  std::memcpy(fresh->Text(), block_->Text(), length + 1);
  fresh->length = length;
  Release();
  block_ = fresh;
}

size_t CCountedString::Length() const { return block_->length; }

const char* CCountedString::CStr() const { return block_->Text(); }

// The format arrives as a variable: its callers' format attributes check the literals.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
CCountedString CCountedString::FormatV(const char* format, va_list args) {
  const std::string standard = StandardFormat(format);
  va_list measure;
  va_copy(measure, args);
  const int needed = std::vsnprintf(nullptr, 0, standard.c_str(), measure);
  va_end(measure);
  CCountedString result;
  if (needed <= 0) return result;
  char* buffer = result.GetBuffer(static_cast<size_t>(needed));
  std::vsnprintf(buffer, static_cast<size_t>(needed) + 1, standard.c_str(), args);
  result.ReleaseBuffer(static_cast<size_t>(needed));
  return result;
}
#pragma GCC diagnostic pop

CCountedString CCountedString::Format(const char* format, ...) {
  va_list args;
  va_start(args, format);
  CCountedString result = FormatV(format, args);
  va_end(args);
  return result;
}

CCountedString& CCountedString::AppendFormat(const char* format, ...) {
  va_list args;
  va_start(args, format);
  CCountedString piece = FormatV(format, args);
  va_end(args);
  return Append(piece);
}

CCountedString& CCountedString::Append(const char* bytes, size_t length) {
  if (length == 0) return *this;
  const size_t old = block_->length;
  // The source may lie inside our own buffer, which MakeUnique may move.
  if (bytes >= block_->Text() && bytes < block_->Text() + old) {
    CCountedString copy(bytes, length);
    return Append(copy);
  }
  MakeUnique(old + length);
  std::memcpy(block_->Text() + old, bytes, length);
  block_->length = old + length;
  block_->Text()[block_->length] = '\0';
  return *this;
}

CCountedString& CCountedString::Append(const char* text) {
  return text == nullptr ? *this : Append(text, std::strlen(text));
}

CCountedString& CCountedString::Append(const CCountedString& other) {
  if (other.block_ == block_) {
    CCountedString copy(other);
    return Append(copy.CStr(), copy.Length());
  }
  return Append(other.CStr(), other.Length());
}

CCountedString& CCountedString::AppendChar(char c) { return Append(&c, 1); }

CCountedString CCountedString::Substring(size_t position, size_t count) const {
  const size_t length = Length();
  if (position >= length) return CCountedString();
  if (count > length - position) count = length - position;
  if (position == 0 && count == length) return *this;
  return CCountedString(CStr() + position, count);
}

size_t CCountedString::Find(const char* needle, size_t start, const CodePage& codePage) const {
  const size_t needleLength = std::strlen(needle);
  const size_t length = Length();
  const char* text = CStr();
  // Walk character by character from the beginning so that `start` inside a
  // double-byte character is never mistaken for a character start.
  for (size_t i = 0; i < length;) {
    if (i >= start && length - i >= needleLength &&
        std::memcmp(text + i, needle, needleLength) == 0) {
      return i;
    }
    i += codePage.CharLength(text + i, length - i);
  }
  return (needleLength == 0 && start <= length) ? start : npos;
}

size_t CCountedString::Find(char c, size_t start, const CodePage& codePage) const {
  const char needle[2] = {c, '\0'};
  if (c == '\0') {
    const char* text = CStr();
    for (size_t i = 0; i < Length();) {
      if (i >= start && text[i] == '\0') return i;
      i += codePage.CharLength(text + i, Length() - i);
    }
    return npos;
  }
  return Find(needle, start, codePage);
}

size_t CCountedString::FindLast(const char* needle, size_t before, const CodePage& codePage) const {
  const size_t needleLength = std::strlen(needle);
  const size_t length = Length();
  const char* text = CStr();
  size_t found = npos;
  for (size_t i = 0; i < length;) {
    if (before != npos && i > before) break;
    if (length - i >= needleLength && std::memcmp(text + i, needle, needleLength) == 0) found = i;
    i += codePage.CharLength(text + i, length - i);
  }
  return found;
}

size_t CCountedString::FindLast(char c, size_t before, const CodePage& codePage) const {
  const char needle[2] = {c, '\0'};
  return FindLast(needle, before, codePage);
}

size_t CCountedString::Replace(const char* from, const char* to, const CodePage& codePage) {
  const size_t fromLength = std::strlen(from);
  if (fromLength == 0) return 0;
  CCountedString result;
  size_t count = 0;
  size_t copied = 0;
  for (size_t at = Find(from, 0, codePage); at != npos;
       at = Find(from, at + fromLength, codePage)) {
    result.Append(CStr() + copied, at - copied);
    result.Append(to);
    copied = at + fromLength;
    ++count;
  }
  if (count == 0) return 0;
  result.Append(CStr() + copied, Length() - copied);
  *this = std::move(result);
  return count;
}

CCountedString& CCountedString::TrimLeft() {
  size_t skip = 0;
  while (skip < Length() && IsSingleByteSpace(CStr()[skip])) ++skip;
  if (skip > 0) *this = Substring(skip);
  return *this;
}

CCountedString& CCountedString::TrimRight() {
  size_t keep = Length();
  // A trailing space byte is always a single-byte character: no double-byte
  // character of a supported code page has a trail byte at or below 0x20.
  while (keep > 0 && IsSingleByteSpace(CStr()[keep - 1])) --keep;
  Truncate(keep);
  return *this;
}

CCountedString& CCountedString::MakeUpper(const CodePage& codePage) {
  if (IsEmpty()) return *this;
  MakeUnique(Length());
  char* text = block_->Text();
  for (size_t i = 0; i < Length();) {
    const unsigned step = codePage.CharLength(text + i, Length() - i);
    if (step == 1) text[i] = AsciiUpper(text[i]);
    i += step;
  }
  return *this;
}

CCountedString& CCountedString::MakeLower(const CodePage& codePage) {
  if (IsEmpty()) return *this;
  MakeUnique(Length());
  char* text = block_->Text();
  for (size_t i = 0; i < Length();) {
    const unsigned step = codePage.CharLength(text + i, Length() - i);
    if (step == 1) text[i] = AsciiLower(text[i]);
    i += step;
  }
  return *this;
}

int CCountedString::Compare(const char* other) const {
  const size_t otherLength = std::strlen(other);
  const size_t common = Length() < otherLength ? Length() : otherLength;
  const int result = std::memcmp(CStr(), other, common);
  if (result != 0) return result < 0 ? -1 : 1;
  if (Length() == otherLength) return 0;
  return Length() < otherLength ? -1 : 1;
}

int CCountedString::CompareNoCase(const char* other, const CodePage& codePage) const {
  const char* a = CStr();
  const size_t aLength = Length();
  const size_t bLength = std::strlen(other);
  size_t i = 0;
  size_t j = 0;
  while (i < aLength && j < bLength) {
    const unsigned aStep = codePage.CharLength(a + i, aLength - i);
    const unsigned bStep = codePage.CharLength(other + j, bLength - j);
    for (unsigned k = 0; k < aStep || k < bStep; ++k) {
      // Only single-byte characters fold; a trail byte is compared as it is.
      unsigned char ca = k < aStep ? static_cast<unsigned char>(a[i + k]) : 0;
      unsigned char cb = k < bStep ? static_cast<unsigned char>(other[j + k]) : 0;
      if (aStep == 1) ca = static_cast<unsigned char>(AsciiLower(static_cast<char>(ca)));
      if (bStep == 1) cb = static_cast<unsigned char>(AsciiLower(static_cast<char>(cb)));
      if (ca != cb) return ca < cb ? -1 : 1;
    }
    i += aStep;
    j += bStep;
  }
  if (i == aLength && j == bLength) return 0;
  return i == aLength ? -1 : 1;
}

bool CCountedString::StartsWith(const char* prefix) const {
  const size_t prefixLength = std::strlen(prefix);
  return prefixLength <= Length() && std::memcmp(CStr(), prefix, prefixLength) == 0;
}

bool CCountedString::EndsWith(const char* suffix) const {
  const size_t suffixLength = std::strlen(suffix);
  return suffixLength <= Length() &&
         std::memcmp(CStr() + Length() - suffixLength, suffix, suffixLength) == 0;
}

char* CCountedString::GetBuffer(size_t capacity) {
  MakeUnique(capacity);
  return block_->Text();
}

void CCountedString::ReleaseBuffer(size_t length) {
  if (block_ == EmptyBlock()) return;
  if (length == npos) length = std::strlen(block_->Text());
  if (length > block_->capacity) length = block_->capacity;
  if (block_->references.load(std::memory_order_acquire) != 1) {
    // The block is shared (copied after GetBuffer, or GetBuffer was never called): this
    // object takes its own copy of the text, and the others keep their length, ended
    // again by a NUL where their text ends.
    Block* fresh = NewBlock(length);
    std::memcpy(fresh->Text(), block_->Text(), length);
    block_->Text()[block_->length] = '\0';
    Release();
    block_ = fresh;
  }
  block_->length = length;
  block_->Text()[length] = '\0';
}

void CCountedString::Truncate(size_t length) {
  if (length >= Length()) return;
  if (length == 0) {
    Release();
    return;
  }
  MakeUnique(Length());
  block_->length = length;
  block_->Text()[length] = '\0';
}

void CCountedString::Clear() { Release(); }

bool operator==(const CCountedString& a, const CCountedString& b) {
  return a.Length() == b.Length() && std::memcmp(a.CStr(), b.CStr(), a.Length()) == 0;
}

bool operator==(const CCountedString& a, const char* b) {
  return a.Length() == std::strlen(b) && std::memcmp(a.CStr(), b, a.Length()) == 0;
}

CCountedString operator+(const CCountedString& a, const CCountedString& b) {
  CCountedString result(a);
  return result.Append(b);
}

CCountedString operator+(const CCountedString& a, const char* b) {
  CCountedString result(a);
  return result.Append(b);
}

CCountedString operator+(const char* a, const CCountedString& b) {
  CCountedString result(a);
  return result.Append(b);
}

}  // namespace kestova
