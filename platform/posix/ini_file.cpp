#include "platform/posix/ini_file.h"

#include <cstring>

namespace kestova {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string Trimmed(const std::string& text, size_t begin, size_t end) {
  while (begin < end && IsBlank(text[begin])) ++begin;
  while (end > begin && IsBlank(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

char FoldAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// Names compare without ASCII case and without surrounding blanks. Linux text is
// UTF-8, whose multibyte characters have no ASCII bytes, so folding byte by byte is safe.
bool SameName(const std::string& stored, const char* wanted) {
  const std::string name = Trimmed(wanted, 0, std::strlen(wanted));
  if (stored.size() != name.size()) return false;
  for (size_t i = 0; i < name.size(); ++i) {
    if (FoldAscii(stored[i]) != FoldAscii(name[i])) return false;
  }
  return true;
}

// The section name of a header line; false when the line is no header.
bool SectionNameOf(const std::string& line, std::string* name) {
  size_t begin = 0;
  while (begin < line.size() && IsBlank(line[begin])) ++begin;
  if (begin == line.size() || line[begin] != '[') return false;
  size_t close = line.rfind(']');
  if (close == std::string::npos || close < begin) close = line.size();
  *name = Trimmed(line, begin + 1, close);
  return true;
}

// The key name and raw value of a "key=value" line; false for any other line.
bool KeyOf(const std::string& line, std::string* key, size_t* valueStart) {
  const size_t equals = line.find('=');
  if (equals == std::string::npos) return false;
  *key = Trimmed(line, 0, equals);
  *valueStart = equals + 1;
  return true;
}

}  // namespace

CIniText::CIniText(const std::string& text) {
  size_t start = 0;
  while (start < text.size()) {
    const size_t newline = text.find('\n', start);
    Line line;
    if (newline == std::string::npos) {
      line.text = text.substr(start);
      start = text.size();
    } else {
      size_t end = newline;
      line.end = "\n";
      if (end > start && text[end - 1] == '\r') {
        --end;
        line.end = "\r\n";
      }
      line.text = text.substr(start, end - start);
      start = newline + 1;
    }
    lines_.push_back(line);
  }
  // New lines end as the file's first line does; a new file gets the Windows line end.
  newLineEnd_ = (!lines_.empty() && lines_[0].end == "\n") ? "\n" : "\r\n";
}

size_t CIniText::FindSection(const char* section) const {
  std::string name;
  for (size_t i = 0; i < lines_.size(); ++i) {
    if (SectionNameOf(lines_[i].text, &name) && SameName(name, section)) return i;
  }
  return lines_.size();
}

size_t CIniText::SectionEnd(size_t header) const {
  std::string name;
  size_t i = header + 1;
  while (i < lines_.size() && !SectionNameOf(lines_[i].text, &name)) ++i;
  return i;
}

size_t CIniText::FindKey(const char* key, size_t first, size_t end) const {
  std::string name;
  size_t valueStart = 0;
  for (size_t i = first; i < end; ++i) {
    if (KeyOf(lines_[i].text, &name, &valueStart) && SameName(name, key)) return i;
  }
  return end;
}

bool CIniText::Find(const char* section, const char* key, std::string* value) const {
  const size_t header = FindSection(section);
  if (header == lines_.size()) return false;
  const size_t end = SectionEnd(header);
  const size_t line = FindKey(key, header + 1, end);
  if (line == end) return false;

  std::string name;
  size_t valueStart = 0;
  KeyOf(lines_[line].text, &name, &valueStart);
  std::string text = Trimmed(lines_[line].text, valueStart, lines_[line].text.size());
  if (text.size() >= 2 && (text[0] == '"' || text[0] == '\'') && text.back() == text[0]) {
    text = text.substr(1, text.size() - 2);
  }
  *value = text;
  return true;
}

const std::string& CIniText::NewLineEnd() const { return newLineEnd_; }

void CIniText::Set(const char* section, const char* key, const char* value) {
  const std::string keyLine = std::string(key) + "=" + value;
  // The last line of a file without a final line end gets one before anything follows it.
  auto endLastLine = [this] {
    if (!lines_.empty() && lines_.back().end.empty()) lines_.back().end = NewLineEnd();
  };

  const size_t header = FindSection(section);
  if (header == lines_.size()) {
    endLastLine();
    lines_.push_back({"[" + std::string(section) + "]", NewLineEnd()});
    lines_.push_back({keyLine, NewLineEnd()});
    return;
  }
  const size_t end = SectionEnd(header);
  const size_t line = FindKey(key, header + 1, end);
  if (line != end) {
    lines_[line].text = keyLine;
    return;
  }
  // A new key goes after the section's last non-blank line, before the blank lines
  // that separate it from the next section.
  size_t insertAt = end;
  while (insertAt > header + 1 &&
         Trimmed(lines_[insertAt - 1].text, 0, lines_[insertAt - 1].text.size()).empty()) {
    --insertAt;
  }
  if (insertAt > 0 && lines_[insertAt - 1].end.empty()) lines_[insertAt - 1].end = NewLineEnd();
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(insertAt),
                Line{keyLine, NewLineEnd()});
}

std::string CIniText::Text() const {
  std::string text;
  for (const Line& line : lines_) text += line.text + line.end;
  return text;
}

}  // namespace kestova
