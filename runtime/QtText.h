#pragma once
// The Qt boundary: the program's UTF-8 texts become QStrings here and back.

#include <QString>
#include <string>
#include <string_view>

QString ToQt(std::string_view utf8);
std::string FromQt(const QString& text);
