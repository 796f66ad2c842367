#include "HeaderRow.h"

#include "QtText.h"

#include <QCollator>
#include <QTreeWidget>

namespace {

template <typename T>
int Compare(const T& a, const T& b)
{
    return a < b ? -1 : (b < a ? +1 : 0);
}

// Names and subjects in the order a Czech reader looks for them, whatever the
// program's own locale is.
int CompareAsCzech(const std::string& a, const std::string& b)
{
    static const QCollator collator = [] {
        QCollator czech{QLocale(QLocale::Czech, QLocale::CzechRepublic)};
        czech.setCaseSensitivity(Qt::CaseInsensitive);
        return czech;
    }();
    const int order = collator.compare(ToQt(a), ToQt(b));
    return order < 0 ? -1 : (order > 0 ? +1 : 0);
}

} // namespace

const std::string& THeaderRowData::ColumnText(int column) const
{
    switch (column) {
    case hcDate: return DateText;
    case hcSize: return SizeText;
    case hcFrom: return FromText;
    case hcTo: return ToText;
    case hcSubject: return SubjectText;
    default: return IdText;
    }
}

int headlistCompare(const THeaderRowData& a, const THeaderRowData& b, int column)
{
    switch (column) {
    case hcDate:
        return Compare(b.Date, a.Date);
    case hcSize:
        return Compare(a.Size, b.Size);
    case hcFrom:
    case hcTo:
    case hcSubject:
        return CompareAsCzech(a.ColumnText(column), b.ColumnText(column));
    default:
        // char_traits<char> compares as unsigned char, so this is the byte order.
        return Compare(a.ColumnText(column), b.ColumnText(column));
    }
}

Qt::Alignment HeaderColumnAlignment(int column)
{
    return (column == hcSize ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter;
}

THeaderRow::THeaderRow(const THeaderRowData& data, std::weak_ptr<TMessageHeader> record)
    : QTreeWidgetItem(UserType), FData(data), FRecord(std::move(record))
{
    for (int column = 0; column < HeaderColumnCount; ++column)
        setText(column, ToQt(FData.ColumnText(column)));
}

QVariant THeaderRow::data(int column, int role) const
{
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(HeaderColumnAlignment(column));
    if (role == Qt::FontRole && FData.New) {
        QFont bold = treeWidget() ? treeWidget()->font() : QFont();
        bold.setBold(true);
        return bold;
    }
    return QTreeWidgetItem::data(column, role);
}

bool THeaderRow::operator<(const QTreeWidgetItem& other) const
{
    const int column = treeWidget() ? treeWidget()->sortColumn() : hcDate;
    return headlistCompare(FData, static_cast<const THeaderRow&>(other).FData, column) < 0;
}
