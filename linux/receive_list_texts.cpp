#include "linux/receive_list_texts.h"

#include <cstdlib>
#include <cstring>
#include <vector>

namespace kestova {

namespace {

const ListTexts kEnglish = {
    {"File name", "Size (MB)", "Elapsed", "Progress (%)", "Rate (KB/s)", "Remaining", "State"},
    {"Name", "Size", "Time", "%", "KB/s", "Left", "State"},
    kEnglishStateTexts,
    "elapsed ",
    "remaining ",
    ", ",
};

const ListTexts kJapanese = {
    {"ファイル名", "ファイルサイズ(MByte)", "経過時間(分)", "経過割合(%)", "転送レート(KByte/s)",
     "残り時間(分)", "状態"},
    {"ファイル名", "サイズ", "経過", "%", "KB/s", "残り", "状態"},
    kJapaneseStateTexts,
    "経過 ",
    "残り ",
    "、",
};

// The part of a "...%s" format before the %s.
std::string PrefixOf(const char* format) {
  const char* marker = std::strstr(format, "%s");
  return std::string(
      format, marker != nullptr ? static_cast<size_t>(marker - format) : std::strlen(format));
}

// Decodes one UTF-8 character at text[*at] and advances *at past it. A byte that
// does not start a complete character counts as one character by itself.
unsigned long NextCodePoint(const std::string& text, size_t* at) {
  const unsigned char first = static_cast<unsigned char>(text[*at]);
  size_t extra = 0;
  unsigned long code = first;
  if ((first & 0xE0) == 0xC0) {
    extra = 1;
    code = first & 0x1F;
  } else if ((first & 0xF0) == 0xE0) {
    extra = 2;
    code = first & 0x0F;
  } else if ((first & 0xF8) == 0xF0) {
    extra = 3;
    code = first & 0x07;
  }
  if (text.size() - *at <= extra) {
    *at += 1;
    return first;
  }
  for (size_t k = 1; k <= extra; ++k) {
    const unsigned char next = static_cast<unsigned char>(text[*at + k]);
    if ((next & 0xC0) != 0x80) {
      *at += 1;
      return first;
    }
    code = (code << 6) | (next & 0x3F);
  }
  *at += extra + 1;
  return code;
}

bool IsWide(unsigned long c) {
  return (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0x303E) ||
         (c >= 0x3041 && c <= 0x33FF) || (c >= 0x3400 && c <= 0x4DBF) ||
         (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0xA000 && c <= 0xA4CF) ||
         (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) ||
         (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60) ||
         (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x1F300 && c <= 0x1F64F) ||
         (c >= 0x20000 && c <= 0x3FFFD);
}

}  // namespace

ListLanguage LanguageFromEnvironment() {
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(name);
    if (value == nullptr || *value == '\0') continue;
    return std::strncmp(value, "ja", 2) == 0 ? ListLanguage::kJapanese : ListLanguage::kEnglish;
  }
  return ListLanguage::kEnglish;
}

const ListTexts& TextsFor(ListLanguage language) {
  return language == ListLanguage::kJapanese ? kJapanese : kEnglish;
}

std::string StateText(const ListTexts& texts, ReceptionState state, const std::string& path) {
  const char* text = texts.states.Of(state);
  if (!StateTextTakesPath(state)) return text;
  const std::string prefix = PrefixOf(text);
  return prefix + path + (text + prefix.size() + 2);
}

size_t DisplayWidth(const std::string& utf8) {
  size_t width = 0;
  for (size_t at = 0; at < utf8.size();) width += IsWide(NextCodePoint(utf8, &at)) ? 2 : 1;
  return width;
}

std::string FitToWidth(const std::string& utf8, size_t width) {
  std::string fitted;
  size_t used = 0;
  for (size_t at = 0; at < utf8.size();) {
    size_t start = at;
    size_t cell = IsWide(NextCodePoint(utf8, &at)) ? 2 : 1;
    if (used + cell > width) break;
    fitted.append(utf8, start, at - start);
    used += cell;
  }
  fitted.append(width - used, ' ');
  return fitted;
}

std::string FitWithEllipsis(const std::string& utf8, size_t width) {
  if (DisplayWidth(utf8) <= width) return FitToWidth(utf8, width);
  // "..." rather than U+2026: a terminal set up for Japanese draws that one two columns
  // wide, others one, and the columns after it would not line up.
  static const std::string kEllipsis = "...";
  if (width < kEllipsis.size() + 2) return FitToWidth(utf8, width);
  // Whole characters from the front into a third of the room, from the back into the rest.
  std::vector<size_t> starts;  // byte offset of each character
  std::vector<size_t> cells;
  for (size_t at = 0; at < utf8.size();) {
    starts.push_back(at);
    cells.push_back(IsWide(NextCodePoint(utf8, &at)) ? 2 : 1);
  }
  const size_t room = width - kEllipsis.size();
  size_t headCount = 0, headUsed = 0;
  while (headCount < cells.size() && headUsed + cells[headCount] <= room / 3) {
    headUsed += cells[headCount++];
  }
  size_t tailStart = cells.size(), tailUsed = 0;
  while (tailStart > headCount && headUsed + tailUsed + cells[tailStart - 1] <= room) {
    tailUsed += cells[--tailStart];
  }
  const size_t headBytes = headCount < starts.size() ? starts[headCount] : utf8.size();
  const std::string fitted =
      utf8.substr(0, headBytes) + kEllipsis +
      utf8.substr(tailStart < starts.size() ? starts[tailStart] : utf8.size());
  return fitted + std::string(width - headUsed - tailUsed - kEllipsis.size(), ' ');
}

}  // namespace kestova
