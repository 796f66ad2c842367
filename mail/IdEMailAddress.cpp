#include "IdEMailAddress.h"

#include "Exception.h"
#include "IdGlobal.h"

namespace {

bool IsAtomChar(char c)
{
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))
        return true;
    return std::string_view("!#$%&'*+-/=?_`{}|~").find(c) != std::string_view::npos;
}

std::string Quoted(std::string_view text)
{
    std::string result = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\')
            result += '\\';
        result += c;
    }
    result += '"';
    return result;
}

std::string InAngleBrackets(std::string_view local, std::string_view domain)
{
    std::string result = "<";
    result.append(local).append(domain);
    result += '>';
    return result;
}

// The scanner's place in an address while it consumes the text from the left.
struct AddressScan {
    bool InQuotes = false;
    int CommentDepth = 0;
    bool InAddress = false;
    bool Bracketed = false;
    bool AtSeen = false;

    const char* Stops() const
    {
        if (CommentDepth > 0)
            return "()\\";
        if (InQuotes)
            return "\"\\";
        if (AtSeen && Bracketed)
            return ".>(";
        if (AtSeen)
            return ".( ";
        if (InAddress)
            return "\"(@>";
        return "(\"< @\t";
    }
};

// value.find_first_of(stops, pos) with the few stops in a table, instead of a search of
// them for every character of the value.
size_t FindStop(std::string_view value, const char* stops, size_t pos)
{
    bool isStop[256] = {};
    for (const char* stop = stops; *stop; ++stop)
        isStop[static_cast<unsigned char>(*stop)] = true;
    for (size_t i = pos; i < value.size(); ++i)
        if (isStop[static_cast<unsigned char>(value[i])])
            return i;
    return std::string_view::npos;
}

// Where "display name <address>" has its angle address: the last "<" outside quotes
// (npos for none), and whether the text before it would mislead the scanner: an "@",
// "<" or ">" outside quotes there, or quotes that never close, as when a name ends in
// a backslash ("Jan\" <j@x>) or an encoded name decoded to such characters.
struct AngleAddress {
    size_t Open = std::string::npos;
    bool NameMisleads = false;
};

AngleAddress FindAngleAddress(const std::string& value)
{
    AngleAddress found;
    if (value.empty() || value.back() != '>')
        return found;
    bool inQuotes = false;
    size_t lastOpen = std::string::npos;
    bool misleadingBefore = false;
    bool misleading = false;
    for (size_t i = 0; i + 1 < value.size(); ++i) {
        const char c = value[i];
        if (c == '\\' && inQuotes) {
            ++i;
            continue;
        }
        if (c == '"')
            inQuotes = !inQuotes;
        if (inQuotes)
            continue;
        if (c == '<') {
            lastOpen = i;
            misleadingBefore = misleading;
        }
        if (c == '<' || c == '>' || c == '@')
            misleading = true;
    }
    if (inQuotes) {
        found.Open = value.rfind('<');
        found.NameMisleads = found.Open != std::string::npos;
        return found;
    }
    found.Open = lastOpen;
    found.NameMisleads = lastOpen != std::string::npos && misleadingBefore;
    return found;
}

// The display name as written: outer quotes removed, backslash pairs undone.
std::string DisplayName(std::string_view text)
{
    std::string name = TrimSpacesAndTabs(text);
    if (name.empty() || name[0] != '"')
        return name;
    name.erase(0, 1);
    if (!name.empty() && name.back() == '"')
        name.pop_back();
    std::string unescaped;
    for (size_t i = 0; i < name.size(); ++i) {
        if (name[i] == '\\' && i + 1 < name.size())
            ++i;
        unescaped += name[i];
    }
    return unescaped;
}

} // namespace

std::string TIdEMailAddressItem::FormattedAddress() const
{
    if (Address.empty())
        return Name.empty() ? std::string() : "<>";
    size_t at = Address.rfind('@');
    if (at == std::string::npos)
        return Name.empty() ? std::string() : "<>";
    std::string local = Address.substr(0, at);
    std::string domain = Address.substr(at);
    for (char c : local) {
        if (IsAtomChar(c))
            continue;
        if (c != '.')
            return InAngleBrackets(Quoted(local), domain);
        break;
    }
    return Name.empty() ? local + domain : InAngleBrackets(local, domain);
}

std::string TIdEMailAddressItem::Text() const
{
    if (Name.empty() || Name == UpperCase(Address))
        return FormattedAddress();
    for (char c : Name)
        if (!IsAtomChar(c) && c != ' ')
            return Quoted(Name) + " " + FormattedAddress();
    return Name + " " + FormattedAddress();
}

void TIdEMailAddressItem::SetText(std::string_view text)
{
    Address.clear();
    Name.clear();
    const std::string value = Trim(text);
    if (value.empty())
        return;
    if (value.find_first_of("(\"< @\t") == std::string::npos) {
        Address = value;
        return;
    }
    if (AngleAddress angle = FindAngleAddress(value); angle.NameMisleads) {
        TIdEMailAddressItem bracketed;
        bracketed.Scan(std::string_view(value).substr(angle.Open));
        Address = std::move(bracketed.Address);
        Name = DisplayName(std::string_view(value).substr(0, angle.Open));
        return;
    }
    Scan(value);
}

void TIdEMailAddressItem::Scan(std::string_view value)
{

    AddressScan scan;
    size_t pos = 0;
    while (pos < value.size()) {
        size_t p = FindStop(value, scan.Stops(), pos);
        if (p == std::string::npos)
            break;
        std::string_view head = std::string_view(value).substr(pos, p - pos);
        bool first = p == pos;
        char c = value[p];
        pos = p + 1;
        switch (c) {
        case ' ':
        case '\t':
            if (first)
                break;
            if (scan.AtSeen)
                Address += Trim(head);
            else
                (Name += head) += c;
            break;
        case '"':
            if (scan.InQuotes) {
                (scan.Bracketed ? Address : Name) += Trim(head);
                scan.InQuotes = false;
            } else {
                // Text right before the quote belongs with the quoted text.
                (scan.Bracketed ? Address : Name) += head;
                scan.InQuotes = true;
            }
            break;
        case '(':
            // Comment text never reaches the address or the name.
            if (!first && scan.CommentDepth == 0) {
                if (scan.InAddress)
                    Address += Trim(head);
                else
                    Name += head;
            }
            ++scan.CommentDepth;
            break;
        case ')':
            --scan.CommentDepth;
            break;
        case '.':
            if (scan.Bracketed) {
                Address += TrimSpacesAndTabs(head) + ".";
                pos = value.find_first_not_of(' ', pos);
                if (pos == std::string::npos)
                    pos = value.size();
            } else {
                (Address += head) += '.';
            }
            break;
        case '<':
            Name += head;
            TrimInPlace(Name);
            scan.Bracketed = true;
            scan.InAddress = true;
            break;
        case '>':
            scan.InAddress = false;
            scan.AtSeen = false;
            Address += Trim(head);
            break;
        case '@':
            scan.AtSeen = true;
            if (!scan.InAddress) {
                if (scan.Bracketed)
                    throw EIdEmailParseError("@ Outside address");
                scan.InAddress = true;
            }
            (Address += head) += '@';
            break;
        case '\\':
            if (scan.CommentDepth == 0 && p + 1 < value.size())
                ((scan.InAddress ? Address : Name) += head) += value[p + 1];
            pos = p + 2;
            break;
        }
    }
    if (scan.InAddress && !scan.Bracketed && pos < value.size())
        Address += TrimSpacesAndTabs(std::string_view(value).substr(pos));
}

TIdEMailAddressItem& TIdEMailAddressList::operator[](int index)
{
    if (index < 0 || index >= Count())
        throw EListError::OutOfBounds(index);
    return FItems[index];
}

const TIdEMailAddressItem& TIdEMailAddressList::operator[](int index) const
{
    if (index < 0 || index >= Count())
        throw EListError::OutOfBounds(index);
    return FItems[index];
}

TIdEMailAddressItem& TIdEMailAddressList::Add()
{
    return FItems.emplace_back();
}

std::string TIdEMailAddressList::JoinedText() const
{
    std::string joined;
    for (size_t i = 0; i < FItems.size(); ++i) {
        if (i > 0)
            joined += ", ";
        joined += FItems[i].Text();
    }
    return joined;
}

void TIdEMailAddressList::AddUnlessEmpty(std::string_view text)
{
    TIdEMailAddressItem item(TrimLeft(text));
    std::string formatted = Trim(item.Text());
    if (!formatted.empty() && formatted != "<>")
        FItems.push_back(std::move(item));
}

void TIdEMailAddressList::ParseList(std::string_view value)
{
    Clear();
    if (IsBlankText(value))
        return;
    if (FindStop(value, ":;(\", \t", 0) == std::string_view::npos) {
        FItems.emplace_back(TrimLeft(value));
        return;
    }

    std::string accumulator;
    bool inQuotes = false;
    int commentDepth = 0;
    size_t pos = 0;
    while (pos < value.size()) {
        const char* stops = commentDepth > 0 ? "()\\" : inQuotes ? "\"\\" : ":;(\", \t";
        size_t p = FindStop(value, stops, pos);
        if (p == std::string_view::npos)
            break;
        std::string_view head = value.substr(pos, p - pos);
        char c = value[p];
        pos = p + 1;
        switch (c) {
        case ',':
            accumulator += head;
            AddUnlessEmpty(accumulator);
            accumulator.clear();
            break;
        case ':':
            // A group name is dropped.
            accumulator.clear();
            break;
        case ';':
            // A blank accumulator is cleared too: nothing in it could reach an item.
            accumulator += head;
            if (!IsBlankText(accumulator))
                FItems.emplace_back(TrimLeft(accumulator));
            accumulator.clear();
            break;
        case '\\':
            (accumulator += head) += c;
            if (p + 1 < value.size())
                accumulator += value[p + 1];
            pos = p + 2;
            break;
        default:
            (accumulator += head) += c;
            if (c == '"')
                inQuotes = !inQuotes;
            else if (c == '(')
                ++commentDepth;
            else if (c == ')')
                --commentDepth;
            break;
        }
    }
    std::string_view rest = pos < value.size() ? value.substr(pos) : std::string_view();
    if (!IsBlankText(accumulator) || !IsBlankText(rest)) {
        accumulator += rest;
        AddUnlessEmpty(accumulator);
    }
    FItems.shrink_to_fit();
}
