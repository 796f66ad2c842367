#pragma once
// Captions written in the source as UTF-8 literals become the program's Windows-1250
// text and cross to Qt through the one boundary.

#include "Cp1250.h"
#include "QtText.h"

inline QString Czech(const char* utf8)
{
    return ToQt(Cp1250FromUtf8(utf8));
}
