#pragma once
// The texts that show a record's verdict and preview before the message is downloaded:
// the detail pane's text and a header-list row's tooltip. UTF-8, CR LF between lines.

#include "MessageText.h"
#include "udm.h"

#include <string>

// The verdict lines, an empty line, then shown (what the pane shows of the record, its
// attachment link places moved along); before a download the preview lines follow it
// under "Náhled:".
TShownText PaneText(const TMessageHeader& record, TShownText shown);
// The verdict lines and the preview lines; empty when there are none.
std::string RowToolTip(const TMessageHeader& record);
