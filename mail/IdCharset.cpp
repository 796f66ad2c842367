#include "IdCharset.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <iconv.h>
#include <unordered_map>

#include "IdHeaderParameters.h"

namespace {

const char Replacement[] = "\xEF\xBF\xBD"; // U+FFFD
const iconv_t NoDescriptor = reinterpret_cast<iconv_t>(-1);

// Charset names are short; anything longer, or with other characters, names nothing
// the system knows (and can never smuggle an iconv option such as "//IGNORE" in).
const size_t LongestCharsetName = 64;
// Opening a converter costs far more than converting a subject, so every converter the
// system has stays open once used: their number is bounded by the names the system
// knows. Of the names it does not know (cheap to refuse) only this many are remembered.
const size_t RememberedUnknownNames = 64;

bool IsAsciiText(std::string_view bytes)
{
    size_t i = 0;
    for (; i + 8 <= bytes.size(); i += 8) {
        uint64_t block;
        std::memcpy(&block, bytes.data() + i, 8);
        if (block & 0x8080808080808080ull)
            return false;
    }
    for (; i < bytes.size(); ++i)
        if (static_cast<unsigned char>(bytes[i]) >= 0x80)
            return false;
    return true;
}

// The length of the valid UTF-8 character at i, or 0 with `bad` set to the length of
// its longest invalid beginning (at least one byte), which becomes one U+FFFD.
size_t Utf8CharacterLength(std::string_view text, size_t i, size_t& bad)
{
    unsigned char lead = text[i];
    if (lead < 0x80)
        return 1;
    size_t following;
    unsigned char low = 0x80, high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        following = 1;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        following = 2;
        if (lead == 0xE0)
            low = 0xA0;  // overlong
        if (lead == 0xED)
            high = 0x9F;  // surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        following = 3;
        if (lead == 0xF0)
            low = 0x90;  // overlong
        if (lead == 0xF4)
            high = 0x8F;  // above U+10FFFF
    } else {
        bad = 1;
        return 0;
    }
    for (size_t k = 1; k <= following; ++k) {
        if (i + k >= text.size()) {
            bad = k;
            return 0;
        }
        unsigned char next = text[i + k];
        if (next < low || next > high) {
            bad = k;
            return 0;
        }
        low = 0x80;
        high = 0xBF;
    }
    return following + 1;
}

// Open converters to UTF-8 by charset name, closed when the thread ends.
class TConverterCache {
public:
    ~TConverterCache()
    {
        for (auto& [name, descriptor] : FEntries)
            if (descriptor != NoDescriptor)
                iconv_close(descriptor);
    }

    // NoDescriptor when the system does not know the charset.
    iconv_t Find(const std::string& name)
    {
        if (auto cached = FEntries.find(name); cached != FEntries.end())
            return cached->second;
        iconv_t descriptor = iconv_open("UTF-8", name.c_str());
        if (descriptor != NoDescriptor) {
            FEntries.emplace(name, descriptor);
        } else if (FUnknown < RememberedUnknownNames) {
            FEntries.emplace(name, descriptor);
            ++FUnknown;
        }
        return descriptor;
    }

private:
    std::unordered_map<std::string, iconv_t> FEntries;
    size_t FUnknown = 0;
};

TConverterCache& Converters()
{
    thread_local TConverterCache cache;
    return cache;
}

void EnsureRoom(std::string& out, size_t used, size_t wanted)
{
    if (out.size() - used < wanted)
        out.resize(std::max(out.size() * 2, used + wanted));
}

// A byte that begins no character of the charset becomes U+FFFD and conversion goes on
// after it; a character cut off at the end becomes one U+FFFD.
std::string ConvertWith(iconv_t descriptor, std::string_view bytes)
{
    iconv(descriptor, nullptr, nullptr, nullptr, nullptr);
    std::string out(bytes.size() * 2 + 16, '\0');
    size_t used = 0;
    char* in = const_cast<char*>(bytes.data());
    size_t inLeft = bytes.size();
    while (inLeft > 0) {
        char* put = out.data() + used;
        size_t room = out.size() - used;
        size_t result = iconv(descriptor, &in, &inLeft, &put, &room);
        used = put - out.data();
        if (result != static_cast<size_t>(-1))
            break;
        if (errno == E2BIG) {
            EnsureRoom(out, used, out.size());
            continue;
        }
        EnsureRoom(out, used, 3);
        std::memcpy(out.data() + used, Replacement, 3);
        used += 3;
        size_t skipped = errno == EINVAL ? inLeft : 1;
        in += skipped;
        inLeft -= skipped;
    }
    while (true) {
        // The shift back to the initial state of a stateful charset.
        char* put = out.data() + used;
        size_t room = out.size() - used;
        size_t result = iconv(descriptor, nullptr, nullptr, &put, &room);
        used = put - out.data();
        if (result == static_cast<size_t>(-1) && errno == E2BIG) {
            EnsureRoom(out, used, out.size());
            continue;
        }
        break;
    }
    out.resize(used);
    return out;
}

// Converts with the named charset; false when the system does not know it.
bool ConvertNamed(const std::string& name, std::string_view bytes, std::string& out)
{
    iconv_t descriptor = Converters().Find(name);
    if (descriptor == NoDescriptor)
        return false;
    out = ConvertWith(descriptor, bytes);
    return true;
}

bool IsCharsetNameCharacter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.' || c == ':'
           || c == '+';
}

// Upper case, without quotes, blanks, a comment ("us-ascii (plain)") and an RFC 2231
// language ("UTF-8*cs"). Empty for no charset; "?" for a name that cannot be a charset.
std::string CanonicalName(std::string_view label)
{
    size_t first = label.find_first_not_of(" \t\r\n\"'");
    if (first == std::string_view::npos)
        return {};
    label = label.substr(first);
    label = label.substr(0, label.find_first_of("*( \t\r\n\"'"));
    if (label.size() > LongestCharsetName)
        return "?";
    std::string name;
    for (char c : label) {
        char upper = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
        if (!IsCharsetNameCharacter(upper))
            return "?";
        name += upper;
    }
    return name;
}

// Labels that mail uses for a charset the system knows under another name, or for
// a larger charset that the text really is in.
std::string ConverterName(const std::string& name)
{
    struct Alias { const char* label; const char* converter; };
    static const Alias aliases[] = {
        // Mail labelled Latin-1 is written on systems that use Windows-1252, and the
        // bytes 0x80 to 0x9F are its quotes and dashes, never control characters.
        {"ISO-8859-1", "WINDOWS-1252"},
        {"ISO8859-1", "WINDOWS-1252"},
        {"ISO_8859-1", "WINDOWS-1252"},
        {"LATIN1", "WINDOWS-1252"},
        {"ISO-8859-8-I", "ISO-8859-8"},
        {"GB2312", "GB18030"},
        {"GBK", "GB18030"},
        {"KS_C_5601-1987", "CP949"},
        {"X-SJIS", "SHIFT_JIS"},
    };
    for (const Alias& alias : aliases)
        if (name == alias.label)
            return alias.converter;
    return name;
}

// Charsets in which ASCII bytes are those ASCII characters, so ASCII text is left alone.
bool IsAsciiCompatible(const std::string& name)
{
    static const char* const prefixes[] = {"ISO-8859", "ISO8859", "ISO_8859", "WINDOWS-", "CP125", "KOI8",
                                           "GB", "BIG5", "EUC", "LATIN", "TIS-620", "CP85", "IBM85"};
    for (const char* prefix : prefixes)
        if (name.starts_with(prefix))
            return true;
    return false;
}

} // namespace

bool IsValidUtf8(std::string_view bytes)
{
    if (IsAsciiText(bytes))
        return true;
    for (size_t i = 0; i < bytes.size();) {
        size_t bad = 0;
        size_t length = Utf8CharacterLength(bytes, i, bad);
        if (length == 0)
            return false;
        i += length;
    }
    return true;
}

std::string ValidUtf8(std::string_view bytes)
{
    if (IsValidUtf8(bytes))
        return std::string(bytes);
    std::string out;
    out.reserve(bytes.size() + 16);
    for (size_t i = 0; i < bytes.size();) {
        size_t bad = 0;
        size_t length = Utf8CharacterLength(bytes, i, bad);
        if (length == 0) {
            out += Replacement;
            i += bad;
        } else {
            out.append(bytes.substr(i, length));
            i += length;
        }
    }
    return out;
}

std::string Utf8OrWindows1250(std::string_view bytes)
{
    if (IsValidUtf8(bytes))
        return std::string(bytes);
    std::string out;
    if (ConvertNamed("WINDOWS-1250", bytes, out))
        return out;
    return ValidUtf8(bytes);
}

TIdTextConverter::TIdTextConverter(std::string_view charset)
{
    std::string name = CanonicalName(charset);
    if (name.empty() || name == "US-ASCII" || name == "ASCII" || name == "ANSI_X3.4-1968" || name == "UNKNOWN-8BIT"
        || name == "X-UNKNOWN") {
        FKind = ckRaw;
    } else if (name == "UTF-8" || name == "UTF8") {
        FKind = ckUtf8;
    } else if (name == "?") {
        FKind = ckUnknown;
    } else {
        FKind = ckIconv;
        FName = ConverterName(name);
        FAsciiCompatible = IsAsciiCompatible(FName);
    }
}

std::string TIdTextConverter::ToUtf8(std::string_view bytes) const
{
    switch (FKind) {
    case ckRaw:
        return Utf8OrWindows1250(bytes);
    case ckUtf8:
    case ckUnknown:
        return ValidUtf8(bytes);
    case ckIconv:
        break;
    }
    if (FAsciiCompatible && IsAsciiText(bytes))
        return std::string(bytes);
    std::string out;
    if (ConvertNamed(FName, bytes, out))
        return out;
    return ValidUtf8(bytes);
}

std::string CharsetToUtf8(std::string_view bytes, std::string_view charset)
{
    return TIdTextConverter(charset).ToUtf8(bytes);
}

std::string TextPartToUtf8(std::string_view bytes, std::string_view contentType)
{
    return CharsetToUtf8(bytes, HeaderParameter(contentType, "charset"));
}
