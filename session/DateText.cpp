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
#include <string>
#include <unordered_map>
#include <vector>

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

// A time format of hours, minutes and seconds between plain characters ("H:mm:ss"), taken
// apart once so that thousands of rows need not each have it read again.
struct TTimePiece {
    char Field;          // 'H', 'm', 's', or 0 for Text
    int Width;           // 1, or 2 for a leading zero
    std::string Text;
};

// Nothing for a format with anything else in it (AM/PM, a zone, quotes, milliseconds) or a
// locale with digits other than 0-9: QLocale formats those.
std::optional<std::vector<TTimePiece>> PlainTimePieces(const QLocale& locale, const QString& format)
{
    if (locale.zeroDigit() != QLatin1String("0"))
        return std::nullopt;
    std::vector<TTimePiece> pieces;
    for (qsizetype i = 0; i < format.size();) {
        const QChar c = format[i];
        qsizetype run = 1;
        while (i + run < format.size() && format[i + run] == c)
            ++run;
        if (c == u'H' || c == u'h' || c == u'm' || c == u's') {
            if (run > 2)
                return std::nullopt;
            pieces.push_back({c == u'h' ? 'H' : static_cast<char>(c.unicode()), static_cast<int>(run), {}});
        } else if (c.isLetter() || c == u'\'' || c.isDigit()) {
            return std::nullopt;
        } else {
            pieces.push_back({0, 0, FromQt(format.mid(i, run))});
        }
        i += run;
    }
    return pieces;
}

void AppendNumber(std::string& text, int number, int width)
{
    if (width == 2 && number < 10)
        text += '0';
    text += std::to_string(number);
}

// The formats are worked out once per locale, not once for each of thousands of rows.
struct TDateFormats {
    QLocale Locale;
    QString Date;
    QString Time;
    std::optional<std::vector<TTimePiece>> TimePieces;
    // The text of each day met, made once: a mailbox's messages come from far fewer days
    // than there are messages. Emptied when full, as the dates are anybody's.
    std::unordered_map<qint64, std::string> DayTexts;
};

constexpr size_t MostDayTexts = 4096;

TDateFormats& SystemDateFormats()
{
    thread_local TDateFormats formats{QLocale::c(), {}, {}, {}, {}};
    const QLocale system = QLocale::system();
    if (formats.Date.isEmpty() || formats.Locale != system) {
        const QString time = LongTimeFormat(system);
        formats = {system, ShortDateFormat(system), time, PlainTimePieces(system, time), {}};
    }
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
    TDateFormats& formats = SystemDateFormats();
    const qint64 day = split->Day.toJulianDay();
    auto dayText = formats.DayTexts.find(day);
    if (dayText == formats.DayTexts.end()) {
        if (formats.DayTexts.size() >= MostDayTexts)
            formats.DayTexts.clear();
        dayText = formats.DayTexts.emplace(day, FromQt(formats.Locale.toString(split->Day, formats.Date))).first;
    }
    std::string text = dayText->second;
    if (split->MsOfDay == 0)
        return text;
    const QTime time = TimeOfDay(*split);
    text += ' ';
    if (!formats.TimePieces)
        return text + FromQt(formats.Locale.toString(time, formats.Time));
    for (const TTimePiece& piece : *formats.TimePieces) {
        if (piece.Field == 0)
            text += piece.Text;
        else
            AppendNumber(text, piece.Field == 'H' ? time.hour() : piece.Field == 'm' ? time.minute() : time.second(),
                         piece.Width);
    }
    return text;
}

namespace {

// The local zone's offset from UTC through one hour of one day, when it stays the same
// through all of it and every time of the hour is a local time as it stands (none in the
// gap of a change to summer time): messages of one hour then need no zone lookup each.
struct THourOffset {
    QDate Day;
    int Hour = -1;
    std::optional<int> Offset;
};

std::optional<int> OffsetThroughHour(QDate day, int hour)
{
    thread_local THourOffset known;
    if (known.Day == day && known.Hour == hour)
        return known.Offset;
    known = {day, hour, std::nullopt};
    const QTime first(hour, 0, 0);
    const QTime last(hour, 59, 59, 999);
    const QDateTime start(day, first);
    const QDateTime end(day, last);
    if (start.isValid() && end.isValid() && start.date() == day && end.date() == day && start.time() == first &&
        end.time() == last && start.offsetFromUtc() == end.offsetFromUtc())
        known.Offset = start.offsetFromUtc();
    return known.Offset;
}

// "2026-01-05 08:12:00 +0100" from its parts.
std::string IsoText(QDate day, QTime time, int offset)
{
    const int minutes = std::abs(offset) / 60;
    std::string text = "0000-00-00 00:00:00 +0000";
    const auto put = [&text](size_t end, int number) {
        for (size_t i = end; number > 0; number /= 10)
            text[--i] = static_cast<char>('0' + number % 10);
    };
    put(4, day.year());
    put(7, day.month());
    put(10, day.day());
    put(13, time.hour());
    put(16, time.minute());
    put(19, time.second());
    text[20] = offset < 0 ? '-' : '+';
    put(23, minutes / 60);
    put(25, minutes % 60);
    return text;
}

} // namespace

std::string IsoDateTimeText(double date)
{
    const std::optional<TDayAndTime> split = SplitDate(date);
    if (!split || date == 0)
        return {};
    const QTime time = TimeOfDay(*split);
    const int year = split->Day.year();
    const bool fourDigits = year >= 1000 && year <= 9999;
    if (fourDigits)
        if (const std::optional<int> offset = OffsetThroughHour(split->Day, time.hour()))
            return IsoText(split->Day, time, *offset);
    const QDateTime local(split->Day, time);
    if (!local.isValid() || local.date().year() < 1000 || local.date().year() > 9999)
        return FromQt(local.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss ")) + OffsetText(local));
    // The same text as the format above, without reading the format for every message.
    return IsoText(local.date(), local.time(), local.offsetFromUtc());
}
