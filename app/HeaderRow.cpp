#include "HeaderRow.h"

#include "QtText.h"
#include "Triage.h"

#include <QCollator>
#include <algorithm>
#include <QTreeWidget>

namespace {

template <typename T>
int Compare(const T& a, const T& b)
{
    return a < b ? -1 : (b < a ? +1 : 0);
}

// Names and subjects in the order a Czech reader looks for them, whatever the
// program's own locale is.
int CompareAsCzech(QStringView a, QStringView b)
{
    static const QCollator collator = [] {
        QCollator czech{QLocale(QLocale::Czech, QLocale::CzechRepublic)};
        czech.setCaseSensitivity(Qt::CaseInsensitive);
        return czech;
    }();
    const int order = collator.compare(a, b);
    return order < 0 ? -1 : (order > 0 ? +1 : 0);
}

// UTF-16 in the order of its code points, which is the byte order of the same text in
// UTF-8: surrogates (U+10000 and above) after the rest of the basic plane.
int CompareCodePoints(QStringView a, QStringView b)
{
    const auto key = [](char16_t unit) {
        return unit >= 0xD800 ? (unit >= 0xE000 ? unit - 0x800 : unit + 0x2000) : int(unit);
    };
    const qsizetype common = std::min(a.size(), b.size());
    for (qsizetype i = 0; i < common; ++i)
        if (a[i] != b[i])
            return key(a[i].unicode()) < key(b[i].unicode()) ? -1 : +1;
    return Compare(a.size(), b.size());
}

int CompareDates(double a, double b)
{
    // A message without a date is none the newer for it.
    if ((a == 0) != (b == 0))
        return a == 0 ? +1 : -1;
    return Compare(b, a);
}

int CompareTexts(QStringView a, QStringView b, int column)
{
    return column == hcId ? CompareCodePoints(a, b) : CompareAsCzech(a, b);
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
    case hcAuth: return AuthText;
    case hcSpam: return SpamText;
    default: return IdText;
    }
}

int headlistCompare(const THeaderRowData& a, const THeaderRowData& b, int column)
{
    switch (column) {
    case hcDate:
        return CompareDates(a.Date, b.Date);
    case hcSize:
        return Compare(a.Size, b.Size);
    case hcAuth:
        return Compare(a.AuthRank, b.AuthRank);
    case hcSpam:
        return Compare(b.SpamRank, a.SpamRank);
    default:
        return CompareTexts(ToQt(a.ColumnText(column)), ToQt(b.ColumnText(column)), column);
    }
}

Qt::Alignment HeaderColumnAlignment(int column)
{
    return (column == hcSize ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter;
}

THeaderRow::THeaderRow(const THeaderRowData& data, std::weak_ptr<TMessageHeader> record)
    : QTreeWidgetItem(UserType), FDate(data.Date), FSize(data.Size), FSpamRank(data.SpamRank),
      FAuthRank(data.AuthRank), FNew(data.New), FToolTip(data.ToolTip), FRecord(std::move(record))
{
    std::array<QString, ListColumnCount> texts;
    qsizetype size = 0;
    for (int column = 0; column < ListColumnCount; ++column) {
        texts[column] = ToQt(data.ColumnText(column));
        size += texts[column].size();
    }
    FTexts.reserve(size);
    for (int column = 0; column < ListColumnCount; ++column) {
        FTexts += texts[column];
        FEnds[column] = static_cast<int32_t>(FTexts.size());
    }
}

QStringView THeaderRow::Text(int column) const
{
    if (column < 0 || column >= ListColumnCount)
        return {};
    const int32_t start = column == 0 ? 0 : FEnds[column - 1];
    return QStringView(FTexts).mid(start, FEnds[column] - start);
}

THeaderRowData THeaderRow::Data() const
{
    THeaderRowData data;
    data.DateText = FromQt(text(hcDate));
    data.SizeText = FromQt(text(hcSize));
    data.FromText = FromQt(text(hcFrom));
    data.ToText = FromQt(text(hcTo));
    data.SubjectText = FromQt(text(hcSubject));
    data.IdText = FromQt(text(hcId));
    data.AuthText = FromQt(text(hcAuth));
    data.SpamText = FromQt(text(hcSpam));
    data.Date = FDate;
    data.Size = FSize;
    data.AuthRank = FAuthRank;
    data.SpamRank = FSpamRank;
    data.ToolTip = ToolTip();
    data.New = FNew;
    return data;
}

std::string THeaderRow::ToolTip() const
{
    if (!FToolTip.empty())
        return FToolTip;
    // Made when asked for: the verdicts with their reasons cost a reading of the header
    // block, which the fill of thousands of rows need not pay.
    const std::shared_ptr<TMessageHeader> record = Record();
    return record ? RowToolTip(*record) : std::string();
}

QVariant THeaderRow::data(int column, int role) const
{
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(HeaderColumnAlignment(column));
    if (role == Qt::ToolTipRole) {
        const std::string toolTip = ToolTip();
        return toolTip.empty() ? QVariant() : QVariant(ToQt(toolTip));
    }
    if (role == Qt::FontRole && FNew) {
        QFont bold = treeWidget() ? treeWidget()->font() : QFont();
        bold.setBold(true);
        return bold;
    }
    if ((role == Qt::DisplayRole || role == Qt::EditRole) && column >= 0 && column < ListColumnCount)
        return Text(column).toString();
    return QTreeWidgetItem::data(column, role);
}

bool THeaderRow::operator<(const QTreeWidgetItem& other) const
{
    const int column = treeWidget() ? treeWidget()->sortColumn() : hcDate;
    const auto& row = static_cast<const THeaderRow&>(other);
    switch (column) {
    case hcDate:
        return CompareDates(FDate, row.FDate) < 0;
    case hcSize:
        return Compare(FSize, row.FSize) < 0;
    case hcAuth:
        return Compare(FAuthRank, row.FAuthRank) < 0;
    case hcSpam:
        return Compare(row.FSpamRank, FSpamRank) < 0;
    default:
        return CompareTexts(Text(column), row.Text(column), column) < 0;
    }
}
