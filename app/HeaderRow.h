#pragma once
// One row of the header list: the six column texts of a message, the values the list
// sorts on, and the record the row stands for.
//
// Sorting looks at the values behind the texts (the date itself, the size as a number),
// never at a re-reading of what the cells show: a locale's short date format may give a
// two-digit year, which read back would put 2026 before 1999.

#include <QTreeWidgetItem>
#include <cstdint>
#include <string>

class TMessageHeader;

enum THeaderColumn { hcDate, hcSize, hcFrom, hcTo, hcSubject, hcId, HeaderColumnCount };

// Column texts are Windows-1250.
struct THeaderRowData {
    std::string DateText;
    std::string SizeText;
    std::string FromText;
    std::string ToText;
    std::string SubjectText;
    std::string IdText;
    double Date = 0;    // days since 30 December 1899, local time
    int64_t Size = 0;   // bytes; -1 when the server gave no number

    const std::string& ColumnText(int column) const;
};

// -1 when row a sorts before row b in the column, +1 when after, 0 when they are equal.
// Date: the later first. Size: the smaller first. The text columns: byte by byte as
// unsigned Windows-1250 codes, a prefix before the longer text.
int headlistCompare(const THeaderRowData& a, const THeaderRowData& b, int column);

class THeaderRow : public QTreeWidgetItem {
public:
    // record: the message the row stands for (not owned); nullptr for none.
    THeaderRow(const THeaderRowData& data, TMessageHeader* record);

    const THeaderRowData& Data() const { return FData; }
    // The row's own message; nullptr once the row has been let go of it.
    TMessageHeader* Record() const { return FRecord; }
    // The row keeps its texts but no longer acts on any message: its record is about
    // to be released, or has been.
    void ForgetRecord() { FRecord = nullptr; }

    QVariant data(int column, int role) const override;
    bool operator<(const QTreeWidgetItem& other) const override;

private:
    THeaderRowData FData;
    TMessageHeader* FRecord;
};

// The alignment of a column's cells and caption.
Qt::Alignment HeaderColumnAlignment(int column);
