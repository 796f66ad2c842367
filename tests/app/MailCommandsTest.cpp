// The mail commands of the main window on the window's side: the progress panel, the
// shown message across sorts, the deletion questions, and closing during a server
// operation.
#include "AppFixture.h"

#include "Exception.h"
#include "HeaderList.h"
#include "QtText.h"
#include "fmMain.h"

#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QTest>

namespace {

class TTestMain : public Tfmain {
public:
    using Tfmain::FShownIndex;
};

// Rows without records: they show texts and act on no message.
void FillRows(Tfmain& window, const std::vector<std::string>& senders)
{
    std::vector<THeaderRow*> rows;
    double date = 40000;
    for (const std::string& sender : senders) {
        THeaderRowData data;
        data.FromText = sender;
        data.Date = date--;
        rows.push_back(new THeaderRow(data, {}));
    }
    window.headlist->AddRows(rows);
}

class MailCommandsTest : public AppFixture {};

TEST_F(MailCommandsTest, ProgressPanelShowsItsTextAndHidesForNone)
{
    TTestMain window;
    window.ShowProgress("Kontrola zpráv a@x.cz", 8);
    EXPECT_TRUE(window.inf->isVisibleTo(&window));
    EXPECT_EQ(FromQt(window.inflabel->text()), "Kontrola zpráv a@x.cz");
    EXPECT_EQ(window.progress->minimum(), 1);
    EXPECT_EQ(window.progress->maximum(), 8);
    EXPECT_EQ(window.progress->value(), 1);
    window.ShowProgress("", 8);
    EXPECT_FALSE(window.inf->isVisibleTo(&window));
}

TEST_F(MailCommandsTest, ProgressStepsThroughTheBarWhenCountsExceedIt)
{
    TTestMain window;
    window.ShowProgress("x", 8);
    window.StepProgress(5);
    EXPECT_EQ(window.progress->value(), 5);
    window.StepProgress(1000);
    EXPECT_EQ(window.progress->value(), 6);
    window.StepProgress(8);
    window.StepProgress(1000);
    EXPECT_EQ(window.progress->value(), 1);
    window.StepProgress(0);
    EXPECT_EQ(window.progress->value(), 1);
}

TEST_F(MailCommandsTest, ProgressOfADownloadCountsBytesAgainstTheSize)
{
    TTestMain window;
    window.ShowProgress("Stahuji", 5000);
    window.StepProgress(1200);
    EXPECT_EQ(window.progress->value(), 1200);
    window.StepProgress(5000);
    EXPECT_EQ(window.progress->value(), 5000);
    window.StepProgress(5200);
    EXPECT_EQ(window.progress->value(), 1);
    // A size the server did not tell still gives a bar that steps.
    window.ShowProgress("Stahuji", -1);
    EXPECT_EQ(window.progress->minimum(), 1);
    EXPECT_EQ(window.progress->maximum(), 1);
}

TEST_F(MailCommandsTest, ShownMessageStaysShownWhenTheListIsSorted)
{
    TTestMain window;
    window.resize(900, 450);
    window.show();
    FillRows(window, {"c", "a", "b"});
    window.headlist->setCurrentItem(window.headlist->Row(0));
    EXPECT_EQ(window.FShownIndex, 0);
    QHeaderView* header = window.headlist->header();
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(header->sectionViewportPosition(hcFrom) + 5, 5));
    EXPECT_EQ(window.headlist->Row(2)->Data().FromText, "c");
    EXPECT_EQ(window.FShownIndex, 2);
}

TEST_F(MailCommandsTest, DeletionWithoutAShownMessageAsksNothing)
{
    TTestMain window;
    FillRows(window, {"a", "b"});
    window.mmDelClick();
    QTest::keyClick(window.headlist, Qt::Key_Delete);
    EXPECT_TRUE(Ui.Questions.empty());
    EXPECT_EQ(window.headlist->RowCount(), 2);
}

TEST_F(MailCommandsTest, DeletionAsksAboutTheShownMessageOrTheSelectedOnes)
{
    TTestMain window;
    FillRows(window, {"a", "b", "c"});
    window.headlist->setCurrentItem(window.headlist->Row(1));
    QTest::keyClick(window.headlist, Qt::Key_Delete);
    window.Vybratve1Click();
    EXPECT_EQ(window.FShownIndex, 2);
    window.mmDelClick();
    EXPECT_EQ(Ui.Questions, (std::vector<std::string>{"Warning|Vymazat vybranou zprávu, opravdu?",
                                                      "Warning|Vymazat vybrané zprávy, opravdu?"}));
    EXPECT_EQ(window.headlist->RowCount(), 3);
}

TEST_F(MailCommandsTest, RowsWithoutTheirMessageStayWhenDeleted)
{
    TTestMain window;
    FillRows(window, {"a", "b"});
    window.Vybratve1Click();
    Ui.Answers = {true};
    window.DeleteMessages();
    EXPECT_EQ(window.headlist->RowCount(), 2);
}

// A check that fails before it reaches the server leaves nothing running: the commands
// stay enabled and the window closes at once.
TEST_F(MailCommandsTest, CheckThatCannotStartLeavesTheWindowIdle)
{
    WriteBytes(AccountsPath(), "a@x.cz\r\npop.x.cz\r\na\r\npw\r\nsto\r\n");
    TTestMain window;
    window.show();
    window.poplist->setCurrentRow(0);
    EXPECT_THROW(window.CheckAccClick(), EConvertError);
    EXPECT_FALSE(window.ServerBusy());
    EXPECT_FALSE(window.inf->isVisibleTo(&window));
    EXPECT_TRUE(window.tCheck->isEnabled());
    EXPECT_TRUE(window.close());
    EXPECT_FALSE(window.isVisible());
}

TEST_F(MailCommandsTest, WebLinksGoToTheDesktop)
{
    TTestMain window;
    window.memoURLClick("http://localhost/x/ID=1");
    window.memoURLClick("WWW.a.cz");
    window.memoURLClick("mailto:jan@a.cz");
    window.memoURLClick("file:///etc/passwd");
    EXPECT_EQ(Ui.Urls, (std::vector<std::string>{"http://localhost/x/ID=1", "http://WWW.a.cz", "mailto:jan@a.cz"}));
}

} // namespace
