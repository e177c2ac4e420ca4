// The Linux programs' texts in the user's language, by gettext: Japanese when the message
// locale (LC_ALL, else LC_MESSAGES, else LANG) begins with "ja", English otherwise — the
// same choice as the receive list's, made once per run, so one run speaks one language.
//
// Wrap every text meant for a person in T_("..."): the English text is the message id
// (xgettext --keyword=T_), its Japanese in po/ja.po, built into kestov-a.mo by msgfmt.
// Texts with values go through Format(T_("... %s ..."), ...): a translation may reorder
// its values with %1$s, %2$s.
#pragma once

#include <string>

namespace kestova {

// Chooses the language from the environment and opens the catalogue: beside the
// program first (<program folder>/locale, as the build tree has it), else the installed
// locale folder. Call once at the start of main, before any thread.
void InitTexts();

// True when InitTexts chose Japanese.
bool TextsAreJapanese();

// The text in the chosen language (the English message id when no translation exists).
const char* T_(const char* english) __attribute__((format_arg(1)));

// printf into a string.
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace kestova
