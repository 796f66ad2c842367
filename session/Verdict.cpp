#include "Verdict.h"

#include "IdAuthenticationResults.h"
#include "IdSpamHeaders.h"

#include <array>
#include <cctype>
#include <charconv>
#include <algorithm>

namespace {

const std::string VerifiedText = "ověřeno";
const std::string FailedText = "selhalo";
const std::string NoneText = "–";
const std::string SpamYes = "ano";
const std::string SpamNo = "ne";
const std::string AuthLine = "Ověření: ";
const std::string SpamLine = "Spam: ";
const std::string WarningLine = "Varování: ";
const std::string UnreadableAuth = "Authentication-Results nelze přečíst";
const std::string DisplayNameWarning = "From: zobrazované jméno obsahuje adresu %1, zpráva je ale od %2";
const std::string ReplyToWarning = "Reply-To: odpovědi půjdou do domény %1, odesílatel (From) je z domény %2";
const std::string PunycodeWarning = "From: doména %1 je zapsána v punycode (xn--) a může napodobovat jinou";
const std::string MixedScriptWarning = "From: doména %1 míchá písmena různých abeced";
const std::string DmarcWarning = "Authentication-Results (%1): dmarc=fail, doména %2 odesílatele nepotvrdila";

std::string Filled(std::string text, const std::string& first, const std::string& second = "")
{
    text.replace(text.find("%1"), 2, first);
    if (const size_t at = text.find("%2"); at != std::string::npos)
        text.replace(at, 2, second);
    return text;
}

std::string LowerCase(std::string text)
{
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c + ('a' - 'A'));
    return text;
}

// d aligns with the From domain when it is that domain or a domain above it.
bool Aligned(const std::string& signingDomain, const std::string& fromDomain)
{
    const std::string d = LowerCase(signingDomain);
    if (d.empty() || fromDomain.empty())
        return false;
    return fromDomain == d || (fromDomain.size() > d.size() && fromDomain.ends_with("." + d));
}

std::string SigningDomain(const TIdAuthenticationResult& dkim)
{
    const std::string d = dkim.Property("header.d");
    if (!d.empty())
        return d;
    return AddressDomain(dkim.Property("header.i"));
}

std::string Summary(const TIdAuthenticationResults& results)
{
    std::string summary;
    summary.reserve(128);
    summary.append("Authentication-Results (").append(results.AuthServId).append("):");
    const char* separator = " ";
    for (const auto& result : results.Results) {
        if (result.Method != "dmarc" && result.Method != "dkim" && result.Method != "spf")
            continue;
        summary.append(separator).append(result.Method).append("=").append(result.Result);
        if (result.Method == "dkim")
            if (const std::string domain = SigningDomain(result); !domain.empty())
                summary.append(" (").append(domain).append(")");
        separator = ", ";
    }
    return summary;
}

void JudgeAuthentication(const TIdMessage& message, const std::string& fromDomain, bool withReasons,
                         TVerdict& verdict)
{
    const int index = message.RawHeaders.FindName("Authentication-Results");
    if (index < 0)
        return;
    const TIdAuthenticationResults results = ParseAuthenticationResults(message.RawHeaders.ValueAt(index));
    if (!results.Valid) {
        if (withReasons)
            verdict.AuthSource = UnreadableAuth;
        return;
    }
    if (withReasons)
        verdict.AuthSource = Summary(results);
    bool dmarcPass = false, dmarcFail = false, dkimPass = false, dkimAlignedPass = false, spfFail = false;
    for (const auto& result : results.Results) {
        if (result.Method == "dmarc") {
            // A pass for another domain than the one the reader sees says nothing about it.
            const std::string headerFrom = LowerCase(result.Property("header.from"));
            dmarcPass = dmarcPass || (result.Result == "pass" && (headerFrom.empty() || headerFrom == fromDomain));
            dmarcFail = dmarcFail || result.Result == "fail";
        } else if (result.Method == "dkim" && result.Result == "pass") {
            dkimPass = true;
            dkimAlignedPass = dkimAlignedPass || Aligned(SigningDomain(result), fromDomain);
        } else if (result.Method == "spf") {
            spfFail = spfFail || result.Result == "fail";
        }
    }
    if (dmarcFail) {
        verdict.Auth = avFailed;
        if (withReasons)
            verdict.Warnings.push_back(Filled(DmarcWarning, results.AuthServId, fromDomain));
    } else if (dmarcPass || dkimAlignedPass) {
        verdict.Auth = avVerified;
    } else if (spfFail && !dkimPass) {
        verdict.Auth = avFailed;
    }
}

std::string ScoreText(double score)
{
    std::array<char, 32> buffer{};
    const auto end = std::to_chars(buffer.data(), buffer.data() + buffer.size(), score, std::chars_format::fixed, 1);
    return std::string(buffer.data(), end.ptr);
}

void JudgeSpam(const TIdMessage& message, bool withReasons, TVerdict& verdict)
{
    const TIdSpamReport report = ReadSpamHeaders(message.RawHeaders);
    verdict.Spam = report.Flagged;
    verdict.SpamScore = report.Score;
    if (!withReasons)
        return;
    std::string source;
    if (report.Flagged)
        source = report.FlagHeader + ": " + report.FlagValue;
    if (report.Score) {
        if (!source.empty())
            source += ", ";
        source += report.ScoreHeader + ": " + ScoreText(*report.Score);
    }
    verdict.SpamSource = source;
}

bool IsAddressCharacter(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == '_' || c == '+' || c == '%';
}

// An address written into the display name ("paypal@paypal.com" <x@evil.example>).
std::string AddressInName(const std::string& name)
{
    for (size_t at = name.find('@'); at != std::string::npos; at = name.find('@', at + 1)) {
        size_t start = at, end = at + 1;
        while (start > 0 && IsAddressCharacter(name[start - 1]))
            --start;
        while (end < name.size() && IsAddressCharacter(name[end]))
            ++end;
        const std::string domain = name.substr(at + 1, end - at - 1);
        if (start < at && domain.find('.') != std::string::npos)
            return name.substr(start, end - start);
    }
    return {};
}

enum TScript : unsigned { scLatin = 1, scGreek = 2, scCyrillic = 4, scOther = 8 };

// Whether the letters of a domain written in UTF-8 come from more than one script; digits,
// "-" and "." belong to none.
bool MixesScripts(const std::string& domain)
{
    if (std::all_of(domain.begin(), domain.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
        return false;
    unsigned scripts = 0;
    for (size_t i = 0; i < domain.size();) {
        const auto lead = static_cast<unsigned char>(domain[i]);
        const size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        uint32_t code = lead < 0x80 ? lead : lead & (0x3F >> (length - 1));
        for (size_t k = 1; k < length && i + k < domain.size(); ++k)
            code = (code << 6) | (static_cast<unsigned char>(domain[i + k]) & 0x3F);
        i += length;
        if (code < 0x80 && !std::isalpha(static_cast<int>(code)))
            continue;
        if (code < 0x250 || (code >= 0x1E00 && code < 0x1F00))
            scripts |= scLatin;
        else if (code >= 0x370 && code < 0x400)
            scripts |= scGreek;
        else if (code >= 0x400 && code < 0x530)
            scripts |= scCyrillic;
        else
            scripts |= scOther;
    }
    // More than one bit set.
    return (scripts & (scripts - 1)) != 0;
}

bool HasPunycodeLabel(const std::string& domain)
{
    return domain.starts_with("xn--") || domain.find(".xn--") != std::string::npos;
}

void JudgeSender(const TIdMessage& message, const std::string& fromDomain, TVerdict& verdict)
{
    const std::string inName = AddressInName(message.From.Name);
    if (!inName.empty() && LowerCase(inName) != LowerCase(message.From.Address))
        verdict.Warnings.push_back(Filled(DisplayNameWarning, inName, message.From.Address));
    for (int i = 0; i < message.ReplyTo().Count(); ++i) {
        const std::string replyDomain = AddressDomain(message.ReplyTo()[i].Address);
        if (!replyDomain.empty() && !fromDomain.empty() && replyDomain != fromDomain) {
            verdict.Warnings.push_back(Filled(ReplyToWarning, replyDomain, fromDomain));
            break;
        }
    }
    if (HasPunycodeLabel(fromDomain))
        verdict.Warnings.push_back(Filled(PunycodeWarning, fromDomain));
    else if (MixesScripts(fromDomain))
        verdict.Warnings.push_back(Filled(MixedScriptWarning, fromDomain));
}

} // namespace

std::string AddressDomain(const std::string& address)
{
    const size_t at = address.rfind('@');
    return at == std::string::npos ? std::string() : LowerCase(address.substr(at + 1));
}

std::string TVerdictMarks::AuthText() const
{
    switch (Auth) {
    case avVerified:
        return VerifiedText;
    case avFailed:
        return FailedText;
    default:
        return NoneText;
    }
}

std::string TVerdictMarks::SpamText() const
{
    std::string text;
    if (Spam)
        text = *Spam ? SpamYes : SpamNo;
    if (SpamScore)
        text += (text.empty() ? "" : " ") + ScoreText(*SpamScore);
    return text;
}

std::vector<std::string> TVerdict::Lines() const
{
    std::vector<std::string> lines;
    if (!AuthSource.empty())
        lines.push_back(AuthLine + AuthText() + " — " + AuthSource);
    if (!SpamSource.empty())
        lines.push_back(SpamLine + SpamText() + " — " + SpamSource);
    for (const std::string& warning : Warnings)
        lines.push_back(WarningLine + warning);
    return lines;
}

TVerdict JudgeMessage(const TIdMessage& message, bool withReasons)
{
    TVerdict verdict;
    const std::string fromDomain = AddressDomain(message.From.Address);
    JudgeAuthentication(message, fromDomain, withReasons, verdict);
    JudgeSpam(message, withReasons, verdict);
    // The signs of deception are reasons only: they change no column and select nothing.
    if (withReasons)
        JudgeSender(message, fromDomain, verdict);
    return verdict;
}
