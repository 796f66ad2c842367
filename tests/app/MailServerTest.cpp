// The mail commands against a scripted POP3 server: the check, the download and view,
// link clicks and the deletion of messages.
#include "AppFixture.h"

#include "HeaderList.h"
#include "KormoranApplication.h"
#include "LinkLabel.h"
#include "MessageView.h"
#include "QtText.h"
#include "RxRichEd.h"
#include "ScriptedServer.h"
#include "TriageCommands.h"
#include "fmMain.h"
#include "udm.h"

#include <QAction>
#include <QApplication>
#include <QListWidget>
#include <QMenu>
#include <QTest>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>

#include <thread>

using namespace std::chrono_literals;

namespace {

class TTestMain : public Tfmain {
public:
    using Tfmain::FShownIndex;
};

using Lines = std::vector<std::string>;

std::string HeaderLines(int number)
{
    return "From: Sender " + std::to_string(number) + " <s" + std::to_string(number) + "@x.cz>\r\n" +
           "To: petr@demo.cz\r\nSubject: Message " + std::to_string(number) + "\r\n" +
           "Date: Mon, 5 Jan 2026 08:1" + std::to_string(number) + ":00 +0100\r\n" +
           "Message-ID: <" + std::to_string(number) + "@x.cz>\r\n";
}

ScriptedServer& LogsIn(ScriptedServer& server)
{
    return server.Says("+OK ready").Expects("USER petr").Says("+OK").Expects("PASS heslo").Says("+OK logged in");
}

// The header block and size of message number, as a check or the session's identity
// check before a download or deletion asks for them.
// message: which of the check's messages now stands under number (0: the same one).
ScriptedServer& GivesHeader(ScriptedServer& server, int number, int message = 0)
{
    const std::string n = std::to_string(number);
    message = message == 0 ? number : message;
    return server.Expects("TOP " + n + " 0")
        .Says("+OK")
        .Sends(HeaderLines(message) + "\r\n.\r\n")
        .Expects("LIST " + n)
        .Says("+OK " + n + " " + std::to_string(100 * message));
}

// A check of count messages on one connection, closed with QUIT.
ScriptedServer& Checks(ScriptedServer& server, int count)
{
    LogsIn(server).Expects("CAPA").Says("-ERR unknown command").Expects("STAT").Says("+OK " + std::to_string(count) + " 999");
    server.Expects("UIDL").Says("-ERR unknown command");
    for (int number = 1; number <= count; ++number)
        GivesHeader(server, number);
    return server.Expects("QUIT").Says("+OK bye");
}

// After a check: a new connection for a download or deletion.
ScriptedServer& LogsInAgain(ScriptedServer& server)
{
    return LogsIn(server.AcceptsNext());
}

// A deletion's new connection asks CAPA; this server knows none, so one command at a time.
ScriptedServer& LogsInToDelete(ScriptedServer& server)
{
    return LogsInAgain(server).Expects("CAPA").Says("-ERR unknown command");
}

ScriptedServer& Deletes(ScriptedServer& server, int number, const std::string& answer = "+OK", int message = 0)
{
    return GivesHeader(server, number, message).Expects("DELE " + std::to_string(number)).Says(answer);
}

// The deletions of a command end their connection: the server carries them out.
ScriptedServer& Quits(ScriptedServer& server)
{
    return server.Expects("QUIT").Says("+OK bye");
}

// A download: TOP n with as many lines as LIST gave bytes; a message shorter than that
// (the terminating ".", CR, LF aside) is fetched again with RETR.
ScriptedServer& Retrieves(ScriptedServer& server, int number, const std::string& message)
{
    const std::string n = std::to_string(number);
    const size_t size = 100 * static_cast<size_t>(number);
    GivesHeader(server, number).Expects("TOP " + n + " " + std::to_string(size)).Says("+OK").Sends(message);
    if (message.size() - 3 < size)
        server.Expects("RETR " + n).Says("+OK").Sends(message);
    return server;
}

const std::string MultipartMessage =
    "From: a@x.cz\r\nSubject: Message 2\r\nMessage-ID: <2@x.cz>\r\nMIME-Version: 1.0\r\n"
    "Content-Type: multipart/mixed; boundary=\"b\"\r\n\r\n"
    "--b\r\nContent-Type: text/plain\r\n\r\nAhoj, see www.a.cz\r\n"
    "--b\r\nContent-Type: text/plain; name=\"a.txt\"\r\nContent-Disposition: attachment; filename=\"a.txt\"\r\n\r\n"
    "data\r\n--b--\r\n.\r\n";

class MailServerTest : public AppFixture {
protected:
    ~MailServerTest() override { EndSessions(); }

    // Closes the window and every connection a download or deletion left open, so the
    // scripted server sees the client go.
    void EndSessions()
    {
        Window.reset();
        CloseOpenSessions();
    }

    void OpenWindow(ScriptedServer& server)
    {
        WriteBytes(AccountsPath(), "petr@demo.cz\r\n127.0.0.1\r\npetr\r\nheslo\r\n" + std::to_string(server.Start()) + "\r\n");
        Window = std::make_unique<TTestMain>();
        Window->show();
        Window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(Window.get()));
        Window->poplist->setCurrentRow(0);
    }

    // A check of two messages, and a new connection that will retrieve the second.
    void CheckForDownloadOfTheSecond(ScriptedServer& server)
    {
        Checks(server, 2);
        Retrieves(LogsInAgain(server), 2, MultipartMessage);
        OpenWindow(server);
        Run(&Tfmain::CheckAccClick);
    }

    // Runs a command the way the window does (an exception goes to the error box) and
    // waits until the server operation it started has ended.
    void Run(void (Tfmain::*command)())
    {
        try {
            (Window.get()->*command)();
        } catch (...) {
            evException();
        }
        EXPECT_TRUE(Window->WaitForServer(10000));
    }

    // Runs events until the client has sent line that many times: the operation is under way.
    static bool WaitUntilSent(const ScriptedServer& server, const std::string& line, long times = 1)
    {
        for (auto end = std::chrono::steady_clock::now() + 5s; std::chrono::steady_clock::now() < end;) {
            const Lines received = server.Received();
            if (std::count(received.begin(), received.end(), line) >= times)
                return true;
            QApplication::processEvents(QEventLoop::AllEvents, 10);
        }
        return false;
    }

    std::vector<std::string> Column(int column) const
    {
        std::vector<std::string> texts;
        for (int row = 0; row < Window->headlist->RowCount(); ++row)
            texts.push_back(Window->headlist->Row(row)->Data().ColumnText(column));
        return texts;
    }

    void ClickRow(int row, Qt::KeyboardModifiers modifiers)
    {
        const QRect cell = Window->headlist->visualItemRect(Window->headlist->Row(row));
        QTest::mouseClick(Window->headlist->viewport(), Qt::LeftButton, modifiers, cell.center());
    }

    std::unique_ptr<TTestMain> Window;
};

TEST_F(MailServerTest, CheckListsTheMessagesAndShowsTheFirst)
{
    ScriptedServer server;
    Checks(server, 3);
    OpenWindow(server);
    Run(&Tfmain::CheckAccClick);
    EXPECT_EQ(Ui.Errors, Lines{});
    EXPECT_EQ(Column(hcSubject), (Lines{"Message 1", "Message 2", "Message 3"}));
    EXPECT_EQ(Column(hcSize), (Lines{"100", "200", "300"}));
    EXPECT_EQ(Column(hcFrom), (Lines{"s1@x.cz", "s2@x.cz", "s3@x.cz"}));
    EXPECT_EQ(Column(hcId), (Lines{"<1@x.cz>", "<2@x.cz>", "<3@x.cz>"}));
    EXPECT_EQ(Window->FShownIndex, 0);
    EXPECT_TRUE(Window->headlist->Row(0)->isSelected());
    EXPECT_EQ(Window->focusWidget(), Window->headlist);
    // The decoded fields above the header lines as the server sent them.
    EXPECT_EQ(Window->memo->Text(), "Od: Sender 1 <s1@x.cz>\r\nKomu: petr@demo.cz\r\nPředmět: Message 1\r\nDatum: " +
                                        Column(hcDate)[0] + "\r\n\r\n" + HeaderLines(1));
    EXPECT_TRUE(Window->tDownload->isEnabled());
    EXPECT_TRUE(Window->tDelete->isEnabled());
    EXPECT_FALSE(Window->inf->isVisible());
    EXPECT_EQ(Window->StatusPanelText(0), "petr@demo.cz");
    EXPECT_EQ(server.Finish(), Lines{});
}

TEST_F(MailServerTest, EmptyMailboxLeavesTheListEmptyAndTheViewerAsItWas)
{
    ScriptedServer server;
    Checks(server, 0);
    OpenWindow(server);
    Window->memo->SetText("before");
    Run(&Tfmain::CheckAccClick);
    EXPECT_EQ(Ui.Errors, Lines{});
    EXPECT_EQ(Window->headlist->RowCount(), 0);
    EXPECT_EQ(Window->FShownIndex, -1);
    EXPECT_EQ(Window->memo->Text(), "before");
    EXPECT_FALSE(Window->inf->isVisible());
    EXPECT_EQ(server.Finish(), Lines{});
}

TEST_F(MailServerTest, RefusedLoginIsShownAndKeepsThePreviousRows)
{
    ScriptedServer server;
    Checks(server, 2).AcceptsNext();
    server.Says("+OK ready").Expects("USER petr").Says("+OK").Expects("PASS heslo").Says("-ERR [AUTH] Authentication failed.");
    Retrieves(LogsInAgain(server), 2, HeaderLines(2) + "\r\nBody\r\n.\r\n");
    OpenWindow(server);
    Run(&Tfmain::CheckAccClick);
    Run(&Tfmain::CheckAccClick);
    ASSERT_EQ(Ui.Errors.size(), 1u);
    EXPECT_NE(Ui.Errors[0].find("[AUTH] Authentication failed."), std::string::npos);
    EXPECT_EQ(Column(hcSubject), (Lines{"Message 1", "Message 2"}));
    // The previous list stays exactly as it was, the shown message included.
    EXPECT_EQ(Window->FShownIndex, 0);
    EXPECT_FALSE(Window->inf->isVisible());
    // The earlier check's records are still there: its rows still reach their messages.
    Window->headlist->setCurrentItem(Window->headlist->Row(1));
    Run(&Tfmain::lDownClick);
    EXPECT_EQ(Window->memo->Text(), "Body\r\n");
    EXPECT_EQ(Ui.Errors.size(), 1u);
    EndSessions();
    EXPECT_EQ(server.Finish(), Lines{});
}

TEST_F(MailServerTest, CheckWithoutAnAccountDoesNothing)
{
    ScriptedServer server;
    OpenWindow(server);
    Window->poplist->clearSelection();
    Run(&Tfmain::CheckAccClick);
    EXPECT_EQ(server.Connections(), 0);
    EXPECT_FALSE(Window->inf->isVisible());
}

// "Zkontrolovat vše": the refused account carries its error by its address, no error box
// interrupts, and the accounts after it are checked all the same.
TEST_F(MailServerTest, CheckAllShowsAFailureByItsAccountAndChecksTheOthers)
{
    ScriptedServer first;
    ScriptedServer refusing;
    ScriptedServer third;
    Checks(first, 2);
    refusing.Says("+OK ready").Expects("USER petr").Says("+OK").Expects("PASS heslo").Says("-ERR [AUTH] Authentication failed.");
    Checks(third, 1);
    std::string accounts;
    for (auto [address, server] : {std::pair{"a@demo.cz", &first}, {"b@demo.cz", &refusing}, {"c@demo.cz", &third}})
        accounts += std::string(address) + "\r\n127.0.0.1\r\npetr\r\nheslo\r\n" + std::to_string(server->Start()) + "\r\n";
    WriteBytes(AccountsPath(), accounts);
    Window = std::make_unique<TTestMain>();
    Window->show();
    Window->poplist->setCurrentRow(0);
    ASSERT_TRUE(Window->mCheckAll->isEnabled());
    Run(&Tfmain::CheckAllAccounts);
    EXPECT_EQ(Ui.Errors, Lines{});
    EXPECT_EQ(first.Finish(), Lines{});
    EXPECT_EQ(refusing.Finish(), Lines{});
    EXPECT_EQ(third.Finish(), Lines{});
    EXPECT_NE(FromQt(Window->poplist->item(1)->toolTip()).find("[AUTH] Authentication failed."), std::string::npos);
    EXPECT_TRUE(Window->poplist->item(0)->toolTip().isEmpty());
    EXPECT_TRUE(Window->poplist->item(2)->toolTip().isEmpty());
    // The selected account's list is shown; the commands are back once the round has ended.
    EXPECT_EQ(Column(hcSubject), (Lines{"Message 1", "Message 2"}));
    EXPECT_FALSE(Window->ServerBusy());
    EXPECT_TRUE(Window->mCheckAll->isEnabled());
    EXPECT_FALSE(Window->inf->isVisible());
    // Each account kept its list: selecting one shows it at once, with no new connection.
    Window->poplist->setCurrentRow(2);
    EXPECT_EQ(Column(hcSubject), Lines{"Message 1"});
    EXPECT_EQ(Window->headOwner->text(), QString::fromUtf8("Zprávy účtu c@demo.cz"));
    Window->poplist->setCurrentRow(1);
    EXPECT_EQ(Column(hcSubject), Lines{"Message 1"});
    Window->poplist->setCurrentRow(0);
    EXPECT_EQ(Column(hcSubject), (Lines{"Message 1", "Message 2"}));
    EXPECT_EQ(third.Connections(), 1);
}

// The check at start runs "Zkontrolovat vše" on its own; the account selected while it
// ran shows its list when the round ends.
TEST_F(MailServerTest, CheckAtStartChecksTheAccountsWithoutBeingAsked)
{
    ScriptedServer server;
    Checks(server, 1);
    WriteBytes(SettingsPath(), "[CHECK]\nATSTART=1\n\n[NOTIFY]\nNEWMAIL=0\n");
    OpenWindow(server);
    EXPECT_TRUE(Window->WaitForServer(10000));
    EXPECT_EQ(server.Finish(), Lines{});
    EXPECT_EQ(Ui.Errors, Lines{});
    EXPECT_EQ(Column(hcSubject), Lines{"Message 1"});
}

// Ticks of the schedule while the user's check runs wait for its end and then make one
// round of "Zkontrolovat vše": not none, not two.
TEST_F(MailServerTest, ScheduledTicksDuringAnOperationMakeOneCheckAfterIt)
{
    ScriptedServer server;
    Checks(server, 1).AcceptsNext();
    Checks(server, 2);
    OpenWindow(server);
    Window->CheckAccClick();
    ASSERT_TRUE(Window->ServerBusy());
    Window->ScheduledCheck();
    Window->ScheduledCheck();
    EXPECT_TRUE(Window->WaitForServer(10000));
    EXPECT_EQ(server.Finish(), Lines{});
    EXPECT_EQ(server.Connections(), 2);
    EXPECT_EQ(Column(hcSubject), (Lines{"Message 1", "Message 2"})) << "the scheduled round's list";
    QApplication::processEvents();
    EXPECT_FALSE(Window->ServerBusy()) << "nothing more was waiting";
    EXPECT_TRUE(Window->poplist->item(0)->toolTip().isEmpty()) << "no round failed on a closed server";
    EXPECT_EQ(Ui.Errors, Lines{});
}

TEST_F(MailServerTest, SelectAllAndDeleteRemovesEveryRowBottomUp)
{
    ScriptedServer server;
    Checks(server, 3);
    Quits(Deletes(Deletes(Deletes(LogsInToDelete(server), 3), 2), 1));
    OpenWindow(server);
    Run(&Tfmain::CheckAccClick);
    Window->headlist->setFocus();
    QTest::keyClick(Window->headlist, Qt::Key_A, Qt::ControlModifier);
    Ui.Answers = {true};
    QTest::keyClick(Window->headlist, Qt::Key_Delete);
    EXPECT_TRUE(Window->WaitForServer(10000));
    EXPECT_EQ(Ui.Questions, Lines{"Warning|Vymazat vybrané zprávy, opravdu?"});
    EXPECT_EQ(Ui.Errors, Lines{});
    EXPECT_EQ(Window->headlist->RowCount(), 0);
    EXPECT_EQ(Window->FShownIndex, -1);
    EndSessions();
    EXPECT_EQ(server.Finish(), Lines{});
}

TEST_F(MailServerTest, AnswerNoSendsNothing)
{
    ScriptedServer server;
    Checks(server, 2);
    OpenWindow(server);
    Run(&Tfmain::CheckAccClick);
    Ui.Answers = {false};
    Run(&Tfmain::mmDelClick);
    EXPECT_EQ(Ui.Questions, Lines{"Warning|Vymazat vybranou zprávu, opravdu?"});
    EXPECT_EQ(Window->headlist->RowCount(), 2);
    EXPECT_EQ(server.Connections(), 1);
}

TEST_F(MailServerTest, RefusedDeletionStopsAndKeepsTheRowsNotDone)
{
    ScriptedServer server;
    Checks(server, 3);
    Quits(Deletes(Deletes(LogsInToDelete(server), 3), 2, "-ERR no such message"));
    OpenWindow(server);
    Run(&Tfmain::CheckAccClick);
    Window->Vybratve1Click();
    Ui.Answers = {true};
    Run(&Tfmain::mmDelClick);
    ASSERT_EQ(Ui.Errors.size(), 1u);
    EXPECT_NE(Ui.Errors[0].find("no such message"), std::string::npos);
    // Which went and which did not.
    EXPECT_NE(Ui.Errors[0].find("\r\n\r\nVymazané zprávy: „Message 3“.\r\nNevymazané zprávy: „Message 2“, „Message 1“."),
              std::string::npos)
        << Ui.Errors[0];
    EXPECT_EQ(Column(hcSubject), (Lines{"Message 1", "Message 2"}));
}

TEST_F(MailServerTest, ShownMessageFollowsItsRowWhenRowsAboveGo)
{
    ScriptedServer server;
    Checks(server, 3);
    Quits(Deletes(Deletes(LogsInToDelete(server), 2), 1));
    // Message 3 is number 1 now.
    Quits(Deletes(LogsInToDelete(server), 1, "+OK", 3));
    OpenWindow(server);
    Run(&Tfmain::CheckAccClick);
    // Rows 0 and 1 selected while row 2 is the shown one.
    ClickRow(2, {});
    ClickRow(0, Qt::ControlModifier);
    ClickRow(1, Qt::ControlModifier);
    ClickRow(2, Qt::ControlModifier);
    ASSERT_EQ(Window->FShownIndex, 2);
    Ui.Answers = {true, true};
    Run(&Tfmain::mmDelClick);
    ASSERT_EQ(Column(hcSubject), (Lines{"Message 3"}));
    EXPECT_EQ(Window->FShownIndex, 0);
    // The next deletion reaches the message still shown.
    Run(&Tfmain::mmDelClick);
    EXPECT_EQ(Window->headlist->RowCount(), 0);
    EXPECT_EQ(Window->FShownIndex, -1);
    EXPECT_EQ(Ui.Errors, Lines{});
    EndSessions();
    EXPECT_EQ(server.Finish(), Lines{});
}

TEST_F(MailServerTest, DeletingTheShownMessageEmptiesThePaneAndDisablesItsCommands)
{
    ScriptedServer server;
    Checks(server, 2);
    Quits(Deletes(LogsInToDelete(server), 1));
    OpenWindow(server);
    Run(&Tfmain::CheckAccClick);
    ASSERT_TRUE(Window->memo->Text().ends_with(HeaderLines(1)));
    Ui.Answers = {true};
    Run(&Tfmain::mmDelClick);
    EXPECT_EQ(Column(hcSubject), Lines{"Message 2"});
    EXPECT_EQ(Window->FShownIndex, -1);
    EXPECT_EQ(Window->memo->Text(), "");
    for (QAction* command : {Window->tDownload, Window->mDown, Window->hDown, Window->tDelete, Window->mmDel,
                             Window->hDel})
        EXPECT_FALSE(command->isEnabled()) << FromQt(command->text());
    EXPECT_FALSE(Window->lDown->isEnabled());
    EXPECT_FALSE(Window->lDelete->isEnabled());
    EndSessions();
    EXPECT_EQ(server.Finish(), Lines{});
}

TEST_F(MailServerTest, DownloadShowsTheSectionsAndDisablesTheDownloadCommands)
{
    ScriptedServer server;
    CheckForDownloadOfTheSecond(server);
    Window->headlist->setCurrentItem(Window->headlist->Row(1));
    EXPECT_TRUE(Window->lDown->isEnabled());
    Run(&Tfmain::lDownClick);
    EXPECT_EQ(Ui.Errors, Lines{});
    TRxRichEdit& memo = *Window->memo;
    EXPECT_EQ(memo.FindText(AttachmentsBanner, 0, memo.TextLength()), 1);
    memo.SetSelStart(1);
    memo.SetSelLength(1);
    EXPECT_EQ(memo.SelAttributes().Name(), "Courier new");
    EXPECT_EQ(memo.SelAttributes().Size(), 12);
    memo.SetSelStart(44);
    memo.SetSelLength(1);
    EXPECT_EQ(memo.Paragraph().Numbering(), TNumberingStyle::nsBullet);
    EXPECT_TRUE(memo.SelAttributes().Style().Bold);
    for (QAction* command : {Window->tDownload, Window->mDown, Window->hDown})
        EXPECT_FALSE(command->isEnabled());
    EXPECT_FALSE(Window->lDown->isEnabled());
    EXPECT_FALSE(Window->inf->isVisible());

    // Downloaded once: the command sends nothing more.
    Run(&Tfmain::lDownClick);
    const std::vector<TRxLink> links = memo.Links();
    ASSERT_FALSE(links.empty());
    EXPECT_EQ(links[0].Target, AttachmentTarget("http://localhost/a.txt/ID=1"));
    EndSessions();
    EXPECT_EQ(server.Finish(), Lines{});
}

TEST_F(MailServerTest, LinkClicksSaveAttachmentsOrGoToTheDesktop)
{
    ScriptedServer server;
    CheckForDownloadOfTheSecond(server);
    // Not downloaded yet: an attachment link does nothing.
    Window->memoURLClick(AttachmentTarget("http://localhost/a.txt/ID=1"));
    EXPECT_EQ(Ui.SaveRequests, Lines{});
    Window->headlist->setCurrentItem(Window->headlist->Row(1));
    Run(&Tfmain::lDownClick);
    const std::string saved = Directory.File("saved.txt");
    Ui.SaveAnswers = {saved};
    Window->memoURLClick(AttachmentTarget("http://localhost/a.txt/ID=1"));
    EXPECT_EQ(Ui.SaveRequests, Lines{"a.txt"});
    EXPECT_EQ(ReadBytes(saved), "data\r\n");
    Window->memoURLClick("www.a.cz");
    Window->memoURLClick("http://localhost/a.txt/ID=1");
    EXPECT_EQ(Ui.Urls, (Lines{"http://www.a.cz", "http://localhost/a.txt/ID=1"}));
    EXPECT_EQ(Ui.SaveRequests.size(), 1u);
}

TEST_F(MailServerTest, TabReachesEveryLinkAndEnterOpensIt)
{
    ScriptedServer server;
    CheckForDownloadOfTheSecond(server);
    Window->headlist->setCurrentItem(Window->headlist->Row(1));
    Run(&Tfmain::lDownClick);
    TRxRichEdit& memo = *Window->memo;
    memo.setFocus(Qt::TabFocusReason);
    const std::string saved = Directory.File("by-keyboard.txt");
    Ui.SaveAnswers = {saved};

    QTest::keyClick(&memo, Qt::Key_Tab);
    ASSERT_NE(memo.SelectedLink(), nullptr);
    EXPECT_EQ(memo.SelectedLink()->Target, AttachmentTarget("http://localhost/a.txt/ID=1"));
    QTest::keyClick(&memo, Qt::Key_Return);
    EXPECT_EQ(Ui.SaveRequests, Lines{"a.txt"});
    EXPECT_EQ(ReadBytes(saved), "data\r\n");

    QTest::keyClick(&memo, Qt::Key_Tab);
    ASSERT_NE(memo.SelectedLink(), nullptr);
    QTest::keyClick(&memo, Qt::Key_Enter);
    EXPECT_EQ(Ui.Urls, Lines{"http://www.a.cz"});

    // Back to the attachment, then past the first link the focus leaves the text.
    QTest::keyClick(&memo, Qt::Key_Backtab);
    ASSERT_NE(memo.SelectedLink(), nullptr);
    EXPECT_EQ(memo.SelectedLink()->Target, AttachmentTarget("http://localhost/a.txt/ID=1"));
    QTest::keyClick(&memo, Qt::Key_Backtab);
    EXPECT_EQ(memo.SelectedLink(), nullptr);
    EXPECT_EQ(Ui.SaveRequests.size(), 1u);
}

// The user closes the window while the server is silent: the operation is cut short and
// the window is gone at once. A deletion cut short sends no QUIT, so the server deletes
// nothing, and the user hears so.
TEST_F(MailServerTest, ClosingDuringAnOperationCutsItShortAtOnce)
{
    struct Case {
        const char* Name;
        std::function<void(ScriptedServer&)> Script;
        bool Deletes;
        std::string SentLast;
        Lines Errors;
    };
    const std::vector<Case> cases = {
        {"check",
         [](ScriptedServer& s) {
             LogsIn(s).Expects("CAPA").Says("-ERR").Expects("STAT").Says("+OK 3 999").Expects("UIDL").Says("-ERR").Expects("TOP 1 0").Stalls(3s);
         },
         false, "TOP 1 0", Lines{}},
        {"deletion",
         [](ScriptedServer& s) {
             Checks(s, 2);
             GivesHeader(LogsInToDelete(s), 1).Expects("DELE 1").Stalls(3s);
         },
         true, "DELE 1", Lines{"Mazání bylo přerušeno, na serveru nebylo nic vymazáno."}},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.Name);
        Ui.Errors.clear();
        ScriptedServer server;
        test.Script(server);
        OpenWindow(server);
        if (test.Deletes) {
            Run(&Tfmain::CheckAccClick);
            Ui.Answers = {true};
            Window->mmDelClick();
        } else {
            Window->CheckAccClick();
        }
        ASSERT_TRUE(WaitUntilSent(server, test.SentLast));
        const auto started = std::chrono::steady_clock::now();
        Window->close();
        EXPECT_FALSE(Window->isVisible());
        Window.reset();
        EXPECT_LT(std::chrono::steady_clock::now() - started, 2s);
        EXPECT_EQ(Ui.Errors, test.Errors);
        const Lines received = server.Received();
        EXPECT_EQ(received.back(), test.SentLast) << "no QUIT after the cut";
        server.Finish();
    }
}

// Help, About and the other modal windows run their own loop on the window's thread; the
// check goes on meanwhile on the worker, to its end.
TEST_F(MailServerTest, AModalWindowDuringACheckDoesNotStopIt)
{
    ScriptedServer server;
    LogsIn(server).Stalls(300ms);
    server.Expects("CAPA").Says("-ERR unknown command").Expects("STAT").Says("+OK 3 999").Expects("UIDL").Says("-ERR");
    for (int number = 1; number <= 3; ++number)
        GivesHeader(server, number);
    Quits(server);
    OpenWindow(server);
    bool quitWhileModal = false;
    Modal.Answer = [&](QDialog& dialog) {
        // A modal window that runs no events at all: the worker needs none.
        for (auto end = std::chrono::steady_clock::now() + 5s;
             !quitWhileModal && std::chrono::steady_clock::now() < end;) {
            const Lines received = server.Received();
            quitWhileModal = !received.empty() && received.back() == "QUIT";
            std::this_thread::sleep_for(10ms);
        }
        dialog.reject();
    };
    Window->CheckAccClick();
    EXPECT_TRUE(Window->inf->isVisible());
    Window->About1Click();
    EXPECT_TRUE(quitWhileModal);
    EXPECT_TRUE(Window->WaitForServer(5000));
    EXPECT_EQ(Column(hcSubject), (Lines{"Message 1", "Message 2", "Message 3"}));
    EXPECT_EQ(Ui.Errors, Lines{});
    EXPECT_EQ(server.Finish(), Lines{});
}

// "Přerušit" (Esc) during a slow check: the previous list stays as it was, with its owner
// named above it, the focus where it was, and a deletion from it reaches the server.
TEST_F(MailServerTest, ACancelledCheckLeavesThePreviousListWorking)
{
    ScriptedServer server;
    Checks(server, 2).AcceptsNext();
    LogsIn(server).Expects("CAPA").Says("-ERR").Expects("STAT").Says("+OK 5 999").Expects("UIDL").Says("-ERR").Expects("TOP 1 0").Stalls(1s);
    Quits(Deletes(LogsInToDelete(server), 1));
    OpenWindow(server);
    Run(&Tfmain::CheckAccClick);
    ASSERT_EQ(Window->focusWidget(), Window->headlist);
    EXPECT_EQ(FromQt(Window->headOwner->text()), "Zprávy účtu petr@demo.cz");

    Window->CheckAccClick();
    ASSERT_TRUE(WaitUntilSent(server, "TOP 1 0", 2));
    QTest::keyClick(Window->headlist, Qt::Key_Escape);
    EXPECT_TRUE(Window->WaitForServer(500));
    EXPECT_EQ(FromQt(Window->statusBar()->currentMessage()), "Operace byla přerušena.");
    EXPECT_EQ(Ui.Errors, Lines{});
    EXPECT_EQ(Column(hcSubject), (Lines{"Message 1", "Message 2"}));
    EXPECT_EQ(Window->FShownIndex, 0);
    EXPECT_EQ(Window->focusWidget(), Window->headlist);
    EXPECT_TRUE(Window->headOwner->isVisible());

    Ui.Answers = {true};
    QTest::keyClick(Window->headlist, Qt::Key_Delete);
    EXPECT_TRUE(Window->WaitForServer(5000));
    EXPECT_EQ(Ui.Errors, Lines{});
    EXPECT_EQ(Column(hcSubject), Lines{"Message 2"});
    EXPECT_EQ(server.Finish(), Lines{});
}

// While a check runs, the commands that would conflict with it are disabled where the
// user sees them, the status bar says what runs, and the rest stays usable.
TEST_F(MailServerTest, ConflictingCommandsAreVisiblyDisabledWhileACheckRuns)
{
    ScriptedServer server;
    Checks(server, 1).AcceptsNext();
    LogsIn(server).Stalls(600ms).Expects("CAPA").Says("-ERR").Expects("STAT").Says("+OK 0 0").Expects("UIDL").Says("-ERR");
    Quits(server);
    OpenWindow(server);
    Run(&Tfmain::CheckAccClick);
    Window->CheckAccClick();
    ASSERT_TRUE(Window->ServerBusy());
    for (QAction* command : {Window->tCheck, Window->mCheck, Window->pCheck, Window->tDownload, Window->mDown,
                             Window->hDown, Window->tDelete, Window->mmDel, Window->hDel, Window->tEdit,
                             Window->mEditAcc, Window->pEdit, Window->tDel, Window->mDelAcc, Window->pDel})
        EXPECT_FALSE(command->isEnabled()) << FromQt(command->text());
    EXPECT_FALSE(Window->lDown->isEnabled());
    EXPECT_FALSE(Window->lDelete->isEnabled());
    for (QAction* command : {Window->tNew, Window->lHelp, Window->tAbout, Window->About1, Window->Exit1})
        EXPECT_TRUE(command->isEnabled()) << FromQt(command->text());
    EXPECT_EQ(FromQt(Window->statusBar()->currentMessage()), "Kontrola zpráv petr@demo.cz");
    // A key that still reaches a disabled command only beeps.
    QTest::keyClick(Window->headlist, Qt::Key_Delete);
    QTest::keyClick(Window->poplist, Qt::Key_Delete);
    EXPECT_EQ(Ui.Questions, Lines{});
    EXPECT_EQ(Ui.Beeps, 2);

    EXPECT_TRUE(Window->WaitForServer(5000));
    EXPECT_EQ(Window->headlist->RowCount(), 0);
    for (QAction* command : {Window->tCheck, Window->tEdit, Window->tDel})
        EXPECT_TRUE(command->isEnabled()) << FromQt(command->text());
    EXPECT_EQ(FromQt(Window->statusBar()->currentMessage()), "");
    EXPECT_EQ(server.Finish(), Lines{});
}

// The server goes quiet in the middle of the message; the window still runs its events,
// and "Přerušit" ends the download at once: no error box, the next download works.
TEST_F(MailServerTest, CancelEndsASlowDownloadAndTheWindowStaysResponsive)
{
    ScriptedServer server;
    Checks(server, 2);
    GivesHeader(LogsInAgain(server), 2).Expects("TOP 2 200").Says("+OK").Says("Subject: Message 2").Stalls(1500ms);
    Retrieves(LogsInAgain(server), 2, MultipartMessage);
    OpenWindow(server);
    Run(&Tfmain::CheckAccClick);
    Window->headlist->setCurrentItem(Window->headlist->Row(1));
    bool panelShown = false;
    QTimer::singleShot(200, Window.get(), [&] {
        panelShown = Window->inf->isVisible();
        Window->cancelButton->click();
    });
    const auto started = std::chrono::steady_clock::now();
    Run(&Tfmain::lDownClick);
    EXPECT_LT(std::chrono::steady_clock::now() - started, 1000ms);
    EXPECT_TRUE(panelShown);
    EXPECT_EQ(Ui.Errors, Lines{});
    EXPECT_EQ(FromQt(Window->statusBar()->currentMessage()), "Operace byla přerušena.");
    EXPECT_FALSE(Window->inf->isVisible());
    EXPECT_TRUE(Window->lDown->isEnabled());
    Run(&Tfmain::lDownClick);
    EXPECT_EQ(Window->memo->FindText(AttachmentsBanner, 0, Window->memo->TextLength()), 1);
    EXPECT_EQ(Ui.Errors, Lines{});
}

} // namespace

// The verdicts of the header blocks: their columns, the row's tooltip, the pane's verdict
// line, the sender lists of the context menu and "Vybrat podezřelé".
TEST_F(MailServerTest, VerdictsShowBeforeADownloadAndSuspiciousRowsCanBeSelected)
{
    const std::string verdicts[] = {
        "X-Spam-Flag: YES\r\nX-Spam-Status: Yes, score=9.0 required=5.0\r\n",
        "Authentication-Results: mx.demo.cz; dmarc=pass header.from=x.cz\r\n",
        "Authentication-Results: mx.demo.cz; spf=fail smtp.mailfrom=x.cz\r\n",
    };
    ScriptedServer server;
    LogsIn(server).Expects("CAPA").Says("-ERR unknown command").Expects("STAT").Says("+OK 3 999");
    server.Expects("UIDL").Says("-ERR unknown command");
    for (int number = 1; number <= 3; ++number) {
        const std::string n = std::to_string(number);
        server.Expects("TOP " + n + " 0").Says("+OK").Sends(HeaderLines(number) + verdicts[number - 1] + "\r\n.\r\n");
        server.Expects("LIST " + n).Says("+OK " + n + " 100");
    }
    server.Expects("QUIT").Says("+OK bye");
    OpenWindow(server);
    Run(&Tfmain::CheckAccClick);
    EXPECT_EQ(Ui.Errors, Lines{});
    EXPECT_EQ(Column(hcAuth), (Lines{"–", "ověřeno", "selhalo"}));
    EXPECT_EQ(Column(hcSpam), (Lines{"ano 9.0", "", ""}));
    const QString tip = Window->headlist->Row(0)->data(hcSubject, Qt::ToolTipRole).toString();
    EXPECT_EQ(FromQt(tip), "Spam: ano 9.0 — X-Spam-Flag: YES, X-Spam-Status: 9.0");
    // The verdict line stands above what the pane shows of the message.
    EXPECT_TRUE(Window->memo->Text().starts_with("Spam: ano 9.0 — X-Spam-Flag: YES, X-Spam-Status: 9.0\r\n\r\n"));
    EXPECT_TRUE(Window->memo->Text().ends_with(HeaderLines(1) + verdicts[0]));

    Window->Triage().SelectSuspiciousRows();
    EXPECT_EQ(Window->headlist->SelectedRowsBottomUp(), (std::vector<THeaderRow*>{Window->headlist->Row(2),
                                                                                  Window->headlist->Row(0)}));
    Window->headlist->setCurrentItem(Window->headlist->Row(2));
    Window->Triage().PrepareMenus();
    ASSERT_EQ(Window->Triage().TrustMenu->actions().size(), 2);
    EXPECT_EQ(FromQt(Window->Triage().TrustMenu->actions()[1]->text()), "@x.cz");
    Window->Triage().TrustMenu->actions()[0]->trigger();  // s3@x.cz, always trusted
    EXPECT_EQ(ReadBytes(Directory.File("config/kormoran/senders.txt")), "allow s3@x.cz\n");
    Window->Triage().SelectSuspiciousRows();
    EXPECT_EQ(Window->headlist->SelectedRowsBottomUp(), (std::vector<THeaderRow*>{Window->headlist->Row(0)}));
}
