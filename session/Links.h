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

// A name or content type from a message as one line of the view: line and paragraph
// separators (CR, LF, U+0085, U+2028, U+2029) and the controls that reorder text
// (U+200E, U+200F, U+061C, U+202A to U+202E, U+2066 to U+2069) are dropped, other control
// characters become "_".
std::string OneLineName(std::string_view text);

// The file name the save dialog proposes for an attachment name: its last path
// component (either slash), cleaned as by OneLineName, with the characters that cannot
// stand in a file name on common systems replaced by "_", without leading dots (no
// hidden file is one Enter away) and cut to 255 bytes, its extension kept. "." and ".."
// give "".
std::string SafeFileName(std::string_view attachmentName);
constexpr size_t MaxFileNameBytes = 255;
