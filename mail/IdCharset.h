#pragma once
// Text that arrives in a message's own charset becomes UTF-8 here, the program's text.
//
// Every result is valid UTF-8, whatever the input: bytes that do not form a character
// of their charset are shown as U+FFFD, and text in a charset the system does not know
// keeps its bytes, made valid. Nothing here raises.

#include <string>
#include <string_view>

bool IsValidUtf8(std::string_view bytes);
// The bytes with every invalid sequence replaced by U+FFFD.
std::string ValidUtf8(std::string_view bytes);
// Raw 8-bit text that names no charset (header bytes outside encoded words, a text part
// without a charset): UTF-8 when it is valid UTF-8, else Windows-1250.
std::string Utf8OrWindows1250(std::string_view bytes);

// Converts text of one charset, keeping the converter between calls: the body lines of
// a message, say. An empty charset, or US-ASCII, reads as Utf8OrWindows1250.
class TIdTextConverter {
public:
    explicit TIdTextConverter(std::string_view charset);
    std::string ToUtf8(std::string_view bytes) const;

private:
    enum TKind { ckRaw, ckUtf8, ckUnknown, ckIconv };
    TKind FKind = ckRaw;
    std::string FName;
    bool FAsciiCompatible = false;
};

std::string CharsetToUtf8(std::string_view bytes, std::string_view charset);

// The decoded bytes of a text part, converted from the charset its Content-Type names.
std::string TextPartToUtf8(std::string_view bytes, std::string_view contentType);
