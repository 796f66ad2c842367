#include "MessageView.h"

#include "QtText.h"
#include "RxRichEd.h"

#include <QColor>

const std::string AttachmentsBanner = "---Přílohy-------------------------------";
const std::string BodyBanner = "---Tělo zprávy---------------------------";
const std::string HeaderBanner = "---Záhlaví zprávy------------------------";

namespace {

const std::string TargetPrefix = "attachment:";

// The banner, its line break and the empty line after it.
constexpr int BannerAndEmptyLine = 43;

// The viewer counts positions in characters of the shown text, not in UTF-8 bytes.
int Positions(std::string_view text)
{
    return static_cast<int>(ToQt(text).size());
}

// Positions of the viewer for byte offsets into its text, asked in rising order: the
// characters before the offset, a CR LF counting as one.
class TPositionCounter {
public:
    explicit TPositionCounter(const std::string& text) : FText(text) {}
    int At(size_t offset)
    {
        const std::string_view segment = std::string_view(FText).substr(FOffset, offset - FOffset);
        FPosition += Positions(segment);
        for (size_t lf = segment.find("\r\n"); lf != std::string_view::npos; lf = segment.find("\r\n", lf + 2))
            --FPosition;
        FOffset = offset;
        return FPosition;
    }

private:
    const std::string& FText;
    size_t FOffset = 0;
    int FPosition = 0;
};

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

void ShowMessageText(TRxRichEdit& memo, const TShownText& shown)
{
    memo.SetText(shown.Text);
    HighlightSection(memo, AttachmentsBanner);
    HighlightSection(memo, BodyBanner);
    HighlightSection(memo, HeaderBanner);
    TPositionCounter positions(shown.Text);
    for (const TAttachmentLinkSpan& line : shown.Links) {
        const int start = positions.At(line.LineOffset);
        const int linkEnd = positions.At(line.LineOffset + line.Link.size());
        const int lineEnd = positions.At(line.LineOffset + line.LineLength);
        memo.ForgetLinks(start, lineEnd - start);
        memo.MarkLink(start, linkEnd - start, AttachmentTarget(line.Link));
    }
}
