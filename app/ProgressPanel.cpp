#include "ProgressPanel.h"

#include <algorithm>

int SteppedPosition(int position, int minimum, int maximum, int64_t count)
{
    if (maximum >= count)
        return static_cast<int>(std::max<int64_t>(count, minimum));
    if (position < maximum)
        return position + 1;
    return minimum;
}
