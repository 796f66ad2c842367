#include "CutTextToolTip.h"

#include <QAbstractItemView>
#include <QEvent>
#include <QHelpEvent>
#include <QListView>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QToolTip>

namespace {

// Room a cell keeps beside its text, as the style draws it.
int CellMargins(const QAbstractItemView& view)
{
    return 2 * (view.style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, &view) + 1);
}

int TextRoom(const QAbstractItemView& view, const QModelIndex& index)
{
    // An icon view draws its caption in the width of its grid cell, below the icon.
    if (const auto* list = qobject_cast<const QListView*>(&view); list && list->viewMode() == QListView::IconMode)
        return (list->gridSize().isValid() ? list->gridSize().width() : view.visualRect(index).width()) -
               CellMargins(view);
    return view.visualRect(index).width() - CellMargins(view);
}

class TCutTextToolTips : public QObject {
public:
    explicit TCutTextToolTips(QAbstractItemView& view) : QObject(&view), FView(view) {}

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() != QEvent::ToolTip)
            return false;
        const auto* help = static_cast<QHelpEvent*>(event);
        const QModelIndex index = FView.indexAt(help->pos());
        const QString text = CutTextToolTip(FView, index);
        if (text.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), text, FView.viewport(), FView.visualRect(index));
        return true;
    }

private:
    QAbstractItemView& FView;
};

} // namespace

QString CutTextToolTip(const QAbstractItemView& view, const QModelIndex& index)
{
    if (!index.isValid())
        return {};
    const QString text = index.data(Qt::DisplayRole).toString();
    QFont font = view.font();
    if (const QVariant own = index.data(Qt::FontRole); own.canConvert<QFont>())
        font = own.value<QFont>();
    const int needed = QFontMetrics(font).horizontalAdvance(text);
    return needed > TextRoom(view, index) ? text : QString();
}

void ShowCutTextsInToolTips(QAbstractItemView& view)
{
    view.viewport()->installEventFilter(new TCutTextToolTips(view));
}
