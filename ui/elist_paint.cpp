// EListCtrl painting: owner-drawn rows with their colour rules, the focus rectangle, and
// the optional tiled background bitmap with alpha-blended row backgrounds.
#include <vector>

#include "ui/elist_ctrl.h"

namespace kestova {
namespace {

// Restores a device context's text and background colours, mode and font on scope exit.
class CDcStateGuard {
 public:
  explicit CDcStateGuard(HDC dc)
      : dc_(dc),
        text_(::GetTextColor(dc)),
        background_(::GetBkColor(dc)),
        mode_(::GetBkMode(dc)),
        font_(static_cast<HFONT>(::GetCurrentObject(dc, OBJ_FONT))) {}
  ~CDcStateGuard() {
    ::SelectObject(dc_, font_);
    ::SetBkMode(dc_, mode_);
    ::SetBkColor(dc_, background_);
    ::SetTextColor(dc_, text_);
  }
  CDcStateGuard(const CDcStateGuard&) = delete;
  CDcStateGuard& operator=(const CDcStateGuard&) = delete;

 private:
  HDC dc_;
  COLORREF text_;
  COLORREF background_;
  int mode_;
  HFONT font_;
};

void FillSolid(HDC dc, const RECT& rect, COLORREF colour) {
  HBRUSH brush = ::CreateSolidBrush(colour);
  ::FillRect(dc, &rect, brush);
  ::DeleteObject(brush);
}

UINT AlignmentOf(int format) {
  switch (format & LVCFMT_JUSTIFYMASK) {
    case LVCFMT_RIGHT:
      return DT_RIGHT;
    case LVCFMT_CENTER:
      return DT_CENTER;
    default:
      return DT_LEFT;
  }
}

}  // namespace

void EListCtrl::DrawItem(DRAWITEMSTRUCT* item) {
  HDC dc = item->hDC;
  const int row = static_cast<int>(item->itemID);
  const EListItemData* record = GetItemRecord(row, false);
  const EColourSet colours = record != nullptr ? record->Colours() : SystemColourSet();

  char label[260] = "";
  LVITEMA state = {};
  state.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_STATE;
  state.iItem = row;
  state.stateMask = 0xFFFF;
  state.pszText = label;
  state.cchTextMax = sizeof(label);
  GetItem(&state);

  const bool enabled = IsEnabled();
  const bool highlighted =
      ((state.state & LVIS_SELECTED) != 0 && enabled) || (state.state & LVIS_DROPHILITED) != 0;
  const bool hasFocus = ::GetFocus() == GetSafeHwnd();
  const bool focusedRow = (state.state & LVIS_FOCUSED) != 0;

  COLORREF text = colours.text;
  COLORREF background = colours.background;
  if (!enabled) {
    text = colours.disabledText;
    background = colours.disabledBackground;
  } else if (highlighted) {
    text = colours.selectedText;
    background = colours.selectedBackground;
  } else if (focusedRow) {
    text = colours.focusedText;
    background = colours.focusedBackground;
  }

  if (background_ != nullptr) TileBackground(dc, item->rcItem);
  CDcStateGuard guard(dc);
  ::SetTextColor(dc, text);
  ::SetBkColor(dc, background);

  RECT bounds = item->rcItem;
  GetItemRect(row, &bounds, LVIR_BOUNDS);
  if (background_ == nullptr) {
    FillSolid(dc, bounds, background);
  } else if (background != colours.noBlendKey) {
    BlendRowBackground(dc, bounds, background);
  }

  const UINT stateImage = (state.state & LVIS_STATEIMAGEMASK) >> 12;
  HIMAGELIST stateImages = GetImageList(LVSIL_STATE);
  if (stateImage != 0 && stateImages != nullptr) {
    ImageList_Draw(stateImages, static_cast<int>(stateImage) - 1, dc, item->rcItem.left,
                   item->rcItem.top, ILD_TRANSPARENT);
  }

  ::SetBkMode(dc, TRANSPARENT);
  ::SelectObject(dc, GetFont());
  const int columns = GetColumnCount();
  std::vector<int> order(static_cast<size_t>(columns > 0 ? columns : 1));
  if (columns > 0 && GetColumnOrderArray(order.data(), columns)) {
    int x = bounds.left;
    for (int position = 0; position < columns; ++position) {
      const int column = order[static_cast<size_t>(position)];
      LVCOLUMNA info = {};
      info.mask = LVCF_WIDTH | LVCF_FMT;
      if (!GetColumn(column, &info)) continue;
      RECT cell = {x + 3, bounds.top, x + info.cx - 3, bounds.bottom};
      const CCountedString cellText = GetItemText(row, column);
      ::DrawTextA(
          dc, cellText.CStr(), static_cast<int>(cellText.Length()), &cell,
          AlignmentOf(info.fmt) | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
      x += info.cx;
    }
  }

  if (focusedRow && hasFocus && enabled) ::DrawFocusRect(dc, &bounds);
}

bool EListCtrl::OnEraseBackground(HDC dc) {
  if (background_ == nullptr) return false;
  RECT area;
  if (::GetClipBox(dc, &area) == ERROR) area = GetClientRect();
  TileBackground(dc, area);
  return true;
}

void EListCtrl::TileBackground(HDC dc, const RECT& rect) {
  if (background_ == nullptr || backgroundWidth_ <= 0 || backgroundHeight_ <= 0) return;
  const RECT client = GetClientRect();
  POINT origin;
  RECT first;
  if (GetItemCount() > 0 && GetItemRect(0, &first, LVIR_BOUNDS)) {
    origin.x = first.left;
    origin.y = first.top;
  } else {
    origin.x = -::GetScrollPos(GetSafeHwnd(), SB_HORZ);
    RECT headerRect = {0, 0, 0, 0};
    if (header_.GetSafeHwnd() != nullptr) ::GetWindowRect(header_.GetSafeHwnd(), &headerRect);
    origin.y = headerRect.bottom - headerRect.top;
  }
  const int saved = ::SaveDC(dc);
  ::IntersectClipRect(dc, rect.left, rect.top, client.right, rect.bottom);
  HDC memory = ::CreateCompatibleDC(dc);
  HGDIOBJ old = ::SelectObject(memory, background_);
  for (int y = origin.y; y < client.bottom; y += backgroundHeight_) {
    for (int x = origin.x; x < client.right; x += backgroundWidth_) {
      ::BitBlt(dc, x, y, backgroundWidth_, backgroundHeight_, memory, 0, 0, SRCCOPY);
    }
  }
  ::SelectObject(memory, old);
  ::DeleteDC(memory);
  ::RestoreDC(dc, saved);
}

void EListCtrl::BlendRowBackground(HDC dc, const RECT& rect, COLORREF colour) {
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;
  if (width <= 0 || height <= 0) return;
  HDC memory = ::CreateCompatibleDC(dc);
  HBITMAP bitmap = ::CreateCompatibleBitmap(dc, width, height);
  HGDIOBJ old = ::SelectObject(memory, bitmap);
  const RECT all = {0, 0, width, height};
  FillSolid(memory, all, colour);
  BLENDFUNCTION blend = {AC_SRC_OVER, 0, blendAlpha_, 0};
  ::AlphaBlend(dc, rect.left, rect.top, width, height, memory, 0, 0, width, height, blend);
  ::SelectObject(memory, old);
  ::DeleteObject(bitmap);
  ::DeleteDC(memory);
}

}  // namespace kestova
