#pragma once
// Parameters of Content-Type and Content-Disposition values ("text/plain; charset=utf-8",
// "attachment; filename*=UTF-8''P%C5%99%C3%ADloha.pdf").
//
// A value may be a token, a quoted string, or in the extended form of RFC 2231: charset,
// language and percent-encoded bytes, optionally split into numbered sections
// (name*0*=, name*1*=, name*2=). Results are UTF-8; nothing here raises.

#include <string>
#include <string_view>

// The parameter of that name (case ignored) after the value's first ";", decoded and
// converted; empty when there is none. The extended form wins over a plain one of the
// same name. A plain value holding encoded words is decoded too; raw 8-bit bytes read
// as UTF-8 when valid, else as Windows-1250.
std::string HeaderParameter(std::string_view headerValue, std::string_view name);

// What follows the first "name=" in a header value as it stands (names compared as
// given), with the linear white space of RFC 822 allowed on either side of the "=":
// "boundary= \"b\"" gives "\"b\"". Empty when the value has no such name.
std::string_view LooseParameterText(std::string_view headerValue, std::string_view name);

// The file name a part announces: the disposition's filename, else the content type's
// name.
std::string AttachmentFileName(std::string_view contentType, std::string_view disposition);
