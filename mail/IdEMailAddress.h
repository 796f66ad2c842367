#pragma once
// Mail addresses of the header fields: one address with its display name, and the
// lists of the To, Cc and Reply-To fields.

#include <string>
#include <string_view>
#include <vector>

#include "IdException.h"

// An "@" outside the angle brackets after a bracketed address was closed: <a@b> c@d.
class EIdEmailParseError : public EIdException {
public:
    using EIdException::EIdException;
};

class TIdEMailAddressItem {
public:
    TIdEMailAddressItem() = default;
    explicit TIdEMailAddressItem(std::string_view text) { SetText(text); }

    // Local part, "@", domain, without angle brackets.
    std::string Address;
    std::string Name;

    // The display name (quoted when it holds more than atom characters and spaces),
    // then the formatted address.
    std::string Text() const;
    // Parses one address with display name and comments. In "name <address>" whose name
    // holds "@", "<" or ">" or quotes that never close, the address is what the last
    // angle brackets hold and the name all before them. Raises EIdEmailParseError.
    void SetText(std::string_view text);
    // The address alone: empty without "@", quoted local part when needed, in angle
    // brackets when there is a name; "<>" for a name without an address.
    std::string FormattedAddress() const;

private:
    // The scanner over a trimmed value that holds more than a bare address.
    void Scan(std::string_view value);
};

class TIdEMailAddressList {
public:
    int Count() const { return static_cast<int>(FItems.size()); }
    // Raises EListError for an index outside the list.
    TIdEMailAddressItem& operator[](int index);
    const TIdEMailAddressItem& operator[](int index) const;
    // The reference holds until the next Add.
    TIdEMailAddressItem& Add();
    void Clear() { FItems.clear(); }

    // Empties the list and fills it from a header value: addresses separated by commas
    // (not those inside quotes or comments), group names dropped. Raises
    // EIdEmailParseError when an address does.
    void ParseList(std::string_view value);
    // The Text of every item, separated by ", ".
    std::string JoinedText() const;

private:
    // Adds an item from the text; drops it again when it formats as nothing or "<>".
    void AddUnlessEmpty(std::string_view text);

    // Empty lists, the most common kind, cost no allocation at all.
    std::vector<TIdEMailAddressItem> FItems;
};
