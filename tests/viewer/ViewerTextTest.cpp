// Setting, reading and finding text, and the selection.
#include "RxRichEd.h"

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QScrollBar>
#include <QTest>
#include <gtest/gtest.h>

TEST(ViewerText, ReadsBackWhatWasSetWithCrLf)
{
    TRxRichEdit edit;
    const std::string text = "\r\nPříliš žluťoučký\r\n\r\n\tkůň \u00A0 end\r\n";
    edit.SetText(text);
    EXPECT_EQ(edit.Text(), text);
    EXPECT_EQ(edit.TextLength(), 1 + 16 + 1 + 1 + 10 + 1);
}

TEST(ViewerText, LoneCrAndLoneLfAreLineBreaksToo)
{
    TRxRichEdit edit;
    edit.SetText("a\rb\nc\r\n\n");
    EXPECT_EQ(edit.Text(), "a\r\nb\r\nc\r\n\r\n");
    EXPECT_EQ(edit.TextLength(), 7);
}

TEST(ViewerText, EmptyTextHasNoPositions)
{
    TRxRichEdit edit;
    edit.SetText("some");
    edit.SetText("");
    EXPECT_EQ(edit.Text(), "");
    EXPECT_EQ(edit.TextLength(), 0);
    EXPECT_EQ(edit.FindText("some", 0, 100), -1);
}

TEST(ViewerText, EveryCharacterSurvivesTheViewerAndBytesThatAreNoUtf8ShowAsReplacements)
{
    std::string all;
    for (int b = 1; b < 128; ++b)
        if (b != '\r' && b != '\n')
            all += static_cast<char>(b);
    all += "\u0080\u00A0Příliš \u20AC\uFFFD Дмитрий Åsa 日本 \U0001F600";
    TRxRichEdit edit;
    edit.SetText(all);
    EXPECT_EQ(edit.Text(), all);
    edit.SetText("a\xFF" "b\xC3");
    EXPECT_EQ(edit.Text(), "a\uFFFD" "b\uFFFD");
}

TEST(ViewerFind, GivesTheFirstOccurrenceIgnoringCase)
{
    TRxRichEdit edit;
    edit.SetText("Hlava\r\n---Přílohy---\r\n---přílohy---");
    EXPECT_EQ(edit.FindText("---PŘÍLOHY---", 0, 1000), 6);
    EXPECT_EQ(edit.FindText("HLAVA", 0, 1000), 0);
    EXPECT_EQ(edit.FindText("---Těló---", 0, 1000), -1);
}

TEST(ViewerFind, CountsALineBreakAsOnePosition)
{
    TRxRichEdit edit;
    edit.SetText("ab\r\ncd\r\n\r\nef");
    EXPECT_EQ(edit.FindText("cd", 0, 100), 3);
    EXPECT_EQ(edit.FindText("ef", 0, 100), 7);
    EXPECT_EQ(edit.FindText("d\r\n\r\ne", 0, 100), 4);
    EXPECT_EQ(edit.FindText("d\n\ne", 0, 100), 4);
}

TEST(ViewerFind, LooksOnlyWithinTheGivenRange)
{
    TRxRichEdit edit;
    edit.SetText("abc abc abc");
    EXPECT_EQ(edit.FindText("abc", 1, 100), 4);
    EXPECT_EQ(edit.FindText("abc", 1, 6), 4);
    EXPECT_EQ(edit.FindText("abc", 1, 5), -1);     // would end past position 6
    EXPECT_EQ(edit.FindText("abc", 1, -6), 4);     // the length's size counts
    EXPECT_EQ(edit.FindText("abc", -5, 8), 0);
    EXPECT_EQ(edit.FindText("abc", -5, 7), -1);
    EXPECT_EQ(edit.FindText("abc", 11, 100), -1);
    EXPECT_EQ(edit.FindText("abc", 50, 100), -1);
    EXPECT_EQ(edit.FindText("abc", 0x7FFFFFFF, 0x7FFFFFFF), -1);
    EXPECT_EQ(edit.FindText("abc", 0, -0x7FFFFFFF - 1), 0);
    EXPECT_EQ(edit.FindText("", 0, 100), -1);
}

TEST(ViewerSelection, SelectsFromTheStartOverTheLength)
{
    TRxRichEdit edit;
    edit.SetText("first\r\nsecond\r\nthird");
    edit.SetSelStart(3);
    EXPECT_EQ(edit.SelStart(), 3);
    EXPECT_EQ(edit.SelLength(), 0);
    edit.SetSelLength(7);
    EXPECT_EQ(edit.SelStart(), 3);
    EXPECT_EQ(edit.SelLength(), 7);
    EXPECT_EQ(edit.SelText(), "st\r\nseco");
    edit.SetSelLength(2);
    EXPECT_EQ(edit.SelText(), "st");
}

TEST(ViewerSelection, EmptySelectionAtTheStartPutsTheCaretAtTheTop)
{
    TRxRichEdit edit;
    edit.resize(200, 60);
    edit.show();
    std::string text;
    for (int i = 0; i < 200; ++i)
        text += "line " + std::to_string(i) + "\r\n";
    edit.SetText(text);
    edit.SetSelStart(edit.FindText("line 199", 0, edit.TextLength()));
    edit.SetSelLength(8);
    EXPECT_GT(edit.verticalScrollBar()->value(), 0);

    edit.SetSelStart(0);
    edit.SetSelLength(0);
    EXPECT_EQ(edit.SelStart(), 0);
    EXPECT_EQ(edit.SelLength(), 0);
    EXPECT_FALSE(edit.textCursor().hasSelection());
    EXPECT_EQ(edit.verticalScrollBar()->value(), 0);
}

TEST(ViewerSelection, PositionsOutsideTheTextStopAtItsEnds)
{
    TRxRichEdit edit;
    edit.SetText("abc\r\nde");
    edit.SetSelStart(100);
    EXPECT_EQ(edit.SelStart(), 6);
    edit.SetSelStart(-4);
    EXPECT_EQ(edit.SelStart(), 0);
    edit.SetSelLength(0x7FFFFFFF);
    EXPECT_EQ(edit.SelLength(), 6);
    edit.SetSelStart(5);
    edit.SetSelLength(-2);
    EXPECT_EQ(edit.SelStart(), 3);
    EXPECT_EQ(edit.SelText(), "\r\nd");
}

TEST(ViewerSelection, NewTextStartsWithAnEmptySelectionAtTheTop)
{
    TRxRichEdit edit;
    edit.SetText("abcdef");
    edit.SetSelStart(2);
    edit.SetSelLength(3);
    edit.SetText("xyz");
    EXPECT_EQ(edit.SelStart(), 0);
    EXPECT_EQ(edit.SelLength(), 0);
}

TEST(ViewerUser, CanSelectAndCopyButNotEdit)
{
    TRxRichEdit edit;
    edit.SetText("Ahoj světe\r\ndruhý");
    edit.show();
    edit.setFocus();
    QTest::keyClicks(&edit, "xyz");
    QTest::keyClick(&edit, Qt::Key_Delete);
    QTest::keyClick(&edit, Qt::Key_Backspace);
    QTest::keyClick(&edit, Qt::Key_Return);
    EXPECT_EQ(edit.Text(), "Ahoj světe\r\ndruhý");

    QTest::keyClick(&edit, Qt::Key_Right, Qt::ShiftModifier);
    QTest::keyClick(&edit, Qt::Key_Right, Qt::ShiftModifier);
    EXPECT_EQ(edit.SelText(), "Ah");
    QApplication::clipboard()->clear();
    QTest::keyClick(&edit, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), "Ah");

    edit.SetSelStart(5);
    edit.SetSelLength(20);
    QTest::keyClick(&edit, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), QString::fromUtf8("světe\ndruhý"));
}

namespace {

// Whether the selection highlight shows anywhere in the viewer's picture.
bool HighlightShows(TRxRichEdit& edit)
{
    const QColor highlight = edit.palette().color(QPalette::Active, QPalette::Highlight);
    const QImage picture = edit.viewport()->grab().toImage();
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            if (picture.pixelColor(x, y) == highlight)
                return true;
    return false;
}

}  // namespace

TEST(ViewerSelection, HighlightShowsOnlyWithTheFocusUnlessAskedOtherwise)
{
    QWidget window;
    auto* edit = new TRxRichEdit(&window);
    auto* other = new QLineEdit(&window);
    edit->setGeometry(0, 0, 300, 100);
    other->setGeometry(0, 120, 300, 30);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    edit->SetText("some text to select");
    edit->SetSelStart(0);
    edit->SetSelLength(9);

    other->setFocus();
    EXPECT_FALSE(HighlightShows(*edit));
    edit->setFocus();
    EXPECT_TRUE(HighlightShows(*edit));

    edit->SetHideSelection(false);
    other->setFocus();
    EXPECT_TRUE(HighlightShows(*edit));
}
