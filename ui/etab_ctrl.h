// ETabCtrl: the tab control of the main dialog. Each tab's parameter (its item lParam)
// holds the page shown for it (0 for a tab without a page). Its background erase leaves
// out every visible child window, so a page is never painted over (no flicker when pages
// switch or resize).
#pragma once

#include "ui/tab_ctrl.h"

namespace kestova {

class CDefaultPage;

class ETabCtrl : public CTabCtrl {
 public:
  // Sets only the tab's parameter; non-zero on success.
  LRESULT SetItemPage(int index, CDefaultPage* page) const;
  // The tab's page; null for a tab without one or an index that has no tab.
  CDefaultPage* GetItemPage(int index) const;

 protected:
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

 private:
  LRESULT EraseBackground(HDC dc);
};

}  // namespace kestova
