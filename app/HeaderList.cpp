#include "HeaderList.h"

#include "ColumnFit.h"
#include "CzechText.h"
#include "FontFit.h"

#include <QEvent>
#include <QHeaderView>
#include <QPainter>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <algorithm>

namespace {

struct TColumnDesign {
    const char* Caption;
    int Width;
    int MinimumWidth;
};

const TColumnDesign Columns[HeaderColumnCount] = {
    {"Datum", 108, 108},
    {"Velikost [B]", 80, 64},
    {"Odesílatel", 128, 88},
    {"Příjemce", 128, 88},
    {"Předmět", 256, 88},
    {"ID", 64, 64},
};

constexpr int SmallestSubjectWidth = 188;

constexpr int LeastSectionWidth = 32;

// Room beside a cell's or caption's text on either side.
constexpr int TextMargin = 6;

// Draws each cell as usual, then its right and bottom border: the list's grid lines.
class TGridDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::paint(painter, option, index);
        painter->save();
        painter->setPen(option.palette.color(QPalette::Mid));
        painter->drawLine(option.rect.topRight(), option.rect.bottomRight());
        painter->drawLine(option.rect.bottomLeft(), option.rect.bottomRight());
        painter->restore();
    }
};

} // namespace

THeaderList::THeaderList(QWidget* parent) : QTreeWidget(parent)
{
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setContextMenuPolicy(Qt::CustomContextMenu);
    setItemDelegate(new TGridDelegate(this));
    setColumnCount(HeaderColumnCount);
    setSortingEnabled(false);
    header()->setStretchLastSection(false);
    header()->setSectionsMovable(false);
    // Fitting the columns into a narrow list may go below the minimums of the user's
    // drags (KeepMinimumWidth).
    header()->setMinimumSectionSize(LeastSectionWidth);
    header()->setSectionsClickable(true);
    header()->setSortIndicatorShown(true);
    header()->setSortIndicator(-1, Qt::AscendingOrder);
    auto* captions = new QTreeWidgetItem;
    for (int column = 0; column < HeaderColumnCount; ++column) {
        captions->setText(column, Czech(Columns[column].Caption));
        captions->setTextAlignment(column, HeaderColumnAlignment(column));
    }
    setHeaderItem(captions);
    FitColumnsToFont();

    connect(header(), &QHeaderView::sectionResized, this,
            [this](int column, int, int newWidth) { KeepMinimumWidth(column, newWidth); });
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this, &THeaderList::SelectionChanged);
}

int THeaderList::MinimumColumnWidth(int column) const
{
    return Fitted(Columns[column].MinimumWidth, *this);
}

int THeaderList::FittedColumnWidth(int column) const
{
    int width = std::max(Fitted(Columns[column].Width, *this),
                         TextWidth(*header(), headerItem()->text(column), TextMargin));
    if (column == hcDate)
        width = std::max(width, TextWidth(*this, WidestDateText(), TextMargin));
    return width;
}

void THeaderList::FitColumnsToFont()
{
    FUserWidths = {};
    FFitting = true;
    for (int column = 0; column < HeaderColumnCount; ++column)
        setColumnWidth(column, FittedColumnWidth(column));
    FFitting = false;
}

void THeaderList::changeEvent(QEvent* event)
{
    QTreeWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        FitColumnsToFont();
}

int THeaderList::DesignColumnWidth(int column)
{
    return Columns[column].Width;
}

void THeaderList::KeepMinimumWidth(int column, int newWidth)
{
    if (FFitting || column < 0 || column >= HeaderColumnCount)
        return;
    if (newWidth < MinimumColumnWidth(column)) {
        header()->resizeSection(column, MinimumColumnWidth(column));
        return;
    }
    // A width the user chose is the one the column keeps when the list's width changes.
    FUserWidths[column] = newWidth;
}

THeaderRow* THeaderList::Row(int index) const
{
    if (index < 0 || index >= topLevelItemCount())
        return nullptr;
    return static_cast<THeaderRow*>(topLevelItem(index));
}

int THeaderList::IndexOf(const THeaderRow* row) const
{
    return indexOfTopLevelItem(const_cast<THeaderRow*>(row));
}

void THeaderList::AddRows(const std::vector<THeaderRow*>& rows)
{
    QList<QTreeWidgetItem*> items(rows.begin(), rows.end());
    addTopLevelItems(items);
}

void THeaderList::RemoveRow(int index)
{
    FRemoving = true;
    delete Row(index);
    FRemoving = false;
}

void THeaderList::Clear()
{
    FRemoving = true;
    clear();
    FRemoving = false;
    ForgetSortOrder();
}

int ShownIndexAfterRemoval(int shown, int removed)
{
    if (removed == shown)
        return -1;
    return removed < shown ? shown - 1 : shown;
}

void THeaderList::SortByColumn(int column)
{
    if (column < 0 || column >= HeaderColumnCount)
        return;
    // headlistCompare gives each column its own first direction (the date latest first);
    // the next click on the same column turns it round.
    const bool again = column == FSortColumn && FSortOrder == Qt::AscendingOrder;
    FSortColumn = column;
    FSortOrder = again ? Qt::DescendingOrder : Qt::AscendingOrder;
    sortItems(column, FSortOrder);
    header()->setSortIndicator(column, FSortOrder);
}

void THeaderList::ForgetSortOrder()
{
    FSortColumn = -1;
    FSortOrder = Qt::AscendingOrder;
    header()->setSortIndicator(-1, Qt::AscendingOrder);
}

bool THeaderList::MultipleSelected() const
{
    int count = 0;
    for (int index = 0; index < RowCount() && count <= 1; ++index)
        if (topLevelItem(index)->isSelected() && !topLevelItem(index)->isHidden())
            ++count;
    return count > 1;
}

std::vector<THeaderRow*> THeaderList::SelectedRowsBottomUp() const
{
    std::vector<THeaderRow*> rows;
    // A row the "Jen nové" view hides is never acted on unseen.
    for (int index = RowCount() - 1; index >= 0; --index)
        if (topLevelItem(index)->isSelected() && !topLevelItem(index)->isHidden())
            rows.push_back(Row(index));
    return rows;
}

void THeaderList::SelectAll()
{
    // One selection change for all rows; the last row is the one that changed last.
    FSelectingAll = true;
    selectAll();
    FSelectingAll = false;
}

void THeaderList::AdjustColumns()
{
    // The room beside a vertical scroll bar, whether it shows now or only once rows
    // come: all columns stay in view without a horizontal scroll bar.
    const int room = width() - 2 * frameWidth() - verticalScrollBar()->sizeHint().width();
    std::vector<TColumnRoom> columns;
    for (int column = 0; column < HeaderColumnCount; ++column)
        columns.push_back({FittedColumnWidth(column), LeastFittedWidth(column)});
    columns[hcSubject].Fitted = Fitted(SmallestSubjectWidth, *this);
    for (int column = 0; column < HeaderColumnCount; ++column)
        if (FUserWidths[column] > 0)
            columns[column].Fitted = FUserWidths[column];
    const std::vector<int> widths = FitColumnWidths(columns, hcSubject, room);
    FFitting = true;
    for (int column = 0; column < HeaderColumnCount; ++column)
        setColumnWidth(column, widths[column]);
    FFitting = false;
}

int THeaderList::LeastFittedWidth(int column) const
{
    // Whole dates and headings; the other texts may be cut, their tooltips show them whole.
    constexpr int LeastWidths[HeaderColumnCount] = {0, 48, 48, 48, 64, LeastSectionWidth};
    if (column == hcDate)
        return FittedColumnWidth(hcDate);
    // The heading itself stays whole.
    return std::max(Fitted(LeastWidths[column], *this), TextWidth(*header(), headerItem()->text(column), TextMargin));
}

void THeaderList::resizeEvent(QResizeEvent* event)
{
    QTreeWidget::resizeEvent(event);
    AdjustColumns();
}

void THeaderList::SelectionChanged(const QItemSelection& selected, const QItemSelection& deselected)
{
    if (!OnSelectItem || FRemoving)
        return;
    const int current = FSelectingAll || !currentIndex().isValid() ? -1 : currentIndex().row();
    int last = -1;
    bool currentChanged = false;
    for (const QItemSelection* changes : {&deselected, &selected})
        for (const QItemSelectionRange& range : *changes)
            currentChanged = currentChanged || (current >= range.top() && current <= range.bottom());
    for (const QItemSelectionRange& range : selected.isEmpty() ? deselected : selected)
        last = std::max(last, range.bottom());
    if (currentChanged)
        last = current;
    if (last >= 0)
        OnSelectItem(last);
}
