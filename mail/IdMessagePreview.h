#pragma once
// The first lines of a message's text from the beginning of its body (TOP n k): the
// first text part, decoded from its transfer encoding and charset as far as the lines go.
// A body cut in the middle of a part, a base64 quantum or a multibyte character gives
// what can be read of it. Nothing here raises.

#include "IdHeaderList.h"

#include <string>
#include <vector>

// Decoded text a preview reads at most; a longer one is cut.
constexpr size_t PreviewTextLimit = size_t(1) << 20;
// The longest preview line handed out, in characters.
constexpr size_t PreviewColumns = 200;

// Up to `count` non-empty lines (UTF-8) from bodyLines, the body lines as the server sent
// them (leading dots doubled), read under the header block `headers`.
std::vector<std::string> MessagePreview(const TIdHeaderList& headers, const std::vector<std::string>& bodyLines,
                                        size_t count);
