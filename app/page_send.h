// CPageSend: the send page (template 136, one static text). The main dialog constructs
// one with itself but never adds it to the tab control, so it never gets a window.
#pragma once

#include "ui/default_page.h"

namespace kestova {

class CPageSend : public CDefaultPage {
 public:
  CPageSend();
};

}  // namespace kestova
