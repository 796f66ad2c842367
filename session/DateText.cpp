#include "DateText.h"

#include "QtText.h"

#include <QDate>
#include <QDateTime>
#include <QLocale>
#include <QRegularExpression>
#include <QTime>
#include <cmath>
#include <cstdlib>
#include <optional>

namespace {

constexpr long long MsPerDay = 24LL * 60 * 60 * 1000;

QString ShortDateFormat(const QLocale& locale)
{
    QString format = locale.dateFormat(QLocale::ShortFormat);
    if (!format.contains(QLatin1String("yyyy")))
        format.replace(QLatin1String("yy"), QLatin1String("yyyy"));
    return format;
}

QString LongTimeFormat(const QLocale& locale)
{
    QString format = locale.timeFormat(QLocale::LongFormat);
    format.remove(QRegularExpression(QStringLiteral("\\s*t+")));
    return format.trimmed();
}

// The formats are worked out once per locale, not once for each of thousands of rows.
struct TDateFormats {
    QLocale Locale;
    QString Date;
    QString Time;
};

const TDateFormats& SystemDateFormats()
{
    thread_local TDateFormats formats{QLocale::c(), {}, {}};
    const QLocale system = QLocale::system();
    if (formats.Date.isEmpty() || formats.Locale != system)
        formats = {system, ShortDateFormat(system), LongTimeFormat(system)};
    return formats;
}

struct TDayAndTime {
    QDate Day;
    long long MsOfDay;
};

// Whole milliseconds, so a time of day a rounding error away from midnight is midnight.
// Nothing for dates no calendar holds.
std::optional<TDayAndTime> SplitDate(double date)
{
    const double totalMs = std::round(date * MsPerDay);
    if (!std::isfinite(totalMs) || std::fabs(totalMs) > 1e15)
        return std::nullopt;
    const auto total = static_cast<long long>(totalMs);
    long long days = total / MsPerDay;
    long long msOfDay = total % MsPerDay;
    if (msOfDay < 0) {
        --days;
        msOfDay += MsPerDay;
    }
    return TDayAndTime{QDate(1899, 12, 30).addDays(days), msOfDay};
}

QTime TimeOfDay(const TDayAndTime& split)
{
    return QTime::fromMSecsSinceStartOfDay(static_cast<int>(split.MsOfDay));
}

// "+0100": the local zone's offset from UTC at that local time.
QString OffsetText(const QDateTime& local)
{
    const int offset = local.offsetFromUtc();
    const int minutes = std::abs(offset) / 60;
    return QString::asprintf("%c%02d%02d", offset < 0 ? '-' : '+', minutes / 60, minutes % 60);
}

} // namespace

std::string DateTimeText(double date)
{
    const std::optional<TDayAndTime> split = SplitDate(date);
    if (!split || date == 0)
        return {};
    const TDateFormats& formats = SystemDateFormats();
    const QString dateText = formats.Locale.toString(split->Day, formats.Date);
    if (split->MsOfDay == 0)
        return FromQt(dateText);
    return FromQt(dateText + QLatin1Char(' ') + formats.Locale.toString(TimeOfDay(*split), formats.Time));
}

std::string IsoDateTimeText(double date)
{
    const std::optional<TDayAndTime> split = SplitDate(date);
    if (!split || date == 0)
        return {};
    const QDateTime local(split->Day, TimeOfDay(*split));
    return FromQt(local.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss ")) + OffsetText(local));
}
