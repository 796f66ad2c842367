// A message in the viewer: banners and attachment lines formatted, attachment links
// marked whole.
#include "MessageView.h"
#include "RxRichEd.h"

#include <gtest/gtest.h>

namespace {

const std::string CrLf = "\r\n";

// What the session builds for a downloaded multipart message: attachment lines, body,
// header.
std::string DownloadedText(const std::vector<std::string>& attachmentLines, const std::string& body)
{
    std::string attachments;
    for (const std::string& line : attachmentLines)
        attachments += CrLf + line;
    return CrLf + AttachmentsBanner + CrLf + attachments + CrLf + CrLf + BodyBanner + CrLf + body + CrLf + CrLf +
           CrLf + HeaderBanner + CrLf + "From: a@b.cz" + CrLf;
}

// The same with the places of the links the session wrote: each line's link is the
// first linkLengths[i] bytes of attachmentLines[i].
TShownText DownloadedShownText(const std::vector<std::string>& attachmentLines, const std::vector<size_t>& linkLengths,
                               const std::string& body)
{
    TShownText shown{DownloadedText(attachmentLines, body), {}};
    size_t offset = CrLf.size() + AttachmentsBanner.size() + CrLf.size();
    for (size_t i = 0; i < attachmentLines.size(); ++i) {
        offset += CrLf.size();
        shown.Links.push_back({offset, attachmentLines[i].size(), attachmentLines[i].substr(0, linkLengths[i])});
        offset += attachmentLines[i].size();
    }
    return shown;
}

TShownText HeaderOnly(const std::string& text)
{
    return {text, {}};
}

const std::string ExampleLine = "http://localhost/a.txt/ID=1 a.txt (text/plain)";

struct TLook {
    std::string Name;
    QColor Color;
    bool Bold;
    int Size;
    bool Bulleted;
};

TLook LookAt(TRxRichEdit& memo, int position)
{
    memo.SetSelStart(position);
    memo.SetSelLength(1);
    TLook look{memo.SelAttributes().Name(), memo.SelAttributes().Color(), memo.SelAttributes().Style().Bold,
               memo.SelAttributes().Size(), memo.Paragraph().Numbering() == TNumberingStyle::nsBullet};
    memo.SetSelStart(0);
    return look;
}

TEST(MessageViewBanners, AreFourtyOneCharactersLong)
{
    for (const std::string* banner : {&AttachmentsBanner, &BodyBanner, &HeaderBanner})
        EXPECT_EQ(QString::fromUtf8(*banner).size(), 41) << *banner;
}

TEST(MessageViewHighlight, FormatsTheBannersAndTheAttachmentLines)
{
    TRxRichEdit memo;
    ShowMessageText(memo, DownloadedShownText({ExampleLine}, {27}, "Ahoj"));
    ASSERT_EQ(memo.FindText(AttachmentsBanner, 0, memo.TextLength()), 1);
    ASSERT_EQ(memo.FindText(ExampleLine, 0, memo.TextLength()), 44);
    ASSERT_EQ(memo.FindText(BodyBanner, 0, memo.TextLength()), 92);
    for (int banner : {1, 41, 92, memo.FindText(HeaderBanner, 0, memo.TextLength())}) {
        TLook look = LookAt(memo, banner);
        EXPECT_EQ(look.Name, "Courier new");
        EXPECT_EQ(look.Color, QColor(255, 0, 0));
        EXPECT_TRUE(look.Bold);
        EXPECT_EQ(look.Size, 12);
        EXPECT_FALSE(look.Bulleted);
    }
    for (int position : {44, 89}) {
        TLook line = LookAt(memo, position);
        EXPECT_TRUE(line.Bold) << position;
        EXPECT_TRUE(line.Bulleted) << position;
        EXPECT_NE(line.Color, QColor(255, 0, 0));
    }
    EXPECT_FALSE(LookAt(memo, 91).Bulleted);   // the empty line before the body banner
    TLook body = LookAt(memo, memo.FindText("Ahoj", 0, memo.TextLength()));
    EXPECT_FALSE(body.Bold);
    EXPECT_FALSE(body.Bulleted);
}

TEST(MessageViewHighlight, BulletedSelectionIsTheAttachmentLineAndItsLineBreak)
{
    TRxRichEdit memo;
    memo.SetText(DownloadedText({ExampleLine}, "Ahoj"));
    memo.SetSelStart(44);
    memo.SetSelLength(47);
    EXPECT_EQ(memo.SelText(), ExampleLine + CrLf);
    HighlightSection(memo, AttachmentsBanner);
    EXPECT_EQ(memo.SelStart(), 0);
    EXPECT_EQ(memo.SelLength(), 0);
    EXPECT_TRUE(LookAt(memo, 44).Bulleted);
}

TEST(MessageViewHighlight, HeaderLinesAloneStayUnformatted)
{
    TRxRichEdit memo;
    ShowMessageText(memo, HeaderOnly("From: a@b.cz\r\nSubject: x\r\n"));
    TLook look = LookAt(memo, 0);
    EXPECT_FALSE(look.Bold);
    EXPECT_FALSE(look.Bulleted);
    EXPECT_EQ(memo.SelStart(), 0);
}

TEST(MessageViewHighlight, ABannerQuotedInAHeaderFormatsOnlyItself)
{
    TRxRichEdit memo;
    ShowMessageText(memo, HeaderOnly("Subject: " + AttachmentsBanner + "\r\nhttp://localhost/x/ID=1 X (y)\r\n"));
    EXPECT_EQ(LookAt(memo, 9).Size, 12);
    EXPECT_FALSE(LookAt(memo, 52).Bulleted);
    ASSERT_EQ(memo.Links().size(), 1u);
    EXPECT_FALSE(memo.Links()[0].Marked);
}

TEST(MessageViewLinks, AttachmentLinksAreMarkedWholeByTheirPlaces)
{
    const std::string spaced = "http://localhost/můj dopis.txt/ID=2 můj dopis.txt (text/plain)";
    const std::string odd = "http://localhost/a/ID=7.txt/ID=3 a/ID=7.txt (application/octet-stream)";
    const std::string unnamed = "http://localhost//ID=4  (application/octet-stream)";
    // The name "a/ID=0 A (x" looks like a whole attachment line of its own, to index 0.
    const std::string crafted = "http://localhost/a/ID=0 A (x/ID=5 a/ID=0 A (x (text/plain)";
    // Web addresses in the rest of a line (the name, the content type) are no links.
    const std::string phishing =
        "http://localhost/x https://phish.example/ID=6 x https://phish.example (text/html; a=http://phish.example/)";
    TRxRichEdit memo;
    ShowMessageText(memo, DownloadedShownText({ExampleLine, spaced, odd, unnamed, crafted, phishing},
                                              {27, 36, 32, 22, 33, 45}, "see http://localhost/x/ID=1 and www.a.cz"));
    std::vector<std::string> targets;
    for (const TRxLink& link : memo.Links())
        targets.push_back(link.Target);
    EXPECT_EQ(targets, (std::vector<std::string>{
                           AttachmentTarget("http://localhost/a.txt/ID=1"),
                           AttachmentTarget("http://localhost/můj dopis.txt/ID=2"),
                           AttachmentTarget("http://localhost/a/ID=7.txt/ID=3"),
                           AttachmentTarget("http://localhost//ID=4"),
                           AttachmentTarget("http://localhost/a/ID=0 A (x/ID=5"),
                           AttachmentTarget("http://localhost/x https://phish.example/ID=6"),
                           "http://localhost/x/ID=1",
                           "www.a.cz",
                       }));
    EXPECT_EQ(AttachmentLinkOf(targets[1]), "http://localhost/můj dopis.txt/ID=2");
    EXPECT_EQ(AttachmentLinkOf(targets[6]), std::nullopt);
}

TEST(MessageViewLinks, NothingIsMarkedWhereTheSessionPlacedNoLink)
{
    TRxRichEdit memo;
    ShowMessageText(memo, HeaderOnly(DownloadedText({ExampleLine, "http://localhost/a.txt/ID="}, "x")));
    for (const TRxLink& link : memo.Links())
        EXPECT_FALSE(link.Marked) << link.Target;
}

} // namespace
