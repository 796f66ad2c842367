#pragma once
// Encoded words (=?charset?encoding?text?=) in header values.

#include <string>
#include <string_view>

// The header value as UTF-8: every encoded word decoded (Q or B) and converted from its
// charset, the text around the words read as UTF-8 when valid, else as Windows-1250.
// White space between two adjacent encoded words disappears, and adjacent words of one
// charset are converted together, so a character split between them comes out whole.
// A malformed word stays as it is; decoded text is never searched for words again; NUL
// bytes are dropped. Raises EConvertError for "=" followed by two characters that are
// not hexadecimal digits inside a Q word.
std::string DecodeEncodedWords(std::string_view value);
