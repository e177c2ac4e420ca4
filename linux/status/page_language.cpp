#include "linux/status/page_language.h"

#include <cstdlib>

namespace kestova {
namespace {

std::string Trim(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return std::string();
  const size_t last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

bool HasPrimaryTag(const std::string& range, const char* tag) {
  const std::string primary = range.substr(0, range.find('-'));
  if (primary.size() != 2) return false;
  for (size_t i = 0; i < 2; ++i) {
    char c = primary[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != tag[i]) return false;
  }
  return true;
}

// The q value of one "range;q=0.8" part: 1 without one, -1 when malformed.
double Quality(const std::string& parameters) {
  if (parameters.empty()) return 1.0;
  std::string q = Trim(parameters);
  if (q.size() < 3 || (q[0] != 'q' && q[0] != 'Q') || q[1] != '=') return -1.0;
  char* end = nullptr;
  const double value = std::strtod(q.c_str() + 2, &end);
  if (end == q.c_str() + 2 || *end != '\0' || value < 0.0 || value > 1.0) return -1.0;
  return value;
}

}  // namespace

PageLanguage LanguageFromAcceptLanguage(const std::string& header) {
  double bestJapanese = 0.0;
  double bestEnglish = 0.0;
  bool japaneseFirst = false;
  bool seenAny = false;
  size_t start = 0;
  while (start <= header.size()) {
    size_t comma = header.find(',', start);
    if (comma == std::string::npos) comma = header.size();
    const std::string part = header.substr(start, comma - start);
    start = comma + 1;
    const size_t semicolon = part.find(';');
    const std::string range = Trim(part.substr(0, semicolon));
    const double quality =
        Quality(semicolon == std::string::npos ? "" : part.substr(semicolon + 1));
    if (range.empty() || quality <= 0.0) continue;
    if (HasPrimaryTag(range, "ja") && quality > bestJapanese) {
      if (!seenAny) japaneseFirst = true;
      bestJapanese = quality;
      seenAny = true;
    } else if ((HasPrimaryTag(range, "en") || range == "*") && quality > bestEnglish) {
      bestEnglish = quality;
      seenAny = true;
    }
  }
  if (bestJapanese > bestEnglish) return PageLanguage::kJapanese;
  if (bestJapanese > 0.0 && bestJapanese == bestEnglish && japaneseFirst) {
    return PageLanguage::kJapanese;
  }
  return PageLanguage::kEnglish;
}

}  // namespace kestova
