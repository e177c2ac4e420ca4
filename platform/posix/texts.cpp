#include "platform/texts.h"

#include <libintl.h>

namespace kestova {

// Without a message locale set (an English run) gettext gives the id back.
const char* T_(const char* english) { return dgettext("kestov-a", english); }

}  // namespace kestova
