// Texts meant for a person, in the user's language.
//
// Wrap every such text in T_("..."): the English text is the message id (xgettext
// --keyword=T_). Linux: gettext's catalogue of the domain "kestov-a" (linux/po/*.po, built
// by msgfmt), opened by the front end at its start (linux/language.h: InitTexts); until then,
// and whenever the run is English, T_ returns the English text. Windows: the English text
// (the Windows program's texts are its string table).
// Texts with values go through Format(T_("... %s ..."), ...): a translation may reorder
// its values with %1$s, %2$s.
#pragma once

#include <string>

namespace kestova {

// The text in the run's language (the English message id when no translation exists).
const char* T_(const char* english) __attribute__((format_arg(1)));

// printf into a string (GNU directives such as %1$s everywhere; clang calls them printf).
#if defined(__clang__)
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
#else
std::string Format(const char* format, ...) __attribute__((format(gnu_printf, 1, 2)));
#endif

}  // namespace kestova
