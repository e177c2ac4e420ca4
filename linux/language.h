// The Linux programs' language: Japanese when the message locale (LC_ALL, else
// LC_MESSAGES, else LANG) begins with "ja", English otherwise — the receive list's choice
// (LanguageFromEnvironment), made once per run, so that one run speaks one language.
#pragma once

namespace kestova {

// Chooses the language from the environment and, for Japanese, opens gettext's
// catalogue for T_ (platform/texts.h): beside the program first (<program folder>/locale,
// as the build tree has it), else the installed locale folder. Call once at the start of
// main, before any thread.
void InitTexts();

// True when InitTexts chose Japanese.
bool TextsAreJapanese();

}  // namespace kestova
