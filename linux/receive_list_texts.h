// Texts of the Linux receive list: the Windows program's Japanese texts when the
// locale is Japanese, English otherwise. All texts are UTF-8; the state texts are those
// of ftp/reception_state_texts.h.
#pragma once

#include <string>

#include "ftp/reception_events.h"
#include "ftp/reception_state_texts.h"

namespace kestova {

enum class ListLanguage { kEnglish, kJapanese };

// Japanese when the effective message locale (LC_ALL, else LC_MESSAGES, else LANG)
// begins with "ja"; English otherwise.
ListLanguage LanguageFromEnvironment();

struct ListTexts {
  // File name, size, elapsed, percentage, rate, remaining, state: the order of the
  // Windows receive page.
  const char* columns[7];
  // The same headers in short forms chosen for narrow terminals (each a whole word or
  // unit, never a cut of the long form).
  const char* shortColumns[7];
  ReceptionStateTexts states;  // ftp/reception_state_texts.h
  const char* elapsedLabel;  // plain progress lines
  const char* remainingLabel;
  const char* separator;  // between the fields of a plain progress line
};
const ListTexts& TextsFor(ListLanguage language);

// The state's text in the list's language; `path` completes the two failure texts.
std::string StateText(const ListTexts& texts, ReceptionState state, const std::string& path);

// Columns a UTF-8 text takes on a terminal (East Asian wide characters count 2).
size_t DisplayWidth(const std::string& utf8);
// The text cut to at most `width` columns (never inside a character), then padded
// with spaces to exactly `width` columns.
std::string FitToWidth(const std::string& utf8, size_t width);
// The text in exactly `width` columns: whole when it fits, else its beginning, "..." and
// its end (the end gets two thirds: names of a series differ there), padded.
std::string FitWithEllipsis(const std::string& utf8, size_t width);

}  // namespace kestova
