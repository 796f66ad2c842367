#pragma once
// How the header list's columns share the list's width: every column at its fitted
// width and the stretching column (the subject) taking what is left; when the room is
// short, the columns give way in proportion to what each can spare, down to the least
// each may have, so that all of them stay in view as long as the least widths allow.

#include <vector>

struct TColumnRoom {
    int Fitted = 0;    // the width for the font in use
    int Least = 0;     // the narrowest a fit may make it (its text then has a tooltip)
};

// The widths of columns within room pixels; stretching is the index of the column that
// takes the rest, never less than its own fitted width when the room allows it.
std::vector<int> FitColumnWidths(const std::vector<TColumnRoom>& columns, int stretching, int room);
