// The per-row record of the sortable list.
#include "ui/elist_item_data.h"

namespace kestova {
namespace {

void Replace(ColourValue& colour, ColourValue value) {
  if (value != kNoColour) colour = value;
}

const CCountedString& EmptyCell() {
  static const CCountedString empty;
  return empty;
}

}  // namespace

void EListItemData::SetItemColours(ColourValue text, ColourValue background,
                                   ColourValue selectedText, ColourValue selectedBackground,
                                   ColourValue disabledText, ColourValue disabledBackground,
                                   ColourValue focusedText, ColourValue focusedBackground) {
  Replace(colours_.text, text);
  Replace(colours_.focusedText, text);
  Replace(colours_.background, background);
  Replace(colours_.focusedBackground, background);
  Replace(colours_.selectedText, selectedText);
  Replace(colours_.selectedBackground, selectedBackground);
  Replace(colours_.disabledText, disabledText);
  Replace(colours_.disabledBackground, disabledBackground);
  Replace(colours_.focusedText, focusedText);
  Replace(colours_.focusedBackground, focusedBackground);
}

const CCountedString& EListItemData::Cell(int column) const {
  if (column < 0 || static_cast<size_t>(column) >= cells_.size()) return EmptyCell();
  return cells_[static_cast<size_t>(column)];
}

void EListItemData::SetCell(int column, const CCountedString& text) {
  if (column < 0) return;
  if (static_cast<size_t>(column) >= cells_.size()) cells_.resize(static_cast<size_t>(column) + 1);
  cells_[static_cast<size_t>(column)] = text;
}

}  // namespace kestova
