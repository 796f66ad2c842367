#include "QtText.h"

#include "Cp1250.h"

QString ToQt(std::string_view cp1250)
{
    return QString::fromStdString(Utf8FromCp1250(cp1250));
}

std::string FromQt(const QString& text)
{
    return Cp1250FromUtf8(text.toStdString());
}
