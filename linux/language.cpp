#include "linux/language.h"

#include <libintl.h>
#include <unistd.h>

#include <clocale>
#include <cstdlib>
#include <string>

#include "linux/receive_list_texts.h"

namespace kestova {
namespace {

constexpr char kDomain[] = "kestov-a";
bool g_japanese = false;

// "<folder of this program>/locale" when it holds the Japanese catalogue.
std::string CatalogueBesideProgram() {
  char path[4096] = {};
  const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
  if (length <= 0) return std::string();
  std::string folder(path, static_cast<size_t>(length));
  folder.erase(folder.rfind('/') + 1);
  folder += "locale";
  const std::string catalogue = folder + "/ja/LC_MESSAGES/" + kDomain + ".mo";
  return access(catalogue.c_str(), R_OK) == 0 ? folder : std::string();
}

}  // namespace

void InitTexts() {
  g_japanese = LanguageFromEnvironment() == ListLanguage::kJapanese;
  if (!g_japanese) return;  // the locale stays "C": T_ gives the English ids back
  std::setlocale(LC_CTYPE, "");
  // gettext reads LANGUAGE unless the message locale is "C"; with "C.UTF-8" (always there)
  // it still finds the Japanese catalogue when ja_JP was never generated on this machine.
  if (std::setlocale(LC_MESSAGES, "") == nullptr) std::setlocale(LC_MESSAGES, "C.UTF-8");
  setenv("LANGUAGE", "ja", 1);
  const std::string beside = CatalogueBesideProgram();
  bindtextdomain(kDomain, beside.empty() ? KESTOVA_LOCALE_DIR : beside.c_str());
  bind_textdomain_codeset(kDomain, "UTF-8");
}

bool TextsAreJapanese() { return g_japanese; }

}  // namespace kestova
