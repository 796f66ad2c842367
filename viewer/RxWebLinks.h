#pragma once
// Finding web addresses in the viewer's text: what starts with http://, https://,
// ftp://, mailto: or www. at the start of a word, up to white space or a character that
// cannot stand in an address. Punctuation that ends a sentence is left out, and so is a
// closing bracket that has no opening one in the address.

#include <QString>
#include <vector>

struct TRxTextRange {
    int Start = 0;
    int Length = 0;
};

// The web addresses of text in position order; they never overlap.
std::vector<TRxTextRange> FindWebLinks(QStringView text);
