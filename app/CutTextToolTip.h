#pragma once
// Tooltips for texts a list shows cut: hovering over a cell (or an account's caption)
// whose text does not fit shows the whole text; a text that fits has no tooltip.

class QAbstractItemView;
class QModelIndex;
class QString;

// The whole text of the item at index when the view cannot show it whole; an empty text
// when it fits (or there is no item).
QString CutTextToolTip(const QAbstractItemView& view, const QModelIndex& index);

// Installs the tooltips on the view (owned by it).
void ShowCutTextsInToolTips(QAbstractItemView& view);
