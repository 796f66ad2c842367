#pragma once
// Conversion between the program's 8-bit Windows-1250 text and UTF-8, used only where
// text leaves or enters the program (widgets, terminals). Characters Windows-1250
// cannot hold become "?".

#include <string>
#include <string_view>

std::string Utf8FromCp1250(std::string_view cp1250);
std::string Cp1250FromUtf8(std::string_view utf8);
