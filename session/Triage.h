#pragma once
// The texts that show a record's verdict and preview before the message is downloaded:
// the detail pane's text and a header-list row's tooltip. UTF-8, CR LF between lines.

#include "udm.h"

#include <string>

// The verdict lines, an empty line, then shownText (what the pane shows of the record);
// before a download the preview lines follow it under "Náhled:".
std::string PaneText(const TMessageHeader& record, const std::string& shownText);
// The verdict lines and the preview lines; empty when there are none.
std::string RowToolTip(const TMessageHeader& record);
