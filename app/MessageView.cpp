#include "MessageView.h"

#include "QtText.h"
#include "RxRichEd.h"

#include <QColor>

const std::string AttachmentsBanner = "---Přílohy-------------------------------";
const std::string BodyBanner = "---Tělo zprávy---------------------------";
const std::string HeaderBanner = "---Záhlaví zprávy------------------------";

namespace {

const std::string LineBreak = "\r\n";
const std::string LinkStart = "http://localhost/";
const std::string PartIndexMark = "/ID=";
const std::string TargetPrefix = "attachment:";

// The banner, its line break and the empty line after it.
constexpr int BannerAndEmptyLine = 43;

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// The viewer counts positions in characters of the shown text, not in UTF-8 bytes.
int Positions(std::string_view text)
{
    return static_cast<int>(ToQt(text).size());
}

// The length of the link an attachment line begins with; 0 when the line is no
// attachment line. The line reads link + " " + name + " (" + type + ")", and
// the name may itself hold blanks, "/ID=" or anything else. A name such as
// "a/ID=0 A (x" fits the pattern at its own "/ID=0" too, so the link ends at the last
// "/ID=" + digits that the rest of the line confirms: the one the program wrote.
size_t AttachmentLinkLength(const std::string& line)
{
    if (!line.starts_with(LinkStart) || !line.ends_with(")"))
        return 0;
    for (size_t mark = line.rfind(PartIndexMark); mark != std::string::npos && mark >= LinkStart.size();
         mark = mark == 0 ? std::string::npos : line.rfind(PartIndexMark, mark - 1)) {
        size_t end = mark + PartIndexMark.size();
        while (end < line.size() && IsDigit(line[end]))
            ++end;
        if (end == mark + PartIndexMark.size())
            continue;
        const std::string name = line.substr(LinkStart.size(), mark - LinkStart.size());
        std::string rest(1, ' ');
        rest.append(name).append(" (");
        if (line.compare(end, rest.size(), rest) == 0 && line.size() > end + rest.size())
            return end;
    }
    return 0;
}

} // namespace

std::string AttachmentTarget(const std::string& link)
{
    return TargetPrefix + link;
}

std::optional<std::string> AttachmentLinkOf(const std::string& target)
{
    if (!target.starts_with(TargetPrefix))
        return std::nullopt;
    return target.substr(TargetPrefix.size());
}

void HighlightSection(TRxRichEdit& memo, const std::string& banner)
{
    const int whole = memo.TextLength();
    const int found = memo.FindText(banner, 0, whole);
    if (found >= 0) {
        memo.SetSelStart(found);
        memo.SetSelLength(Positions(banner));
        memo.SelAttributes().SetName("Courier new");
        memo.SelAttributes().SetColor(QColor(255, 0, 0));
        memo.SelAttributes().SetStyle(TFontStyles{.Bold = true});
        memo.SelAttributes().SetSize(12);

        const int attachments = memo.FindText(AttachmentsBanner, 0, whole);
        const int body = memo.FindText(BodyBanner, 0, whole);
        const int firstLine = attachments + BannerAndEmptyLine;
        // Without a body banner after them (a header-only text that merely quotes the
        // banner) there are no attachment lines to format.
        if (attachments > 0 && body > firstLine) {
            memo.SetSelStart(firstLine);
            memo.SetSelLength(body - firstLine - 1);
            memo.Paragraph().SetNumbering(TNumberingStyle::nsBullet);
            memo.SelAttributes().SetStyle(TFontStyles{.Bold = true});
        }
    }
    memo.SetSelStart(0);
    memo.SetSelLength(0);
}

void MarkAttachmentLinks(TRxRichEdit& memo)
{
    // The program writes the attachment lines right after the leading empty line, the
    // banner and one more empty line, up to the next empty line.
    const std::string text = memo.Text();
    const std::string opening = LineBreak + AttachmentsBanner + LineBreak + LineBreak;
    if (!text.starts_with(opening))
        return;
    size_t lineStart = opening.size();
    int position = BannerAndEmptyLine + 1;
    while (lineStart < text.size()) {
        size_t lineEnd = text.find(LineBreak, lineStart);
        if (lineEnd == std::string::npos)
            lineEnd = text.size();
        const std::string line = text.substr(lineStart, lineEnd - lineStart);
        if (line.empty())
            break;
        if (size_t length = AttachmentLinkLength(line))
            memo.MarkLink(position, Positions(line.substr(0, length)), AttachmentTarget(line.substr(0, length)));
        position += Positions(line) + 1;
        lineStart = lineEnd + LineBreak.size();
    }
}

void ShowMessageText(TRxRichEdit& memo, const std::string& text, bool downloaded)
{
    memo.SetText(text);
    HighlightSection(memo, AttachmentsBanner);
    HighlightSection(memo, BodyBanner);
    HighlightSection(memo, HeaderBanner);
    if (downloaded)
        MarkAttachmentLinks(memo);
}
