#include "RxWebLinks.h"

#include <array>

namespace {

constexpr std::array<QStringView, 5> WebPrefixes = {
    u"http://", u"https://", u"ftp://", u"mailto:", u"www.",
};

// The length of the web prefix that starts a word at position, 0 when there is none.
int WebPrefixAt(QStringView text, qsizetype position)
{
    const QStringView rest = text.mid(position);
    for (QStringView prefix : WebPrefixes) {
        if (!rest.startsWith(prefix, Qt::CaseInsensitive))
            continue;
        const QChar before = position > 0 ? text[position - 1] : QChar(u' ');
        if (before.isLetterOrNumber())
            return 0;
        // "www." after a dot, slash or at sign is inside some other name.
        if (prefix == u"www." && (before == u'.' || before == u'/' || before == u'@'))
            return 0;
        return static_cast<int>(prefix.size());
    }
    return 0;
}

bool CanStandInLink(QChar c)
{
    if (c.isSpace() || c.category() == QChar::Other_Control)
        return false;
    switch (c.unicode()) {
    case u'<': case u'>': case u'"': case u'{': case u'}':
    case u'|': case u'\\': case u'^': case u'`':
        return false;
    default:
        return true;
    }
}

bool EndsSentence(QChar c)
{
    switch (c.unicode()) {
    case u'.': case u',': case u';': case u':': case u'!': case u'?': case u'\'': case u'*':
        return true;
    default:
        return false;
    }
}

// Drops trailing punctuation and closing brackets without a partner from [begin, end).
// The brackets are counted once, so a link of a million brackets costs one pass.
qsizetype TrimLinkEnd(QStringView text, qsizetype begin, qsizetype end)
{
    qsizetype unmatchedRound = 0, unmatchedSquare = 0;
    for (qsizetype i = begin; i < end; ++i) {
        const QChar c = text[i];
        unmatchedRound += c == u')' ? 1 : c == u'(' ? -1 : 0;
        unmatchedSquare += c == u']' ? 1 : c == u'[' ? -1 : 0;
    }
    while (end > begin) {
        const QChar last = text[end - 1];
        if (EndsSentence(last)) {
            --end;
        } else if (last == u')' && unmatchedRound > 0) {
            --unmatchedRound;
            --end;
        } else if (last == u']' && unmatchedSquare > 0) {
            --unmatchedSquare;
            --end;
        } else {
            break;
        }
    }
    return end;
}

}  // namespace

std::vector<TRxTextRange> FindWebLinks(QStringView text)
{
    std::vector<TRxTextRange> links;
    qsizetype position = 0;
    while (position < text.size()) {
        const int prefixLength = WebPrefixAt(text, position);
        if (prefixLength == 0) {
            ++position;
            continue;
        }
        const qsizetype bodyStart = position + prefixLength;
        qsizetype end = bodyStart;
        while (end < text.size() && CanStandInLink(text[end]))
            ++end;
        end = TrimLinkEnd(text, bodyStart, end);
        // A prefix alone ("http://", "www.") is no address.
        if (end > bodyStart && text[bodyStart].isLetterOrNumber()) {
            links.push_back({static_cast<int>(position), static_cast<int>(end - position)});
            position = end;
        } else {
            position = bodyStart;
        }
    }
    return links;
}
