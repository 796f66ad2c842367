#pragma once
// Encoded words (=?charset?encoding?text?=) in header values.
//
// Only words whose charset begins with ISO or WINDOWS are decoded, and their bytes are
// kept as they are (read as Windows-1250 by the program), except ISO-2022-JP, which is
// turned into Shift_JIS. Words in any other charset stay in the value literally.

#include <string>
#include <string_view>

// Replaces the ISO words from left to right, then the WINDOWS words, and finally drops
// every NUL byte. A malformed word stays as it is. Decoded bytes are never searched
// for words again. Raises EConvertError for "=" followed by two non-hexadecimal
// characters inside a Q word.
std::string DecodeEncodedWords(std::string_view value);

// ISO-2022-JP (ESC $ B ... ESC ( B) to Shift_JIS.
std::string JisToShiftJis(std::string_view text);
