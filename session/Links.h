#pragma once
// Links in a shown message. Nothing in a message is ever started: the desktop gets only
// web and mail links, and an attachment is only ever saved under a name the user chose.

#include <string>
#include <string_view>

// Whether text is a link the desktop may open: an http, https, ftp or mailto link
// (scheme case ignored). Local paths and every other scheme are not.
bool IsShellLink(std::string_view text);

// Hands text to the desktop when it is such a link; anything else is ignored.
void OpenWithShell(const std::string& text);

// The file name the save dialog proposes for an attachment name: its last path
// component (either slash), with control characters and the characters that cannot
// stand in a file name on common systems replaced by "_". "." and ".." give "".
std::string SafeFileName(std::string_view attachmentName);
