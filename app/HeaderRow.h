#pragma once
// One row of the header list: the six column texts of a message, the values the list
// sorts on, and the record the row stands for.
//
// Sorting looks at the values behind the texts (the date itself, the size as a number),
// never at a re-reading of what the cells show: a locale's short date format may give a
// two-digit year, which read back would put 2026 before 1999.

#include <QTreeWidgetItem>
#include <cstdint>
#include <memory>
#include <string>

class TMessageHeader;

enum THeaderColumn { hcDate, hcSize, hcFrom, hcTo, hcSubject, hcId, HeaderColumnCount };

struct THeaderRowData {
    std::string DateText;
    std::string SizeText;
    std::string FromText;
    std::string ToText;
    std::string SubjectText;
    std::string IdText;
    double Date = 0;    // days since 30 December 1899, local time
    int64_t Size = 0;   // bytes; -1 when the server gave no number
    bool New = false;   // the last check before this one did not see the message: bold

    const std::string& ColumnText(int column) const;
};

// -1 when row a sorts before row b in the column, +1 when after, 0 when they are equal.
// Date: the later first, rows without a date (0) last. Size: the smaller first. Sender, recipients and subject: as a
// Czech reader orders them (Č after C, Ř after R, letter case ignored). The ID: byte by
// byte, a prefix before the longer text.
int headlistCompare(const THeaderRowData& a, const THeaderRowData& b, int column);

// A row holds on to its own record, not to its "ID" text: messages without a Message-Id,
// or with a repeated one, still reach their own record. The hold is weak: once a later
// check has released the record the row reaches nothing, never another mailbox's message.
class THeaderRow : public QTreeWidgetItem {
public:
    THeaderRow(const THeaderRowData& data, std::weak_ptr<TMessageHeader> record);

    // The texts as the cells hold them, with the values behind them.
    THeaderRowData Data() const;
    // The row's own record; empty when there is none or it has been released.
    std::shared_ptr<TMessageHeader> Record() const { return FRecord.lock(); }

    QVariant data(int column, int role) const override;
    bool operator<(const QTreeWidgetItem& other) const override;

private:
    // The texts live in the cells only: a row weighs what a bare tree's row does.
    double FDate;
    int64_t FSize;
    bool FNew;
    std::weak_ptr<TMessageHeader> FRecord;
};

// The alignment of a column's cells and caption.
Qt::Alignment HeaderColumnAlignment(int column);
