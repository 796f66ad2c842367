#include "ScreenPlacement.h"

#include <algorithm>

namespace {

// The part of the top edge that must be on a screen for the window to be dragged.
constexpr int GripWidth = 64;
constexpr int GripHeight = 16;
constexpr int TopStripHeight = 32;

bool TopEdgeOn(const QRect& frame, const QRect& screen)
{
    const QRect strip(frame.left(), frame.top(), frame.width(), std::min(frame.height(), TopStripHeight));
    const QRect shared = strip.intersected(screen);
    return shared.width() >= std::min(GripWidth, frame.width()) &&
           shared.height() >= std::min(GripHeight, strip.height());
}

long long SharedArea(const QRect& frame, const QRect& screen)
{
    const QRect shared = frame.intersected(screen);
    return shared.isEmpty() ? 0 : static_cast<long long>(shared.width()) * shared.height();
}

int Within(int position, int length, int start, int screenLength)
{
    return std::clamp(position, start, start + screenLength - length);
}

} // namespace

QRect PlacedOnScreens(const QRect& frame, const QList<QRect>& screens)
{
    if (screens.isEmpty())
        return frame;
    QRect home = screens.front();
    for (const QRect& screen : screens)
        if (SharedArea(frame, screen) > SharedArea(frame, home))
            home = screen;
    QRect placed(frame.topLeft(), frame.size().boundedTo(home.size()));
    for (const QRect& screen : screens)
        if (TopEdgeOn(placed, screen))
            return placed;
    placed.moveTo(Within(placed.left(), placed.width(), home.left(), home.width()),
                  Within(placed.top(), placed.height(), home.top(), home.height()));
    return placed;
}
