// EListCtrl: a report-view list (SysListView32, owner-drawn fixed rows) that keeps a
// record per row (EListItemData: colours and the cell text cache), sorts by a clicked
// column, selects all on Ctrl+A, copies the selected rows on Ctrl+C, and paints its own
// rows and (through EHeaderCtrl) its header.
//
// Joining: bind it to a dialog's list control (CDialog::BindControl) or SubclassWindow
// it; the attach hook then subclasses the list's header with the EHeaderCtrl member.
// The dialog that holds the list must be a framework window (CDialog), because list
// notifications and WM_DRAWITEM reach the list by reflection from its parent.
//
// Rows are made with the list view's own operations (InsertItem): the LVN_INSERTITEM
// that follows creates the row's record, caches the label and copies the default colour
// set. LVN_DELETEITEM destroys the record; the list's WM_DESTROY deletes every row first.
// Only texts set through SetItemText reach the cache, and so take part in sorting.
//
// Threads: SetItemText may be called from any thread. Called from a thread other than the
// list's, the whole call is carried out by the list's thread (a synchronous message), so
// no cache read of a sort or paint overlaps the write, and the text is in place when the
// call returns. Everything else is for the list's thread.
#pragma once

#include <vector>

#include "ui/eheader_ctrl.h"
#include "ui/elist_item_data.h"
#include "ui/list_ctrl.h"
#include "ui/list_sort_keys.h"

namespace kestova {

class EListEdit;

// Registered at process start ("WM_ELISTCTRL_NOTIFY", "WM_ELISTCTRL_SORT",
// "WM_ELISTCTRL_ON_COPY").
// WM_ELISTCTRL_NOTIFY: sent by NotifyAncestors; wParam the list's control id, lParam an
//   NMHDR (list window, list id, code).
// WM_ELISTCTRL_SORT: sent to the parent after a column-click sort; wParam the EListCtrl
//   object's address, lParam 0.
// WM_ELISTCTRL_ON_COPY: registered, never sent.
extern const UINT WM_ELISTCTRL_NOTIFY;
extern const UINT WM_ELISTCTRL_SORT;
extern const UINT WM_ELISTCTRL_ON_COPY;

// NMHDR code of WM_ELISTCTRL_NOTIFY asking whether an ancestor handles a copy.
constexpr UINT kEListCopyRequest = 1;

// The default colour set from the system colours of this moment: BTNTEXT, WINDOW,
// HIGHLIGHTTEXT, HIGHLIGHT, GRAYTEXT, BTNFACE, text and background again, no blend key.
EColourSet SystemColourSet();

class EListCtrl : public CListCtrl {
 public:
  EListCtrl();
  ~EListCtrl() override;

  // Any thread (see above): caches `text` in the row's record (made when missing) and
  // sets the list view's cell text.
  void SetItemText(int row, int column, const char* text);
  // The row's record; when it has none and `create` is set, a new one attached to the
  // row; else null.
  EListItemData* GetItemRecord(int row, bool create);

  // Sorts the rows by the cached texts of `column` with the comparator of `kind`
  // (SortKeyKind); remembers column and direction.
  void SortByColumn(int column, bool ascending, int kind);
  // True when every row's list-view text in `column` is an integer text (IsIntegerText);
  // true for an empty list.
  bool IsNumericColumn(int column) const;
  void SelectAll(bool select);

  // Asks the ancestors (NotifyAncestors(kEListCopyRequest)); unless one claims the copy,
  // CopyToClipboard.
  virtual void OnCopy();
  // The selected rows in row order, every column in logical order, as CF_TEXT
  // (list_copy_text.h). Nothing selected, no columns, or a clipboard that cannot be
  // opened: the clipboard is left untouched.
  void CopyToClipboard();
  // WM_ELISTCTRL_NOTIFY with `code` to the parent, its parent and so on; the first
  // non-zero reply, or 0.
  LRESULT NotifyAncestors(UINT code);

  EHeaderCtrl& Header() { return header_; }

  // Optional features; all off at construction, as this program uses them.
  void SetSortLock(bool locked) { sortLock_ = locked ? 1 : 0; }
  void SetAddressColumn(int column, bool address);    // columns 0..255 only
  void SetEditableColumn(int column, bool editable);  // allows EListEdit there
  // Tiled behind the rows; the list takes ownership (null removes it).
  void SetBackgroundBitmap(HBITMAP bitmap);
  void SetBlendAlpha(BYTE alpha) { blendAlpha_ = alpha; }
  void SetDefaultColours(const EColourSet& colours) { defaultColours_ = colours; }
  const EColourSet& DefaultColours() const { return defaultColours_; }

  int GetSortColumn() const { return sortColumn_; }
  bool IsSortAscending() const { return ascending_ != 0; }
  int GetClickedColumn() const { return clickedColumn_; }
  EListEdit* GetActiveEditor() const { return editor_; }

  bool PreTranslateMessage(MSG* message) override;

 protected:
  void PreSubclassWindow() override;
  void DrawItem(DRAWITEMSTRUCT* item) override;
  bool OnNotify(NMHDR* header, LRESULT* result) override;
  bool OnReflectedNotify(NMHDR* header, LRESULT* result) override;
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

 private:
  friend class EListEdit;
  static int CALLBACK CompareRows(LPARAM first, LPARAM second, LPARAM list);

  void SetItemTextHere(int row, int column, const char* text);
  void OnColumnClick(const NMLISTVIEW* info);
  void OnKeyDown(const NMLVKEYDOWN* info);
  void OnInsertItem(const NMLISTVIEW* info);
  void OnDeleteItem(const NMLISTVIEW* info);
  void OnClick();
  void OnBeginLabelEdit(const NMLVDISPINFOA* info);
  bool OnEraseBackground(HDC dc);
  // In-place editing: the editor's window has gone; `text` is its final text.
  void EndEdit(EListEdit* editor, const char* text);
  void ReleaseEditor(EListEdit* editor);
  // Painting helpers (elist_paint.cpp).
  void TileBackground(HDC dc, const RECT& rect);
  void BlendRowBackground(HDC dc, const RECT& rect, COLORREF colour);

  int sorting_ = 0;
  int sortLock_ = 0;
  int ascending_ = 0;
  int sortColumn_ = -1;
  int sortKind_ = kSortText;  // the comparator of the running sort
  EHeaderCtrl header_;
  int addressColumns_[kAddressColumnLimit] = {};
  std::vector<unsigned> editableColumns_;
  int clickedColumn_ = -1;
  EListEdit* editor_ = nullptr;
  EColourSet defaultColours_;
  HBITMAP background_ = nullptr;
  int backgroundWidth_ = 0;
  int backgroundHeight_ = 0;
  BYTE blendAlpha_ = 200;
};

}  // namespace kestova
