#pragma once
// The Qt boundary: the program's Windows-1250 texts become QStrings here and back.

#include <QString>
#include <string>
#include <string_view>

QString ToQt(std::string_view cp1250);
std::string FromQt(const QString& text);
