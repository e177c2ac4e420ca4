#include "linux/status/page_language.h"

#include <gtest/gtest.h>

namespace kestova {
namespace {

TEST(PageLanguageTest, TheHigherRankedOfJapaneseAndEnglishWins) {
  const struct {
    const char* header;
    PageLanguage language;
  } kCases[] = {
      {"", PageLanguage::kEnglish},
      {"ja", PageLanguage::kJapanese},
      {"ja-JP,ja;q=0.9,en-US;q=0.8,en;q=0.7", PageLanguage::kJapanese},
      {"en-US,en;q=0.9,ja;q=0.8", PageLanguage::kEnglish},
      {"fr-FR,ja;q=0.5", PageLanguage::kJapanese},
      {"fr-FR,de;q=0.5", PageLanguage::kEnglish},
      {"en;q=0.4, JA-jp;q=0.6", PageLanguage::kJapanese},
      {"ja;q=0, en;q=0.1", PageLanguage::kEnglish},
      {"ja;q=0.5, *;q=0.5", PageLanguage::kJapanese},  // equal rank: the earlier
      {"*, ja;q=0.9", PageLanguage::kEnglish},
      {"ja;q=abc, en", PageLanguage::kEnglish},  // malformed part skipped
      {"jav, jam", PageLanguage::kEnglish},      // not Japanese
      {",,;;q=,ja;q=1.5,ja-JP;q=0.3", PageLanguage::kJapanese},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(LanguageFromAcceptLanguage(c.header), c.language) << c.header;
  }
}

}  // namespace
}  // namespace kestova
