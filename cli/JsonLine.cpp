#include "JsonLine.h"

#include "Convert.h"
#include "DateText.h"

#include <cstdio>

namespace {

// "2026-01-05 08:12:00 +0100" as "2026-01-05T08:12:00+01:00".
std::string JsonDate(double date)
{
    std::string text = IsoDateTimeText(date);
    if (text.size() != 25)
        return "null";
    return "\"" + text.substr(0, 10) + "T" + text.substr(11, 8) + text.substr(20, 3) + ":" + text.substr(23, 2) + "\"";
}

} // namespace

std::string JsonString(const std::string& text)
{
    std::string json = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            json += '\\';
            json += c;
        } else if (byte < 0x20 || byte == 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
            json += escaped;
        } else {
            json += c;
        }
    }
    return json + "\"";
}

std::string JsonLine(const TMessageHeader& record, const std::string& account)
{
    return "{\"account\":" + JsonString(account) + ",\"number\":" + IntToStr(record.Number)
           + ",\"uid\":" + (record.UniqueId.empty() ? std::string("null") : JsonString(record.UniqueId))
           + ",\"new\":" + (record.New ? "true" : "false") + ",\"date\":" + JsonDate(record.Msg->Date)
           + ",\"size\":" + IntToStr(record.Msg->Tag) + ",\"from\":" + JsonString(record.FromText())
           + ",\"to\":" + JsonString(record.ToText()) + ",\"subject\":" + JsonString(record.SubjectText())
           + ",\"id\":" + JsonString(record.IdText()) + "}";
}
