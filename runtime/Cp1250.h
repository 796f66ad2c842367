#pragma once
// Windows-1250, the format of the files the program shares with its older versions
// (accounts.dat, Kormoran.hlp). The program's own text is UTF-8; these convert where
// such a file is read or written, and nowhere else.

#include "Exception.h"

#include <string>
#include <string_view>

// A text that Windows-1250 cannot hold. The file is not written rather than written
// with "?" in place of what the user typed.
class ECp1250Error : public Exception {
public:
    using Exception::Exception;
};

std::string Utf8FromCp1250(std::string_view cp1250);
// Raises ECp1250Error naming the first character that does not fit; text that is not
// UTF-8 at all does not fit either.
std::string Cp1250FromUtf8(std::string_view utf8);
// The first character of the text that Windows-1250 cannot hold (U+FFFD for a byte that
// is not UTF-8), as UTF-8; empty when every character fits.
std::string FirstCharacterOutsideCp1250(std::string_view utf8);
