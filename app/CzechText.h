#pragma once
// Captions written in the source as UTF-8 literals cross to Qt through the one boundary.

#include "QtText.h"

inline QString Czech(const char* utf8)
{
    return ToQt(utf8);
}
