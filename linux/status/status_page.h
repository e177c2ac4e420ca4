// The status page's documents: "/" in one language, and the script and style sheet it
// loads from the same server. The page holds no data of its own: its script polls
// /api/status once a second and draws the receive list, the folder with its free space
// and the name answering from it (text only, never markup taken from the data).
#pragma once

#include <string>

#include "linux/status/page_language.h"

namespace kestova {

std::string StatusPageHtml(PageLanguage language);
const char* StatusPageScript();
const char* StatusPageStyle();

}  // namespace kestova
