#include "DateText.h"

#include "QtText.h"

#include <QDate>
#include <QLocale>
#include <QRegularExpression>
#include <QTime>
#include <cmath>

namespace {

constexpr long long MsPerDay = 24LL * 60 * 60 * 1000;

QString ShortDateFormat()
{
    QString format = QLocale::system().dateFormat(QLocale::ShortFormat);
    if (!format.contains(QLatin1String("yyyy")))
        format.replace(QLatin1String("yy"), QLatin1String("yyyy"));
    return format;
}

QString LongTimeFormat()
{
    QString format = QLocale::system().timeFormat(QLocale::LongFormat);
    format.remove(QRegularExpression(QStringLiteral("\\s*t+")));
    return format.trimmed();
}

} // namespace

std::string DateTimeText(double date)
{
    // Whole milliseconds, so a time of day a rounding error away from midnight is midnight.
    const double totalMs = std::round(date * MsPerDay);
    if (!std::isfinite(totalMs) || std::fabs(totalMs) > 1e15)
        return {};
    const auto total = static_cast<long long>(totalMs);
    long long days = total / MsPerDay;
    long long msOfDay = total % MsPerDay;
    if (msOfDay < 0) {
        --days;
        msOfDay += MsPerDay;
    }
    const QDate day = QDate(1899, 12, 30).addDays(days);
    const QString dateText = QLocale::system().toString(day, ShortDateFormat());
    if (msOfDay == 0)
        return FromQt(dateText);
    const QTime time = QTime::fromMSecsSinceStartOfDay(static_cast<int>(msOfDay));
    return FromQt(dateText + QLatin1Char(' ') + QLocale::system().toString(time, LongTimeFormat()));
}
