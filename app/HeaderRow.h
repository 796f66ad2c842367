#pragma once
// One row of the header list: the six column texts of a message, the values the list
// sorts on, and the record the row stands for.
//
// Sorting looks at the values behind the texts (the date itself, the size as a number),
// never at a re-reading of what the cells show: a locale's short date format may give a
// two-digit year, which read back would put 2026 before 1999.

#include <QTreeWidgetItem>
#include <array>
#include <cstdint>
#include <memory>
#include <string>

class TMessageHeader;

enum THeaderColumn { hcDate, hcSize, hcFrom, hcTo, hcSubject, hcId, HeaderColumnCount };
// The verdicts of the header block, after the six columns of every list.
enum TVerdictColumn { hcAuth = HeaderColumnCount, hcSpam, ListColumnCount };

struct THeaderRowData {
    std::string DateText;
    std::string SizeText;
    std::string FromText;
    std::string ToText;
    std::string SubjectText;
    std::string IdText;
    double Date = 0;    // days since 30 December 1899, local time
    int64_t Size = 0;   // bytes; -1 when the server gave no number
    std::string AuthText;    // "ověřeno", "selhalo" or "–"
    std::string SpamText;
    int AuthRank = 0;        // the failed first, the confirmed last
    double SpamRank = 0;     // the flagged first, then by score, highest first
    std::string ToolTip;     // the verdict lines and the preview; empty: made from the record when asked for
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
    // Whether the message is new (shown in bold).
    bool IsNew() const { return FNew; }
    // The row's own record; empty when there is none or it has been released.
    std::shared_ptr<TMessageHeader> Record() const { return FRecord.lock(); }

    QVariant data(int column, int role) const override;
    bool operator<(const QTreeWidgetItem& other) const override;

private:
    // The one given, else the record's verdict lines and preview (RowToolTip).
    std::string ToolTip() const;

    // The text of a column, a view of FTexts.
    QStringView Text(int column) const;

    // The cells' texts one after another in one string, each ending where FEnds says: a
    // row costs two allocations instead of a list of variants and a string per cell, and
    // sorting compares the texts where they lie. data() hands them out as the cells'
    // display texts.
    QString FTexts;
    std::array<int32_t, ListColumnCount> FEnds{};
    double FDate;
    int64_t FSize;
    double FSpamRank;
    int FAuthRank;
    bool FNew;
    std::string FToolTip;
    std::weak_ptr<TMessageHeader> FRecord;
};

// The alignment of a column's cells and caption.
Qt::Alignment HeaderColumnAlignment(int column);
