#pragma once
// Text helpers shared by the message readers, the date parser of the Date header, and
// the temporary files that hold attachment data.

#include <string>
#include <string_view>
#include <vector>

#include "IdException.h"

// Days since 30 December 1899; the fraction is the time of day.
using TDateTime = double;

// The local time zone cannot be read from the system.
class EIdFailedToRetreiveTimeZoneInfo : public EIdException {
public:
    EIdFailedToRetreiveTimeZoneInfo() : EIdException("Failed attempting to retrieve time zone information.") {}
};

// Trimming removes bytes up to and including the space (control characters, NUL too).
std::string Trim(std::string_view text);
// Whether nothing is left after trimming; no trimmed copy is made.
bool IsBlankText(std::string_view text);
std::string TrimLeft(std::string_view text);
std::string TrimRight(std::string_view text);
// Trims in place; cheap for a text that grows at its end and is trimmed again and again.
void TrimInPlace(std::string& text);
// Only spaces and TABs, for the places that keep other control characters.
std::string TrimSpacesAndTabs(std::string_view text);

// ASCII letters only, so byte positions stay the same and 8-bit text is untouched.
std::string UpperCase(std::string_view text);
std::string LowerCase(std::string_view text);
bool SameText(std::string_view a, std::string_view b);
bool StartsText(std::string_view prefix, std::string_view text);

// Cuts the text before the first delimiter off the front of `text` and returns it; the
// delimiter goes too. Without a delimiter the whole text is returned and `text` empties.
std::string Fetch(std::string& text, std::string_view delimiter);

// Every line followed by CR LF, the last one included.
std::string TextOfLines(const std::vector<std::string>& lines);
// Splits at CR LF, a lone CR and a lone LF; a line end at the very end opens no new line.
std::vector<std::string> LinesOfText(std::string_view text);

// Dates. EncodeDate and EncodeTime raise EConvertError for impossible values.
TDateTime EncodeDate(int year, int month, int day);
TDateTime EncodeTime(int hour, int minute, int second);
// The Date header in local time: the date, moved from its own zone to UTC and from there
// to the local offset in force at that instant. Text that is no date gives 0.
TDateTime ParseDateField(std::string_view value);
// Reads the date and time of day from the front of `text` and leaves the rest (the zone)
// in it. 0 when no date can be read.
TDateTime ParseDateTimeText(std::string& text);
// "+hhmm" or "-hhmm", or a zone name (UT, GMT, EST, EDT, CST, CDT, MST, MDT, PST, PDT,
// CET, CEST, EET, EEST, WET, WEST, BST); anything else counts as UTC and gives 0.
TDateTime ParseZoneOffset(std::string_view zone);
// Local time minus UTC at the given UTC instant, as a fraction of days.
TDateTime LocalUtcOffset(TDateTime utcInstant);
TDateTime LocalUtcOffsetNow();
// Reads the system's time zone now and never again in this process (without TZ the C
// library would look at /etc/localtime at every conversion of some calls). Programs call
// it first thing, before any thread starts; the offsets above call it too.
void ReadTimeZoneOnce();

// Temporary files: "$TMPDIR" (else "/tmp") with a trailing "/", read once.
const std::string& TempDirectory();
// Creates a new empty file "Sov*.tmp" there, readable by the owner only, removes its
// name at once and returns the open descriptor (read and write): nothing is left behind
// even when the program is killed, and the data is never reached by a name that another
// file, or a link, could take meanwhile.
int MakeTempFile();
