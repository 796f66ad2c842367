// Links: which texts are found, the owner's marked links, and the click rule.
#include "RxRichEd.h"

#include <QTest>
#include <gtest/gtest.h>

namespace {

std::vector<std::string> LinkTexts(const std::string& text)
{
    TRxRichEdit edit;
    edit.SetText(text);
    std::vector<std::string> texts;
    for (const TRxLink& link : edit.Links()) {
        edit.SetSelStart(link.Start);
        edit.SetSelLength(link.Length);
        EXPECT_EQ(edit.SelText(), link.Target);
        EXPECT_FALSE(link.Marked);
        texts.push_back(link.Target);
    }
    return texts;
}

using Texts = std::vector<std::string>;

}  // namespace

TEST(ViewerLinkDetection, FindsWebAddressesOfEveryKind)
{
    EXPECT_EQ(LinkTexts("see http://a.cz/x?y=1&z=2#top and https://b.cz"),
              (Texts{"http://a.cz/x?y=1&z=2#top", "https://b.cz"}));
    EXPECT_EQ(LinkTexts("ftp://ftp.cz/pub\r\nmailto:jan@novak.cz\r\nwww.seznam.cz"),
              (Texts{"ftp://ftp.cz/pub", "mailto:jan@novak.cz", "www.seznam.cz"}));
    EXPECT_EQ(LinkTexts("HTTP://BIG.CZ Www.Mixed.Cz"), (Texts{"HTTP://BIG.CZ", "Www.Mixed.Cz"}));
    EXPECT_EQ(LinkTexts("http://localhost/a.txt/ID=1 A.TXT (text/plain)"), (Texts{"http://localhost/a.txt/ID=1"}));
    EXPECT_EQ(LinkTexts("http://x.cz/článek"), (Texts{"http://x.cz/článek"}));
}

TEST(ViewerLinkDetection, LeavesOutWhatSurroundsAnAddress)
{
    EXPECT_EQ(LinkTexts("Look at http://a.cz/x."), (Texts{"http://a.cz/x"}));
    EXPECT_EQ(LinkTexts("(see www.a.cz/b), or <http://c.cz/d>"), (Texts{"www.a.cz/b", "http://c.cz/d"}));
    EXPECT_EQ(LinkTexts("\"http://q.cz\"; 'www.r.cz'!"), (Texts{"http://q.cz", "www.r.cz"}));
    EXPECT_EQ(LinkTexts("http://en.wiki.org/Foo_(bar)"), (Texts{"http://en.wiki.org/Foo_(bar)"}));
    EXPECT_EQ(LinkTexts("http://a.cz/x\r\nnext line"), (Texts{"http://a.cz/x"}));
    EXPECT_EQ(LinkTexts("http://a.cz/x\tb\u00A0" "c"), (Texts{"http://a.cz/x"}));
}

TEST(ViewerLinkDetection, IgnoresPrefixesWithoutAnAddress)
{
    EXPECT_EQ(LinkTexts("http:// and www. and mailto: and https://."), Texts{});
    EXPECT_EQ(LinkTexts("xhttp://a.cz nowww.a.cz jan@www.a.cz"), Texts{});
    EXPECT_EQ(LinkTexts("http://www.a.cz"), (Texts{"http://www.a.cz"}));
}

TEST(ViewerLinkDetection, PositionsCountLineBreaksOnce)
{
    TRxRichEdit edit;
    edit.SetText("a\r\n\r\nhttp://a.cz b\r\nwww.b.cz");
    const std::vector<TRxLink> links = edit.Links();
    ASSERT_EQ(links.size(), 2u);
    EXPECT_EQ(links[0], (TRxLink{3, 11, "http://a.cz", false}));
    EXPECT_EQ(links[1], (TRxLink{17, 8, "www.b.cz", false}));
}

TEST(ViewerLinkDetection, OffFindsNothingAndOnFindsAgain)
{
    TRxRichEdit edit;
    edit.SetAutoURLDetect(false);
    edit.SetText("http://a.cz and http://b.cz");
    edit.MarkLink(16, 11, "mine");
    EXPECT_EQ(edit.Links(), (std::vector<TRxLink>{{16, 11, "mine", true}}));
    edit.SetAutoURLDetect(true);
    EXPECT_EQ(edit.Links(), (std::vector<TRxLink>{{0, 11, "http://a.cz", false}, {16, 11, "mine", true}}));
    edit.SetAutoURLDetect(false);
    EXPECT_EQ(edit.Links(), (std::vector<TRxLink>{{16, 11, "mine", true}}));
}

TEST(ViewerLinkDetection, HostileTextEndsWithoutHarm)
{
    std::string text;
    for (int i = 0; i < 20000; ++i)
        text += "www.a http://) ((( mailto:x ";
    text += "http://" + std::string(200000, ')') + "\x01\x7F\x81 " + std::string(100000, 'w') + ".";
    text += "http://" + std::string(300000, 'a');
    TRxRichEdit edit;
    edit.resize(300, 200);
    edit.SetText(text);
    EXPECT_EQ(edit.Links().size(), 40001u);
    EXPECT_EQ(edit.Links().back().Length, 300007);
    // Wrapping a word of 300000 letters at word boundaries would take minutes.
    EXPECT_EQ(edit.wordWrapMode(), QTextOption::WrapAnywhere);
    edit.show();
    edit.grab();

    edit.SetText("short words wrap at their boundaries again " + std::string(1000, 'x'));
    EXPECT_EQ(edit.wordWrapMode(), QTextOption::WrapAtWordBoundaryOrAnywhere);
}

TEST(ViewerMarkedLink, HoldsSpacesAndCzechLettersAndReplacesDetectedLinks)
{
    TRxRichEdit edit;
    const std::string link = "http://localhost/můj soubor žluťočký.txt/ID=12";
    edit.SetText("\r\nhttp://x.cz\r\n" + link + " MůJ SOUBOR (text/plain)\r\nwww.y.cz");
    const int start = edit.FindText(link, 0, edit.TextLength());
    const int length = static_cast<int>(QString::fromUtf8(link).size());
    edit.MarkLink(start, length, link);
    const std::vector<TRxLink> links = edit.Links();
    ASSERT_EQ(links.size(), 3u);
    EXPECT_EQ(links[0].Target, "http://x.cz");
    EXPECT_EQ(links[1], (TRxLink{start, length, link, true}));
    EXPECT_EQ(links[2].Target, "www.y.cz");
}

TEST(ViewerMarkedLink, OutOfRangeIsClippedAndEmptyIsIgnored)
{
    TRxRichEdit edit;
    edit.SetText("abc");
    edit.MarkLink(2, 0, "none");
    edit.MarkLink(5, 3, "none");
    edit.MarkLink(1, -1, "none");
    EXPECT_TRUE(edit.Links().empty());
    edit.MarkLink(-10, 0x7FFFFFFF, "all");
    EXPECT_EQ(edit.Links(), (std::vector<TRxLink>{{0, 3, "all", true}}));
}

TEST(ViewerMarkedLink, NewTextForgetsMarkedLinks)
{
    TRxRichEdit edit;
    edit.SetText("abc");
    edit.MarkLink(0, 3, "x");
    edit.SetText("abc");
    EXPECT_TRUE(edit.Links().empty());
}

class ViewerClick : public ::testing::Test {
protected:
    void SetUp() override
    {
        Edit.resize(500, 300);
        Edit.SetText("one http://a.cz and www.b.cz\r\n\r\nmailto:c@d.cz  plain text");
        Edit.OnURLClick = [this](TRxRichEdit* sender, const std::string& text, TMouseButton button) {
            EXPECT_EQ(sender, &Edit);
            Clicks.push_back({text, button});
        };
        Edit.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&Edit));
    }

    // The middle of the character at position.
    QPoint At(int position)
    {
        QTextCursor cursor(Edit.document());
        cursor.setPosition(position);
        const QRect left = Edit.cursorRect(cursor);
        cursor.setPosition(position + 1);
        const QRect right = Edit.cursorRect(cursor);
        return QPoint((left.x() + right.x()) / 2, left.center().y());
    }
    void Press(Qt::MouseButton button, QPoint point) { QTest::mousePress(Edit.viewport(), button, {}, point); }
    void Release(Qt::MouseButton button, QPoint point) { QTest::mouseRelease(Edit.viewport(), button, {}, point); }
    void Click(Qt::MouseButton button, QPoint point)
    {
        Press(button, point);
        Release(button, point);
    }

    TRxRichEdit Edit;
    std::vector<std::pair<std::string, TMouseButton>> Clicks;
};

TEST_F(ViewerClick, LeftAndRightClicksOnALinkReportIt)
{
    Click(Qt::LeftButton, At(6));
    Click(Qt::RightButton, At(22));
    Click(Qt::LeftButton, At(32));
    using Expected = std::vector<std::pair<std::string, TMouseButton>>;
    EXPECT_EQ(Clicks, (Expected{{"http://a.cz", TMouseButton::mbLeft},
                                {"www.b.cz", TMouseButton::mbRight},
                                {"mailto:c@d.cz", TMouseButton::mbLeft}}));
}

TEST_F(ViewerClick, ClickOnTheFirstAndLastCharacterCounts)
{
    Click(Qt::LeftButton, At(4));
    Click(Qt::LeftButton, At(14));
    EXPECT_EQ(Clicks.size(), 2u);
}

TEST_F(ViewerClick, PressOnOneLinkAndReleaseOnAnotherRaisesNothing)
{
    Press(Qt::LeftButton, At(6));
    Release(Qt::LeftButton, At(22));
    Press(Qt::RightButton, At(22));
    Release(Qt::RightButton, At(8));
    EXPECT_TRUE(Clicks.empty());
}

TEST_F(ViewerClick, ClicksBesideLinksRaiseNothing)
{
    Click(Qt::LeftButton, At(1));
    Click(Qt::LeftButton, At(16));
    Click(Qt::LeftButton, At(46));
    Click(Qt::LeftButton, At(6) + QPoint(400, 0));        // blank space right of the line
    Click(Qt::LeftButton, QPoint(At(32).x(), 280));       // below the text
    Click(Qt::MiddleButton, At(6));
    EXPECT_TRUE(Clicks.empty());
}

TEST_F(ViewerClick, ButtonsMustMatch)
{
    Press(Qt::LeftButton, At(6));
    Release(Qt::RightButton, At(6));
    Release(Qt::LeftButton, At(6));
    EXPECT_TRUE(Clicks.empty());
}

TEST_F(ViewerClick, OnlyAPressAndAReleaseOnTheSameLinkMakeAClick)
{
    Press(Qt::LeftButton, At(6));
    Release(Qt::LeftButton, At(1));   // released beside: forgotten
    Release(Qt::LeftButton, At(6));
    Press(Qt::LeftButton, At(6));
    Press(Qt::LeftButton, At(1));     // a new press beside the link
    Release(Qt::LeftButton, At(6));
    EXPECT_TRUE(Clicks.empty());
    Click(Qt::LeftButton, At(6));
    EXPECT_EQ(Clicks.size(), 1u);
}

TEST_F(ViewerClick, MarkedLinkReportsItsTarget)
{
    Edit.MarkLink(33, 20, "owner's target");
    Click(Qt::LeftButton, At(50));
    Click(Qt::LeftButton, At(34));
    ASSERT_EQ(Clicks.size(), 2u);
    EXPECT_EQ(Clicks[0].first, "owner's target");
    EXPECT_EQ(Clicks[1].first, "owner's target");
}

TEST_F(ViewerClick, HandlerMaySetANewText)
{
    Edit.OnURLClick = [this](TRxRichEdit*, const std::string& text, TMouseButton) {
        Edit.SetText("clicked " + text);
    };
    Click(Qt::LeftButton, At(6));
    EXPECT_EQ(Edit.Text(), "clicked http://a.cz");
    Release(Qt::LeftButton, At(6));
    EXPECT_EQ(Edit.Text(), "clicked http://a.cz");
}

TEST_F(ViewerClick, NoHandlerNoHarm)
{
    Edit.OnURLClick = nullptr;
    Click(Qt::LeftButton, At(6));
    EXPECT_TRUE(Clicks.empty());
}

TEST(ViewerLinkLook, LinksInViewAreUnderlinedInTheLinkColour)
{
    TRxRichEdit edit;
    edit.resize(300, 100);
    std::string text;
    for (int i = 0; i < 2000; ++i)
        text += "line " + std::to_string(i) + " www.site" + std::to_string(i) + ".cz\r\n";
    edit.SetText(text);
    edit.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&edit));

    auto linksDrawn = [&edit] {
        edit.viewport()->grab();
        std::vector<std::string> drawn;
        for (const QTextEdit::ExtraSelection& selection : edit.extraSelections()) {
            EXPECT_TRUE(selection.format.fontUnderline());
            EXPECT_EQ(selection.format.foreground(), edit.palette().link());
            drawn.push_back(selection.cursor.selectedText().toStdString());
        }
        return drawn;
    };
    std::vector<std::string> drawn = linksDrawn();
    ASSERT_FALSE(drawn.empty());
    EXPECT_LT(drawn.size(), 30u);
    EXPECT_EQ(drawn.front(), "www.site0.cz");

    edit.SetSelStart(edit.TextLength());
    edit.SetSelLength(0);
    drawn = linksDrawn();
    ASSERT_FALSE(drawn.empty());
    EXPECT_LT(drawn.size(), 30u);
    EXPECT_EQ(drawn.back(), "www.site1999.cz");
}

TEST(ViewerLinkLook, LinkAtTheEndOfALongTextIsClickable)
{
    TRxRichEdit edit;
    edit.resize(300, 100);
    std::string text;
    for (int i = 0; i < 5000; ++i)
        text += "line " + std::to_string(i) + " www.site" + std::to_string(i) + ".cz\r\n";
    edit.SetText(text);
    std::vector<std::string> clicked;
    edit.OnURLClick = [&](TRxRichEdit*, const std::string& link, TMouseButton) { clicked.push_back(link); };
    edit.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&edit));

    const int last = edit.FindText("www.site4999.cz", 0, edit.TextLength());
    edit.SetSelStart(last);
    edit.SetSelLength(2);
    QTextCursor cursor(edit.document());
    cursor.setPosition(last + 1);
    const QPoint point = edit.cursorRect(cursor).center();
    QTest::mouseClick(edit.viewport(), Qt::LeftButton, {}, point);
    EXPECT_EQ(clicked, std::vector<std::string>{"www.site4999.cz"});
}
