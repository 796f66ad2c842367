// The header list: columns, the sort rules behind a header click, selection.
#include "HeaderList.h"
#include "DateText.h"
#include "QtText.h"

#include <QDate>
#include <QFontMetrics>
#include <QHeaderView>
#include <QTest>
#include <gtest/gtest.h>

namespace {

THeaderRowData RowData(const std::string& from, double date = 0, int64_t size = 0)
{
    THeaderRowData data;
    data.DateText = "date " + std::to_string(date);
    data.SizeText = std::to_string(size);
    data.FromText = from;
    data.ToText = "to " + from;
    data.SubjectText = "subject " + from;
    data.IdText = "<" + from + ">";
    data.Date = date;
    data.Size = size;
    return data;
}

THeaderRowData WithText(int column, const std::string& text)
{
    THeaderRowData data;
    std::string* fields[] = {&data.DateText, &data.SizeText, &data.FromText, &data.ToText, &data.SubjectText, &data.IdText};
    *fields[column] = text;
    return data;
}

void Fill(THeaderList& list, const std::vector<THeaderRowData>& rows)
{
    std::vector<THeaderRow*> items;
    for (const THeaderRowData& data : rows)
        items.push_back(new THeaderRow(data, {}));
    list.AddRows(items);
}

std::vector<std::string> Column(const THeaderList& list, int column)
{
    std::vector<std::string> texts;
    for (int index = 0; index < list.RowCount(); ++index)
        texts.push_back(list.Row(index)->Data().ColumnText(column));
    return texts;
}

using Texts = std::vector<std::string>;

// The main window's font, whose lines are as high as those the columns were laid out for.
const QFont WindowFont("MS Sans Serif", 8);

TEST(HeaderListColumns, HaveTheirCaptionsAlignmentsAndWidths)
{
    THeaderList list;
    list.setFont(WindowFont);
    const Texts captions = {"Datum", "Velikost [B]", "Odesílatel", "Příjemce", "Předmět", "ID"};
    const int widths[] = {108, 80, 128, 128, 256, 64};
    Fill(list, {RowData("a")});
    ASSERT_EQ(list.columnCount(), 6);
    for (int column = 0; column < 6; ++column) {
        EXPECT_EQ(FromQt(list.headerItem()->text(column)), captions[column]);
        // The date column is wider when a date and time need more than its 108 pixels.
        if (column == hcDate)
            EXPECT_GE(list.columnWidth(column), widths[column]);
        else
            EXPECT_EQ(list.columnWidth(column), widths[column]);
        const Qt::Alignment horizontal = column == 1 ? Qt::AlignRight : Qt::AlignLeft;
        EXPECT_EQ(list.headerItem()->textAlignment(column) & Qt::AlignHorizontal_Mask, horizontal);
        EXPECT_EQ(list.Row(0)->textAlignment(column) & Qt::AlignHorizontal_Mask, horizontal);
    }
    EXPECT_EQ(list.selectionMode(), QAbstractItemView::ExtendedSelection);
    EXPECT_EQ(list.selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_EQ(list.editTriggers(), QAbstractItemView::NoEditTriggers);
}

TEST(HeaderListColumns, FitTheirTextsAtEveryFontSize)
{
    THeaderRowData late = RowData("a");
    late.Date = QDate(1899, 12, 30).daysTo(QDate(2026, 12, 28)) + (23 * 3600 + 58 * 60 + 58) / 86400.0;
    late.DateText = DateTimeText(late.Date);
    for (int points : {8, 12, 20}) {
        THeaderList list;
        list.setFont(QFont("DejaVu Sans", points));
        Fill(list, {late});
        const QFontMetrics metrics(list.font());
        EXPECT_GT(list.columnWidth(hcDate), metrics.horizontalAdvance(ToQt(late.DateText))) << points;
        for (int column = 0; column < HeaderColumnCount; ++column) {
            EXPECT_GE(list.columnWidth(column), THeaderList::DesignColumnWidth(column)) << points;
            EXPECT_GT(list.columnWidth(column), metrics.horizontalAdvance(list.headerItem()->text(column)))
                << points << " " << column;
        }
    }
}

TEST(HeaderListColumns, CannotBeMadeNarrowerThanTheirMinimum)
{
    THeaderList list;
    list.setFont(WindowFont);
    const int minimums[] = {108, 64, 88, 88, 88, 64};
    for (int column = 0; column < 6; ++column) {
        list.header()->resizeSection(column, 10);
        EXPECT_EQ(list.columnWidth(column), minimums[column]) << column;
        list.header()->resizeSection(column, minimums[column] + 5);
        EXPECT_EQ(list.columnWidth(column), minimums[column] + 5) << column;
    }
}

TEST(HeaderListCompare, DatesLatestFirst)
{
    EXPECT_EQ(headlistCompare(RowData("a", 2.5), RowData("b", 1.5), hcDate), -1);
    EXPECT_EQ(headlistCompare(RowData("a", 1.5), RowData("b", 2.5), hcDate), +1);
    EXPECT_EQ(headlistCompare(RowData("a", 2.5), RowData("b", 2.5), hcDate), 0);
}

TEST(HeaderListCompare, SizesAsNumbers)
{
    EXPECT_EQ(headlistCompare(RowData("a", 0, 9), RowData("b", 0, 10), hcSize), -1);
    EXPECT_EQ(headlistCompare(RowData("a", 0, 100), RowData("b", 0, 10), hcSize), +1);
    EXPECT_EQ(headlistCompare(RowData("a", 0, -1), RowData("b", 0, 0), hcSize), -1);
    EXPECT_EQ(headlistCompare(RowData("a", 0, 7), RowData("b", 0, 7), hcSize), 0);
}

struct TCompareCase {
    std::string A, B;
    int Result;
};

void ExpectOrder(int column, const std::vector<TCompareCase>& cases)
{
    for (const auto& c : cases) {
        const THeaderRowData a = WithText(column, c.A), b = WithText(column, c.B);
        EXPECT_EQ(headlistCompare(a, b, column), c.Result) << column << " " << c.A << " " << c.B;
        EXPECT_EQ(headlistCompare(b, a, column), -c.Result) << column << " " << c.B << " " << c.A;
    }
}

TEST(HeaderListCompare, IdsByteByByte)
{
    ExpectOrder(hcId, {
        {"10", "9", -1},
        {"Z", "a", -1},
        {"z", "š", -1},     // UTF-8 lead byte 0xC5, after every ASCII letter
        {"ab", "abc", -1},
        {"abc", "abc", 0},
        {"", "a", -1},
    });
}

TEST(HeaderListCompare, NamesAndSubjectsAsCzechReadersOrderThem)
{
    for (int column : {hcFrom, hcTo, hcSubject})
        ExpectOrder(column, {
            {"Cyril", "Čeněk", -1},
            {"Čeněk", "Dana", -1},
            {"Rudolf", "Řehoř", -1},
            {"Řehoř", "Sára", -1},
            {"Zdeněk", "Žofie", -1},
            {"hrad", "chata", -1},      // "ch" is a letter of its own, after "h"
            {"chata", "Ivan", -1},
            {"adam", "Bedřich", -1},    // letter case does not decide
            {"ÚČET", "účet", 0},
            {"ab", "abc", -1},
            {"", "a", -1},
        });
}

TEST(HeaderListSort, ByDateUsesTheDatesNotTheirTexts)
{
    // In a locale with two-digit years, "1.1.26" read back would come before "1.1.99".
    THeaderList list;
    THeaderRowData older = RowData("old", 36161);   // 1 January 1999
    older.DateText = "1.1.99";
    THeaderRowData newer = RowData("new", 46023);   // 1 January 2026
    newer.DateText = "1.1.26";
    Fill(list, {older, newer});
    list.SortByColumn(hcDate);
    EXPECT_EQ(Column(list, hcDate), (Texts{"1.1.26", "1.1.99"}));
}

TEST(HeaderListSort, ByDatePutsMessagesWithoutADateLast)
{
    // A date before 1900 (negative) is still a date; only 0 means none.
    THeaderList list;
    THeaderRowData none = RowData("none", 0);
    none.DateText = "";
    Fill(list, {none, RowData("old", -10), none, RowData("new", 46023)});
    list.SortByColumn(hcDate);
    EXPECT_EQ(Column(list, hcFrom), (Texts{"new", "old", "none", "none"}));
}

TEST(HeaderListSort, SecondClickReversesAndTheHeaderShowsTheOrder)
{
    THeaderList list;
    QObject::connect(list.header(), &QHeaderView::sectionClicked, &list, &THeaderList::SortByColumn);
    list.resize(900, 300);
    list.show();
    Fill(list, {RowData("b", 1, 100), RowData("a", 3, 9), RowData("c", 2, 10)});
    const int sizeX = list.header()->sectionViewportPosition(hcSize) + 10;
    const struct {
        Texts Sizes;
        Qt::SortOrder Indicator;
    } clicks[] = {
        {{"9", "10", "100"}, Qt::AscendingOrder},
        {{"100", "10", "9"}, Qt::DescendingOrder},
        {{"9", "10", "100"}, Qt::AscendingOrder},
    };
    for (const auto& click : clicks) {
        QTest::mouseClick(list.header()->viewport(), Qt::LeftButton, {}, QPoint(sizeX, 5));
        EXPECT_EQ(Column(list, hcSize), click.Sizes);
        EXPECT_TRUE(list.header()->isSortIndicatorShown());
        EXPECT_EQ(list.header()->sortIndicatorSection(), hcSize);
        EXPECT_EQ(list.header()->sortIndicatorOrder(), click.Indicator);
    }
    // Another column starts with its own direction: the date latest first.
    list.SortByColumn(hcDate);
    EXPECT_EQ(Column(list, hcFrom), (Texts{"a", "c", "b"}));
    list.SortByColumn(hcDate);
    EXPECT_EQ(Column(list, hcFrom), (Texts{"b", "c", "a"}));
    list.SortByColumn(hcFrom);
    EXPECT_EQ(Column(list, hcFrom), (Texts{"a", "b", "c"}));
    list.Clear();
    EXPECT_EQ(list.header()->sortIndicatorSection(), -1);
}

TEST(HeaderListSort, EqualRowsKeepTheirOrderAndAnEmptyListSorts)
{
    THeaderList list;
    for (int column = 0; column < 6; ++column)
        list.SortByColumn(column);
    EXPECT_EQ(list.RowCount(), 0);
    Fill(list, {RowData("x", 5, 1), RowData("y", 5, 1), RowData("z", 5, 1)});
    list.SortByColumn(hcDate);
    list.SortByColumn(hcSize);
    EXPECT_EQ(Column(list, hcFrom), (Texts{"x", "y", "z"}));
}

TEST(HeaderListSelection, SelectAllSelectsEveryRowAndReportsTheLast)
{
    THeaderList list;
    std::vector<int> reported;
    list.OnSelectItem = [&reported](int row) { reported.push_back(row); };
    list.SelectAll();
    EXPECT_TRUE(reported.empty());
    EXPECT_FALSE(list.MultipleSelected());
    Fill(list, {RowData("a"), RowData("b"), RowData("c")});
    list.setCurrentItem(list.Row(0));
    EXPECT_FALSE(list.MultipleSelected());
    list.SelectAll();
    EXPECT_EQ(reported, (std::vector<int>{0, 2}));
    EXPECT_TRUE(list.MultipleSelected());
    std::vector<THeaderRow*> bottomUp = list.SelectedRowsBottomUp();
    EXPECT_EQ(bottomUp, (std::vector<THeaderRow*>{list.Row(2), list.Row(1), list.Row(0)}));
}

TEST(HeaderListSelection, ClicksReportTheClickedRow)
{
    THeaderList list;
    list.resize(900, 300);
    list.show();
    Fill(list, {RowData("a"), RowData("b"), RowData("c")});
    std::vector<int> reported;
    list.OnSelectItem = [&reported](int row) { reported.push_back(row); };
    auto click = [&list](int row, Qt::KeyboardModifiers modifiers) {
        QRect cell = list.visualItemRect(list.Row(row));
        QTest::mouseClick(list.viewport(), Qt::LeftButton, modifiers, cell.center());
    };
    click(2, {});
    click(0, {});
    click(1, Qt::ControlModifier);
    click(1, Qt::ControlModifier);   // deselects it: still the reported row
    EXPECT_EQ(reported, (std::vector<int>{2, 0, 1, 1}));
    EXPECT_FALSE(list.Row(1)->isSelected());
    EXPECT_TRUE(list.Row(0)->isSelected());
}

TEST(HeaderListSelection, RemovingRowsReportsNothing)
{
    THeaderList list;
    Fill(list, {RowData("a"), RowData("b"), RowData("c")});
    list.SelectAll();
    std::vector<int> reported;
    list.OnSelectItem = [&reported](int row) { reported.push_back(row); };
    list.RemoveRow(1);
    list.RemoveRow(7);
    list.RemoveRow(-1);
    EXPECT_EQ(Column(list, hcFrom), (Texts{"a", "c"}));
    list.Clear();
    EXPECT_EQ(list.RowCount(), 0);
    EXPECT_TRUE(reported.empty());
}

TEST(ShownIndex, FollowsTheShownRowWhenRowsGo)
{
    EXPECT_EQ(ShownIndexAfterRemoval(3, 1), 2);   // a row above it went
    EXPECT_EQ(ShownIndexAfterRemoval(3, 3), -1);  // the shown row itself went
    EXPECT_EQ(ShownIndexAfterRemoval(3, 5), 3);   // a row below it went
    EXPECT_EQ(ShownIndexAfterRemoval(-1, 0), -1);
}

} // namespace
