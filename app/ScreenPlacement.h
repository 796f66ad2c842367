#pragma once
// Where the main window goes when its stored place is read back: the screens may have
// changed since it was stored.

#include <QList>
#include <QRect>

// The window at frame on screens whose available areas are given (the first is the
// primary one). A window larger than the screen it goes to is made as large as that
// screen. While a strip of its top edge, where it is dragged from, lies on a screen it
// stays where it is; otherwise it is moved onto the screen that holds most of it, or
// the first one, just far enough to lie on it whole.
QRect PlacedOnScreens(const QRect& frame, const QList<QRect>& screens);
