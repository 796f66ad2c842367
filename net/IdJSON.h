#pragma once
// A reader for the small JSON objects token endpoints answer with (RFC 8259): the members
// of the outermost object whose values are strings, numbers or literals, as text. Nested
// objects and arrays are walked over and left out. Anything that is not one well-formed
// object (HTML, a truncated answer, garbage) gives nothing; nesting deeper than
// MaxJsonDepth or more than MaxJsonMembers members is refused, so no input costs more
// than its own size.

#include <map>
#include <optional>
#include <string>
#include <string_view>

// Strings are decoded (escapes, \u with surrogate pairs, to UTF-8); numbers and
// true/false/null keep their text. The first occurrence of a name wins.
using TIdJsonMembers = std::map<std::string, std::string>;

std::optional<TIdJsonMembers> ParseJsonObject(std::string_view text);

constexpr int MaxJsonDepth = 32;
constexpr size_t MaxJsonMembers = 256;
