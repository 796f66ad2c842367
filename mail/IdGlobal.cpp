#include "IdGlobal.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <cctype>
#include <fcntl.h>
#include <optional>
#include <string_view>
#include <utility>
#include <unistd.h>

#include "Convert.h"
#include "Exception.h"

namespace {

bool IsBlank(char c)
{
    return static_cast<unsigned char>(c) <= ' ';
}

char UpperChar(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

char LowerChar(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool IsLeapYear(int year)
{
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month)
{
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : days[month - 1];
}

// 1-based month of a three-letter English month name at the front of the word, else 0.
int MonthOfName(std::string_view word)
{
    static const char* const names[] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                        "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
    std::string head = UpperCase(word.substr(0, 3));
    for (int i = 0; i < 12; ++i)
        if (head == names[i])
            return i + 1;
    return 0;
}

bool StartsWithDayName(std::string_view text)
{
    static const char* const names[] = {"SUN", "MON", "TUE", "WED", "THU", "FRI", "SAT"};
    std::string head = UpperCase(text.substr(0, 3));
    for (const char* name : names)
        if (head == name)
            return true;
    return false;
}

const double SecondsPerDay = 86400.0;
// 1 January 1970 as a day number.
const double UnixEpochDay = 25569.0;

TDateTime OffsetAt(time_t instant)
{
    ReadTimeZoneOnce();
    struct tm local {};
    if (!localtime_r(&instant, &local))
        throw EIdFailedToRetreiveTimeZoneInfo();
    return local.tm_gmtoff / SecondsPerDay;
}

} // namespace

std::string TrimLeft(std::string_view text)
{
    size_t start = 0;
    while (start < text.size() && IsBlank(text[start]))
        ++start;
    return std::string(text.substr(start));
}

std::string TrimRight(std::string_view text)
{
    size_t end = text.size();
    while (end > 0 && IsBlank(text[end - 1]))
        --end;
    return std::string(text.substr(0, end));
}

bool IsBlankText(std::string_view text)
{
    return std::all_of(text.begin(), text.end(), IsBlank);
}

std::string Trim(std::string_view text)
{
    size_t start = 0;
    size_t end = text.size();
    while (start < end && IsBlank(text[start]))
        ++start;
    while (end > start && IsBlank(text[end - 1]))
        --end;
    return std::string(text.substr(start, end - start));
}

void TrimInPlace(std::string& text)
{
    size_t end = text.size();
    while (end > 0 && IsBlank(text[end - 1]))
        --end;
    text.resize(end);
    size_t start = 0;
    while (start < text.size() && IsBlank(text[start]))
        ++start;
    text.erase(0, start);
}

std::string TrimSpacesAndTabs(std::string_view text)
{
    size_t start = text.find_first_not_of(" \t");
    if (start == std::string_view::npos)
        return {};
    size_t end = text.find_last_not_of(" \t");
    return std::string(text.substr(start, end - start + 1));
}

std::string UpperCase(std::string_view text)
{
    std::string result(text);
    for (char& c : result)
        c = UpperChar(c);
    return result;
}

std::string LowerCase(std::string_view text)
{
    std::string result(text);
    for (char& c : result)
        c = LowerChar(c);
    return result;
}

bool SameText(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (UpperChar(a[i]) != UpperChar(b[i]))
            return false;
    return true;
}

bool StartsText(std::string_view prefix, std::string_view text)
{
    return text.size() >= prefix.size() && SameText(prefix, text.substr(0, prefix.size()));
}

std::string Fetch(std::string& text, std::string_view delimiter)
{
    size_t at = text.find(delimiter);
    if (at == std::string::npos) {
        std::string all = std::move(text);
        text.clear();
        return all;
    }
    std::string head = text.substr(0, at);
    text.erase(0, at + delimiter.size());
    return head;
}

std::string TextOfLines(const std::vector<std::string>& lines)
{
    std::string text;
    for (const std::string& line : lines) {
        text += line;
        text += "\r\n";
    }
    return text;
}

std::vector<std::string> LinesOfText(std::string_view text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos) {
            lines.emplace_back(text.substr(start));
            break;
        }
        lines.emplace_back(text.substr(start, end - start));
        start = end + 1;
        if (text[end] == '\r' && start < text.size() && text[start] == '\n')
            ++start;
    }
    return lines;
}

TDateTime EncodeDate(int year, int month, int day)
{
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month))
        throw EConvertError("Invalid argument to date encode");
    // Days from 1 January of year 1 to the given date, then moved to the 1899 origin.
    int y = year - 1;
    long days = y * 365L + y / 4 - y / 100 + y / 400;
    for (int m = 1; m < month; ++m)
        days += DaysInMonth(year, m);
    days += day - 1;
    return static_cast<double>(days - 693593L);
}

TDateTime EncodeTime(int hour, int minute, int second)
{
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59)
        throw EConvertError("Invalid argument to time encode");
    return (hour * 3600 + minute * 60 + second) / SecondsPerDay;
}

namespace {

std::string_view TrimmedLeft(std::string_view text)
{
    size_t start = 0;
    while (start < text.size() && IsBlank(text[start]))
        ++start;
    return text.substr(start);
}

// Fetch on a view: the part before the delimiter, the text going on after it.
std::string_view FetchPart(std::string_view& text, std::string_view delimiter)
{
    const size_t at = text.find(delimiter);
    if (at == std::string_view::npos)
        return std::exchange(text, std::string_view());
    const std::string_view head = text.substr(0, at);
    text.remove_prefix(at + delimiter.size());
    return head;
}

// The date and time at the start of text; text is left at what follows them, also when a
// part of them is impossible (EConvertError).
TDateTime ReadDateTime(std::string_view& text)
{
    if (StartsWithDayName(text)) {
        FetchPart(text, " ");
        text = TrimmedLeft(text);
    }
    std::string_view delimiter = " ";
    size_t dash = text.find('-');
    size_t space = text.find(' ');
    if (dash != std::string_view::npos && dash >= 1 && space != std::string_view::npos && dash < space)
        delimiter = "-";

    int month;
    int day;
    if (MonthOfName(text.substr(0, text.find(delimiter))) > 0) {
        month = MonthOfName(FetchPart(text, delimiter));
        text = TrimmedLeft(text);
        day = StrToIntDef(FetchPart(text, delimiter), 1);
        text = TrimmedLeft(text);
    } else {
        day = StrToIntDef(FetchPart(text, delimiter), 1);
        text = TrimmedLeft(text);
        month = MonthOfName(FetchPart(text, delimiter));
        text = TrimmedLeft(text);
    }

    // Month, day, time, year: the word after the day is the time, the year comes last.
    std::string_view yearWord = FetchPart(text, " ");
    int year = StrToIntDef(yearWord, 1900);
    if (year == 1900) {
        year = StrToIntDef(text, 1900);
        text = yearWord;
    }
    if (year < 80)
        year += 2000;
    else if (year <= 99)
        year += 1900;

    TDateTime result = EncodeDate(year, month, day);
    if (text.find(':') != std::string_view::npos) {
        std::string_view time = FetchPart(text, " ");
        int hour = StrToIntDef(FetchPart(time, ":"), 0);
        int minute = StrToIntDef(FetchPart(time, ":"), 0);
        int second = StrToIntDef(time, 0);
        result += EncodeTime(hour, minute, second);
    }
    text = TrimmedLeft(text);
    return result;
}

} // namespace

TDateTime ParseDateTimeText(std::string& text)
{
    // The parts are read as views of the trimmed text; what is left is written back once.
    const std::string trimmed = Trim(text);
    std::string_view rest = trimmed;
    TDateTime result = 0;
    if (!rest.empty()) {
        try {
            result = ReadDateTime(rest);
        } catch (const EConvertError&) {
            result = 0;
        }
    }
    text = std::string(rest);
    return result;
}

namespace {

// Hours east of UTC of the zone names mail uses: those of RFC 2822 and the European ones.
std::optional<int> HoursOfZoneName(std::string_view zone)
{
    static const std::pair<const char*, int> zones[] = {
        {"UT", 0},   {"UTC", 0},  {"GMT", 0},  {"EST", -5}, {"EDT", -4}, {"CST", -6},
        {"CDT", -5}, {"MST", -7}, {"MDT", -6}, {"PST", -8}, {"PDT", -7}, {"CET", 1},
        {"CEST", 2}, {"EET", 2},  {"EEST", 3}, {"WET", 0},  {"WEST", 1}, {"BST", 1},
    };
    size_t letters = 0;
    while (letters < zone.size() && std::isalpha(static_cast<unsigned char>(zone[letters])))
        ++letters;
    const std::string name = UpperCase(zone.substr(0, letters));
    for (const auto& [zoneName, hours] : zones)
        if (name == zoneName)
            return hours;
    return std::nullopt;
}

} // namespace

TDateTime ParseZoneOffset(std::string_view zone)
{
    std::string text = Trim(zone).substr(0, 5);
    if (std::optional<int> hours = HoursOfZoneName(text))
        return *hours / 24.0;
    if (text.size() < 5 || (text[0] != '+' && text[0] != '-'))
        return 0;
    int hours = StrToIntDef(text.substr(1, 2), 0);
    int minutes = StrToIntDef(text.size() > 3 ? text.substr(3, 2) : "", 0);
    TDateTime offset = (hours * 60 + minutes) / 1440.0;
    return text[0] == '-' ? -offset : offset;
}

void ReadTimeZoneOnce()
{
    static const bool read = [] {
        // TZ naming the system's file makes the C library read it once and then only
        // compare the name.
        if (!std::getenv("TZ"))
            ::setenv("TZ", ":/etc/localtime", 1);
        ::tzset();
        return true;
    }();
    (void)read;
}

TDateTime LocalUtcOffset(TDateTime utcInstant)
{
    double seconds = std::floor((utcInstant - UnixEpochDay) * SecondsPerDay + 0.5);
    return OffsetAt(static_cast<time_t>(seconds));
}

TDateTime LocalUtcOffsetNow()
{
    return OffsetAt(time(nullptr));
}

TDateTime ParseDateField(std::string_view value)
{
    std::string text(value);
    const TDateTime date = ParseDateTimeText(text);
    // What is left is the zone, also when the date itself could not be read.
    // No usable date stays 0, which every list shows as no date at all.
    if (date == 0)
        return 0;
    const TDateTime utc = date - ParseZoneOffset(text);
    return utc + LocalUtcOffset(utc);
}

const std::string& TempDirectory()
{
    static const std::string directory = [] {
        const char* fromEnvironment = std::getenv("TMPDIR");
        std::string path = fromEnvironment && *fromEnvironment ? fromEnvironment : "/tmp";
        if (path.back() != '/')
            path += '/';
        return path;
    }();
    return directory;
}

int MakeTempFile()
{
    std::string path = TempDirectory() + "SovXXXXXX.tmp";
    int file = mkostemps(path.data(), 4, O_CLOEXEC);
    if (file < 0)
        throw EInOutError::FromErrno(errno);
    unlink(path.c_str());
    return file;
}
