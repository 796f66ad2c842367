#include "ColumnFit.h"

#include <algorithm>
#include <numeric>

std::vector<int> FitColumnWidths(const std::vector<TColumnRoom>& columns, int stretching, int room)
{
    std::vector<int> widths;
    for (const TColumnRoom& column : columns)
        widths.push_back(column.Fitted);
    const int others = std::accumulate(widths.begin(), widths.end(), 0) - widths[stretching];
    widths[stretching] = std::max(columns[stretching].Fitted, room - others);

    int excess = std::accumulate(widths.begin(), widths.end(), 0) - room;
    if (excess <= 0)
        return widths;
    int spare = 0;
    for (size_t i = 0; i < columns.size(); ++i)
        spare += std::max(0, widths[i] - columns[i].Least);
    if (spare <= excess) {
        for (size_t i = 0; i < columns.size(); ++i)
            widths[i] = std::min(widths[i], columns[i].Least);
        return widths;
    }
    // Each column gives its share of the excess; the rounding remainder comes off the
    // stretching column, which always has room to spare here.
    int given = 0;
    for (size_t i = 0; i < columns.size(); ++i) {
        const int canGive = std::max(0, widths[i] - columns[i].Least);
        const int gives = static_cast<int>(static_cast<long long>(excess) * canGive / spare);
        widths[i] -= gives;
        given += gives;
    }
    for (size_t i = 0; given < excess && i < columns.size(); ++i) {
        const size_t column = (stretching + i) % columns.size();
        const int gives = std::min(excess - given, widths[column] - columns[column].Least);
        widths[column] -= gives;
        given += gives;
    }
    return widths;
}
