// The per-row record of the sortable list (EListCtrl): the row's colours and the cache of
// its cell texts, which is what sorting compares. Portable.
#pragma once

#include <cstdint>
#include <vector>

#include "base/counted_string.h"

namespace kestova {

using ColourValue = uint32_t;  // a COLORREF
constexpr ColourValue kNoColour = static_cast<ColourValue>(-1);

// Nine colours, in this order.
struct EColourSet {
  ColourValue text = 0;
  ColourValue background = 0;
  ColourValue selectedText = 0;
  ColourValue selectedBackground = 0;
  ColourValue disabledText = 0;
  ColourValue disabledBackground = 0;
  ColourValue focusedText = 0;
  ColourValue focusedBackground = 0;
  ColourValue noBlendKey = kNoColour;  // a background equal to it is never blended
};

class EListItemData {
 public:
  explicit EListItemData(const EColourSet& colours) : colours_(colours) {}

  const EColourSet& Colours() const { return colours_; }
  // Each argument that is not kNoColour replaces its colour. Text also sets the focused
  // text and background the focused background; explicit focused colours win over that.
  void SetItemColours(ColourValue text, ColourValue background, ColourValue selectedText,
                      ColourValue selectedBackground, ColourValue disabledText,
                      ColourValue disabledBackground, ColourValue focusedText,
                      ColourValue focusedBackground);

  // A row background equal to this key is never blended over the background bitmap.
  void SetNoBlendKey(ColourValue key) { colours_.noBlendKey = key; }

  // The cached text of `column`; empty for a slot never written.
  const CCountedString& Cell(int column) const;
  // Stores `text` at `column`, growing the cache as needed (negative columns ignored).
  void SetCell(int column, const CCountedString& text);
  int CellCount() const { return static_cast<int>(cells_.size()); }

 private:
  EColourSet colours_;
  std::vector<CCountedString> cells_;
};

}  // namespace kestova
