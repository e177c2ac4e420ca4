// The text of a private-profile (INI) file, read and changed the way the Windows
// private-profile functions do it, for the Linux build's settings.
//
// Format: "[Section]" header lines and "key=value" lines. Section and key names are
// compared without regard to ASCII case, after trimming blanks. A value loses its
// surrounding blanks and one pair of matching surrounding quotes ('"' or '\'').
// Lines before the first section, lines without '=' and duplicate keys after the
// first are kept but never read. Changing a key rewrites only its own line; every
// other line keeps its bytes and its place.
#pragma once

#include <string>
#include <vector>

namespace kestova {

class CIniText {
 public:
  explicit CIniText(const std::string& text);

  // The value of the first `key` in the first `section`; false when there is none.
  bool Find(const char* section, const char* key, std::string* value) const;

  // Sets the key: replaces its line, or adds "key=value" at the end of the section,
  // or adds the section (at the end of the text) and the key.
  void Set(const char* section, const char* key, const char* value);

  std::string Text() const;

 private:
  struct Line {
    std::string text;  // without the line end
    std::string end;   // "\r\n", "\n" or "" (the last line of a file without one)
  };
  // Index of the first header line of `section`, lines_.size() when there is none.
  size_t FindSection(const char* section) const;
  // Index of the first line after the section's header that belongs to the next
  // section (or lines_.size()).
  size_t SectionEnd(size_t header) const;
  // Index of the key's line within [first, end), `end` when there is none.
  size_t FindKey(const char* key, size_t first, size_t end) const;
  const std::string& NewLineEnd() const;

  std::vector<Line> lines_;
  std::string newLineEnd_;
};

}  // namespace kestova
