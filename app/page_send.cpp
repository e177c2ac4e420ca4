#include "app/page_send.h"

#include "app/resource.h"

namespace kestova {

CPageSend::CPageSend() : CDefaultPage(IDD_PAGE_SEND) {}

}  // namespace kestova
