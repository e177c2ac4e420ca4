// The status page's language, chosen from the browser's Accept-Language header.
#pragma once

#include <string>

namespace kestova {

enum class PageLanguage { kEnglish, kJapanese };

// The language the header ranks higher among Japanese ("ja", "ja-JP", ...) and English
// ("en", "en-US", ..., and "*"); the earlier one on equal rank; English when the header
// names neither. Malformed parts are skipped.
PageLanguage LanguageFromAcceptLanguage(const std::string& header);

}  // namespace kestova
