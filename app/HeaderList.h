#pragma once
// The header list: one row per message of the last check, six columns with their
// captions, alignments, widths and minimum widths, grid lines, whole-row and multiple
// selection. A click on a column header sorts by that column, a second click on it the
// other way round, and the header shows the order (the owner connects the header's
// clicks to SortByColumn).

#include "HeaderRow.h"

#include <QTreeWidget>
#include <array>
#include <functional>
#include <vector>

class THeaderList : public QTreeWidget {
    Q_OBJECT
public:
    explicit THeaderList(QWidget* parent = nullptr);

    int RowCount() const { return topLevelItemCount(); }
    // The row at index, nullptr outside the list.
    THeaderRow* Row(int index) const;
    int IndexOf(const THeaderRow* row) const;
    // Appends rows in their order; the list owns them.
    void AddRows(const std::vector<THeaderRow*>& rows);
    // Removes and releases the row at index; an index outside the list is ignored.
    // Neither this nor Clear raises OnSelectItem.
    void RemoveRow(int index);
    void Clear();

    // Sorts every row by the column (headlistCompare), or the other way round when the
    // column is the one sorted last that way; rows that compare equal keep their order.
    // Clear forgets the order: new rows stand as they were added.
    void SortByColumn(int column);
    // Whether more than one row is selected; stops counting at the second.
    bool MultipleSelected() const;
    // The selected rows that are shown, from the last to the first.
    std::vector<THeaderRow*> SelectedRowsBottomUp() const;
    // Selects every row from the first to the last.
    void SelectAll();

    // Every column in view within the list's width (ColumnFit.h): each at its fitted
    // width or the one the user dragged it to, the subject taking what the others leave,
    // at least 188 pixels while there is room; in a narrow list the columns but the date
    // give way. Runs whenever the list's width changes.
    void AdjustColumns();

    // Widths in the list's font: the laid-out width, or more when the caption (or, for
    // the date, a date and time) needs it. The laid-out widths are the least.
    int FittedColumnWidth(int column) const;
    int MinimumColumnWidth(int column) const;
    static int DesignColumnWidth(int column);

    // Raised after a change of selection with the row whose selection changed; when
    // several changed at once, the current row if it is among them, else the last of
    // them.
    std::function<void(int row)> OnSelectItem;

protected:
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void FitColumnsToFont();
    void SelectionChanged(const QItemSelection& selected, const QItemSelection& deselected);
    void KeepMinimumWidth(int column, int newWidth);
    int LeastFittedWidth(int column) const;
    void ForgetSortOrder();

    // The minimum widths hold for the user's drags, not for fitting the columns in.
    bool FFitting = false;
    // Widths the user dragged columns to; 0 for a column left as fitted.
    std::array<int, HeaderColumnCount> FUserWidths{};
    bool FSelectingAll = false;
    bool FRemoving = false;
    int FSortColumn = -1;
    Qt::SortOrder FSortOrder = Qt::AscendingOrder;
};

// The index of the shown row after the row at removed has gone: one less when the
// removed row stood above it, -1 when it was the shown row itself.
int ShownIndexAfterRemoval(int shown, int removed);
