// Character and paragraph attributes of the selection, and the message pane's own use
// of them: red banners and a bold bulleted block of attachment lines.
#include "RxRichEd.h"

#include <QTextList>
#include <gtest/gtest.h>

namespace {

const std::string AttachmentsBanner = "---Přílohy-------------------------------";
const std::string BodyBanner = "---Tělo zprávy---------------------------";
const std::string HeaderBanner = "---Záhlaví zprávy------------------------";

void Select(TRxRichEdit& edit, int start, int length)
{
    edit.SetSelStart(start);
    edit.SetSelLength(length);
}

// The message pane's formatting of one banner, done the way the window does it.
void HighlightSection(TRxRichEdit& edit, const std::string& banner)
{
    const int p = edit.FindText(banner, 0, edit.TextLength());
    if (p >= 0) {
        Select(edit, p, static_cast<int>(QString::fromUtf8(banner).size()));
        edit.SelAttributes().SetName("Courier new");
        edit.SelAttributes().SetColor(QColor(255, 0, 0));
        edit.SelAttributes().SetStyle({.Bold = true});
        edit.SelAttributes().SetSize(12);
        const int a = edit.FindText(AttachmentsBanner, 0, edit.TextLength());
        if (a > 0) {
            const int t = edit.FindText(BodyBanner, 0, edit.TextLength());
            Select(edit, a + 43, t - (a + 43) - 1);
            edit.Paragraph().SetNumbering(TNumberingStyle::nsBullet);
            edit.SelAttributes().SetStyle({.Bold = true});
        }
    }
    Select(edit, 0, 0);
}

// A downloaded message with one text part "Ahoj" and the attachment a.txt as part 1.
std::string MultipartExample()
{
    return "\r\n" + AttachmentsBanner + "\r\n" + "\r\n"
        + "http://localhost/a.txt/ID=1 A.TXT (text/plain)" + "\r\n\r\n"
        + BodyBanner + "\r\nAhoj\r\n" + "\r\n\r\n"
        + HeaderBanner + "\r\n" + "From: a@b.cz\r\nSubject: test\r\n";
}

}  // namespace

TEST(ViewerAttributes, ChangeOnlyTheSelectedCharacters)
{
    TRxRichEdit edit;
    edit.setFont(QFont("DejaVu Sans", 8));
    edit.SetText("plain RED plain");
    Select(edit, 6, 3);
    edit.SelAttributes().SetName("Courier new");
    edit.SelAttributes().SetColor(QColor(255, 0, 0));
    edit.SelAttributes().SetStyle({.Bold = true, .StrikeOut = true});
    edit.SelAttributes().SetSize(12);

    EXPECT_EQ(edit.SelAttributes().Name(), "Courier new");
    EXPECT_EQ(edit.SelAttributes().Color(), QColor(255, 0, 0));
    EXPECT_EQ(edit.SelAttributes().Style(), (TFontStyles{.Bold = true, .StrikeOut = true}));
    EXPECT_EQ(edit.SelAttributes().Size(), 12);
    for (int outside : {0, 5, 9, 14}) {
        Select(edit, outside, 1);
        EXPECT_EQ(edit.SelAttributes().Name(), "DejaVu Sans") << outside;
        EXPECT_FALSE(edit.SelAttributes().Color().isValid()) << outside;
        EXPECT_EQ(edit.SelAttributes().Style(), TFontStyles{}) << outside;
        EXPECT_EQ(edit.SelAttributes().Size(), 8) << outside;
    }
}

TEST(ViewerAttributes, StyleSwitchesOffWhatIsNotInTheSet)
{
    TRxRichEdit edit;
    edit.SetText("abcdef");
    Select(edit, 0, 6);
    edit.SelAttributes().SetStyle({.Bold = true, .Italic = true, .Underline = true, .StrikeOut = true});
    Select(edit, 2, 2);
    edit.SelAttributes().SetStyle({.Italic = true});
    EXPECT_EQ(edit.SelAttributes().Style(), TFontStyles{.Italic = true});
    Select(edit, 4, 2);
    EXPECT_EQ(edit.SelAttributes().Style(), (TFontStyles{true, true, true, true}));
}

TEST(ViewerAttributes, AutomaticColourFollowsTheViewer)
{
    TRxRichEdit edit;
    edit.SetText("abcdef");
    Select(edit, 0, 6);
    edit.SelAttributes().SetColor(Qt::blue);
    Select(edit, 1, 3);
    edit.SelAttributes().SetColor(QColor());
    EXPECT_FALSE(edit.SelAttributes().Color().isValid());
    Select(edit, 4, 1);
    EXPECT_EQ(edit.SelAttributes().Color(), QColor(Qt::blue));
}

TEST(ViewerAttributes, AcrossLineBreaksEveryLineChanges)
{
    TRxRichEdit edit;
    edit.SetText("one\r\ntwo\r\nthree");
    Select(edit, 2, 6);
    edit.SelAttributes().SetSize(20);
    for (int position : {2, 4, 5, 6}) {
        Select(edit, position, 1);
        EXPECT_EQ(edit.SelAttributes().Size(), 20) << position;
    }
    Select(edit, 8, 1);
    EXPECT_NE(edit.SelAttributes().Size(), 20);
}

TEST(ViewerAttributes, EmptySelectionChangesNothing)
{
    TRxRichEdit edit;
    edit.SetText("abc");
    Select(edit, 1, 0);
    edit.SelAttributes().SetStyle({.Bold = true});
    Select(edit, 0, 3);
    EXPECT_EQ(edit.SelAttributes().Style(), TFontStyles{});
}

TEST(ViewerParagraph, BulletsGoOnEveryTouchedParagraphOnly)
{
    TRxRichEdit edit;
    edit.SetText("zero\r\none\r\ntwo\r\nthree");
    Select(edit, 6, 7);  // from inside "one" to just after the line break of "two"
    edit.Paragraph().SetNumbering(TNumberingStyle::nsBullet);

    const std::vector<std::pair<int, TNumberingStyle>> expected = {
        {0, TNumberingStyle::nsNone}, {5, TNumberingStyle::nsBullet},
        {9, TNumberingStyle::nsBullet}, {13, TNumberingStyle::nsNone}};
    for (const auto& [position, numbering] : expected) {
        Select(edit, position, 0);
        EXPECT_EQ(edit.Paragraph().Numbering(), numbering) << position;
    }
    Select(edit, 5, 0);
    EXPECT_EQ(edit.Paragraph().LeftIndent(), 10);
    Select(edit, 0, 0);
    EXPECT_EQ(edit.Paragraph().LeftIndent(), 0);
}

TEST(ViewerParagraph, BulletsKeepALargerIndentAndOffResetsIt)
{
    TRxRichEdit edit;
    edit.SetText("one\r\ntwo");
    Select(edit, 0, 0);
    edit.Paragraph().SetLeftIndent(30);
    Select(edit, 0, 5);
    edit.Paragraph().SetNumbering(TNumberingStyle::nsBullet);
    Select(edit, 0, 0);
    EXPECT_EQ(edit.Paragraph().LeftIndent(), 30);
    Select(edit, 4, 0);
    EXPECT_EQ(edit.Paragraph().LeftIndent(), 10);

    Select(edit, 0, 5);
    edit.Paragraph().SetNumbering(TNumberingStyle::nsNone);
    for (int position : {0, 4}) {
        Select(edit, position, 0);
        EXPECT_EQ(edit.Paragraph().Numbering(), TNumberingStyle::nsNone);
        EXPECT_EQ(edit.Paragraph().LeftIndent(), 0);
    }
    EXPECT_EQ(edit.Text(), "one\r\ntwo");
}

TEST(ViewerParagraph, BulletsTwiceChangeNothing)
{
    TRxRichEdit edit;
    edit.SetText("one\r\ntwo\r\nthree");
    Select(edit, 0, 8);
    edit.Paragraph().SetNumbering(TNumberingStyle::nsBullet);
    edit.Paragraph().SetNumbering(TNumberingStyle::nsBullet);
    EXPECT_EQ(edit.document()->findBlock(0).textList(), edit.document()->findBlock(4).textList());
    ASSERT_NE(edit.document()->findBlock(4).textList(), nullptr);
    EXPECT_EQ(edit.document()->findBlock(4).textList()->count(), 2);
    EXPECT_EQ(edit.document()->findBlock(8).textList(), nullptr);
    EXPECT_EQ(edit.Text(), "one\r\ntwo\r\nthree");
}

TEST(ViewerParagraph, NewTextDropsColoursBoldAndBullets)
{
    TRxRichEdit edit;
    edit.setFont(QFont("DejaVu Serif", 9));
    edit.SetText(MultipartExample());
    for (const std::string& banner : {AttachmentsBanner, BodyBanner, HeaderBanner})
        HighlightSection(edit, banner);
    Select(edit, 44, 10);  // leave a formatted selection behind

    edit.SetText("one\r\ntwo\r\nthree and more of it");
    Select(edit, 0, edit.TextLength());
    EXPECT_EQ(edit.SelAttributes().Style(), TFontStyles{});
    for (int position : {0, 4, 8, 20}) {
        Select(edit, position, 1);
        EXPECT_FALSE(edit.SelAttributes().Color().isValid()) << position;
        EXPECT_EQ(edit.SelAttributes().Style(), TFontStyles{}) << position;
        EXPECT_EQ(edit.SelAttributes().Name(), "DejaVu Serif") << position;
        EXPECT_EQ(edit.SelAttributes().Size(), 9) << position;
        EXPECT_EQ(edit.Paragraph().Numbering(), TNumberingStyle::nsNone) << position;
        EXPECT_EQ(edit.Paragraph().LeftIndent(), 0) << position;
    }
}

TEST(ViewerMessagePane, BannersAndTheBulletedAttachmentLinesLandWhereExpected)
{
    TRxRichEdit edit;
    edit.SetText(MultipartExample());
    EXPECT_EQ(edit.FindText(AttachmentsBanner, 0, edit.TextLength()), 1);
    EXPECT_EQ(edit.FindText(BodyBanner, 0, edit.TextLength()), 92);
    for (const std::string& banner : {AttachmentsBanner, BodyBanner, HeaderBanner})
        HighlightSection(edit, banner);

    for (const std::string& banner : {AttachmentsBanner, BodyBanner, HeaderBanner}) {
        Select(edit, edit.FindText(banner, 0, edit.TextLength()), 41);
        EXPECT_EQ(edit.SelText(), banner);
        EXPECT_EQ(edit.SelAttributes().Name(), "Courier new");
        EXPECT_EQ(edit.SelAttributes().Color(), QColor(255, 0, 0));
        EXPECT_EQ(edit.SelAttributes().Style(), TFontStyles{.Bold = true});
        EXPECT_EQ(edit.SelAttributes().Size(), 12);
        EXPECT_EQ(edit.Paragraph().Numbering(), TNumberingStyle::nsNone);
    }

    Select(edit, 44, 47);
    EXPECT_EQ(edit.SelText(), "http://localhost/a.txt/ID=1 A.TXT (text/plain)\r\n");
    EXPECT_EQ(edit.SelAttributes().Style(), TFontStyles{.Bold = true});
    EXPECT_EQ(edit.Paragraph().Numbering(), TNumberingStyle::nsBullet);
    EXPECT_EQ(edit.Paragraph().LeftIndent(), 10);
    for (int plainLine : {0, 43, 91, 134}) {
        Select(edit, plainLine, 0);
        EXPECT_EQ(edit.Paragraph().Numbering(), TNumberingStyle::nsNone) << plainLine;
    }
    Select(edit, 134, 4);
    EXPECT_EQ(edit.SelText(), "Ahoj");
    EXPECT_EQ(edit.SelAttributes().Style(), TFontStyles{});

    EXPECT_EQ(edit.SelStart(), 134);
    HighlightSection(edit, BodyBanner);
    EXPECT_EQ(edit.SelStart(), 0);
    EXPECT_EQ(edit.SelLength(), 0);
    EXPECT_EQ(edit.Text(), MultipartExample());
}

TEST(ViewerMessagePane, HeaderLinesAloneGetNoFormatting)
{
    TRxRichEdit edit;
    edit.SetText("From: a@b.cz\r\nSubject: ---Přílohy---\r\n");
    for (const std::string& banner : {AttachmentsBanner, BodyBanner, HeaderBanner})
        HighlightSection(edit, banner);
    for (int position = 0; position < edit.TextLength(); ++position) {
        Select(edit, position, 1);
        EXPECT_EQ(edit.SelAttributes().Style(), TFontStyles{});
        EXPECT_FALSE(edit.SelAttributes().Color().isValid());
    }
}
